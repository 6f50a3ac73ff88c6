// The text helpers, the name check and the prettifier on the inputs that can trip them.
#include "utils.h"

#include <gtest/gtest.h>

#include "qtprinters.h"

#include <QByteArray>

#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {

// The fields splitline finds in `text` split at ":", with room for `capacity` of them.
QStringList split(const char* text, int capacity)
{
    QByteArray buffer(text);
    char* fields[16] = {};
    const int count = splitline(buffer.data(), fields, ':', capacity);
    QStringList result;
    for (int i = 0; i < count; ++i)
        result << QString::fromLatin1(fields[i]);
    return result;
}

// A field never starts at the first byte's separator or right after another one; the last field
// keeps the unsplit rest, and nothing is written past the array.
TEST(Splitline, NeverTakesTheFirstByteOrTheByteAfterASeparatorAndStopsAtCapacity)
{
    const std::tuple<const char*, int, QStringList> rows[] = {
        {"a:b:c", 8, {"a", "b", "c"}}, {":a", 8, {":a"}}, {"a::b", 8, {"a", ":b"}},
        {"a:", 8, {"a", ""}},          {"", 8, {""}},     {"a:b:c:d", 2, {"a", "b:c:d"}},
    };
    for (const auto& [text, capacity, fields] : rows)
        EXPECT_EQ(split(text, capacity), fields) << text;
    char* fields[3] = {nullptr, nullptr, nullptr};
    char line[] = "1:2:3:4:5:6";
    EXPECT_EQ(splitline(line, fields, ':'), 3);
    EXPECT_STREQ(fields[2], "3:4:5:6");
    char untouched[] = "a:b";
    EXPECT_EQ(splitline(untouched, nullptr, ':', 0), 0);
    EXPECT_STREQ(untouched, "a:b");
}

TEST(Chomp, CutsAtTheFirstNewlineOnly)
{
    for (const auto& [text, expected] : {std::pair{"first\nsecond\n", "first"}, std::pair{"plain", "plain"}}) {
        QByteArray line(text);
        chomp(line.data());
        EXPECT_STREQ(line.constData(), expected);
    }
}

// Each requested group is cut out of the subject and copied; a group that took no part gives null,
// and no match or a bad pattern leaves the subject and both out-parameters alone.
TEST(Getrematch, CopiesRequestedGroupsCutsTheSubjectAndLeavesAllAloneWithoutAMatch)
{
    const char* const kUntouched = "<untouched>";
    const char* const kFound = "Found (\\w*) group \"(.*)\"";
    struct Case {
        const char *line, *pattern;
        bool askFirst, askSecond;
        int result;
        const char *first, *second, *lineAfter; // nullptr: a null group
    };
    const Case cases[] = {
        {"  Found volume group \"vg01\" using metadata type lvm2", kFound, false, true, 1, kUntouched, "vg01",
         "  Found volume group \"vg01"},
        // The greedy group runs to the last quote.
        {"Found volume group \"a\" and \"b\"", kFound, false, true, 1, kUntouched, "a\" and \"b",
         "Found volume group \"a\" and \"b"},
        {"vgdisplay -- \"vg01\" is NOT active; try -D", "^vgdisplay -- \"[^\"]*\" is NOT active; try -D", false, false,
         1, kUntouched, kUntouched, "vgdisplay -- \"vg01\" is NOT active; try -D"},
        {"nothing here", "PV (.*)VG (.*)lvm", true, true, 0, kUntouched, kUntouched, "nothing here"},
        {"ab", "(a)(x)?b", true, true, 1, "a", nullptr, "a"},
        {"abc", "(unclosed", true, true, 0, kUntouched, kUntouched, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        QByteArray line(c.line);
        char* marker = const_cast<char*>(kUntouched);
        char* first = marker;
        char* second = marker;
        EXPECT_EQ(getrematch(line.data(), c.pattern, c.askFirst ? &first : nullptr, c.askSecond ? &second : nullptr),
                  c.result);
        for (auto [got, want] : {std::pair{first, c.first}, std::pair{second, c.second}}) {
            if (want == kUntouched || !want)
                EXPECT_EQ(got, want);
            else
                EXPECT_STREQ(got, want);
            if (got && got != marker)
                std::free(got);
        }
        EXPECT_STREQ(line.constData(), c.lineAfter);
    }
}

TEST(FindWord, WordsAreRunsOfLettersDigitsAndUnderscores)
{
    const QString text = "  lv01   vg01 (3)";
    EXPECT_EQ(findWord(text, 0), "lv01");
    EXPECT_EQ(findWord(text, 2), "3");
    EXPECT_TRUE(findWord(text, 3).isEmpty());
    EXPECT_TRUE(findWord(text, -1).isEmpty());
    EXPECT_EQ(findWord("/dev/my-vg/data_1", 2), "vg");
    EXPECT_EQ(findWord("/dev/my-vg/data_1", 3), "data_1");
}

TEST(QuorVerifyCN, AcceptsExactlyTheAllowedCharacters)
{
    EXPECT_EQ(QuorVerifyCN("vg_01.data-2+x"), 0);
    EXPECT_EQ(QuorVerifyCN(QString()), 0);
    for (const char* bad : {"vg 01", "vg/01", "vg:01", "vg\t", "$(id)"})
        EXPECT_EQ(QuorVerifyCN(QString::fromLatin1(bad)), -1) << bad;
    EXPECT_EQ(QuorVerifyCN("d\u00e4ta"), -1);
    EXPECT_EQ(QuorVerifyCN("\u0430bc"), -1); // Cyrillic a
}

TEST(Prettify, RemovesTheKnownSequencesOnly)
{
    const QString plain = "Setting up volume group: done\n";
    EXPECT_EQ(prettify_run_result(plain), plain);

    const QString status = "Activating\033[60G\033[1;32mOK\033[0;39m";
    EXPECT_EQ(prettify_run_result(status), "Activating    OK");

    for (const char* code : {"\033[1;33m", "\033[1;31m", "\033[1;39m", "\033[0;33m", "\033[0;32m", "\033[0;31m"})
        EXPECT_EQ(prettify_run_result(QStringLiteral("a") + QLatin1String(code) + "b"), "ab");

    for (const char* kept : {"\033[0m", "\033[1;34m", "\033[61G", "\033", "\033[x"}) {
        const QString text = QStringLiteral("a") + QLatin1String(kept) + "b";
        EXPECT_EQ(prettify_run_result(text), text);
    }
}

} // namespace
