// The simulated machine playing today's tools: the root setup lays out, LVM2 2.03's JSON reports and
// wording, lsblk and blkid, and e2fsprogs 1.47, all over the same state as the classic set.
#include "sim_tool.h"
#include "simlvmreport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

struct CurrentRoot : SimRoot {
    CurrentRoot() : SimRoot("default", sim::ToolSet::Current) {}
};

ToolRun lvm2(const SimRoot& sim, const QStringList& args)
{
    return runTool(sim, "/sbin/lvm", args);
}

QJsonObject parsed(const ToolRun& r)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << r.out.toStdString();
    return doc.object();
}

// The rows of a one-array report ("lvm lvs --reportformat json ...").
QJsonArray reportRows(const ToolRun& r, const QString& key)
{
    return parsed(r)["report"].toArray().at(0).toObject()[key].toArray();
}

QJsonObject rowWhere(const QJsonArray& rows, const QString& field, const QString& value)
{
    for (const QJsonValue& row : rows)
        if (row.toObject()[field].toString() == value)
            return row.toObject();
    return {};
}

QJsonObject deviceNamed(const QJsonArray& devices, const QString& name)
{
    for (const QJsonValue& d : devices) {
        if (d.toObject()["name"].toString() == name)
            return d.toObject();
        const QJsonObject inner = deviceNamed(d.toObject()["children"].toArray(), name);
        if (!inner.isEmpty())
            return inner;
    }
    return {};
}

const QStringList kReaderReport{"fullreport", "--reportformat", "json", "--units", "k", "--nosuffix"};

} // namespace

TEST(SimCurrent, SetupLaysOutTheLinksAndMountTableOfEachToolSet)
{
    struct Case {
        QString tools;
        QStringList present, absent;
    };
    const QList<Case> cases{
        {"classic",
         {"sbin/lvm.static", "usr/lib/vururer/lib/veziva.cli", "bin/ls", "etc/mtab"},
         {"sbin/lvm", "bin/lsblk", "sbin/blkid", "proc/self/mounts"}},
        {"current",
         {"sbin/lvm", "bin/lsblk", "sbin/blkid", "sbin/parted", "sbin/mke2fs", "sbin/e2fsck", "sbin/resize2fs",
          "sbin/mkreiserfs", "sbin/resize_reiserfs", "bin/mount", "proc/self/mounts"},
         {"sbin/lvm.static", "usr/lib/vururer/lib/veziva.cli", "bin/ls", "etc/mtab"}}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        QProcess setup;
        setup.start(DOVO_SIM_BINARY, {"setup", dir.path(), "--tools", c.tools});
        setup.waitForFinished(-1);
        ASSERT_EQ(setup.exitCode(), 0) << c.tools.toStdString();
        for (const QString& path : c.present)
            EXPECT_TRUE(QFile::exists(dir.filePath(path))) << c.tools.toStdString() << ": " << path.toStdString();
        for (const QString& path : c.absent)
            EXPECT_FALSE(QFile::exists(dir.filePath(path))) << c.tools.toStdString() << ": " << path.toStdString();
        QFile state(dir.filePath("var/lib/dovododuzu-sim/state.json"));
        ASSERT_TRUE(state.open(QIODevice::ReadOnly));
        EXPECT_EQ(QJsonDocument::fromJson(state.readAll())["tools"].toString("classic"), c.tools);
    }
    QTemporaryDir dir;
    QProcess bad;
    bad.start(DOVO_SIM_BINARY, {"setup", dir.path(), "--tools", "future"});
    bad.waitForFinished(-1);
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "an unknown tool set lays out nothing";
}

