// roz show: both trees as text and as JSON, on the default simulated machine.
#include "cli_support.h"

namespace {

using CliShow = RozCase;

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// show is the default sub-command, changes nothing, and --debug adds the library's debug lines on
// standard error only.
TEST_F(CliShow, TextShowsDisksGroupsAndVolumesOfTheDefaultMachine)
{
    const QJsonObject before = sim.state();
    const ProgramRun run = roz({"show"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n');
    for (const QString& line : QStringList{
             "machine: simulated, root " + sim.root(),
             "├─sda5  31457280   Linux LVM, LVM  LVM2        -              yes  my-vg      "
             "my-vg/home,my-vg/home.daily,my-vg/music",
             "├─sdb1  8388608    W95 FAT32       vfat        /media/shared  no   -          -",
             "└─sdc3  9437184    Linux           -           -              no   -          -",
             "vg.backup  18400      2400       32           575/500/75                sda6       2    no      yes",
             "my-vg/home          10240      2560     active    origin of snap1,home.daily  ext3      sda5       /home",
             "my-vg/snap1         10240      2560     active    snapshot of home            ext3      sdb2       -",
             "vg.backup/archive   12800      400      inactive  -                           unknown   sda6       -",
             "unreadable volume groups: vgbroken",
         })
        EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\nin\n" << run.out.toStdString();

    const ProgramRun bare = roz({});
    EXPECT_EQ(bare.exitCode, 0);
    EXPECT_EQ(bare.out, run.out);
    const ProgramRun debug = roz({"show", "--debug"});
    const QString banner = "=======V=G=S====&======L=V=S=============";
    EXPECT_FALSE(run.err.contains(banner));
    EXPECT_TRUE(debug.err.contains(banner)) << debug.err.left(500).toStdString();
    EXPECT_TRUE(debug.err.contains("we are going to execute: /bin/mount --guess-fstype"));
    EXPECT_EQ(debug.out, run.out);
    EXPECT_EQ(sim.state(), before);
    EXPECT_TRUE(callsWhere(sim, isToolChange).isEmpty()) << sim.callLines().join('\n').toStdString();
}

// Every disk, partition (but the extended one), group and volume, and whole records with every key,
// null for the texts that are absent.
TEST_F(CliShow, JsonHoldsEveryRecordWithTheDocumentedKeys)
{
    const ProgramRun run = roz({"show", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonObject shown = QJsonDocument::fromJson(run.out.toUtf8()).object();
    const QJsonArray disks = shown.take("disks").toArray();
    const QJsonArray groups = shown.take("groups").toArray();
    EXPECT_EQ(compact(shown), QStringLiteral(R"({"machine":"simulated","problems":[],"root":"%1","schema":1,)"
                                             R"("unreadableGroups":["vgbroken"]})")
                                  .arg(sim.root()));
    QStringList tree;
    for (const QJsonValue& disk : disks)
        tree << disk["name"].toString() + ':' + entryNames(disk["partitions"].toArray()).join(',');
    for (const QJsonValue& group : groups)
        tree << group["name"].toString() + ':' + entryNames(group["volumes"].toArray()).join(',');
    EXPECT_EQ(tree.join(' '), "sda:sda1,sda2,sda3,sda5,sda6 sdb:sdb1,sdb2,sdb5,sdb6,sdb7 sdc:sdc1,sdc2,sdc3 "
                              "my-vg:home,snap1,home.daily,music,scratch_1 vg.backup:archive,old-root");

    QJsonObject sda = namedEntry(disks, "sda");
    const QJsonArray partitions = sda.take("partitions").toArray();
    EXPECT_EQ(compact(sda), R"({"name":"sda","path":"/dev/sda","size":83886080})");
    EXPECT_EQ(compact(namedEntry(partitions, "sda2")),
              R"({"fstype":"ext3","group":null,"mountPoint":"/","name":"sda2","path":"/dev/sda2","pv":false,)"
              R"("size":10485760,"system":"Linux","volumes":[]})");
    EXPECT_EQ(compact(namedEntry(partitions, "sda5")),
              R"({"fstype":"LVM2","group":"my-vg","mountPoint":null,"name":"sda5","path":"/dev/sda5","pv":true,)"
              R"("size":31457280,"system":"Linux LVM, LVM","volumes":["/dev/my-vg/home","/dev/my-vg/home.daily",)"
              R"("/dev/my-vg/music"]})");
    QJsonObject myVg = namedEntry(groups, "my-vg");
    const QJsonArray volumes = myVg.take("volumes").toArray();
    EXPECT_EQ(compact(myVg), R"({"active":true,"extents":{"allocated":9856,"free":8062,"sizeMiB":4,"total":17918},)"
                             R"("freeMiB":32248,"maxPvs":0,"maxVolumes":0,"name":"my-vg","path":"/dev/my-vg",)"
                             R"("pvs":["/dev/sda5","/dev/sdb2"],"resizable":true,"sizeMiB":71672,)"
                             R"("uuid":"P9iOlU-Ijda-FaMD-fAL5-EVmf-oeuQ-Z1F209"})");
    EXPECT_EQ(compact(namedEntry(volumes, "home")),
              R"({"active":true,"extents":2560,"fstype":"ext3","group":"my-vg","mountPoint":"/home","name":"home",)"
              R"("origin":null,"path":"/dev/my-vg/home","pvs":["/dev/sda5"],"sizeMiB":10240,"snapshot":false,)"
              R"("snapshots":["snap1","home.daily"]})");
    EXPECT_EQ(compact(namedEntry(volumes, "snap1")),
              R"({"active":true,"extents":2560,"fstype":"ext3","group":"my-vg","mountPoint":null,"name":"snap1",)"
              R"("origin":"home","path":"/dev/my-vg/snap1","pvs":["/dev/sdb2"],"sizeMiB":10240,"snapshot":true,)"
              R"("snapshots":[]})");
    EXPECT_EQ(namedEntry(namedEntry(groups, "vg.backup")["volumes"].toArray(), "archive")["active"], false);
}

// A machine whose LVM tool is missing is shown as far as it can be read, never as a machine
// without groups: each problem is printed and the exit status says the view is incomplete.
TEST_F(CliShow, MissingToolIsReportedAndTheExitSaysIncomplete)
{
    ASSERT_TRUE(QFile::remove(sim.root() + QStringLiteral("/sbin/lvm.static")));
    const ProgramRun run = roz({"show"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(run.err.contains(QStringLiteral("roz: could not read the machine completely: could not run "
                                                "/sbin/lvm.static vgscan (looked for %1/sbin/lvm.static, then "
                                                "%1/sbin/lvm and %1/usr/sbin/lvm)")
                                     .arg(sim.root())))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("sda5"));
    const ProgramRun json = roz({"show", "--json"});
    EXPECT_EQ(json.exitCode, 5);
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).object().value("problems").toArray().size(), 1);
}

} // namespace
