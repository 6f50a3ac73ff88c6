// Today's tool set through its parsers: real fullreport, lsblk and blkid output, size forms, partition
// names, and broken documents that must be reported while the rest is still read.
#include "currentparse_p.h"
#include "qtprinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(DOVO_CORPUS_DIR "/current/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

const ReportLv* findLv(const LvmReport& report, const QString& name)
{
    for (const ReportLv& lv : report.lvs) {
        if (lv.name == name)
            return &lv;
    }
    return nullptr;
}

QStringList names(const QList<BlockDevice>& devices)
{
    QStringList result;
    for (const BlockDevice& device : devices)
        result << device.name + u'<' + device.parentName + u'#' + QString::number(device.partitionNumber);
    return result;
}

TEST(LvmFullReportRead, RealReportGivesGroupsPhysicalVolumesAndVolumes)
{
    const LvmReport report = parseLvmFullReport(fixture("lvm-fullreport.json"));
    EXPECT_EQ(report.problems, QStringList());
    ASSERT_EQ(report.vgs.size(), 2);
    const ReportVg& vg = report.vgs.at(1);
    EXPECT_EQ(std::tie(vg.name, vg.uuid, vg.attr),
              std::tuple("my-vg", "xt3kFf-LwAK-X9xe-LnIk-XfUt-0e2D-fVxWwz", "wz--n-"));
    EXPECT_EQ(std::tie(vg.sizeKiB, vg.freeKiB, vg.extentKiB, vg.extentCount, vg.freeCount, vg.seqno),
              std::tuple(606208, 106496, 4096, 148, 26, 7));
    EXPECT_EQ(std::tie(vg.pvCount, vg.lvCount, vg.snapCount, vg.maxLv, vg.maxPv), std::tuple(2, 4, 1, 0, 0));
    EXPECT_EQ(report.vgs.at(0).name, "vg.b+k");
    EXPECT_EQ(report.vgs.at(0).extentKiB, 8192);

    ASSERT_EQ(report.pvs.size(), 3);
    const ReportPv& pv = report.pvs.at(2);
    EXPECT_EQ(std::tie(pv.name, pv.vgName, pv.uuid),
              std::tuple("/dev/loop1", "my-vg", "BAQAEi-IW1H-VC9C-489i-4akQ-lt6t-BITnoS"));
    EXPECT_EQ(std::tie(pv.sizeKiB, pv.devSizeKiB, pv.peCount, pv.peAllocCount), std::tuple(303104, 307200, 74, 74));
    EXPECT_EQ(report.pvs.at(0).vgName, "vg.b+k");
    EXPECT_EQ(report.pvSegments.size(), 8);
    EXPECT_EQ(report.lvSegments.size(), 6);

    // The volumes with their group, origin and devices in extent order.
    using Row = std::tuple<QString, QString, QString, qint64, QString, QString, QStringList>;
    const QString loop0 = "/dev/loop0", loop1 = "/dev/loop1";
    const Row rows[] = {
        {"vg.b+k", "data", "/dev/mapper/vg.b+k-data", 40960, "public", "", {"/dev/loop2"}},
        {"my-vg", "a-b.c+d", "/dev/mapper/my--vg-a--b.c+d", 40960, "public", "", {loop0}},
        // big's first extents lie on loop1, its last ones on loop0.
        {"my-vg", "big", "/dev/mapper/my--vg-big", 409600, "public", "", {loop1, loop0}},
        {"my-vg", "home", "/dev/mapper/my--vg-home", 40960, "public,origin,thickorigin", "", {loop0}},
        {"my-vg", "home.snap", "/dev/mapper/my--vg-home.snap", 8192, "public,snapshot,thicksnapshot", "home", {loop0}},
    };
    ASSERT_EQ(report.lvs.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const ReportLv& lv = report.lvs.at(i);
        EXPECT_EQ(Row(lv.vgName, lv.name, lv.dmPath, lv.sizeKiB, lv.role, lv.origin, lv.pvPaths), rows[i]);
        EXPECT_EQ(lv.path, QStringLiteral("/dev/%1/%2").arg(lv.vgName, lv.name));
        EXPECT_EQ(std::tie(lv.active, lv.kernelMajor, lv.kernelMinor, lv.readAheadSectors, lv.skipActivation),
                  std::tuple(false, -1, -1, -1, false));
        EXPECT_EQ(lv.allocationPolicy, "inherit");
    }
    const ReportLv* snapshot = findLv(report, "home.snap");
    EXPECT_EQ(std::tie(snapshot->attr, snapshot->originSizeKiB, snapshot->segCount),
              std::tuple("swi-XXs---", 40960, 1));
    EXPECT_EQ(findLv(report, "big")->segCount, 2);
}

