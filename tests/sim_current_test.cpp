// Today's tools on the simulated machine: LVM2 2.03's JSON reports and their units, lsblk's JSON,
// and the root that setup lays out for each tool set or a generated machine.
#include "sim_tool.h"
#include "simlvmreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

QJsonValue parsed(const ToolRun& r)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    return doc.object();
}

QJsonObject deviceNamed(const QJsonArray& devices, const QString& name)
{
    for (const QJsonValue& d : devices) {
        const QJsonObject inner = deviceNamed(d["children"].toArray(), name);
        if (d["name"] == name || !inner.isEmpty())
            return d["name"] == name ? d.toObject() : inner;
    }
    return {};
}

} // namespace

TEST(SimCurrent, ReportsHoldARowPerItemOrSegmentEachOnALineOfItsOwn)
{
    const SimRoot sim("default", sim::ToolSet::Current);
    struct Case {
        QString command;
        int element;
        QString key;
        int rows;
    };
    const QList<Case> cases{
        {"lvm vgs", 0, "vg", 2},
        {"lvm lvs -a", 0, "lv", 7},
        {"lvm lvs --segments", 0, "seg", 8},
        {"lvm lvs -o lv_name,seg_pe_ranges,devices", 0, "lv", 8},
        {"lvm pvs", 0, "pv", 4},
        {"lvm pvs --segments", 0, "pvseg", 11},
        {"lvm lvs my-vg/music", 0, "lv", 1},
        {"lvm fullreport", 0, "seg", 6},
        // The unreadable group is left out; the orphan PV comes last, in an element without a group.
        {"lvm fullreport", 1, "lv", 2},
        {"lvm fullreport", 2, "pv", 1},
        {"lvm fullreport", 2, "vg", 0},
        {"lvm fullreport", 3, "vg", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        const ToolRun r = runTool(sim, Command(qPrintable(c.command + " --reportformat json --units k --nosuffix")));
        EXPECT_EQ(r.code, 0);
        const QJsonArray report = parsed(r)["report"].toArray();
        EXPECT_EQ(report.size(), c.command == "lvm fullreport" ? 3 : 1);
        EXPECT_EQ(report[c.element][c.key].toArray().size(), c.rows);
    }
    const QString row(18, QLatin1Char(' '));
    expectRunsOn(
        sim,
        {
            {"lvm vgs --reportformat json -o vg_name,vg_extent_size", 0,
             row + R"({"vg_name":"my-vg", "vg_extent_size":"4.00m"},)"},
            {"lvm pvs --reportformat json -o pv_name,pv_free", 0, row + R"({"pv_name":"/dev/sda5", "pv_free":"0 "},)"},
            {"lvm pvs --reportformat json -o pv_name,pv_free", 0,
             row + R"({"pv_name":"/dev/sdb2", "pv_free":"31.49g"},)"},
            // A snapshot's own copy-on-write size.
            {"lvm lvs --reportformat json --units k --nosuffix -o lv_name,lv_size,origin_size my-vg/snap1", 0,
             row + R"({"lv_name":"snap1", "lv_size":"1048576.00", "origin_size":"10485760.00"})"},
            {"lvm lvs --reportformat json -o lv_name,lv_active,lv_attr,lv_kernel_minor vg.backup/archive", 0,
             row + R"({"lv_name":"archive", "lv_active":"", "lv_attr":"-wi-------", "lv_kernel_minor":"-1"})"},
            {"lvm vgs --reportformat json -o vg_name,bogus", 5, "      \"report\": [\n      ]\n",
             "  Unrecognised field: bogus\n"},
        });
}

TEST(SimCurrent, LsblkNestsVolumesUnderTheirPvsOrListsEachDeviceOnce)
{
    SimRoot sim("default", sim::ToolSet::Current);
    const QStringList lsblk{"/bin/lsblk", "--json", "--bytes", "--output",
                            "NAME,PATH,TYPE,SIZE,PKNAME,PARTTYPE,PARTTYPENAME,FSTYPE,MOUNTPOINT"};
    const QJsonArray tree = parsed(runTool(sim, lsblk))["blockdevices"].toArray();
    ASSERT_EQ(tree.size(), 4);
    EXPECT_EQ(tree[3]["type"], "rom");
    EXPECT_EQ(deviceNamed(tree, "sda5")["pkname"], "sda");
    EXPECT_TRUE(deviceNamed(tree, "sda5")["fstype"].isNull()) << "no udev database by default";
    EXPECT_EQ(deviceNamed(tree, "sda4")["size"].toInteger(), 1024) << "an extended partition";
    EXPECT_EQ(deviceNamed(deviceNamed(tree, "sdb2")["children"].toArray(), "my--vg-music")["type"], "lvm")
        << "a volume spanning two PVs sits under both";
    EXPECT_TRUE(deviceNamed(tree, "vg.backup-archive").isEmpty()) << "inactive: no device";

    const QJsonArray list = parsed(runTool(sim, QStringList{lsblk} << "--list"))["blockdevices"].toArray();
    EXPECT_EQ(
        std::count_if(list.begin(), list.end(), [](const QJsonValue& d) { return d.toObject().contains("children"); }),
        0);
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const QJsonValue& d) { return d["name"] == "my--vg-music"; }),
              1);

    QJsonObject state = sim.state();
    state["udev"] = true;
    sim.setState(state);
    const QJsonArray filled = parsed(runTool(sim, QStringList{lsblk} << "/dev/sda"))["blockdevices"].toArray();
    EXPECT_EQ(deviceNamed(filled, "sda5")["fstype"], "LVM2_member");
    EXPECT_EQ(deviceNamed(filled, "sda5")["parttype"], "0x8e");
    EXPECT_EQ(deviceNamed(filled, "sda1")["parttypename"], "HPFS/NTFS/exFAT");
}

