// Literal-text tests of the physical tree's parsers: lister lines, pvdisplay output, mount lookup.
#include "diskparse_p.h"

#include <gtest/gtest.h>

namespace {

// A partition line of the lister with fields 0..10 and, when given, field 11.
QString partLine(const QString& disk, const QString& number, const QString& kind, const QString& fsType,
                 const QString& size, const QString& trust, const QString* tag = nullptr)
{
    QStringList fields = {QStringLiteral("PART"), disk, number, QStringLiteral("x"), QStringLiteral("x"),
                          QStringLiteral("x"), kind, fsType, size, trust, QStringLiteral("x")};
    if (tag)
        fields.append(*tag);
    return fields.join(QLatin1Char('\t'));
}

} // namespace

TEST(HardListerLine, TabSplitCountsEmptyFields)
{
    const QStringList fields = splitAtTabs(QStringLiteral("a\t\tb\t"));
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields.at(1), QString());
    EXPECT_EQ(fields.at(2), QStringLiteral("b"));
    EXPECT_TRUE(fieldAt(fields, 4).isEmpty());
    EXPECT_TRUE(fieldAt(fields, 99).isEmpty());
}

TEST(HardListerLine, OnlyDriveLinesOfKindDiskMakeDisksAndAMissingSizeReadsZero)
{
    DriveLine drive;
    EXPECT_TRUE(parseDiskLine(QStringLiteral("DRIVE\tDISK\thda\tx\tx\t80026361"), drive));
    EXPECT_EQ(drive.name, QStringLiteral("hda"));
    EXPECT_EQ(drive.size, 80026361UL);
    EXPECT_FALSE(parseDiskLine(QStringLiteral("DRIVE\tCDROM\thdc\tx\tx\t0"), drive));
    EXPECT_FALSE(parseDiskLine(QStringLiteral("DRIVE\tdisk\thdd\tx\tx\t5"), drive));
    EXPECT_FALSE(parseDiskLine(QStringLiteral("PART\tDISK\thda\tx\tx\t5"), drive));

    ASSERT_TRUE(parseDiskLine(QStringLiteral("DRIVE\tDISK\tsdb"), drive));
    EXPECT_EQ(drive.name, QStringLiteral("sdb"));
    EXPECT_EQ(drive.size, 0UL);
    ASSERT_TRUE(parseDiskLine(QStringLiteral("DRIVE\tDISK\tsdc\tx\tx\tbig"), drive));
    EXPECT_EQ(drive.size, 0UL);
}

TEST(HardListerLine, PartitionNameIsLastPathPartPlusNumber)
{
    EXPECT_EQ(partitionNameOf(splitAtTabs(QStringLiteral("PART\t/dev/hda\t1"))), QStringLiteral("hda1"));
    EXPECT_EQ(partitionNameOf(splitAtTabs(QStringLiteral("PART\t/dev/md/md10p\t1"))), QStringLiteral("md10p1"));
    EXPECT_EQ(partitionNameOf(splitAtTabs(QStringLiteral("PART\tsda\t2"))), QStringLiteral("sda2"));
    EXPECT_EQ(partitionNameOf(splitAtTabs(QStringLiteral("PART"))), QString());
}

TEST(HardListerLine, PartitionLineTakenByEveryDiskWhoseNameItContainsUnlessExactlyExtended)
{
    const QString line = partLine(QStringLiteral("/dev/md10p"), QStringLiteral("1"), QStringLiteral("primary"),
                                  QStringLiteral("ext3"), QStringLiteral("100"), QStringLiteral("0"));
    QString name;
    EXPECT_TRUE(takePartitionLine(line, QStringLiteral("md1"), name));
    EXPECT_EQ(name, QStringLiteral("md10p1"));
    EXPECT_TRUE(takePartitionLine(line, QStringLiteral("md10"), name));
    EXPECT_FALSE(takePartitionLine(line, QStringLiteral("md2"), name));

    EXPECT_FALSE(takePartitionLine(partLine(QStringLiteral("/dev/hda"), QStringLiteral("2"), QStringLiteral("extended"),
                                            QString(), QStringLiteral("5"), QStringLiteral("0")),
                                   QStringLiteral("hda"), name));
    EXPECT_TRUE(takePartitionLine(partLine(QStringLiteral("/dev/hda"), QStringLiteral("2"), QStringLiteral("Extended"),
                                           QString(), QStringLiteral("5"), QStringLiteral("0")),
                                  QStringLiteral("hda"), name));
    EXPECT_FALSE(takePartitionLine(QStringLiteral("DRIVE\t/dev/hda\t3"), QStringLiteral("hda"), name));
}

