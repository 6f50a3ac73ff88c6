// The simulated machine's change commands: state changes that the next reads show, refusals that
// leave the state alone, file-system damage, fault rules and the call log.
#include "modeltest.h"
#include "sim_tool.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

namespace {

QStringList vgFields(const SimRoot& sim, const QString& vg)
{
    return lvm(sim, {"vgdisplay", "-c", "-D", vg}).out.trimmed().split(':');
}

const auto lvState = stateVolume;

QString mtab(const SimRoot& sim)
{
    QFile f(sim.root() + "/etc/mtab");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(SimChanges, LvcreateTakesFreeExtentsAndAcceptsOptionsAfterTheGroup)
{
    SimRoot sim;
    const int freeBefore = vgFields(sim, "my-vg").value(15).toInt();
    const ToolRun r = lvm(sim, {"lvcreate", "-L100", "my-vg", "-nlv01"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Logical volume \"lv01\" created"));
    const QStringList after = vgFields(sim, "my-vg");
    EXPECT_EQ(after.value(15).toInt(), freeBefore - 25) << "100 MB rounded up to 25 extents of 4 MiB";
    EXPECT_EQ(after.value(5), "6");
    EXPECT_TRUE(lvm(sim, {"lvscan"}).out.contains("'/dev/my-vg/lv01' [100.00 MiB]"));
    // Placed on the first PV with room: sda5 is full, so sdb2 right after scratch_1.
    EXPECT_TRUE(lvm(sim, {"lvdisplay", "-m", "/dev/my-vg/lv01"})
                    .out.contains("Physical volume\t/dev/sdb2\n    Physical extents\t2177 to 2201\n"));
    EXPECT_EQ(lvm(sim, {"lvcreate", "-l", "10", "-n", "lv02", "my-vg"}).code, 0);
    EXPECT_EQ(vgFields(sim, "my-vg").value(15).toInt(), freeBefore - 35);
}

TEST(SimChanges, GroupLifecycleFromTwoPartitionsKeepsReadsConsistent)
{
    SimRoot sim;
    ASSERT_EQ(runTool(sim, "/sbin/parted", {"/dev/sdc", "set", "3", "lvm on"}).code, 0);
    ASSERT_EQ(runTool(sim, "/sbin/parted", {"/dev/sdb", "set", "6", "lvm on"}).code, 0);
    const ToolRun lister = runTool(sim, "/usr/lib/vururer/lib/veziva.cli", {"dev", "lsdev", "-C", "-c", "storage"});
    EXPECT_TRUE(lister.out.contains("PART\t/dev/sdc\t3\t") && lister.out.contains("\tLinux LVM\t"));
    ASSERT_EQ(lvm(sim, {"pvcreate", "-f", "-y", "/dev/sdc3", "/dev/sdb6"}).code, 0);
    ASSERT_EQ(lvm(sim, {"vgcreate", "-s32M", "-l255", "-p0", "vg-new", "/dev/sdc3", "/dev/sdb6"}).code, 0);
    EXPECT_TRUE(lvm(sim, {"vgscan"}).out.contains("Found volume group \"vg-new\""));
    EXPECT_TRUE(lvm(sim, {"pvscan"}).out.contains("  PV /dev/sdb6   VG vg-new "));
    const QStringList fresh = vgFields(sim, "vg-new");
    ASSERT_EQ(fresh.size(), 17);
    EXPECT_EQ(fresh[4], "255");
    EXPECT_EQ(fresh[12], "32768");
    const int total = fresh[13].toInt();
    EXPECT_EQ(total, (9437184 - 192) / 32768 + (5242880 - 192) / 32768);

    ASSERT_EQ(lvm(sim, {"lvcreate", "-L1G", "vg-new", "-ndata.1"}).code, 0);
    ASSERT_EQ(runTool(sim, "/sbin/mke2fs", {"-j", "/dev/vg-new/data.1"}).code, 0);
    ASSERT_EQ(lvm(sim, {"lvcreate", "-s", "-nsnap", "-L64", "/dev/vg-new/data.1"}).code, 0);
    EXPECT_TRUE(lvm(sim, {"lvscan", "-D"})
                    .out.contains("  ACTIVE   Original '/dev/vg-new/data.1' [1.00 GiB] inherit\n"
                                  "  ACTIVE   Snapshot '/dev/vg-new/snap' [1.00 GiB] inherit\n"));
    EXPECT_EQ(runTool(sim, "/bin/mount", {"--guess-fstype", "/dev/vg-new/snap"}).out, "ext3\n");

    ASSERT_EQ(lvm(sim, {"lvextend", "-L2048", "/dev/vg-new/data.1"}).code, 0);
    EXPECT_EQ(lvm(sim, {"lvdisplay", "-c", "/dev/vg-new/data.1"}).out.split(':').value(6), "4194304");
    EXPECT_EQ(lvm(sim, {"lvdisplay", "-c", "/dev/vg-new/snap"}).out.split(':').value(6), "4194304")
        << "a snapshot shows its origin's size";
    EXPECT_EQ(vgFields(sim, "vg-new").value(14), "66");

    ASSERT_EQ(lvm(sim, {"lvrename", "/dev/vg-new/data.1", "/dev/vg-new/data2"}).code, 0);
    EXPECT_TRUE(
        lvm(sim, {"lvdisplay", "-v", "/dev/vg-new/snap"}).out.contains("active destination for /dev/vg-new/data2\n"));
    EXPECT_NE(lvm(sim, {"lvdisplay", "-c", "/dev/vg-new/data.1"}).code, 0);

    ASSERT_EQ(lvm(sim, {"lvremove", "-f", "/dev/vg-new/snap"}).code, 0);
    ASSERT_EQ(lvm(sim, {"lvremove", "-f", "/dev/vg-new/data2"}).code, 0);
    EXPECT_EQ(vgFields(sim, "vg-new").value(15).toInt(), total);
    ASSERT_EQ(lvm(sim, {"vgreduce", "vg-new", "/dev/sdb6"}).code, 0);
    ASSERT_EQ(lvm(sim, {"vgremove", "vg-new"}).code, 0);
    EXPECT_FALSE(lvm(sim, {"vgscan"}).out.contains("vg-new"));
    EXPECT_EQ(lvm(sim, {"pvdisplay", "-c", "/dev/sdc3"}).outLines().value(1).split(':').value(1), "#orphans_lvm2");
}

TEST(SimChanges, VgchangeSwitchesActivityAndResizability)
{
    SimRoot sim;
    ASSERT_EQ(lvm(sim, {"vgchange", "-ay", "vg.backup"}).code, 0);
    const QStringList now = lvm(sim, {"vgdisplay", "-c", "vg.backup"}).out.trimmed().split(':');
    ASSERT_EQ(now.size(), 17) << "no -D needed once active";
    EXPECT_EQ(now[2].toInt() & 0x200, 0x200);
    EXPECT_TRUE(lvm(sim, {"lvscan"}).out.contains("  ACTIVE            '/dev/vg.backup/archive'"));
    EXPECT_EQ(runTool(sim, "/bin/ls", {"/dev/vg.backup/archive"}).code, 0);

    ASSERT_EQ(lvm(sim, {"vgchange", "-xn", "vg.backup"}).code, 0);
    EXPECT_EQ(vgFields(sim, "vg.backup").value(2).toInt() & 4, 0);
    ASSERT_EQ(lvm(sim, {"vgchange", "-an", "vg.backup"}).code, 0);
    EXPECT_EQ(runTool(sim, "/bin/ls", {"/dev/vg.backup/archive"}).code, 2);
}

TEST(SimChanges, RenamingTheGroupOfAMountedVolumeRewritesTheMountTable)
{
    SimRoot sim;
    ASSERT_EQ(lvm(sim, {"vgrename", "my-vg", "our.vg"}).code, 0);
    EXPECT_TRUE(mtab(sim).contains("/dev/mapper/our.vg-home /home ext3 rw 0 0\n"));
    EXPECT_FALSE(mtab(sim).contains("my--vg"));
    EXPECT_TRUE(lvm(sim, {"pvscan"}).out.contains("  PV /dev/sda5   VG our.vg "));
    ASSERT_EQ(lvm(sim, {"lvrename", "our.vg", "home", "home-2"}).code, 0);
    EXPECT_TRUE(mtab(sim).contains("/dev/mapper/our.vg-home--2 /home "));
}

TEST(SimChanges, RefusalsExitNonZeroAndLeaveTheStateAlone)
{
    SimRoot sim;
    const QJsonObject before = sim.state();
    const QList<QPair<QString, QStringList>> refused{
        {"/sbin/lvm.static", {"lvcreate", "-L100", "nosuchvg", "-nlv01"}},
        {"/sbin/lvm.static", {"lvcreate", "-L100", "my-vg", "-nbad*name"}},
        {"/sbin/lvm.static", {"lvcreate", "-L100", "my-vg", "-nhome"}},
        {"/sbin/lvm.static", {"lvcreate", "-L1T", "my-vg", "-nhuge"}},
        {"/sbin/lvm.static", {"lvcreate", "-s", "-nsnap2", "-L50", "/dev/my-vg/snap1"}},
        {"/sbin/lvm.static", {"lvextend", "-L10240", "/dev/my-vg/home"}},
        {"/sbin/lvm.static", {"lvextend", "-L100", "/dev/my-vg/home"}},
        {"/sbin/lvm.static", {"lvextend", "-L900000", "/dev/my-vg/home"}},
        {"/sbin/lvm.static", {"lvextend", "-L20000", "/dev/my-vg/nosuchlv"}},
        {"/sbin/lvm.static", {"lvrename", "/dev/my-vg/music", "/dev/my-vg/home"}},
        {"/sbin/lvm.static", {"lvrename", "/dev/my-vg/music", "/dev/my-vg/a:b"}},
        {"/sbin/lvm.static", {"lvremove", "-f", "/dev/my-vg/home"}},
        {"/sbin/lvm.static", {"vgreduce", "my-vg", "/dev/sda5"}},
        {"/sbin/lvm.static", {"vgreduce", "my-vg", "/dev/sdb5"}},
        {"/sbin/lvm.static", {"vgremove", "my-vg"}},
        {"/sbin/lvm.static", {"vgrename", "my-vg", "vg.backup"}},
        {"/sbin/lvm.static", {"vgrename", "my-vg", "bad name"}},
        {"/sbin/lvm.static", {"vgcreate", "", "", "", "vg.backup", "/dev/sdb5"}},
        {"/sbin/lvm.static", {"vgcreate", "", "", "", "new/vg", "/dev/sdb5"}},
        {"/sbin/lvm.static", {"vgcreate", "-s3M", "", "", "vgx", "/dev/sdb5"}},
        {"/sbin/lvm.static", {"vgcreate", "", "", "", "vgx", "/dev/sdc2"}},
        {"/sbin/lvm.static", {"vgextend", "my-vg", "/dev/sda6"}},
        {"/sbin/lvm.static", {"vgchange", "-an", "my-vg"}},
        {"/sbin/lvm.static", {"pvcreate", "-f", "-y", "/dev/sda2"}},
        {"/sbin/lvm.static", {"pvcreate", "-f", "-y", "/dev/sda5"}},
        {"/sbin/parted", {"/dev/sda", "set", "9", "lvm on"}},
        {"/sbin/parted", {"/dev/sdx", "set", "1", "lvm on"}},
        {"/sbin/mke2fs", {"-j", "/dev/my-vg/home"}},
        {"/sbin/mke2fs", {"/dev/vg.backup/archive"}},
        {"/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/home"}},
        {"/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/music"}},
        {"/sbin/resize2fs", {"-f", "-F", "/dev/my-vg/music", "100M"}},
        {"/sbin/resize_reiserfs", {"-f", "-s", "100M", "/dev/my-vg/scratch_1"}},
    };
    for (const auto& [program, args] : refused) {
        SCOPED_TRACE((program + " " + args.join(' ')).toStdString());
        const ToolRun r = runTool(sim, program, args);
        EXPECT_GT(r.code, 0);
        EXPECT_FALSE((r.out + r.err).trimmed().isEmpty());
        EXPECT_EQ(sim.state(), before);
    }
}

