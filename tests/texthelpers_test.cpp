// The text helpers, the name check and the prettifier on the inputs that can trip them.
#include "utils.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstdlib>
#include <cstring>

namespace {

QStringList split(const char* text, char separator, int capacity = 8)
{
    QByteArray buffer(text);
    char* fields[16] = {};
    const int count = splitline(buffer.data(), fields, separator, capacity);
    QStringList result;
    for (int i = 0; i < count; ++i)
        result << QString::fromLatin1(fields[i]);
    return result;
}

TEST(Splitline, NeverTakesTheFirstByteOrTheByteAfterASeparator)
{
    EXPECT_EQ(split("a:b:c", ':'), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(split(":a", ':'), (QStringList{":a"}));
    EXPECT_EQ(split("a::b", ':'), (QStringList{"a", ":b"}));
    EXPECT_EQ(split("a:", ':'), (QStringList{"a", ""}));
    EXPECT_EQ(split("", ':'), (QStringList{""}));
}

TEST(Splitline, StopsAtTheCapacityOfTheFieldArray)
{
    // The last field keeps the unsplit rest; nothing is written past the array.
    EXPECT_EQ(split("a:b:c:d", ':', 2), (QStringList{"a", "b:c:d"}));
    char* fields[3] = {nullptr, nullptr, nullptr};
    char line[] = "1:2:3:4:5:6";
    EXPECT_EQ(splitline(line, fields, ':'), 3);
    EXPECT_STREQ(fields[2], "3:4:5:6");
}

TEST(Chomp, CutsAtTheFirstNewlineOnly)
{
    char twoLines[] = "first\nsecond\n";
    chomp(twoLines);
    EXPECT_STREQ(twoLines, "first");
    char noNewline[] = "plain";
    chomp(noNewline);
    EXPECT_STREQ(noNewline, "plain");
}

TEST(Getrematch, ReturnsTheRequestedGroupAndCutsTheSubject)
{
    char line[] = "  Found volume group \"vg01\" using metadata type lvm2";
    char* name = nullptr;
    EXPECT_EQ(getrematch(line, "Found (\\w*) group \"(.*)\"", nullptr, &name), 1);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "vg01");
    EXPECT_STREQ(line, "  Found volume group \"vg01");
    std::free(name);
}

TEST(Getrematch, GreedyGroupRunsToTheLastQuote)
{
    char line[] = "Found volume group \"a\" and \"b\"";
    char* name = nullptr;
    ASSERT_EQ(getrematch(line, "Found (\\w*) group \"(.*)\"", nullptr, &name), 1);
    EXPECT_STREQ(name, "a\" and \"b");
    std::free(name);
}

TEST(Getrematch, WithoutOutParametersLeavesTheSubjectAlone)
{
    char line[] = "vgdisplay -- \"vg01\" is NOT active; try -D";
    EXPECT_EQ(getrematch(line, "^vgdisplay -- \"[^\"]*\" is NOT active; try -D", nullptr, nullptr), 1);
    EXPECT_STREQ(line, "vgdisplay -- \"vg01\" is NOT active; try -D");
}

TEST(Getrematch, NoMatchTouchesNothing)
{
    char line[] = "nothing here";
    char* first = reinterpret_cast<char*>(0x1);
    char* second = reinterpret_cast<char*>(0x2);
    EXPECT_EQ(getrematch(line, "PV (.*)VG (.*)lvm", &first, &second), 0);
    EXPECT_EQ(first, reinterpret_cast<char*>(0x1));
    EXPECT_EQ(second, reinterpret_cast<char*>(0x2));
    EXPECT_STREQ(line, "nothing here");
}

TEST(Getrematch, GroupThatTookNoPartIsNull)
{
    char line[] = "ab";
    char* first = nullptr;
    char* second = reinterpret_cast<char*>(0x2);
    EXPECT_EQ(getrematch(line, "(a)(x)?b", &first, &second), 1);
    EXPECT_STREQ(first, "a");
    EXPECT_EQ(second, nullptr);
    std::free(first);
}

TEST(Getrematch, BadPatternIsNoMatch)
{
    char line[] = "abc";
    char* first = nullptr;
    EXPECT_EQ(getrematch(line, "(unclosed", &first, nullptr), 0);
    EXPECT_EQ(first, nullptr);
}

TEST(FindWord, WordsAreRunsOfLettersDigitsAndUnderscores)
{
    const QString text = QStringLiteral("  lv01   vg01 (3)");
    EXPECT_EQ(findWord(text, 0), QStringLiteral("lv01"));
    EXPECT_EQ(findWord(text, 1), QStringLiteral("vg01"));
    EXPECT_EQ(findWord(text, 2), QStringLiteral("3"));
    EXPECT_TRUE(findWord(text, 3).isEmpty());
    EXPECT_TRUE(findWord(text, -1).isEmpty());
    EXPECT_EQ(findWord(QStringLiteral("/dev/my-vg/data_1"), 2), QStringLiteral("vg"));
    EXPECT_EQ(findWord(QStringLiteral("/dev/my-vg/data_1"), 3), QStringLiteral("data_1"));
}

TEST(QuorVerifyCN, AcceptsExactlyTheAllowedCharacters)
{
    EXPECT_EQ(QuorVerifyCN(QStringLiteral("vg_01.data-2+x")), 0);
    EXPECT_EQ(QuorVerifyCN(QString()), 0);
    for (const char* bad : {"vg 01", "vg/01", "vg:01", "vg\t", "$(id)"})
        EXPECT_EQ(QuorVerifyCN(QString::fromLatin1(bad)), -1) << bad;
    EXPECT_EQ(QuorVerifyCN(QStringLiteral("d\u00e4ta")), -1);
    EXPECT_EQ(QuorVerifyCN(QStringLiteral("\u0430bc")), -1); // Cyrillic a
}

TEST(Prettify, RemovesTheKnownSequencesOnly)
{
    const QString plain = QStringLiteral("Setting up volume group: done\n");
    EXPECT_EQ(prettify_run_result(plain), plain);

    const QString status = QStringLiteral("Activating\033[60G\033[1;32mOK\033[0;39m");
    EXPECT_EQ(prettify_run_result(status), QStringLiteral("Activating    OK"));

    for (const char* code : {"\033[1;33m", "\033[1;31m", "\033[1;39m", "\033[0;33m", "\033[0;32m", "\033[0;31m"})
        EXPECT_EQ(prettify_run_result(QStringLiteral("a") + QLatin1String(code) + "b"), QStringLiteral("ab"));

    for (const char* kept : {"\033[0m", "\033[1;34m", "\033[61G", "\033", "\033[x"}) {
        const QString text = QStringLiteral("a") + QLatin1String(kept) + "b";
        EXPECT_EQ(prettify_run_result(text), text);
    }
}

} // namespace