TEST(HardListerLine, ShortPartitionLineIsTakenWithEmptyFields)
{
    QString name;
    EXPECT_TRUE(takePartitionLine(QStringLiteral("PART\t/dev/sda\t1"), QStringLiteral("sda"), name));
    const PartitionBasics basics = parsePartitionBasics(QStringLiteral("PART\t/dev/sda\t1"));
    EXPECT_EQ(basics.size, 0);
    EXPECT_TRUE(basics.system.isEmpty());
    EXPECT_TRUE(basics.systemTag.isNull());
    EXPECT_FALSE(basics.pvCandidate);
}

// What the probe reads from a partition line of /dev/hda1 with these fields 6 to 9 (and 11).
PartitionBasics probe(const char* kind, const char* fsType, const char* size, const char* trust,
                      const char* tag = nullptr)
{
    const QString tagText = QString::fromLatin1(tag);
    return parsePartitionBasics(partLine(QStringLiteral("/dev/hda"), QStringLiteral("1"), QString::fromLatin1(kind),
                                         QString::fromLatin1(fsType), QString::fromLatin1(size),
                                         QString::fromLatin1(trust), tag ? &tagText : nullptr));
}

TEST(HardPartitionProbe, LineOfElevenFieldsHasNoTagAndIsNoPv)
{
    const PartitionBasics basics = probe("Linux", "ext3", "2047", "0");
    EXPECT_TRUE(basics.systemTag.isNull());
    EXPECT_EQ(basics.system, QStringLiteral("Linux"));
    EXPECT_FALSE(basics.pvCandidate);
    EXPECT_EQ(basics.size, 2047);
    EXPECT_EQ(basics.fstype, QStringLiteral("ext3"));
}

TEST(HardPartitionProbe, TagLvmMakesCandidateButLowerCaseDoesNotAndBlankStillExtendsSystem)
{
    const PartitionBasics lvm = probe("Linux", "", "9", "0", "LVM");
    EXPECT_TRUE(lvm.pvCandidate);
    EXPECT_EQ(lvm.system, QStringLiteral("Linux, LVM"));
    const PartitionBasics other = probe("Linux", "", "9", "0", "lvm");
    EXPECT_FALSE(other.pvCandidate);
    EXPECT_EQ(other.system, QStringLiteral("Linux, lvm"));
    EXPECT_EQ(probe("Linux", "", "1", "0", " ").system, QStringLiteral("Linux,  "));
}

// The lister's own type names are trusted whatever field 9 says; other types only while it is
// not negative.
TEST(HardPartitionProbe, FileSystemTypeAndSizeFields)
{
    const struct {
        const char* fsType;
        const char* trust;
        const char* expected; // nullptr: null type
    } types[] = {{"FAT32", "-1", "FAT32"}, {"NTFS", "-1", "NTFS"},      {"LINUX-SWAP", "-1", "LINUX-SWAP"},
                 {"VFAT", "-1", nullptr},  {"ntfs", "-1", nullptr},     {"ext3", "-1", nullptr},
                 {"ext3", "0", "ext3"},    {"ext3", "junk", "ext3"},    {"ext3", "-5000000000", nullptr}};
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
        {QStringLiteral("  /dev/sda5:vg0:84254720:-1:8:8:-1:4096:10284:0:10284:IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP")});
    EXPECT_FALSE(record.noLabel);
    EXPECT_EQ(record.vgName, QStringLiteral("vg0"));
    EXPECT_EQ(record.uuid, QStringLiteral("IKGNO5-Dx7w-2UBv-rUzw-ekJg-e496-9RQ5cP"));

    const PvRecord orphan = parsePvDisplayColon(
        {QStringLiteral("  \"/dev/sdb\" is a new physical volume of \"4.88 GiB\""),
         QStringLiteral("  /dev/sdb:#orphans_lvm2:10240000:-1:8:8:-1:0:0:0:0:ByVn3c-aI8G-BYYI-CS84-QBPO-cOsa-34kHWu")});
    EXPECT_FALSE(orphan.noLabel);
    EXPECT_TRUE(orphan.vgName.isEmpty());
    EXPECT_TRUE(orphan.uuid.isEmpty());

    EXPECT_TRUE(parsePvDisplayColon({QStringLiteral("  /dev/hda3::1:2")}).vgName.isEmpty());
    const PvRecord shortRecord = parsePvDisplayColon({QStringLiteral("/dev/hda3:vg00")});
    EXPECT_EQ(shortRecord.vgName, QStringLiteral("vg00"));
    EXPECT_TRUE(shortRecord.uuid.isEmpty());
}

