// The logical tree's parsers on literal tool text: field rules, word rules and the name quirks.
#include "lvmparse_p.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(VgscanLineParse, FoundAndErrorLinesNameTheirGroupsOtherLinesNothing)
{
    const VgscanLine line = parseVgscanLine("  Found volume group \"ubuntu-vg\" using metadata type lvm2");
    EXPECT_TRUE(line.isFound);
    EXPECT_EQ(line.found, "ubuntu-vg");
    EXPECT_FALSE(line.isUnreadable);

    const VgscanLine error = parseVgscanLine(
        "vgscan -- ERROR \"vg_broken\" can't get data of volume group \"vg.bad\" from physical volume(s)");
    EXPECT_FALSE(error.isFound);
    EXPECT_TRUE(error.isUnreadable);
    EXPECT_EQ(error.unreadable, "vg.bad");

    const VgscanLine other = parseVgscanLine("  Reading all physical volumes.  This may take a while...");
    EXPECT_FALSE(other.isFound);
    EXPECT_FALSE(other.isUnreadable);
}

TEST(VgdisplayRecordParse, FiguresConvertAndDivideWithoutOverflow)
{
    const VgRecord record =
        parseVgdisplayRecord("  vg00:r/w:772:-1:0:3:3:-1:0:1:1:8376320:4096:2045:1024:100:Zc5r-UUID-x");
    EXPECT_EQ(record.attr[0], 0); // "r/w" has no digits
    EXPECT_EQ(record.attr[1], 772);
    EXPECT_EQ(record.attr[2], -1);
    EXPECT_EQ(record.attr[4], 3);
    EXPECT_EQ(record.attr[6], 0);     // -1 / 2097152
    EXPECT_EQ(record.attr[10], 8180); // 8376320 KiB
    EXPECT_EQ(record.attr[11], 4);
    EXPECT_EQ(record.attr[12], 2045);
    EXPECT_EQ(record.attr[13], 1024);
    EXPECT_EQ(record.attr[14], 100);
    EXPECT_EQ(record.attr[15], 400);
    EXPECT_EQ(record.uuid, "Zc5r-UUID-x");

    const VgRecord small = parseVgdisplayRecord("vg:r/w:1:0:0:0:0:0:0:0:0:1024:512:2:0:2:u");
    EXPECT_EQ(small.attr[11], 0);
    EXPECT_EQ(small.attr[15], 0);

    // 4 TiB in KiB does not fit an int before the division.
    const VgRecord huge = parseVgdisplayRecord("vg:r/w:1:0:0:0:0:0:0:0:0:4294967296:4096:1:0:0:u");
    EXPECT_EQ(huge.attr[10], 4194304);
}

TEST(VgdisplayNotActive, RecognisesTryDLine)
{
    EXPECT_TRUE(isVgNotActiveLine("vgdisplay -- \"vg01\" is NOT active; try -D"));
    EXPECT_FALSE(isVgNotActiveLine("  vgdisplay -- \"vg01\" is NOT active; try -D"));
    EXPECT_FALSE(isVgNotActiveLine("vg01:r/w:772"));
}

TEST(PvscanLineParse, PairsDeviceWithGroupAndSkipsVolumesWithoutOne)
{
    const PvscanEntry entry = parsePvscanLine("  PV /dev/sda2   VG ubuntu-vg   lvm2 [<99.00 GiB / 0    free]");
    ASSERT_TRUE(entry.valid);
    EXPECT_EQ(entry.device, "/dev/sda2");
    EXPECT_EQ(entry.group, "ubuntu-vg");

    // A group name ending in "VG" is not cut short.
    const PvscanEntry dataVg = parsePvscanLine("  PV /dev/sdb1\tVG dataVG\tlvm2 [10.00 GiB / 2.00 GiB free]");
    ASSERT_TRUE(dataVg.valid);
    EXPECT_EQ(dataVg.device, "/dev/sdb1");
    EXPECT_EQ(dataVg.group, "dataVG");

    EXPECT_FALSE(parsePvscanLine("  PV /dev/sdc1                      lvm2 [5.00 GiB]").valid);
    EXPECT_FALSE(parsePvscanLine("  Total: 2 [10 GiB] / in use: 2 [10 GiB] / in no VG: 0 [0   ]").valid);
}