TEST(SimCurrent, FullreportCarriesTheStatesFiguresPerGroupAndTheOrphansApart)
{
    CurrentRoot sim;
    const ToolRun r = lvm2(sim, kReaderReport);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray elements = parsed(r)["report"].toArray();
    ASSERT_EQ(elements.size(), 3) << "my-vg, vg.backup and the orphan PV; the unreadable group is left out";
    const QJsonObject myVg = elements[0].toObject();
    const QJsonObject vg = myVg["vg"].toArray()[0].toObject();
    EXPECT_EQ(vg["vg_name"].toString(), "my-vg");
    EXPECT_EQ(vg["vg_extent_count"].toString(), "17918");
    EXPECT_EQ(vg["vg_free_count"].toString(), "8062");
    EXPECT_EQ(vg["vg_size"].toString(), "73392128.00");
    EXPECT_EQ(vg["vg_extent_size"].toString(), "4096.00");
    EXPECT_EQ(vg["snap_count"].toString(), "2");
    const QJsonArray lvs = myVg["lv"].toArray();
    const QJsonObject home = rowWhere(lvs, "lv_name", "home"), snap = rowWhere(lvs, "lv_name", "snap1");
    EXPECT_EQ(home["lv_active"].toString(), "active");
    EXPECT_EQ(home["lv_attr"].toString(), "owi-aos---");
    EXPECT_EQ(home["lv_kernel_major"].toString(), "253");
    EXPECT_EQ(home["lv_dm_path"].toString(), "/dev/mapper/my--vg-home");
    EXPECT_EQ(snap["lv_size"].toString(), "1048576.00") << "a snapshot's own copy-on-write size";
    EXPECT_EQ(snap["origin_size"].toString(), "10485760.00");
    EXPECT_EQ(snap["origin_uuid"].toString(), home["lv_uuid"].toString());
    EXPECT_EQ(myVg["seg"].toArray().size(), 6) << "music has two segments";
    const QJsonObject freeRun = rowWhere(myVg["pvseg"].toArray(), "pvseg_start", "2177");
    EXPECT_EQ(freeRun["pvseg_size"].toString(), "8062");
    EXPECT_EQ(freeRun["lv_uuid"].toString(), "");
    const QJsonObject archive = rowWhere(elements[1].toObject()["lv"].toArray(), "lv_name", "archive");
    EXPECT_EQ(archive["lv_active"].toString(), "");
    EXPECT_EQ(archive["lv_attr"].toString().at(4), '-');
    EXPECT_EQ(archive["lv_kernel_minor"].toString(), "-1");
    const QJsonObject orphans = elements[2].toObject();
    EXPECT_FALSE(orphans.contains("vg"));
    const QJsonObject orphan = orphans["pv"].toArray()[0].toObject();
    EXPECT_EQ(orphan["pv_name"].toString(), "/dev/sdb5");
    EXPECT_EQ(orphan["pv_attr"].toString(), "---");
    EXPECT_EQ(orphan["pv_size"].toString(), "10485760.00");

    const QJsonObject human = parsed(lvm2(sim, {"fullreport", "--reportformat", "json"}))["report"][0].toObject();
    EXPECT_EQ(human["vg"][0]["vg_extent_size"].toString(), "4.00m");
    EXPECT_EQ(rowWhere(human["pv"].toArray(), "pv_name", "/dev/sda5")["pv_free"].toString(), "0 ");
}

TEST(SimCurrent, SingleReportsParseAndSplitBySegmentWhenAsked)
{
    CurrentRoot sim;
    struct Case {
        QStringList args;
        QString key;
        int rows;
    };
    const QList<Case> cases{{{"vgs"}, "vg", 2},
                            {{"lvs", "-a"}, "lv", 7},
                            {{"lvs", "--segments"}, "seg", 8},
                            {{"lvs", "-o", "lv_name,seg_pe_ranges,devices"}, "lv", 8},
                            {{"pvs"}, "pv", 4},
                            {{"pvs", "--segments"}, "pvseg", 11},
                            {{"lvs", "my-vg/music"}, "lv", 1}};
    for (const Case& c : cases) {
        const ToolRun r = lvm2(sim, QStringList{c.args} << "--reportformat"
                                                        << "json"
                                                        << "--units"
                                                        << "k"
                                                        << "--nosuffix");
        EXPECT_EQ(r.code, 0) << c.args.join(' ').toStdString();
        EXPECT_EQ(reportRows(r, c.key).size(), c.rows) << c.args.join(' ').toStdString();
    }
    const QJsonArray pvs = reportRows(lvm2(sim, {"pvs", "--reportformat", "json", "-o", "name,vg_name,pv_free"}), "pv");
    EXPECT_EQ(rowWhere(pvs, "pv_name", "/dev/sdb2")["pv_free"].toString(), "31.49g");
    const ToolRun unknown = lvm2(sim, {"vgs", "--reportformat", "json", "-o", "vg_name,bogus"});
    EXPECT_EQ(unknown.code, 5);
    EXPECT_TRUE(parsed(unknown)["report"].toArray().isEmpty());
    EXPECT_TRUE(unknown.err.contains("  Unrecognised field: bogus\n"));
}