TEST(SimChanges, ForcedResizePastTheEndDamagesTheFileSystem)
{
    SimRoot sim;
    ASSERT_EQ(runTool(sim, "/sbin/resize2fs", {"-f", "-F", "/dev/my-vg/scratch_1", "1024M"}).code, 0);
    EXPECT_EQ(lvState(sim, "my-vg", "scratch_1").value("fsSizeKiB").toInteger(), 1024 * 1024);
    EXPECT_FALSE(lvState(sim, "my-vg", "scratch_1").value("damaged").toBool());
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/scratch_1"}).code, 0);

    ASSERT_EQ(runTool(sim, "/sbin/resize2fs", {"-f", "-F", "/dev/my-vg/scratch_1", "2049M"}).code, 0);
    EXPECT_TRUE(lvState(sim, "my-vg", "scratch_1").value("damaged").toBool());
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/scratch_1"}).code, 8);

    ASSERT_EQ(runTool(sim, "/sbin/resize_reiserfs", {"-f", "-s", "25600M", "/dev/my-vg/music"}).code, 0);
    EXPECT_FALSE(lvState(sim, "my-vg", "music").value("damaged").toBool());
    ASSERT_EQ(runTool(sim, "/sbin/resize_reiserfs", {"-f", "-s", "25604M", "/dev/my-vg/music"}).code, 0);
    EXPECT_TRUE(lvState(sim, "my-vg", "music").value("damaged").toBool());
}

