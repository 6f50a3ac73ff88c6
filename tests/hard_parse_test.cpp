// Literal-text tests of the physical tree's parsers: lister lines, pvdisplay output, mount lookup.
#include "diskparse_p.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A partition line of the lister with fields 0..10 and, when given, field 11.
QString partLine(const char* disk, const char* number, const char* kind, const char* fsType, const char* size,
                 const char* trust, const char* tag = nullptr)
{
    QStringList fields = {"PART", disk, number, "x", "x", "x", kind, fsType, size, trust, "x"};
    if (tag)
        fields.append(tag);
    return fields.join('\t');
}

// `expected` nullptr: a null text.
void expectText(const QString& text, const char* expected)
{
    if (expected)
        EXPECT_EQ(text, QString::fromLatin1(expected));
    else
        EXPECT_TRUE(text.isNull()) << text.toStdString();
}

} // namespace

TEST(HardListerLine, OnlyDriveLinesOfKindDiskMakeDisksAndAMissingOrBadSizeReadsZero)
{
    const std::tuple<const char*, bool, QString, unsigned long> rows[] = {
        {"DRIVE\tDISK\thda\tx\tx\t80026361", true, "hda", 80026361UL},
        {"DRIVE\tdisk\thdd\tx\tx\t5", false, "", 0},
        {"PART\tDISK\thda\tx\tx\t5", false, "", 0},
        {"DRIVE\tDISK", true, "", 0},
        {"DRIVE\tDISK\t  sdx  \tX\t/dev/sdx\t-3\t512", true, "  sdx  ", 0},
    };
    for (const auto& [line, isDisk, name, size] : rows) {
        DriveLine drive;
        ASSERT_EQ(parseDiskLine(line, drive), isDisk) << line;
        if (isDisk) {
            EXPECT_EQ(std::tie(drive.name, drive.size), std::tie(name, size)) << line;
        }
    }
}

// The name is the last part of field 1's path plus the number; a disk takes every partition line
// whose name holds its own, unless the kind is exactly "extended".
TEST(HardListerLine, PartitionLineTakenByEveryDiskWhoseNameItContainsUnlessExactlyExtended)
{
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART\t/dev/md/md10p\t1")), "md10p1");
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART\tsda\t2")), "sda2");
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART")), QString());

    const QString md10p1 = partLine("/dev/md10p", "1", "primary", "ext3", "100", "0");
    const std::tuple<QString, const char*, const char*> rows[] = {
        {md10p1, "md1", "md10p1"},
        {md10p1, "md10", "md10p1"},
        {md10p1, "md2", nullptr},
        {partLine("/dev/hda", "2", "extended", "", "5", "0"), "hda", nullptr},
        {partLine("/dev/hda", "2", "Extended", "", "5", "0"), "hda", "hda2"},
        {"DRIVE\t/dev/hda\t3", "hda", nullptr},
        {"PART\t/dev/sda\t1", "sda", "sda1"},
        {"PART\t/dev/sda", "sda", nullptr},
        {"PART\t/dev/sda\t \t0\t1\tprimary", "sda", nullptr},
    };
    for (const auto& [line, disk, taken] : rows) {
        QString name;
        EXPECT_EQ(takePartitionLine(line, disk, name), taken != nullptr) << line.toStdString() << " on " << disk;
        if (taken) {
            EXPECT_EQ(name, QString::fromLatin1(taken));
        }
    }
}

// Size, tag (field 11), system and file-system type of a partition line. The lister's own type
// names are trusted whatever field 9 says; other types only while it is not negative.
TEST(HardPartitionProbe, SizeTagSystemAndTrustedFileSystemType)
{
    struct Row {
        QString line;
        int size;
        const char* tag; // nullptr: a null tag
        QString system;
        bool pvCandidate;
        const char* fstype; // nullptr: a null type
    };
    QStringList overlong = {"PART", "/dev/sda", "5"};
    for (int i = 3; i < 300; ++i)
        overlong << "LVM";
    const auto probe = [](const char* kind, const char* fsType, const char* size, const char* trust,
                          const char* tag = nullptr) {
        return partLine("/dev/hda", "1", kind, fsType, size, trust, tag);
    };
    const Row rows[] = {
        {probe("Linux", "ext3", "2047", "0"), 2047, nullptr, "Linux", false, "ext3"},
        {probe("Linux", "", "9", "0", "LVM"), 9, "LVM", "Linux, LVM", true, ""},
        {probe("Linux", "", "9", "0", "lvm"), 9, "lvm", "Linux, lvm", false, ""},
        {probe("Linux", "", "1", "0", " "), 1, " ", "Linux,  ", false, ""},
        {probe("x", "FAT32", "1", "-1"), 1, nullptr, "x", false, "FAT32"},
        {probe("x", "NTFS", "1", "-1"), 1, nullptr, "x", false, "NTFS"},
        {probe("x", "LINUX-SWAP", "1", "-1"), 1, nullptr, "x", false, "LINUX-SWAP"},
        {probe("x", "VFAT", "1", "-1"), 1, nullptr, "x", false, nullptr},
        {probe("x", "ntfs", "1", "-1"), 1, nullptr, "x", false, nullptr},
        {probe("x", "ext3", "1", "junk"), 1, nullptr, "x", false, "ext3"},
        {probe("x", "ext3", "1", "-5000000000"), 1, nullptr, "x", false, nullptr},
        {probe("", "", "-2047", "0"), -2047, nullptr, "", false, ""},
        {probe("", "", "12MB", "0"), 0, nullptr, "", false, ""},
        {"PART\t/dev/sda\t1", 0, nullptr, "", false, nullptr},
        {overlong.join('\t'), 0, "LVM", "LVM, LVM", true, "LVM"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line.toStdString());
        const PartitionBasics basics = parsePartitionBasics(row.line);
        EXPECT_EQ(std::tie(basics.size, basics.system, basics.pvCandidate),
                  std::tie(row.size, row.system, row.pvCandidate));
        expectText(basics.systemTag, row.tag);
        expectText(basics.fstype, row.fstype);
    }
}