TEST(SimCurrent, ChangesThroughLvmShowInTheNextReportAndTheMountTable)
{
    CurrentRoot sim;
    sim.clearCalls();
    EXPECT_EQ(lvm2(sim, {"lvcreate", "-L", "100", "-n", "new", "my-vg"}).out, "  Logical volume \"new\" created.\n");
    EXPECT_EQ(lvm2(sim, {"vgchange", "-ay", "vg.backup"}).out,
              "  2 logical volume(s) in volume group \"vg.backup\" now active\n");
    EXPECT_EQ(lvm2(sim, {"vgrename", "my-vg", "our-vg"}).code, 0);
    const QJsonArray lvs = reportRows(lvm2(sim, {"lvs", "--reportformat", "json", "--units", "k", "--nosuffix", "-o",
                                                 "vg_name,lv_name,lv_size,lv_active,lv_kernel_minor"}),
                                      "lv");
    EXPECT_EQ(rowWhere(lvs, "lv_name", "new")["lv_size"].toString(), "102400.00");
    EXPECT_EQ(rowWhere(lvs, "lv_name", "new")["vg_name"].toString(), "our-vg");
    EXPECT_EQ(rowWhere(lvs, "lv_name", "archive")["lv_active"].toString(), "active");
    EXPECT_NE(rowWhere(lvs, "lv_name", "archive")["lv_kernel_minor"].toString(), "-1");
    QFile mounts(sim.root() + "/proc/self/mounts");
    ASSERT_TRUE(mounts.open(QIODevice::ReadOnly));
    EXPECT_TRUE(mounts.readAll().contains("\n/dev/mapper/our--vg-home /home ext3 rw 0 0\n"));
    EXPECT_EQ(sim.callLines().value(0), "/sbin/lvm lvcreate -L 100 -n new my-vg");
}

