// Literal-text tests of the physical tree's parsers: lister lines, pvdisplay output, mount lookup.
#include "diskparse_p.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(HardListerLine, TabSplitCountsEmptyFields)
{
    const QStringList fields = splitAtTabs("a\t\tb\t");
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields.at(1), QString());
    EXPECT_EQ(fields.at(2), "b");
    EXPECT_TRUE(fieldAt(fields, 4).isEmpty());
    EXPECT_TRUE(fieldAt(fields, 99).isEmpty());
}

TEST(HardListerLine, OnlyDriveLinesOfKindDiskMakeDisksAndAMissingSizeReadsZero)
{
    DriveLine drive;
    EXPECT_TRUE(parseDiskLine("DRIVE\tDISK\thda\tx\tx\t80026361", drive));
    EXPECT_EQ(drive.name, "hda");
    EXPECT_EQ(drive.size, 80026361UL);
    EXPECT_FALSE(parseDiskLine("DRIVE\tCDROM\thdc\tx\tx\t0", drive));
    EXPECT_FALSE(parseDiskLine("DRIVE\tdisk\thdd\tx\tx\t5", drive));
    EXPECT_FALSE(parseDiskLine("PART\tDISK\thda\tx\tx\t5", drive));

    ASSERT_TRUE(parseDiskLine("DRIVE\tDISK", drive));
    EXPECT_TRUE(drive.name.isEmpty());
    EXPECT_EQ(drive.size, 0UL);
    ASSERT_TRUE(parseDiskLine("DRIVE\tDISK\tsdb", drive));
    EXPECT_EQ(drive.name, "sdb");
    EXPECT_EQ(drive.size, 0UL);
    ASSERT_TRUE(parseDiskLine("DRIVE\tDISK\tsdc\tx\tx\tbig", drive));
    EXPECT_EQ(drive.size, 0UL);
}

TEST(HardListerLine, PartitionNameIsLastPathPartPlusNumber)
{
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART\t/dev/hda\t1")), "hda1");
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART\t/dev/md/md10p\t1")), "md10p1");
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART\tsda\t2")), "sda2");
    EXPECT_EQ(partitionNameOf(splitAtTabs("PART")), QString());
}

TEST(HardListerLine, PartitionLineTakenByEveryDiskWhoseNameItContainsUnlessExactlyExtended)
{
    const QString line = partLine("/dev/md10p", "1", "primary", "ext3", "100", "0");
    QString name;
    EXPECT_TRUE(takePartitionLine(line, "md1", name));
    EXPECT_EQ(name, "md10p1");
    EXPECT_TRUE(takePartitionLine(line, "md10", name));
    EXPECT_FALSE(takePartitionLine(line, "md2", name));

    EXPECT_FALSE(takePartitionLine(partLine("/dev/hda", "2", "extended", "", "5", "0"), "hda", name));
    EXPECT_TRUE(takePartitionLine(partLine("/dev/hda", "2", "Extended", "", "5", "0"), "hda", name));
    EXPECT_FALSE(takePartitionLine("DRIVE\t/dev/hda\t3", "hda", name));
}

TEST(HardListerLine, ShortPartitionLineIsTakenWithEmptyFieldsAnOverlongOneWithAllOfThem)
{
    QString name;
    EXPECT_TRUE(takePartitionLine("PART\t/dev/sda\t1", "sda", name));
    const PartitionBasics basics = parsePartitionBasics("PART\t/dev/sda\t1");
    EXPECT_EQ(basics.size, 0);
    EXPECT_TRUE(basics.system.isEmpty());
    EXPECT_TRUE(basics.systemTag.isNull());
    EXPECT_FALSE(basics.pvCandidate);

    QStringList many = {"PART", "/dev/sda", "5"};
    for (int i = 3; i < 300; ++i)
        many << "LVM";
    const PartitionBasics overlong = parsePartitionBasics(many.join('\t'));
    EXPECT_TRUE(overlong.pvCandidate);
    EXPECT_EQ(overlong.system, "LVM, LVM");
}