TEST(LvscanLineParse, ReadsGroupNameAndRoleFromTheLastQuotedPath)
{
    const LvscanEntry origin = parseLvscanLine("  ACTIVE   Original '/dev/my-vg/home.old' [1.00 GiB] inherit");
    ASSERT_TRUE(origin.valid);
    EXPECT_EQ(origin.group, "my-vg");
    EXPECT_EQ(origin.name, "home.old");
    EXPECT_TRUE(origin.original);
    EXPECT_FALSE(origin.snapshot);

    const LvscanEntry snap = parseLvscanLine("  ACTIVE   Snapshot '/dev/vg0/snap1' [512.00 MiB] inherit");
    EXPECT_TRUE(snap.snapshot);
    EXPECT_FALSE(snap.original);

    const LvscanEntry both = parseLvscanLine("  ACTIVE  Original Snapshot '/dev/vg0/x' [1 GiB]");
    EXPECT_TRUE(both.original && both.snapshot);

    const LvscanEntry plain = parseLvscanLine("  inactive          '/dev/vg0/lv01' [1.00 GiB] inherit");
    EXPECT_FALSE(plain.original || plain.snapshot);

    // The last quoted text is the path.
    const LvscanEntry entry = parseLvscanLine("  'junk' ACTIVE '/dev/vg0/lv01' [1.00 GiB]");
    EXPECT_EQ(entry.group, "vg0");
    EXPECT_EQ(entry.name, "lv01");
    EXPECT_FALSE(parseLvscanLine("  No volume groups found").valid);
}

TEST(LvdisplayRecordParse, FieldsConvertWithSizeInMegabytesWithoutOverflow)
{
    const LvRecord record = parseLvdisplayRecord("  /dev/vg0/home:vg0:3:1:-1:1:2097152:256:255:0:-1:253:7");
    EXPECT_EQ(record.access, 3);
    EXPECT_EQ(record.status, 1);
    EXPECT_EQ(record.number, -1);
    EXPECT_EQ(record.size, 1024);
    EXPECT_EQ(record.currentLe, 256);
    EXPECT_EQ(record.allocatedLe, 255);
    EXPECT_EQ(record.allocation, 0);
    EXPECT_EQ(record.readAhead, -1);
    EXPECT_EQ(record.major, 253);
    EXPECT_EQ(record.minor, 7);

    EXPECT_EQ(parseLvdisplayRecord("/dev/v/l:v:0:0:0:0:2047:0").size, 0);
    EXPECT_EQ(parseLvdisplayRecord("/dev/v/l:v:0:0:0:0:2048:0").size, 1);

    // 2 TiB in 512-byte sectors: 4294967296.
    EXPECT_EQ(parseLvdisplayRecord("/dev/v/l:v:3:1:0:0:4294967296:1").size, 2097152);
}

TEST(ColonRecordParse, MissingFieldsReadAsZeroOrEmpty)
{
    const VgRecord shortVg = parseVgdisplayRecord("vg00:r/w:772");
    EXPECT_EQ(shortVg.attr[1], 772);
    for (int i = 2; i < 16; ++i)
        EXPECT_EQ(shortVg.attr[i], 0) << i;
    EXPECT_TRUE(shortVg.uuid.isEmpty());
    EXPECT_EQ(parseVgdisplayRecord(QByteArray()).attr[1], 0);
    EXPECT_TRUE(parseVgdisplayRecord(QByteArray()).uuid.isEmpty());

    const LvRecord shortLv = parseLvdisplayRecord("/dev/vg0/home:vg0:3:1");
    EXPECT_EQ(std::tie(shortLv.access, shortLv.status, shortLv.size, shortLv.minor), std::tuple(3, 1, 0, 0));
    EXPECT_EQ(parseLvdisplayRecord(QByteArray()).access, 0);
}