TEST(SimFaults, PvcreateFailsThreeTimesThenRunsForReal)
{
    SimRoot sim;
    sim.addFault("/sbin/lvm.static", {"pvcreate"}, 5, "  Can't get lock\n", 3);
    for (int i = 0; i < 3; ++i) {
        const ToolRun r = lvm(sim, {"pvcreate", "-f", "-y", "/dev/sdb6"});
        EXPECT_EQ(r.code, 5);
        EXPECT_EQ(r.out, "  Can't get lock\n");
    }
    EXPECT_NE(lvm(sim, {"pvdisplay", "-c", "/dev/sdb6"}).code, 0) << "a fault changes nothing";
    EXPECT_EQ(lvm(sim, {"pvcreate", "-f", "-y", "/dev/sdb6"}).code, 0);
    EXPECT_EQ(lvm(sim, {"pvdisplay", "-c", "/dev/sdb6"}).code, 0);
}

TEST(SimFaults, ExactRulesMatchTheWholeVectorAndSignalsKill)
{
    SimRoot sim;
    sim.addFault("/sbin/lvm.static", {"vgscan"}, 3, QString(), -1, true);
    EXPECT_EQ(lvm(sim, {"vgscan"}).code, 3);
    EXPECT_EQ(lvm(sim, {"vgscan"}).code, 3) << "-1 applies to every run";
    EXPECT_EQ(lvm(sim, {"vgscan", "-v"}).code, 0);
    EXPECT_EQ(runTool(sim, "/sbin/parted", {"/dev/sdb", "set", "6", "lvm on"}).code, 0) << "other programs untouched";

    QJsonObject state = sim.state();
    state["faults"] = QJsonArray{
        QJsonObject{{"program", "/sbin/e2fsck"}, {"args", QJsonArray{}}, {"exitCode", 0}, {"signal", 9}, {"times", 1}}};
    sim.setState(state);
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/scratch_1"}).code, -1);
    EXPECT_EQ(runTool(sim, "/sbin/e2fsck", {"-y", "-f", "/dev/my-vg/scratch_1"}).code, 0);
}