// What the probe reads from a partition line of /dev/hda1 with these fields 6 to 9 (and 11).
PartitionBasics probe(const char* kind, const char* fsType, const char* size, const char* trust,
                      const char* tag = nullptr)
{
    return parsePartitionBasics(partLine("/dev/hda", "1", kind, fsType, size, trust, tag));
}

TEST(HardPartitionProbe, LineOfElevenFieldsHasNoTagAndIsNoPv)
{
    const PartitionBasics basics = probe("Linux", "ext3", "2047", "0");
    EXPECT_TRUE(basics.systemTag.isNull());
    EXPECT_EQ(basics.system, "Linux");
    EXPECT_FALSE(basics.pvCandidate);
    EXPECT_EQ(basics.size, 2047);
    EXPECT_EQ(basics.fstype, "ext3");
}

TEST(HardPartitionProbe, TagLvmMakesCandidateButLowerCaseDoesNotAndBlankStillExtendsSystem)
{
    const PartitionBasics lvm = probe("Linux", "", "9", "0", "LVM");
    EXPECT_TRUE(lvm.pvCandidate);
    EXPECT_EQ(lvm.system, "Linux, LVM");
    const PartitionBasics other = probe("Linux", "", "9", "0", "lvm");
    EXPECT_FALSE(other.pvCandidate);
    EXPECT_EQ(other.system, "Linux, lvm");
    EXPECT_EQ(probe("Linux", "", "1", "0", " ").system, "Linux,  ");
}

// The lister's own type names are trusted whatever field 9 says; other types only while it is
// not negative.
TEST(HardPartitionProbe, FileSystemTypeAndSizeFields)
{
    const struct {
        const char* fsType;
        const char* trust;
        const char* expected; // nullptr: null type
    } types[] = {{"FAT32", "-1", "FAT32"}, {"NTFS", "-1", "NTFS"},   {"LINUX-SWAP", "-1", "LINUX-SWAP"},
                 {"VFAT", "-1", nullptr},  {"ntfs", "-1", nullptr},  {"ext3", "-1", nullptr},
                 {"ext3", "0", "ext3"},    {"ext3", "junk", "ext3"}, {"ext3", "-5000000000", nullptr}};
    for (const auto& t : types) {
        const QString fstype = probe("x", t.fsType, "1", t.trust).fstype;
        if (t.expected)
            EXPECT_EQ(fstype, QString::fromLatin1(t.expected)) << t.fsType << " " << t.trust;
        else
            EXPECT_TRUE(fstype.isNull()) << t.fsType << " " << t.trust;
    }
    EXPECT_EQ(probe("", "", "-2047", "0").size, -2047);
    EXPECT_EQ(probe("", "", "12MB", "0").size, 0);
}

TEST(HardPvDisplayColon, GroupNameAndUuidOrNoGroupForOrphansAndEmptyOrShortRecords)
{
    const PvRecord record = parsePvDisplayColon(
        {"  /dev/sda5:vg0:84254720:-1:8:8:-1:4096:10284:0:10284:IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP"});
    EXPECT_FALSE(record.noLabel);
    EXPECT_EQ(record.vgName, "vg0");
    EXPECT_EQ(record.uuid, "IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP");

    const PvRecord orphan = parsePvDisplayColon(
        {"  \"/dev/sdb\" is a new physical volume of \"4.88 GiB\"",
         "  /dev/sdb:#orphans_lvm2:10240000:-1:8:8:-1:0:0:0:0:ByVn3c-aI8G-BYYI-CS84-QBPO-cOsa-34kHWu"});
    EXPECT_FALSE(orphan.noLabel);
    EXPECT_TRUE(orphan.vgName.isEmpty());
    EXPECT_TRUE(orphan.uuid.isEmpty());

    EXPECT_TRUE(parsePvDisplayColon({"  /dev/hda3::1:2"}).vgName.isEmpty());
    const PvRecord shortRecord = parsePvDisplayColon({"/dev/hda3:vg00"});
    EXPECT_EQ(shortRecord.vgName, "vg00");
    EXPECT_TRUE(shortRecord.uuid.isEmpty());
}