TEST(LvmFullReportRead, KibReportWithOrphanAndStripedVolumeReadsTheSame)
{
    const LvmReport report = parseLvmFullReport(fixture("lvm-fullreport-k.json"));
    EXPECT_EQ(report.problems, QStringList());
    ASSERT_EQ(report.vgs.size(), 1);
    EXPECT_EQ(std::tie(report.vgs.at(0).sizeKiB, report.vgs.at(0).extentKiB), std::tuple(806912, 4096));
    ASSERT_EQ(report.pvs.size(), 4);
    EXPECT_EQ(std::tie(report.pvs.at(3).name, report.pvs.at(3).vgName), std::tuple("/dev/loop3", QString()));
    EXPECT_EQ(findLv(report, "striped")->pvPaths, QStringList({"/dev/loop0p2", "/dev/loop2"}));
    EXPECT_EQ(findLv(report, "big")->pvPaths, QStringList({"/dev/loop1", "/dev/loop0p2"}));
}

TEST(LvmFullReportRead, StateFieldsFallBackToTheAttributeStringAndWarningsAroundAreSkipped)
{
    const LvmReport report = parseLvmFullReport(
        "  WARNING: {odd} text first\n  {\"report\": [{\"vg\": [{\"vg_name\": \"v g\", \"new_field\": [1]}], \"lv\": "
        "[\n"
        "{\"lv_name\": \"a\", \"lv_attr\": \"-wi-a----k\", \"lv_read_ahead\": \"128.00k\", \"lv_size\": 5},\n"
        "{\"lv_name\": \"b\", \"lv_attr\": \"-wi-a-----\", \"lv_active\": \"\", \"lv_skip_activation\": \"skip "
        "activation\"}"
        "]}]}\n  WARNING: } after\n");
    EXPECT_EQ(report.problems, QStringList());
    ASSERT_EQ(report.lvs.size(), 2);
    const ReportLv &a = report.lvs.at(0), &b = report.lvs.at(1);
    EXPECT_EQ(std::tie(a.vgName, a.active, a.skipActivation, a.readAheadSectors, a.sizeKiB),
              std::tuple("v g", true, true, 256, 5));
    EXPECT_EQ(std::tie(b.active, b.skipActivation), std::tuple(false, true));
}

TEST(LvmFullReportRead, DevicesFollowTheVolumesExtentsThenTheRemainingPhysicalSegments)
{
    const LvmReport report = parseLvmFullReport(R"({"report": [{"vg": [{"vg_name": "g"}],
        "pv": [{"pv_name": "/dev/a", "pv_uuid": "A"}, {"pv_name": "/dev/b", "pv_uuid": "B"}, {"pv_name": "/dev/c", "pv_uuid": "C"}],
        "lv": [{"lv_name": "x", "lv_uuid": "X"}, {"lv_name": "y", "lv_uuid": "Y"}],
        "pvseg": [{"pv_uuid": "C", "lv_uuid": "X"}, {"pv_uuid": "B", "lv_uuid": "X"}, {"pv_uuid": "A", "lv_uuid": "X"},
                  {"pv_uuid": "B", "lv_uuid": "Y"}, {"pv_uuid": "A", "lv_uuid": "Y"}],
        "seg": [{"lv_uuid": "X", "seg_start_pe": "10", "seg_pe_ranges": "/dev/b:0-4"},
                {"lv_uuid": "X", "seg_start_pe": "0", "seg_pe_ranges": "/dev/a:0-4 x_rimage_0:0-4 /dev/b:5-9"}]}]})");
    EXPECT_EQ(report.problems, QStringList());
    ASSERT_EQ(report.lvs.size(), 2);
    EXPECT_EQ(report.lvs.at(0).pvPaths, QStringList({"/dev/a", "/dev/b", "/dev/c"}));
    EXPECT_EQ(report.lvs.at(1).pvPaths, QStringList({"/dev/b", "/dev/a"}));
}