TEST(SimCurrent, RefusalsUse203WordingAndExitCodesAndChangeNothing)
{
    CurrentRoot sim;
    struct Case {
        QStringList args;
        int code;
        QString err; // the start of standard error
    };
    const QList<Case> cases{
        {{"pvdisplay", "-c", "/dev/sdc3"}, 5, "  Failed to find physical volume \"/dev/sdc3\".\n"},
        {{"lvscan", "-D"}, 3, "lvscan: invalid option -- 'D'\n  Error during parsing of command line.\n"},
        {{"vgdisplay", "-D"}, 3, "vgdisplay: invalid option -- 'D'\n"},
        {{"lvcreate", "-L", "100", "-n", "x", "nope"},
         5,
         "  Volume group \"nope\" not found\n  Cannot process volume group nope\n"},
        {{"lvcreate", "-L", "100", "-n", "home", "my-vg"},
         5,
         "  Logical Volume \"home\" already exists in volume group \"my-vg\"\n"},
        {{"lvcreate", "-L", "9T", "-n", "x", "my-vg"},
         5,
         "  Volume group \"my-vg\" has insufficient free space (8062 extents)"},
        {{"lvcreate", "-n", "x", "my-vg"}, 3, "  No command with matching syntax recognised."},
        {{"lvcreate", "-L", "8", "-n", "snapshot1", "my-vg"}, 3, "  Names starting \"snapshot\" are reserved."},
        {{"vgcreate", "my-vg", "/dev/sdb5"}, 5, "  A volume group called my-vg already exists.\n"},
        {{"pvcreate", "/dev/sdb6"},
         5,
         "WARNING: ext3 signature detected on /dev/sdb6 at offset 1080. Wipe it? [y/n]: [n]\n"},
        {{"pvcreate", "/dev/sda5"},
         5,
         "  Can't initialize physical volume \"/dev/sda5\" of volume group \"my-vg\" without -ff\n  /dev/sda5: "
         "physical volume not initialized.\n"},
        {{"vgremove", "vg.backup"},
         5,
         "Do you really want to remove volume group \"vg.backup\" containing 2 logical volumes?"},
        {{"lvremove", "-f", "my-vg/nope"}, 5, "  Failed to find logical volume \"my-vg/nope\"\n"},
        {{"lvremove", "my-vg/home"}, 5, "Removing origin home will also remove 2 snapshots(s). Proceed? [y/n]: [n]\n"},
        {{"vgreduce", "my-vg", "/dev/sdb5"}, 5, "  Failed to find physical volume \"/dev/sdb5\".\n"},
        {{"vgchange", "-an", "my-vg"}, 5, "  Logical volume my-vg/home in use.\n"},
        {{"vgchange", "my-vg"}, 3, "  No command with matching syntax recognised."},
        {{"frobnicate"}, 2, "  No such command.  Try 'lvm help'.\n"}};
    const QJsonObject before = sim.state();
    for (const Case& c : cases) {
        const ToolRun r = lvm2(sim, c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
    }
    EXPECT_EQ(sim.state(), before);
}

TEST(SimCurrent, LsblkNestsVolumesUnderTheirPvsOrListsEachDeviceOnce)
{
    CurrentRoot sim;
    const QStringList columns{"--json", "--bytes", "--output",
                              "NAME,PATH,TYPE,SIZE,PKNAME,PARTTYPE,PARTTYPENAME,FSTYPE,MOUNTPOINT"};
    const QJsonArray tree = parsed(runTool(sim, "/bin/lsblk", columns))["blockdevices"].toArray();
    ASSERT_EQ(tree.size(), 4);
    EXPECT_EQ(tree[3]["type"].toString(), "rom");
    const QJsonObject sda5 = deviceNamed(tree, "sda5");
    EXPECT_EQ(sda5["pkname"].toString(), "sda");
    EXPECT_TRUE(sda5["fstype"].isNull() && sda5["parttypename"].isNull()) << "no udev database by default";
    const QJsonObject home = deviceNamed(sda5["children"].toArray(), "my--vg-home");
    EXPECT_EQ(home["type"].toString(), "lvm");
    EXPECT_EQ(home["path"].toString(), "/dev/mapper/my--vg-home");
    EXPECT_EQ(home["mountpoint"].toString(), "/home");
    EXPECT_EQ(home["size"].toInteger(), 10737418240LL);
    EXPECT_EQ(deviceNamed(tree, "sda4")["size"].toInteger(), 1024) << "an extended partition";
    EXPECT_FALSE(deviceNamed(deviceNamed(tree, "sdb2")["children"].toArray(), "my--vg-music").isEmpty())
        << "a volume spanning two PVs sits under both";
    EXPECT_TRUE(deviceNamed(tree, "vg.backup-archive").isEmpty()) << "inactive: no device";

    const QJsonArray list =
        parsed(runTool(sim, "/bin/lsblk", QStringList{columns} << "--list"))["blockdevices"].toArray();
    int music = 0;
    for (const QJsonValue& d : list) {
        EXPECT_FALSE(d.toObject().contains("children"));
        music += d["name"].toString() == "my--vg-music" ? 1 : 0;
    }
    EXPECT_EQ(music, 1);

    QJsonObject state = sim.state();
    state["udev"] = true;
    sim.setState(state);
    const QJsonArray filled =
        parsed(runTool(sim, "/bin/lsblk", QStringList{columns} << "/dev/sda"))["blockdevices"].toArray();
    EXPECT_EQ(deviceNamed(filled, "sda5")["fstype"].toString(), "LVM2_member");
    EXPECT_EQ(deviceNamed(filled, "sda5")["parttype"].toString(), "0x8e");
    EXPECT_EQ(deviceNamed(filled, "sda1")["parttypename"].toString(), "HPFS/NTFS/exFAT");
    const ToolRun missing = runTool(sim, "/bin/lsblk", QStringList{columns} << "/dev/vg.backup/archive");
    EXPECT_EQ(missing.code, 32);
    EXPECT_EQ(missing.err, "lsblk: /dev/vg.backup/archive: not a block device\n");
}

TEST(SimCurrent, BlkidExportAndPlainFormsAndNothingFound)
{
    CurrentRoot sim;
    const ToolRun exported = runTool(sim, "/sbin/blkid", {"-o", "export", "/dev/sdb5", "/dev/my-vg/home"});
    EXPECT_EQ(exported.code, 0);
    const QStringList blocks = exported.out.split("\n\n");
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_TRUE(blocks[0].startsWith("DEVNAME=/dev/sdb5\nUUID=")) << exported.out.toStdString();
    EXPECT_TRUE(blocks[0].contains("\nTYPE=LVM2_member\n")) << "an orphan PV too";
    EXPECT_TRUE(blocks[1].startsWith("DEVNAME=/dev/my-vg/home\n"));
    EXPECT_TRUE(blocks[1].contains("\nTYPE=ext3\n"));
    const ToolRun plain = runTool(sim, "/sbin/blkid", {"/dev/sdb1"});
    EXPECT_TRUE(plain.out.startsWith("/dev/sdb1: LABEL=\"SHARED\" UUID=\"")) << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains(" TYPE=\"vfat\""));
    EXPECT_EQ(runTool(sim, "/sbin/blkid", {"-o", "value", "-s", "TYPE", "/dev/sda5"}).out, "LVM2_member\n");
    const ToolRun inactive = runTool(sim, "/sbin/blkid", {"-o", "export", "/dev/vg.backup/archive"});
    EXPECT_EQ(inactive.code, 2);
    EXPECT_EQ(inactive.out, "");
}