TEST(LvStatusLineParse, SkipsBlanksAndTabs)
{
    QString status;
    ASSERT_TRUE(parseLvStatusLine("  LV Status              available", status));
    EXPECT_EQ(status, "available");
    EXPECT_EQ(lvStatusValue(status), 1);

    ASSERT_TRUE(parseLvStatusLine("  LV Status\t\t suspended", status));
    EXPECT_EQ(status, "suspended");

    ASSERT_TRUE(parseLvStatusLine("  LV Status \t NOT available", status));
    EXPECT_EQ(lvStatusValue(status), 0);

    EXPECT_FALSE(parseLvStatusLine("  LV snapshot status     source of", status));
}

TEST(SnapshotStatusLines, RoleInactivityAndOrigin)
{
    EXPECT_TRUE(isSnapshotStatusLine("  LV snapshot status     source of"));
    EXPECT_FALSE(isSnapshotStatusLine("  LV Status              available"));
    EXPECT_TRUE(snapshotStatusMeansOrigin("  LV snapshot status     source of"));
    EXPECT_TRUE(snapshotStatusMeansOrigin("  LV snapshot status     active destination for original-data"));
    EXPECT_FALSE(snapshotStatusMeansOrigin("  LV snapshot status     active destination for /dev/vg0/home"));
    EXPECT_TRUE(isInactiveSnapshotLine("  LV snapshot status     INACTIVE destination for home"));

    EXPECT_EQ(originFromSnapshotStatusLine("  LV snapshot status     active destination for /dev/my-vg/home"), "home");
    EXPECT_EQ(originFromSnapshotStatusLine("  LV snapshot status     active destination for data.base+1"),
              "data.base+1");
}

TEST(SnapshotListingLines, NameIsLastPathSectionOfFirstToken)
{
    EXPECT_EQ(snapshotNameFromListingLine("                         /dev/ubuntu-vg/snap.1 [active]"), "snap.1");
    EXPECT_EQ(snapshotNameFromListingLine("\t\tsnap-2 [active]"), "snap-2");
    EXPECT_TRUE(snapshotNameFromListingLine(" \t ").isEmpty());
    EXPECT_TRUE(isSnapshotListingEnd("  LV Status              available"));
}

TEST(PhysicalVolumeLineParse, SkipsBlanksAndTabs)
{
    QString device;
    ASSERT_TRUE(parsePhysicalVolumeLine("    Physical volume\t/dev/sda3", device));
    EXPECT_EQ(device, "/dev/sda3");
    ASSERT_TRUE(parsePhysicalVolumeLine("    Physical volume     /dev/sdb1", device));
    EXPECT_EQ(device, "/dev/sdb1");
    EXPECT_FALSE(parsePhysicalVolumeLine("    Physical extents    0 to 255", device));
}

TEST(PvStringBuilding, DuplicateTestIsASubstringTest)
{
    QString pvs;
    appendPvOnce(pvs, "/dev/hda3");
    appendPvOnce(pvs, "/dev/hdb1");
    appendPvOnce(pvs, "/dev/hda3");
    dropTrailingSeparator(pvs);
    EXPECT_EQ(pvs, "/dev/hda3:/dev/hdb1");

    QString contained;
    appendPvOnce(contained, "/dev/hda10");
    appendPvOnce(contained, "/dev/hda1");
    dropTrailingSeparator(contained);
    EXPECT_EQ(contained, "/dev/hda10");
}

TEST(MountTableMatch, DeviceMapperNameDoublesInnerHyphensAndAnyOfThreeNamesMatchesFirstEntryWinning)
{
    EXPECT_EQ(deviceMapperName("ubuntu-vg", "root"), "/dev/mapper/ubuntu--vg-root");
    EXPECT_EQ(deviceMapperName("vg0", "home"), "/dev/mapper/vg0-home");

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