// The record is the first line with a device path or a missing-label answer; warnings and "is a new
// physical volume" lines before it are passed over, and orphans ("#orphans_lvm2") have no group.
TEST(HardPvDisplayColon, GroupAndUuidOrNoGroupForOrphansNoLabelAndEmptyOrShortRecords)
{
    const char* const warning = "  WARNING: Device /dev/sdb not initialized in udev database: still waiting.";
    const std::tuple<QStringList, bool, QString, QString> rows[] = {
        {{"  /dev/sda5:vg0:84254720:-1:8:8:-1:4096:10284:0:10284:IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP"},
         false,
         "vg0",
         "IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP"},
        {{"  \"/dev/sdb\" is a new physical volume of \"4.88 GiB\"",
          "  /dev/sdb:#orphans_lvm2:10240000:-1:8:8:-1:0:0:0:0:ByVn3c-aI8G-BYYI-CS84-QBPO-cOsa-34kHWu"},
         false,
         "",
         ""},
        {{warning, "  /dev/hda3:vg00:1:-1:8:8:-1:4096:10:0:10:uuid-1"}, false, "vg00", "uuid-1"},
        {{"  /dev/hda3::1:2"}, false, "", ""},
        {{"/dev/hda3:vg00"}, false, "vg00", ""},
        {{"  No physical volume label read from /dev/md127"}, true, "", ""},
        {{"  no physical volume label read from /dev/md127"}, false, "", ""},
        {{}, false, "", ""},
    };
    for (const auto& [lines, noLabel, vgName, uuid] : rows) {
        const PvRecord record = parsePvDisplayColon(lines);
        EXPECT_EQ(std::tie(record.noLabel, record.vgName, record.uuid), std::tie(noLabel, vgName, uuid))
            << ::testing::PrintToString(lines);
    }
}

// A row's path is taken whole, so dashes and dots survive; a row without one is built from words 1 and 2.
TEST(HardLvTable, RowsBetweenHeaderAndAnEmptyOrBlankLineGiveTheirPaths)
{
    EXPECT_EQ(lvPathOfTableRow("   /dev/my-vg/data.1           100       100"), "/dev/my-vg/data.1");
    EXPECT_EQ(lvPathOfTableRow("/dev/vg00/lvol1\t100\t100"), "/dev/vg00/lvol1");
    EXPECT_EQ(lvPathOfTableRow("vg00 lvol1"), "/dev/lvol1/");
    EXPECT_EQ(lvPathOfTableRow("dev vg00 lvol1 100 100"), "/dev/vg00/lvol1");

    const std::pair<QStringList, QStringList> outputs[] = {
        {{"--- Physical volume ---", "/dev/vg00/ignored 1 1", "   --- Distribution of physical volume ---",
          "   LV Name                   LE of LV  PE for LV", "   /dev/vg00/lvol1           100       100",
          "   /dev/vg00/lvol2           10        10", QString(), "   /dev/vg00/after           1         1"},
         {"/dev/vg00/lvol1", "/dev/vg00/lvol2"}},
        {{"  No physical volume label read from /dev/hda3"}, {}},
        {{"LV Name  LE of LV  PE for LV", "/dev/vg00/lvol1 1 1"}, {}},
        {{kLvTableHeader, "/dev/vg00/a 1 1", "    ", "/dev/vg00/b 1 1"}, {"/dev/vg00/a"}},
    };
    for (const auto& [lines, paths] : outputs)
        EXPECT_EQ(lvPathsOfPvDisplay(lines), paths) << ::testing::PrintToString(lines);
}

TEST(HardMountLookup, MatchesSectionTwoOfDeviceFirstEntryWins)
{
    const QList<MountEntry> table = {
        {"/dev/mapper/hda1", "/wrong", "xfs"}, {"proc", "/proc", "proc"},      {"/dev/hda1", "/boot", "ext2"},
        {"/dev/hda1", "/again", "ext3"},       {"/dev/hda10", "/ten", "ext3"},
    };
    ASSERT_NE(findMountEntry(table, "hda1"), nullptr);
    EXPECT_EQ(findMountEntry(table, "hda1")->directory, "/boot");
    EXPECT_EQ(findMountEntry(table, "mapper")->directory, "/wrong");
    EXPECT_EQ(findMountEntry(table, "hda2"), nullptr);
}