TEST(SimCurrent, ReportSizesFollowTheUnitsOption)
{
    struct Case {
        qint64 kib;
        char unit;
        bool suffix;
        const char* text;
    };
    const QList<Case> cases{{0, 'r', true, "0 "},
                            {0, 'k', false, "0"},
                            {303104, 'k', false, "303104.00"},
                            {303104, 'r', true, "296.00m"},
                            {18841600, 'r', true, "<17.97g"},
                            {1261 * 1024, 'r', true, "1.23g"},
                            {1265 * 1024, 'r', true, "<1.24g"},
                            {1265 * 1024, 'h', true, "1.24g"},
                            {307200, 'b', true, "314572800B"},
                            {307200, 's', true, "614400S"},
                            {303104, 'g', true, "0.29g"},
                            {307200, 'G', true, "0.31G"}};
    for (const Case& c : cases)
        EXPECT_EQ((sim::Units{QLatin1Char(c.unit), c.suffix}.size(c.kib)), c.text) << c.kib << " " << c.unit;
}

TEST(SimSetup, LaysOutTheLinksOfEachToolSetOrAGeneratedMachine)
{
    QTemporaryDir dir;
    const QString generated = dir.filePath("generated.json");
    QFile description(generated);
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write(
        runProgram(DOVO_SIM_BINARY, {"generate", "--disks", "3", "--partitions", "10", "--vgs", "2", "--lvs", "5"})
            .out.toUtf8());
    description.close();
    const QStringList classic{"sbin/lvm.static", "usr/lib/vururer/lib/veziva.cli", "bin/ls", "etc/mtab"};
    const QStringList current{"sbin/lvm", "bin/lsblk", "sbin/blkid", "proc/self/mounts"};
    const QStringList both{"sbin/parted",     "sbin/mke2fs",          "sbin/e2fsck", "sbin/resize2fs",
                           "sbin/mkreiserfs", "sbin/resize_reiserfs", "bin/mount"};
    struct Case {
        QStringList options;
        int code;
        QStringList present, absent;
        QString tools; // as the state names it: only a set other than the classic one
    };
    const QList<Case> cases{{{"--tools", "classic"}, 0, classic + both, current, ""},
                            {{"--tools=current"}, 0, current + both, classic, "current"},
                            {{"--machine", generated}, 0, classic + both, current, ""},
                            {{"--tools", "future"}, 2, {}, {""}, ""}}; // an unknown set lays out nothing
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const QString root = dir.filePath(QString::number(&c - cases.data()));
        EXPECT_EQ(runProgram(DOVO_SIM_BINARY, QStringList{"setup", root} + c.options).code, c.code);
        for (const QString& path : c.present)
            EXPECT_TRUE(QFile::exists(root + "/" + path)) << path.toStdString();
        for (const QString& path : c.absent)
            EXPECT_FALSE(QFile::exists(root + "/" + path)) << path.toStdString();
        QFile state(root + "/var/lib/dovododuzu-sim/state.json");
        state.open(QIODevice::ReadOnly);
        EXPECT_EQ(QJsonDocument::fromJson(state.readAll())["tools"].toString(), c.tools);
    }
    const ToolRun scan = runProgram(dir.filePath("2/sbin/lvm.static"), {"lvscan"});
    EXPECT_EQ(scan.out.count("ACTIVE"), 5);
    const ToolRun listed =
        runProgram(dir.filePath("2/usr/lib/vururer/lib/veziva.cli"), {"dev", "lsdev", "-C", "-c", "storage"});
    EXPECT_EQ(listed.out.count("DRIVE\tDISK\t"), 3);
    EXPECT_EQ(listed.out.count("\nPART\t") - listed.out.count("\textended\t"), 10);
}