TEST(HardPvDisplayColon, NoLabelAnswerAnywhereInLineAndWarningsBeforeTheRecordAreNotTakenForIt)
{
    EXPECT_TRUE(parsePvDisplayColon({QStringLiteral("  No physical volume label read from /dev/md127")}).noLabel);
    EXPECT_FALSE(parsePvDisplayColon({QStringLiteral("  no physical volume label read from /dev/md127")}).noLabel);

    const PvRecord record = parsePvDisplayColon(
        {QStringLiteral("  WARNING: Device /dev/sdb not initialized in udev database: still waiting."),
         QStringLiteral("  /dev/hda3:vg00:1:-1:8:8:-1:4096:10:0:10:uuid-1")});
    EXPECT_EQ(record.vgName, QStringLiteral("vg00"));
    EXPECT_TRUE(parsePvDisplayColon({QStringLiteral("  WARNING: something: odd")}).vgName.isEmpty());
    EXPECT_TRUE(parsePvDisplayColon({}).vgName.isEmpty());
    EXPECT_FALSE(parsePvDisplayColon({}).noLabel);
}

TEST(HardLvTable, RowPathTakenWholeSoDashesAndDotsSurviveOrBuiltFromWordsOneAndTwo)
{
    EXPECT_EQ(lvPathOfTableRow(QStringLiteral("   /dev/my-vg/data.1           100       100")),
              QStringLiteral("/dev/my-vg/data.1"));
    EXPECT_EQ(lvPathOfTableRow(QStringLiteral("/dev/vg00/lvol1\t100\t100")), QStringLiteral("/dev/vg00/lvol1"));

    EXPECT_EQ(lvPathOfTableRow(QStringLiteral("vg00 lvol1")), QStringLiteral("/dev/lvol1/"));
    EXPECT_EQ(lvPathOfTableRow(QStringLiteral("dev vg00 lvol1 100 100")), QStringLiteral("/dev/vg00/lvol1"));
}

TEST(HardLvTable, ReadsRowsBetweenHeaderAndEmptyOrBlankLineOnly)
{
    const QStringList lines = {
        QStringLiteral("--- Physical volume ---"),
        QStringLiteral("/dev/vg00/ignored 1 1"),
        QStringLiteral("   --- Distribution of physical volume ---"),
        QStringLiteral("   LV Name                   LE of LV  PE for LV"),
        QStringLiteral("   /dev/vg00/lvol1           100       100"),
        QStringLiteral("   /dev/vg00/lvol2           10        10"),
        QString(),
        QStringLiteral("   /dev/vg00/after           1         1"),
    };
    EXPECT_EQ(lvPathsOfPvDisplay(lines),
              (QStringList{QStringLiteral("/dev/vg00/lvol1"), QStringLiteral("/dev/vg00/lvol2")}));

    EXPECT_TRUE(lvPathsOfPvDisplay({QStringLiteral("  No physical volume label read from /dev/hda3")}).isEmpty());
    EXPECT_TRUE(lvPathsOfPvDisplay({QStringLiteral("LV Name  LE of LV  PE for LV"),
                                    QStringLiteral("/dev/vg00/lvol1 1 1")})
                    .isEmpty());
    EXPECT_EQ(lvPathsOfPvDisplay({QStringLiteral("LV Name                   LE of LV  PE for LV"),
                                  QStringLiteral("/dev/vg00/a 1 1"), QStringLiteral("    "),
                                  QStringLiteral("/dev/vg00/b 1 1")}),
              QStringList{QStringLiteral("/dev/vg00/a")});
}

TEST(HardLvTable, ScannerStopsAskingAfterTable)
{
    LvTableScanner scanner;
    EXPECT_TRUE(scanner.addLine(QStringLiteral("LV Name                   LE of LV  PE for LV")));
    EXPECT_TRUE(scanner.addLine(QStringLiteral("/dev/vg00/a 1 1")));
    EXPECT_FALSE(scanner.addLine(QString()));
    EXPECT_FALSE(scanner.addLine(QStringLiteral("/dev/vg00/b 1 1")));
    EXPECT_EQ(scanner.paths(), QStringList{QStringLiteral("/dev/vg00/a")});
}

TEST(HardMountLookup, MatchesSectionTwoOfDeviceFirstEntryWins)
{
    const QList<MountEntry> table = {
        {QStringLiteral("/dev/mapper/hda1"), QStringLiteral("/wrong"), QStringLiteral("xfs")},
        {QStringLiteral("proc"), QStringLiteral("/proc"), QStringLiteral("proc")},
        {QStringLiteral("/dev/hda1"), QStringLiteral("/boot"), QStringLiteral("ext2")},
        {QStringLiteral("/dev/hda1"), QStringLiteral("/again"), QStringLiteral("ext3")},
        {QStringLiteral("/dev/hda10"), QStringLiteral("/ten"), QStringLiteral("ext3")},
    };
    const MountEntry* entry = findMountEntry(table, QStringLiteral("hda1"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->directory, QStringLiteral("/boot"));
    EXPECT_EQ(findMountEntry(table, QStringLiteral("mapper"))->directory, QStringLiteral("/wrong"));
    EXPECT_EQ(findMountEntry(table, QStringLiteral("hda2")), nullptr);
}