TEST(LvmSizeParse, BareNumbersAreKibAndUnitsConvertExactly)
{
    const std::pair<const char*, qint64> sizes[] = {
        {"303104.00", 303104},
        {"296.00m", 303104},
        {"0 ", 0},
        {"  8.00M", 7813},
        {"506.50k", 507},
        {"1024b", 1},
        {"2S", 1},
        {"1.00g", 1048576},
        {"2t", 2147483648LL},
        {"8.00E", 7812500000000000LL},
        {"5.", 5},
        {"8e", 9007199254740992LL},
    };
    for (const auto& [text, kib] : sizes)
        EXPECT_EQ(parseSizeKiB(QLatin1String(text)), std::optional<qint64>(kib)) << text;
    for (const char* bad : {"", " ", "m", "-1", "1.2.3", "12x", "1 m", "auto", "9999999999999999999", "99999999999e"})
        EXPECT_EQ(parseSizeKiB(QLatin1String(bad)), std::nullopt) << bad;
}

// Each fault is one problem line; what can still be read is kept (counts of groups, volumes and
// physical segments).
TEST(LvmFullReportRead, FaultsAreReportedOnceAndTheRestIsStillRead)
{
    const QByteArray group = R"({"report": [{"vg": [{"vg_name": "g"}], "pv": [{"pv_name": "/dev/a", "pv_uuid": "P"}],
        "lv": [{"lv_name": "x", "lv_uuid": "X"}, {"lv_name": "y", "lv_uuid": "Y", "lv_size": )";
    const std::tuple<std::vector<qsizetype>, QByteArray, QStringList> cases[] = {
        {{1, 2, 0},
         group + "\"1m\"}]}",
         {"lvm fullreport: the report is not valid JSON (unterminated array at offset 186)"}},
        {{1, 1, 0},
         group + "\"4",
         {"lvm fullreport: the report is not valid JSON (unterminated string at offset 182)"}},
        {{1, 2, 2},
         group + "[1]}], \"pvseg\": [{\"pv_uuid\": \"P\", \"lv_uuid\": \"Z\"}, {\"pv_uuid\": \"Q\"}], \"seg\": {}}]}",
         {"lvm fullreport: logical volume \"g/y\": lv_size is neither text nor a number",
          "lvm fullreport: \"seg\" is not an array",
          "lvm fullreport: a segment of physical volume \"/dev/a\" names an unknown logical volume (uuid \"Z\")",
          "lvm fullreport: a segment names an unknown physical volume (uuid \"Q\")"}},
        {{1, 3, 0},
         group + "\"12x\"}]}, {\"lv\": [{\"lv_name\": \"z\"}], \"seg\": [{\"lv_uuid\": \"W\"}]}, 7]}",
         {"lvm fullreport: an element of \"report\" is not an object",
          "lvm fullreport: logical volume \"g/y\": lv_size \"12x\" is not a size",
          "lvm fullreport: logical volume \"z\" has no volume group",
          "lvm fullreport: a segment names an unknown logical volume (uuid \"W\")"}},
        {{0, 0, 0}, "{\"report\": {}}", {"lvm fullreport: the output holds no \"report\" array"}},
        {{0, 0, 0}, "  WARNING: no output\n", {"lvm fullreport: the output holds no JSON report"}},
    };
    for (const auto& [counts, json, problems] : cases) {
        const LvmReport report = parseLvmFullReport(json);
        EXPECT_EQ(report.problems, problems) << json.constData();
        EXPECT_EQ(std::vector({report.vgs.size(), report.lvs.size(), report.pvSegments.size()}), counts)
            << json.constData();
    }
}

TEST(LsblkRead, TreeAndListFormsGiveTheSameParentsAndPartitionNumbers)
{
    QStringList problems;
    const QList<BlockDevice> tree = parseLsblkJson(fixture("lsblk-tree.json"), &problems);
    const QList<BlockDevice> list = parseLsblkJson(fixture("lsblk-list.json"), &problems);
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(names(tree), QStringList({"loop0<#-1", "loop0p1<loop0#1", "loop0p2<loop0#2", "loop1<#-1", "loop2<#-1",
                                        "loop3<#-1", "zram0<#-1", "vda<#-1"}));
    QStringList sortedList = names(list), sortedTree = names(tree);
    sortedList.sort();
    sortedTree.sort();
    EXPECT_EQ(sortedList, sortedTree);
    const BlockDevice& partition = tree.at(2);
    EXPECT_EQ(std::tie(partition.path, partition.type, partition.sizeBytes),
              std::tuple("/dev/loop0p2", "part", 208666624));
    EXPECT_TRUE(partition.fsType.isNull() && partition.partTypeName.isNull());
    EXPECT_EQ(std::tie(tree.at(7).mountPoint, tree.at(7).sizeBytes), std::tuple("/", 274877906944));
}

TEST(LsblkRead, NestingWithoutParentColumnStringSizesAndFaults)
{
    QStringList problems;
    const QList<BlockDevice> devices = parseLsblkJson(R"(lsblk: note
{"blockdevices": [{"name": "nvme0n1", "size": "512110190592", "children": [
   {"name": "nvme0n1p3", "type": "part", "size": "12M", "fstype": "LVM2_member", "parttype": "0x8e", "children": [
     {"name": "my--vg-home", "type": "lvm", "pkname": "nvme0n1p3"}]}]},
 {"name": "sdz1", "type": "part", "pkname": "sdz", "parttypename": "Linux LVM"},
 {"name": "broken", "children": [{"name": "x1", "type": "part"}, 3)",
                                                      &problems);
    EXPECT_EQ(names(devices), QStringList({"nvme0n1<#-1", "nvme0n1p3<nvme0n1#3", "my--vg-home<nvme0n1p3#-1",
                                           "sdz1<sdz#1", "broken<#-1", "x1<broken#-1"}));
    EXPECT_EQ(
        std::tie(devices.at(0).sizeBytes, devices.at(1).sizeBytes, devices.at(1).fsType, devices.at(3).partTypeName),
        std::tuple(512110190592, 0, "LVM2_member", "Linux LVM"));
    EXPECT_EQ(problems,
              QStringList({"lsblk: the listing is not valid JSON (invalid termination by number at offset 422)",
                           "lsblk: device \"nvme0n1p3\": size is not a number of bytes",
                           "lsblk: device \"sdz1\" names an unknown parent \"sdz\""}));
}

TEST(PartitionNames, NumberFollowsTheParentNameAndAnOptionalP)
{
    const std::tuple<const char*, const char*, int> rows[] = {
        {"sda5", "sda", 5},   {"nvme0n1p3", "nvme0n1", 3}, {"sda", "sd", -1},
        {"sdab1", "sda", -1}, {"sda", "sda", -1},          {"sdap", "sda", -1},
        {"sda5", "", -1},     {"sdb5", "sda", -1},         {"sda99999999999", "sda", -1},
    };
    for (const auto& [name, parent, number] : rows)
        EXPECT_EQ(partitionNumberFromNames(QLatin1String(name), QLatin1String(parent)), number) << name;

    const std::tuple<const char*, const char*, int> paths[] = {
        {"", "", -1},
        {"/dev/loop0", "/dev/loop", 0},
        {"/dev/sda12345678901", "/dev/sda12345678901", -1},
    };
    for (const auto& [path, prefix, number] : paths)
        EXPECT_EQ(splitTrailingNumber(QLatin1String(path)), qMakePair(QString::fromLatin1(prefix), number)) << path;
}

TEST(BlkidRead, ExportAndDefaultFormsGiveTheSameTypes)
{
    const QHash<QString, QString> expected = {{"/dev/loop0p1", "ext4"},
                                              {"/dev/loop0p2", "LVM2_member"},
                                              {"/dev/loop1", "LVM2_member"},
                                              {"/dev/loop2", "LVM2_member"},
                                              {"/dev/loop3", "LVM2_member"}};
    EXPECT_EQ(parseBlkidTypes(fixture("blkid-export.txt")), expected);
    EXPECT_EQ(parseBlkidTypes(fixture("blkid-default.txt")), expected);
    EXPECT_TRUE(parseBlkidTypes(QByteArray()).isEmpty());

    const QHash<QString, QString> escaped =
        parseBlkidTypes("DEVNAME=/dev/disk/by-label/my\\ disk\nTYPE=vfat\n\nTYPE=swap\n"
                        "/dev/sdb1: LABEL=\"a \\\"TYPE=\\\"x\" PTTYPE=\"dos\" TYPE=\"ext4\"\n"
                        "/dev/sdc: PTTYPE=\"gpt\"\n");
    EXPECT_EQ(escaped, (QHash<QString, QString>{{"/dev/disk/by-label/my disk", "vfat"}, {"/dev/sdb1", "ext4"}}));
}

} // namespace