TEST(SimCurrent, E2fsprogsRepairOnceThenFindItCleanAndMountLostGuessFstype)
{
    CurrentRoot sim;
    QJsonObject state = sim.state();
    QJsonArray disks = state["disks"].toArray();
    QJsonObject sdb = disks[1].toObject();
    QJsonArray parts = sdb["partitions"].toArray();
    QJsonObject sdb6 = parts[4].toObject();
    ASSERT_EQ(sdb6["number"].toInt(), 6);
    sdb6["needsRepair"] = true;
    parts[4] = sdb6;
    sdb["partitions"] = parts;
    disks[1] = sdb;
    state["disks"] = disks;
    sim.setState(state);
    const ToolRun first = runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/sdb6"});
    EXPECT_EQ(first.code, 1);
    EXPECT_TRUE(first.err.startsWith("e2fsck 1.47.0 (5-Feb-2023)\n"));
    EXPECT_TRUE(first.out.contains("/dev/sdb6: ***** FILE SYSTEM WAS MODIFIED *****\n"));
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/sdb6"}).code, 0);
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/sda2"}).code, 8) << "mounted";
    const ToolRun reiser = runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/music"});
    EXPECT_EQ(reiser.code, 8);
    EXPECT_TRUE(reiser.out.endsWith("/dev/my-vg/music contains a reiserfs file system\n"));
    const ToolRun guess = runTool(sim, "/bin/mount", {"--guess-fstype", "/dev/sda2"});
    EXPECT_EQ(guess.code, 1);
    EXPECT_TRUE(guess.err.startsWith("mount: unrecognized option '--guess-fstype'\n"));
}

