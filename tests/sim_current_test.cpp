// Today's tools on the simulated machine: LVM2 2.03's JSON reports and their units, lsblk's JSON,
// and the root that setup lays out for each tool set or a generated machine.
#include "sim_tool.h"
#include "simlvmreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

QJsonValue parsed(const ProgramRun& r)
{
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QJsonObject deviceNamed(const QJsonArray& devices, const QString& name)
{
    for (const QJsonValue& d : devices) {
        if (d["name"] == name)
            return d.toObject();
        const QJsonObject inner = deviceNamed(d["children"].toArray(), name);
        if (!inner.isEmpty())
            return inner;
    }
    return {};
}

} // namespace

TEST(SimCurrent, SingleReportsHoldARowPerItemOrSegmentEachOnALineOfItsOwn)
{
    const SimRoot sim("default", sim::ToolSet::Current);
    struct Case {
        QString command;
        QString key;
        int rows;
    };
    const QList<Case> cases{
        {"lvm vgs", "vg", 2},
        {"lvm lvs -a", "lv", 7},
        {"lvm lvs --segments", "seg", 8},
        {"lvm lvs -o lv_name,seg_pe_ranges,devices", "lv", 8},
        {"lvm pvs", "pv", 4},
        {"lvm pvs --segments", "pvseg", 11},
        {"lvm lvs my-vg/music", "lv", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        const ProgramRun r = runTool(sim, Command(qPrintable(c.command + " --reportformat json --units k --nosuffix")));
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(parsed(r)["report"][0][c.key].toArray().size(), c.rows);
    }
    const QString row(18, QLatin1Char(' '));
    expectRuns(sim, {
                        {"lvm pvs --reportformat json -o pv_name,pv_free", 0,
                         row + R"({"pv_name":"/dev/sda5", "pv_free":"0 "},)" + "\n" + row +
                             R"({"pv_name":"/dev/sda6", "pv_free":"2.34g"},)"},
                        {"lvm vgs --reportformat json -o vg_name,bogus", 5, "      \"report\": [\n      ]\n",
                         "  Unrecognised field: bogus\n"},
                    });
}

TEST(SimCurrent, LsblkNestsVolumesUnderTheirPvsOrListsEachDeviceOnce)
{
    const SimRoot sim("default", sim::ToolSet::Current);
    const QJsonArray tree =
        parsed(runTool(sim, "/bin/lsblk --json --bytes --output NAME,TYPE,SIZE,FSTYPE"))["blockdevices"].toArray();
    ASSERT_EQ(tree.size(), 4);
    EXPECT_EQ(tree[3]["type"], "rom");
    EXPECT_TRUE(deviceNamed(tree, "sda5")["fstype"].isNull()) << "no udev database by default";
    EXPECT_EQ(deviceNamed(tree, "sda4")["size"].toInteger(), 1024) << "an extended partition";
    EXPECT_EQ(deviceNamed(deviceNamed(tree, "sdb2")["children"].toArray(), "my--vg-music")["type"], "lvm")
        << "a volume spanning two PVs sits under both";
    EXPECT_TRUE(deviceNamed(tree, "vg.backup-archive").isEmpty()) << "inactive: no device";

    const QString list = runTool(sim, "/bin/lsblk --json --list").out;
    EXPECT_FALSE(list.contains("children"));
    EXPECT_EQ(list.count("\"name\": \"my--vg-music\""), 1);
}

TEST(SimCurrent, ReportSizesFollowTheUnitsOption)
{
    struct Case {
        qint64 kib;
        char unit;
        bool suffix;
        const char* text;
    };
    const QList<Case> cases{{303104, 'r', true, "296.00m"},     {1261 * 1024, 'r', true, "1.23g"},
                            {1265 * 1024, 'r', true, "<1.24g"}, {1265 * 1024, 'h', true, "1.24g"},
                            {307200, 'b', true, "314572800B"},  {307200, 's', true, "614400S"},
                            {303104, 'g', true, "0.29g"},       {307200, 'G', true, "0.31G"}};
    for (const Case& c : cases)
        EXPECT_EQ((sim::Units{QLatin1Char(c.unit), c.suffix}.size(c.kib)), c.text) << c.kib << " " << c.unit;
}

TEST(SimSetup, LaysOutTheLinksOfEachToolSetOrAGeneratedMachine)
{
    QTemporaryDir dir;
    const QString generated = dir.filePath("generated.json");
    QProcess generate;
    generate.setStandardOutputFile(generated);
    generate.start(DOVO_SIM_BINARY, {"generate", "--disks", "3", "--partitions", "10", "--vgs", "2", "--lvs", "5"});
    ASSERT_TRUE(generate.waitForFinished(-1));
    struct Case {
        QStringList options;
        int code;
        QString present, absent; // below the root
    };
    const QList<Case> cases{
        {{"--tools", "classic"}, 0, "sbin/lvm.static", "sbin/lvm"},
        {{"--tools=current"}, 0, "sbin/lvm", "sbin/lvm.static"},
        {{"--machine", generated}, 0, "usr/lib/vururer/lib/veziva.cli", "bin/lsblk"},
        {{"--tools", "future"}, 2, "", ""}, // an unknown set lays out nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const QString root = dir.filePath(QString::number(&c - cases.data()));
        EXPECT_EQ(runProgram(DOVO_SIM_BINARY, QStringList{"setup", root} + c.options).exitCode, c.code);
        EXPECT_EQ(QFile::exists(root + "/" + c.present), c.code == 0);
        EXPECT_FALSE(QFile::exists(root + "/" + c.absent));
    }
    const ProgramRun scan = runProgram(dir.filePath("2/sbin/lvm.static"), {"lvscan"});
    EXPECT_EQ(scan.out.count("ACTIVE"), 5);
    const ProgramRun listed =
        runProgram(dir.filePath("2/usr/lib/vururer/lib/veziva.cli"), {"dev", "lsdev", "-C", "-c", "storage"});
    EXPECT_EQ(listed.out.count("DRIVE\tDISK\t"), 3);
    EXPECT_EQ(listed.out.count("\nPART\t") - listed.out.count("\textended\t"), 10);
}
