// The logical tree's parsers on literal tool text: field rules, word rules and the name quirks.
#include "lvmparse_p.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <vector>

namespace {

// `count` colon-separated fields "1", "2", ...: a record far longer than any the tools print.
QByteArray colonRecord(int count)
{
    QByteArrayList fields;
    for (int i = 1; i <= count; ++i)
        fields << QByteArray::number(i);
    return fields.join(':');
}

// Missing fields read as 0, figures past an int are clamped, not wrapped, and fields past the
// record's last are ignored.
TEST(ColonRecordParse, VgdisplayFiguresConvertAndDivideWithoutOverflow)
{
    struct Row {
        QByteArray line;
        std::vector<int> attr;
        QString uuid;
    };
    const Row rows[] = {
        {"  vg00:r/w:772:-1:0:3:3:-1:0:1:1:8376320:4096:2045:1024:100:Zc5r-UUID-x",
         {0, 772, -1, 0, 3, 3, 0, 0, 1, 1, 8180, 4, 2045, 1024, 100, 400},
         "Zc5r-UUID-x"},
        {"vg:r/w:1:0:0:0:0:0:0:0:0:1024:512:2:0:2:u", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 2, 0}, "u"},
        // 4 TiB in KiB does not fit an int before the division.
        {"vg:r/w:1:0:0:0:0:0:0:0:0:4294967296:4096:1:0:0:u",
         {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 4194304, 4, 1, 0, 0, 0},
         "u"},
        {"vg:r/w:772:-1:0:0:0:-1:0:1:1:-99999999999999999999:4096:1:1:0:u",
         {0, 772, -1, 0, 0, 0, 0, 0, 1, 1, INT_MIN, 4, 1, 1, 0, 0},
         "u"},
        {"vg00:r/w:772", {0, 772, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ""},
        {"", std::vector<int>(16, 0), ""},
        {colonRecord(300), {2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 0, 0, 14, 15, 16, 0}, "17"},
    };
    for (const Row& row : rows) {
        const VgRecord record = parseVgdisplayRecord(row.line);
        EXPECT_EQ(std::vector<int>(record.attr, record.attr + 16), row.attr) << row.line.constData();
        EXPECT_EQ(record.uuid, row.uuid) << row.line.constData();
    }
}

TEST(ColonRecordParse, LvdisplayFieldsConvertWithSizeInMegabytesWithoutOverflow)
{
    // access, status, number, size (MB), current LE, allocated LE, allocation, read-ahead, major,
    // minor, and whether the line was a volume's record at all.
    const std::pair<QByteArray, std::vector<int>> rows[] = {
        {"  /dev/vg0/home:vg0:3:1:-1:1:2097152:256:255:0:-1:253:7", {3, 1, -1, 1024, 256, 255, 0, -1, 253, 7, 1}},
        {"/dev/v/l:v:0:0:0:0:2047:0", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"/dev/v/l:v:0:0:0:0:2048:0", {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
        // 2 TiB in 512-byte sectors: 4294967296.
        {"/dev/v/l:v:3:1:0:0:4294967296:1", {3, 1, 0, 2097152, 1, 0, 0, 0, 0, 0, 0}},
        {"/dev/vg/lv:vg:3:1:-1:0:99999999999999999999999:1:1:0:-1:253:0", {3, 1, -1, INT_MAX, 1, 1, 0, -1, 253, 0, 1}},
        {"/dev/vg0/home:vg0:3:1", {3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {colonRecord(300), {3, 4, 5, 0, 8, 9, 10, 11, 12, 13, 0}},
    };
    for (const auto& [line, figures] : rows) {
        const LvRecord r = parseLvdisplayRecord(line);
        EXPECT_EQ(std::vector<int>({r.access, r.status, r.number, r.size, r.currentLe, r.allocatedLe, r.allocation,
                                    r.readAhead, r.major, r.minor, r.found}),
                  figures)
            << line.constData();
    }
}

TEST(PvscanLineParse, PairsDeviceWithGroupAndSkipsVolumesWithoutOne)
{
    const std::tuple<const char*, bool, QString, QString> rows[] = {
        {"  PV /dev/sda2   VG ubuntu-vg   lvm2 [<99.00 GiB / 0    free]", true, "/dev/sda2", "ubuntu-vg"},
        // A group name ending in "VG" is not cut short.
        {"  PV /dev/sdb1\tVG dataVG\tlvm2 [10.00 GiB / 2.00 GiB free]", true, "/dev/sdb1", "dataVG"},
        {"  PV /dev/sdc1                      lvm2 [5.00 GiB]", false, "", ""},
        {"  Total: 2 [10 GiB] / in use: 2 [10 GiB] / in no VG: 0 [0   ]", false, "", ""},
    };
    for (const auto& [line, valid, device, group] : rows) {
        const PvscanEntry entry = parsePvscanLine(line);
        EXPECT_EQ(std::tie(entry.valid, entry.device, entry.group), std::tie(valid, device, group)) << line;
    }
}

// The group and the name come from the last quoted path; the role from the words before it.
TEST(LvscanLineParse, ReadsGroupNameAndRoleFromTheLastQuotedPath)
{
    const std::tuple<const char*, bool, QString, QString, bool, bool> rows[] = {
        {"  ACTIVE   Original '/dev/my-vg/home.old' [1.00 GiB] inherit", true, "my-vg", "home.old", true, false},
        {"  ACTIVE   Snapshot '/dev/vg0/snap1' [512.00 MiB] inherit", true, "vg0", "snap1", false, true},
        {"  ACTIVE  Original Snapshot '/dev/vg0/x' [1 GiB]", true, "vg0", "x", true, true},
        {"  inactive          '/dev/vg0/lv01' [1.00 GiB] inherit", true, "vg0", "lv01", false, false},
        {"  'junk' ACTIVE '/dev/vg0/lv01' [1.00 GiB]", true, "vg0", "lv01", false, false},
        {"  No volume groups found", false, "", "", false, false},
    };
    for (const auto& [line, valid, group, name, original, snapshot] : rows) {
        const LvscanEntry e = parseLvscanLine(line);
        EXPECT_EQ(std::tie(e.valid, e.group, e.name, e.original, e.snapshot),
                  std::tie(valid, group, name, original, snapshot))
            << line;
    }
}

TEST(LvdisplayLines, EachRecogniserTakesItsOwnLinesOnly)
{
    using Recogniser = bool (*)(const QByteArray&);
    const std::tuple<Recogniser, const char*, bool> rows[] = {
        {isVgNotActiveLine, "vgdisplay -- \"vg01\" is NOT active; try -D", true},
        {isVgNotActiveLine, "  vgdisplay -- \"vg01\" is NOT active; try -D", false},
        {isVgNotActiveLine, "vg01:r/w:772", false},
        {isSnapshotStatusLine, "  LV snapshot status     source of", true},
        {isSnapshotStatusLine, "  LV Status              available", false},
        {snapshotStatusMeansOrigin, "  LV snapshot status     source of", true},
        {snapshotStatusMeansOrigin, "  LV snapshot status     active destination for original-data", true},
        {snapshotStatusMeansOrigin, "  LV snapshot status     active destination for /dev/vg0/home", false},
        {isInactiveSnapshotLine, "  LV snapshot status     INACTIVE destination for home", true},
        {isSnapshotListingEnd, "  LV Status              available", true},
    };
    for (const auto& [recognises, line, expected] : rows)
        EXPECT_EQ(recognises(line), expected) << line;
}

// Blanks and tabs after the label are skipped; a null expectation means the line is not the parser's.
TEST(LvdisplayLines, ValuesAfterTheLabelAndNamesFromPaths)
{
    using Reader = bool (*)(const QByteArray&, QString&);
    const std::tuple<Reader, const char*, const char*> readers[] = {
        {parseLvStatusLine, "  LV Status              available", "available"},
        {parseLvStatusLine, "  LV Status \t NOT available", "NOT available"},
        {parseLvStatusLine, "  LV snapshot status     source of", nullptr},
        {parsePhysicalVolumeLine, "    Physical volume\t/dev/sda3", "/dev/sda3"},
        {parsePhysicalVolumeLine, "    Physical extents    0 to 255", nullptr},
    };
    for (const auto& [read, line, expected] : readers) {
        QString value;
        EXPECT_EQ(read(line, value), expected != nullptr) << line;
        if (expected) {
            EXPECT_EQ(value, QString::fromLatin1(expected)) << line;
        }
    }
    EXPECT_EQ(lvStatusValue("available"), 1);
    EXPECT_EQ(lvStatusValue("NOT available"), 0);

    using Extractor = QString (*)(const QByteArray&);
    const std::tuple<Extractor, const char*, QString> names[] = {
        {originFromSnapshotStatusLine, "  LV snapshot status     active destination for /dev/my-vg/home", "home"},
        {originFromSnapshotStatusLine, "  LV snapshot status     active destination for data.base+1", "data.base+1"},
        {snapshotNameFromListingLine, "                         /dev/ubuntu-vg/snap.1 [active]", "snap.1"},
        {snapshotNameFromListingLine, "\t\tsnap-2 [active]", "snap-2"},
        {snapshotNameFromListingLine, " \t ", ""},
    };
    for (const auto& [extract, line, expected] : names)
        EXPECT_EQ(extract(line), expected) << line;
}

TEST(PvStringBuilding, DuplicateTestIsASubstringTest)
{
    const std::pair<QStringList, QString> rows[] = {
        {{"/dev/hda3", "/dev/hdb1", "/dev/hda3"}, "/dev/hda3:/dev/hdb1"},
        {{"/dev/hda10", "/dev/hda1"}, "/dev/hda10"},
    };
    for (const auto& [devices, expected] : rows) {
        QString pvs;
        for (const QString& device : devices)
            appendPvOnce(pvs, device);
        dropTrailingSeparator(pvs);
        EXPECT_EQ(pvs, expected);
    }
}

TEST(MountTableMatch, DeviceMapperNameDoublesInnerHyphensAndAnyOfThreeNamesMatchesFirstEntryWinning)
{
    EXPECT_EQ(deviceMapperName("ubuntu-vg", "root"), "/dev/mapper/ubuntu--vg-root");

    const QList<MountEntry> table = {
        {"/dev/sda1", "/boot", "ext4"},
        {"/dev/mapper/ubuntu--vg-root", "/", "ext4"},
        {"/dev/vg-a/home", "/home", "ext3"},
        {"/dev/mapper/vg-a-home", "/late", "ext3"},
        {"/dev/mapper/vg-b-data", "/data", "ext3"},
    };
    EXPECT_EQ(mountPointOf(table, "ubuntu-vg", "root"), "/");
    EXPECT_EQ(mountPointOf(table, "vg-a", "home"), "/home");
    EXPECT_EQ(mountPointOf(table, "vg-b", "data"), "/data");
    EXPECT_TRUE(mountPointOf(table, "vg0", "root").isNull());
}

} // namespace