TEST(HardPvDisplayColon, NoLabelAnswerAnywhereInLineAndWarningsBeforeTheRecordAreNotTakenForIt)
{
    EXPECT_TRUE(parsePvDisplayColon({"  No physical volume label read from /dev/md127"}).noLabel);
    EXPECT_FALSE(parsePvDisplayColon({"  no physical volume label read from /dev/md127"}).noLabel);

    const PvRecord record =
        parsePvDisplayColon({"  WARNING: Device /dev/sdb not initialized in udev database: still waiting.",
                             "  /dev/hda3:vg00:1:-1:8:8:-1:4096:10:0:10:uuid-1"});
    EXPECT_EQ(record.vgName, "vg00");
    EXPECT_TRUE(parsePvDisplayColon({"  WARNING: something: odd"}).vgName.isEmpty());
    EXPECT_TRUE(parsePvDisplayColon({}).vgName.isEmpty());
    EXPECT_FALSE(parsePvDisplayColon({}).noLabel);
}

TEST(HardLvTable, RowPathTakenWholeSoDashesAndDotsSurviveOrBuiltFromWordsOneAndTwo)
{
    EXPECT_EQ(lvPathOfTableRow("   /dev/my-vg/data.1           100       100"), "/dev/my-vg/data.1");
    EXPECT_EQ(lvPathOfTableRow("/dev/vg00/lvol1\t100\t100"), "/dev/vg00/lvol1");

    EXPECT_EQ(lvPathOfTableRow("vg00 lvol1"), "/dev/lvol1/");
    EXPECT_EQ(lvPathOfTableRow("dev vg00 lvol1 100 100"), "/dev/vg00/lvol1");
}

TEST(HardLvTable, ReadsRowsBetweenHeaderAndEmptyOrBlankLineOnly)
{
    const QStringList lines = {
        "--- Physical volume ---",
        "/dev/vg00/ignored 1 1",
        "   --- Distribution of physical volume ---",
        "   LV Name                   LE of LV  PE for LV",
        "   /dev/vg00/lvol1           100       100",
        "   /dev/vg00/lvol2           10        10",
        QString(),
        "   /dev/vg00/after           1         1",
    };
    EXPECT_EQ(lvPathsOfPvDisplay(lines), (QStringList{"/dev/vg00/lvol1", "/dev/vg00/lvol2"}));

    EXPECT_TRUE(lvPathsOfPvDisplay({"  No physical volume label read from /dev/hda3"}).isEmpty());
    EXPECT_TRUE(lvPathsOfPvDisplay({"LV Name  LE of LV  PE for LV", "/dev/vg00/lvol1 1 1"}).isEmpty());
    EXPECT_EQ(lvPathsOfPvDisplay(
                  {"LV Name                   LE of LV  PE for LV", "/dev/vg00/a 1 1", "    ", "/dev/vg00/b 1 1"}),
              QStringList{"/dev/vg00/a"});
}

TEST(HardLvTable, ScannerStopsAskingAfterTable)
{
    LvTableScanner scanner;
    EXPECT_TRUE(scanner.addLine("LV Name                   LE of LV  PE for LV"));
    EXPECT_TRUE(scanner.addLine("/dev/vg00/a 1 1"));
    EXPECT_FALSE(scanner.addLine(QString()));
    EXPECT_FALSE(scanner.addLine("/dev/vg00/b 1 1"));
    EXPECT_EQ(scanner.paths(), QStringList{"/dev/vg00/a"});
}

TEST(HardMountLookup, MatchesSectionTwoOfDeviceFirstEntryWins)
{
    const QList<MountEntry> table = {
        {"/dev/mapper/hda1", "/wrong", "xfs"}, {"proc", "/proc", "proc"},      {"/dev/hda1", "/boot", "ext2"},
        {"/dev/hda1", "/again", "ext3"},       {"/dev/hda10", "/ten", "ext3"},
    };
    const MountEntry* entry = findMountEntry(table, "hda1");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->directory, "/boot");
    EXPECT_EQ(findMountEntry(table, "mapper")->directory, "/wrong");
    EXPECT_EQ(findMountEntry(table, "hda2"), nullptr);
}
