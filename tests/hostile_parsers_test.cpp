// Hostile text through the parsers: very long lines, NUL bytes and binary garbage, and the inputs the
// fuzz targets once failed on, kept as regression cases (overlong and huge records are rows of the
// record tables in lvm_parse_test.cpp).
#include "diskparse_p.h"
#include "lvmparse_p.h"
#include "qtprinters.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QByteArray garbage()
{
    QByteArray bytes;
    for (int i = 0; i < 600; ++i)
        bytes.append(static_cast<char>((i * 131 + 7) % 256));
    return bytes;
}

} // namespace

TEST(HostileSplitline, NulSeparatorSplitsNothingAndStaysInsideTheLine)
{
    // Found by fuzz_splitline: a NUL separator was taken at the terminator and the next byte read.
    for (const char* text : {"  --- Logical volume ---", ""}) {
        // Exactly the text and its NUL, so that a read past the end is caught by the sanitizer.
        std::vector<char> line(text, text + std::strlen(text) + 1);
        char* fields[3] = {};
        EXPECT_EQ(splitline(line.data(), fields, '\0', 3), 1);
        EXPECT_EQ(fields[0], line.data());
        EXPECT_STREQ(fields[0], text);
    }
}

TEST(HostileLines, LongAndBinaryLinesMatchNothing)
{
    const QByteArray longLine(5000, 'x');
    for (const QByteArray& line : {longLine, garbage(), QByteArray("\0\0\0", 3)}) {
        EXPECT_FALSE(parseVgscanLine(line).isFound);
        EXPECT_FALSE(parsePvscanLine(line).valid);
        EXPECT_FALSE(parseLvscanLine(line).valid);
        QString text;
        EXPECT_FALSE(parseLvStatusLine(line, text));
        EXPECT_FALSE(parsePhysicalVolumeLine(line, text));
        EXPECT_FALSE(isVgNotActiveLine(line));
    }
}

TEST(HostileLines, NulByteEndsWhatTheRegularExpressionsSeeAndAVeryLongNameIsTakenWhole)
{
    // Text after a NUL is never matched: the line is a C string to the regular-expression helpers.
    EXPECT_FALSE(parseLvscanLine(QByteArray("  ACTIVE   \0 '/dev/vg/lv' [1.00 GiB] inherit", 44)).valid);
    EXPECT_FALSE(parseVgscanLine(QByteArray("  Found volume group \"vg\0x\" using", 33)).isFound);

    const QByteArray name(2000, 'a');
    const VgscanLine parsed = parseVgscanLine("  Found volume group \"" + name + "\" using metadata type lvm2");
    ASSERT_TRUE(parsed.isFound);
    EXPECT_EQ(parsed.found.size(), 2000);
}

TEST(HostilePvdisplay, GarbageAndAllColonLinesGiveNoGroup)
{
    const PvRecord none = parsePvDisplayColon({QString::fromLatin1(garbage()), QString(5000, ':')});
    EXPECT_FALSE(none.noLabel);
    EXPECT_TRUE(none.vgName.isEmpty());
}

TEST(HostileHelpers, FindWordPrettifyAndGetrematchOnOddText)
{
    EXPECT_TRUE(findWord(QString::fromLatin1(garbage()), -1).isEmpty());
    EXPECT_TRUE(findWord(QString(5000, ' '), 0).isEmpty());
    const QChar lone[] = {QChar(0xd800), QChar('a'), QChar(0xdc00)};
    // Qt's regular expressions refuse text that is not valid UTF-16: such text has no words.
    // Tool output never holds it, as it is decoded from bytes first.
    EXPECT_TRUE(findWord(QString(lone, 3), 0).isEmpty());
    EXPECT_EQ(findWord(QString::fromLocal8Bit("\xed\xa0\x80 a"), 0), "a");
    // One pass per sequence: a sequence that closes up around a removed one stays.
    EXPECT_EQ(prettify_run_result("\033[1;3\033[1;33m3m"), "\033[1;33m");

    QByteArray subject = "LV Status   " + QByteArray(5000, 'y');
    char* first = nullptr;
    ASSERT_EQ(getrematch(subject.data(), "LV Status[[:blank:]]*(.*)$", &first, nullptr), 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::strlen(first), 5000u);
    std::free(first);
}