TEST(SimCurrent, PartedSetsTogglesAndPrintsTheLvmFlag)
{
    CurrentRoot sim;
    auto flagOf3 = [&] {
        for (const QString& line : runTool(sim, "/sbin/parted", {"-s", "/dev/sdc", "print"}).outLines())
            if (line.startsWith(" 3 "))
                return line.section(' ', -1);
        return QString();
    };
    EXPECT_EQ(flagOf3(), "primary");
    const ToolRun on = runTool(sim, "/sbin/parted", {"-s", "/dev/sdc", "set", "3", "lvm", "on"});
    EXPECT_EQ(on.code, 0);
    EXPECT_EQ(on.err, "") << "quiet in script mode";
    EXPECT_EQ(flagOf3(), "lvm");
    const ToolRun toggled = runTool(sim, "/sbin/parted", {"/dev/sdc", "set", "3", "lvm"});
    EXPECT_EQ(toggled.err, "Information: You may need to update /etc/fstab.\n\n");
    EXPECT_EQ(flagOf3(), "primary");
    const ToolRun bad = runTool(sim, "/sbin/parted", {"-s", "/dev/sdc", "set", "3", "frob", "on"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.err, "parted: invalid token: frob\n");
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
    for (const Case& c : cases) {
        const sim::Units units{QLatin1Char(c.unit), c.suffix};
        EXPECT_EQ(units.size(c.kib), c.text) << c.kib << " " << c.unit;
    }
}

TEST(SimCurrent, DisplaysAndScansIn203Layout)
{
    CurrentRoot sim;
    struct Case {
        QStringList args;
        QString line; // a whole line of standard output
    };
    const QList<Case> cases{
        {{"lvdisplay", "-c", "/dev/vg.backup/archive"},
         "  /dev/vg.backup/archive:vg.backup:3:0:-1:0:26214400:400:-1:0:-1:-1:-1"},
        {{"lvdisplay", "-c", "/dev/my-vg/snap1"}, "  /dev/my-vg/snap1:my-vg:3:1:-1:0:2097152:256:-1:0:-1:253:1"},
        {{"lvscan"}, "  ACTIVE   Snapshot '/dev/my-vg/snap1' [1.00 GiB] inherit"},
        {{"lvscan"}, "  inactive          '/dev/vg.backup/archive' [12.50 GiB] inherit"},
        {{"vgscan"}, "  Found volume group \"vg.backup\" using metadata type lvm2"},
        {{"pvscan"}, "  PV /dev/sdb2   VG my-vg           lvm2 [<40.00 GiB / 31.49 GiB free]"},
        {{"pvdisplay", "-m", "/dev/sdb2"}, "  Physical extent 2177 to 10238:"},
        {{"lvdisplay", "/dev/vg.backup/archive"}, "  LV Status              NOT available"},
        {{"version"}, "  LVM version:     2.03.16(2) (2022-05-18)"}};
    for (const Case& c : cases)
        EXPECT_TRUE(lvm2(sim, c.args).outLines().contains(c.line)) << c.args.join(' ').toStdString();
    const QString vg = lvm2(sim, {"vgdisplay", "-c", "vg.backup"}).out;
    EXPECT_TRUE(vg.startsWith("  vg.backup:r/w:772:-1:255:2:0:-1:255:1:1:")) << "772 although inactive";
    const QStringList orphan = lvm2(sim, {"pvdisplay", "-c", "/dev/sdb5"}).outLines();
    ASSERT_EQ(orphan.size(), 2);
    EXPECT_EQ(orphan[0], "  \"/dev/sdb5\" is a new physical volume of \"10.00 GiB\"");
    EXPECT_TRUE(orphan[1].startsWith("  /dev/sdb5::20971520:-1:0:0:-1:0:0:0:0:"));
}

TEST(SimCurrent, ChangesReportIn203Wording)
{
    CurrentRoot sim;
    struct Case {
        QStringList args;
        QString out;
    };
    const QList<Case> cases{
        {{"pvcreate", "/dev/sdc3"}, "  Physical volume \"/dev/sdc3\" successfully created.\n"},
        {{"vgextend", "vg.backup", "/dev/sdc2"},
         "  Physical volume \"/dev/sdc2\" successfully created.\n  Volume group \"vg.backup\" successfully extended\n"},
        {{"lvextend", "-L", "+4M", "my-vg/scratch_1"},
         "  Size of logical volume my-vg/scratch_1 changed from 2.00 GiB (512 extents) to 2.00 GiB (513 extents).\n"
         "  Logical volume my-vg/scratch_1 successfully resized.\n"},
        {{"lvremove", "-f", "my-vg/home.daily"}, "  Logical volume \"home.daily\" successfully removed.\n"},
        {{"pvcreate", "-y", "/dev/sdb6"},
         "  Wiping ext3 signature on /dev/sdb6.\n  Physical volume \"/dev/sdb6\" successfully created.\n"},
        {{"vgcreate", "fresh", "/dev/sdc3"}, "  Volume group \"fresh\" successfully created\n"}};
    for (const Case& c : cases) {
        const ToolRun r = lvm2(sim, c.args);
        EXPECT_EQ(r.code, 0) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << c.args.join(' ').toStdString();
    }
    const QJsonArray pvs = reportRows(lvm2(sim, {"pvs", "--reportformat", "json", "-o", "pv_name,vg_name"}), "pv");
    EXPECT_EQ(rowWhere(pvs, "pv_name", "/dev/sdc2")["vg_name"].toString(), "vg.backup");
    EXPECT_EQ(rowWhere(pvs, "pv_name", "/dev/sdb6")["vg_name"].toString(), "");
}