TEST(SimFaults, CallLogKeepsOrderAndExactArgumentVectors)
{
    SimRoot sim;
    runTool(sim, "/sbin/parted", {"/dev/sdc", "set", "3", "lvm on"});
    lvm(sim, {"vgscan"});
    runTool(sim, "/bin/ls", {""});
    const QList<QStringList> expected{
        {"/sbin/parted", "/dev/sdc", "set", "3", "lvm on"}, {"/sbin/lvm.static", "vgscan"}, {"/bin/ls", ""}};
    EXPECT_EQ(sim.calls(), expected);
    EXPECT_EQ(sim.callLines().value(0), "/sbin/parted /dev/sdc set 3 lvm on");
    sim.clearCalls();
    EXPECT_TRUE(sim.calls().isEmpty());
}

TEST(SimSetup, SetupCommandAndGeneratedMachines)
{
    QTemporaryDir dir;
    QProcess gen;
    gen.start(DOVO_SIM_BINARY, {"generate", "--disks", "3", "--partitions", "10", "--vgs", "2", "--lvs", "5"});
    ASSERT_TRUE(gen.waitForFinished(-1));
    ASSERT_EQ(gen.exitCode(), 0);
    QFile description(dir.filePath("big.json"));
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write(gen.readAllStandardOutput());
    description.close();

    const QString root = dir.filePath("root");
    QProcess setup;
    setup.start(DOVO_SIM_BINARY, {"setup", root, "--machine", description.fileName()});
    ASSERT_TRUE(setup.waitForFinished(-1));
    ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();
    for (const char* tool :
         {"/sbin/lvm.static", "/usr/lib/vururer/lib/veziva.cli", "/sbin/parted", "/sbin/mke2fs", "/sbin/mkreiserfs",
          "/bin/ls", "/bin/mount", "/sbin/e2fsck", "/sbin/resize2fs", "/sbin/resize_reiserfs"})
        EXPECT_TRUE(QFileInfo(root + tool).isSymLink()) << tool;
    EXPECT_TRUE(QFileInfo::exists(root + "/etc/mtab"));

    QProcess scan;
    scan.start(root + "/sbin/lvm.static", {"lvscan"});
    ASSERT_TRUE(scan.waitForFinished(-1));
    EXPECT_EQ(QString::fromUtf8(scan.readAllStandardOutput()).count("ACTIVE"), 5);
    QProcess lister;
    lister.start(root + "/usr/lib/vururer/lib/veziva.cli", {"dev", "lsdev", "-C", "-c", "storage"});
    ASSERT_TRUE(lister.waitForFinished(-1));
    const QString listed = QString::fromUtf8(lister.readAllStandardOutput());
    EXPECT_EQ(listed.count("DRIVE\tDISK\t"), 3);
    EXPECT_EQ(listed.count("\nPART\t") - listed.count("\textended\t"), 10);
}
