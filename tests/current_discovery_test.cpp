// Discovery on today's tools: the same machine read with either tool set gives the same model,
// in at most three program runs, with failures reported as problems.
#include "currentreader_p.h"
#include "modeldump.h"
#include "qtprinters.h"
#include "roz.h"
#include "simroot.h"
#include "utils.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

// Hyphenated, dotted and plus names, a volume across two PVs, an inactive group with a snapshot.
const char* const kSmallMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 2, "sizeKiB": 2097152, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 3, "sizeKiB": 1048576, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 4, "sizeKiB": 4194304, "system": "extended"},
      {"number": 5, "sizeKiB": 1048576, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 6, "sizeKiB": 1048576, "system": "Linux", "fstype": "ext3", "fsUsedKiB": 4096,
       "mount": {"dir": "/data"}}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "live-vg"}, {"device": "/dev/sda2", "vg": "live-vg"},
          {"device": "/dev/sda3", "vg": "cold.vg+1"}, {"device": "/dev/sda5", "vg": ""}],
  "vgs": [
    {"name": "live-vg", "extentKiB": 4096, "lvs": [
      {"name": "wide+lv", "fstype": "ext3", "segments": [{"pv": "/dev/sda1", "start": 0, "count": 1000},
                                                       {"pv": "/dev/sda2", "start": 0, "count": 100}]},
      {"name": "a.snap", "origin": "wide+lv", "segments": [{"pv": "/dev/sda2", "start": 100, "count": 20}]},
      {"name": "tmp_1", "fstype": "reiserfs", "sizeMiB": 128}]},
    {"name": "cold.vg+1", "active": false, "extentKiB": 4096, "lvs": [
      {"name": "arch", "fstype": "ext2", "sizeMiB": 256},
      {"name": "arch-snap", "origin": "arch", "sizeMiB": 32}]}
  ]
})";

QString writeDescription(QTemporaryDir& dir, const QString& name, QByteArray json, bool udev)
{
    if (udev) {
        QJsonObject machine = QJsonDocument::fromJson(json).object();
        machine.insert("udev", true);
        json = QJsonDocument(machine).toJson();
    }
    const QString path = dir.filePath(name + (udev ? QStringLiteral("-udev.json") : QStringLiteral(".json")));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ModelDump dumpOn(const QString& machine, sim::ToolSet tools, QStringList* problems)
{
    SimRoot sim(machine, tools);
    Roz roz;
    *problems = roz.problems();
    return dumpModel(roz);
}

bool keyIs(const ModelDifference& d, const QString& kind, const QString& accessor)
{
    const QStringList parts = keyParts(d.key);
    return parts.first() == kind && parts.last() == accessor;
}

QStringList sortedList(const QString& text, QChar separator)
{
    QStringList list = text.split(separator, Qt::SkipEmptyParts);
    list.sort();
    return list;
}

// A pair of names the two sets give the same thing.
bool namedAlike(const ModelDifference& d, const QList<QPair<QString, QString>>& pairs)
{
    return pairs.contains({d.live, d.fresh});
}

// Every way the current set's model (fresh) may differ from the classic set's (live), and why.
ToleranceList currentTolerances()
{
    return {
        {"the report lists groups and volumes by name, vgscan, lvscan and lvdisplay in creation order",
         [](const ModelDifference& d, const ToleranceContext&) {
             const bool list = keyIs(d, "vg", "lvs") || keyIs(d, "lv", "snapshots") || d.key == "lvm/vgs";
             const QChar separator = list ? ',' : ':';
             return (list || keyIs(d, "vg", "lvString")) &&
                    sortedList(d.live, separator) == sortedList(d.fresh, separator);
         }},
        {"an unreadable group is left out of the report: unknown by name, its PVs in no group",
         [](const ModelDifference& d, const ToleranceContext& c) {
             const QStringList unreadable = c.live.value("lvm/errorVgName").split(',', Qt::SkipEmptyParts);
             if (d.key == "lvm/errorVgName")
                 return d.fresh.isEmpty();
             const QString part = keyParts(d.key).value(1);
             const QString group = c.live.value("part/" + part + "/vgPath").mid(5);
             return d.key.startsWith("part/") && unreadable.contains(group) &&
                    (keyIs(d, "part", "vgPath") || keyIs(d, "part", "isAllocatable"));
         }},
        {"lvdisplay names no origin for an inactive snapshot, the report does",
         [](const ModelDifference& d, const ToleranceContext& c) {
             const QString lv = d.key.section('/', 0, 2);
             return keyIs(d, "lv", "original") && d.live.isEmpty() && !d.fresh.isEmpty() &&
                    c.live.value(lv + "/isActive") == "false";
         }},
        {"blkid names file systems its own way (the lister: NTFS, LINUX-SWAP, FAT32)",
         [](const ModelDifference& d, const ToleranceContext&) {
             return keyIs(d, "part", "fstype") &&
                    namedAlike(d, {{"NTFS", "ntfs"}, {"LINUX-SWAP", "swap"}, {"FAT32", "vfat"}});
         }},
        {"the lister hides the type of a file system it cannot read, blkid still finds it",
         [](const ModelDifference& d, const ToleranceContext&) {
             return keyIs(d, "part", "fstype") && d.live.isEmpty() && !d.fresh.isEmpty();
         }},
        {"without udev lsblk knows no partition type: only physical volumes are named",
         [](const ModelDifference& d, const ToleranceContext&) {
             return keyIs(d, "part", "system") && d.fresh.isEmpty();
         }},
        {"util-linux names partition types as fdisk 2.38 does",
         [](const ModelDifference& d, const ToleranceContext&) {
             return keyIs(d, "part", "system") &&
                    namedAlike(d, {{"HPFS/NTFS", "HPFS/NTFS/exFAT"}, {"Linux swap", "Linux swap / Solaris"}});
         }},
    };
}

} // namespace

TEST(CurrentDiscovery, BothToolSetsGiveTheSameModel)
{
    QTemporaryDir dir;
    const QByteArray machines[][2] = {{"default", readFile(DOVO_SOURCE_DIR "/sim/machines/default.json")},
                                      {"small", kSmallMachine}};
    for (const auto& machine : machines) {
        for (bool udev : {false, true}) {
            const QString path = writeDescription(dir, QString::fromLatin1(machine[0]), machine[1], udev);
            SCOPED_TRACE(path.toStdString());
            QStringList classicProblems;
            QStringList currentProblems;
            const ModelDump classic = dumpOn(path, sim::ToolSet::Classic, &classicProblems);
            const ModelDump current = dumpOn(path, sim::ToolSet::Current, &currentProblems);
            EXPECT_EQ(currentProblems, classicProblems);
            const ToleranceContext context{classic, current, {}};
            for (const ModelDifference& d : untoleratedDifferences(context, currentTolerances()))
                ADD_FAILURE() << d.text().toStdString();
        }
    }
}

namespace {

const QStringList kReportCall = {"/sbin/lvm", "fullreport", "--reportformat", "json", "--units", "k", "--nosuffix"};
const QStringList kLsblkCall = {"/bin/lsblk", "--json", "--bytes", "--output",
                                "NAME,PATH,TYPE,SIZE,PKNAME,PARTTYPE,PARTTYPENAME,FSTYPE,MOUNTPOINT"};

// Leaves no forced tool set behind for the next test of the process.
struct ForcedToolSet {
    explicit ForcedToolSet(ToolSet tools) { forceToolSet(tools); }
    ~ForcedToolSet() { clearForcedToolSet(); }
};

// No problem when `expected` is empty, else exactly one that starts with it.
::testing::AssertionResult onlyProblem(const QStringList& problems, const QString& expected)
{
    const bool fits =
        expected.isEmpty() ? problems.isEmpty() : problems.size() == 1 && problems[0].startsWith(expected);
    if (fits)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "problems: " << problems.join(" | ").toStdString();
}

} // namespace

// One run each of lvm, lsblk and blkid; blkid is asked about every disk, partition and volume once.
TEST(CurrentDiscovery, ReadsTheWholeMachineInThreeRuns)
{
    SimRoot sim("default", sim::ToolSet::Current);
    Roz roz;
    EXPECT_EQ(roz.problems(), QStringList());
    const QString blkid = "/sbin/blkid -o export /dev/sda /dev/sda1 /dev/sda2 /dev/sda3 /dev/sda4 /dev/sda5 /dev/sda6 "
                          "/dev/sdb /dev/sdb1 /dev/sdb2 /dev/sdb3 /dev/sdb5 /dev/sdb6 /dev/sdb7 /dev/sdc /dev/sdc1 "
                          "/dev/sdc2 /dev/sdc3 /dev/my-vg/home /dev/my-vg/home.daily /dev/my-vg/music "
                          "/dev/my-vg/scratch_1 /dev/my-vg/snap1 /dev/vg.backup/archive /dev/vg.backup/old-root";
    EXPECT_EQ(sim.calls(), (QList<QStringList>{kReportCall, kLsblkCall, blkid.split(' ')}));
}

// Detection follows the root's programs; a forced set wins until it is cleared. A program the root
// does not hold is never logged, only named in the problem.
TEST(CurrentDiscovery, ForcedToolSetOverridesDetection)
{
    const std::tuple<sim::ToolSet, ToolSet, ToolSet, QString> cases[] = {
        {sim::ToolSet::Classic, ToolSet::Classic, ToolSet::Current, "/sbin/lvm"},
        {sim::ToolSet::Current, ToolSet::Current, ToolSet::Classic, "/sbin/lvm.static"},
    };
    for (const auto& [root, detected, forced, program] : cases) {
        SCOPED_TRACE(program.toStdString());
        SimRoot sim("default", root);
        EXPECT_EQ(toolSet(), detected);
        {
            ForcedToolSet force(forced);
            EXPECT_EQ(toolSet(), forced);
            Lvm lvm;
            EXPECT_TRUE(sim.calls().isEmpty());
            EXPECT_TRUE(lvm.problems().value(0).startsWith("could not run " + program + " "));
        }
        EXPECT_EQ(toolSet(), detected);
    }
    // Without lvm.static and lvm under /sbin, lvm is looked for in /usr/sbin.
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("usr/sbin"));
    QFile program(root.path() + "/usr/sbin/lvm");
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    setSystemRoot(root.path());
    EXPECT_EQ(toolSet(), ToolSet::Current);
    EXPECT_EQ(lvmReportCommand().program, "/usr/sbin/lvm");
    EXPECT_EQ(lsblkCommand().program, "/bin/lsblk");
    setSystemRoot(QString());
}

// A tool that is missing, fails or prints broken JSON costs its own tree's part of the model and
// gives a problem line; the other tree is read all the same.
TEST(CurrentDiscovery, FailingToolsGiveProblemsAndSpareTheOtherTree)
{
    struct Case {
        const char* what;
        std::function<void(SimRoot&)> breakIt;
        QString lvmProblem; // start of the logical tree's only problem; empty: none
        QString hardProblem;
        unsigned int vgs;
        unsigned int disks;
    };
    const Case cases[] = {
        {"lvm missing", [](SimRoot& s) { QFile::remove(s.root() + "/sbin/lvm"); },
         "could not run /sbin/lvm fullreport --reportformat json --units k --nosuffix (looked for ", "", 0, 3},
        {"lvm fails", [](SimRoot& s) { s.addFault("/sbin/lvm", {"fullreport"}, 5); },
         "/sbin/lvm fullreport --reportformat json --units k --nosuffix exited with 5", "", 0, 3},
        {"broken report", [](SimRoot& s) { s.addFault("/sbin/lvm", {"fullreport"}, 0, R"({"report": [ {"vg": [)"); },
         "lvm fullreport: ", "", 0, 3},
        {"broken listing", [](SimRoot& s) { s.addFault("/bin/lsblk", {}, 0, R"({"blockdevices": [ {"name": )"); }, "",
         "lsblk: ", 2, 0},
        {"blkid finds nothing", [](SimRoot& s) { s.addFault("/sbin/blkid", {}, 2); }, "", "", 2, 3},
        {"blkid fails", [](SimRoot& s) { s.addFault("/sbin/blkid", {}, 4); }, "", "/sbin/blkid -o export ", 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRoot sim("default", sim::ToolSet::Current);
        c.breakIt(sim);
        ForcedToolSet current(ToolSet::Current);
        Roz roz;
        EXPECT_TRUE(onlyProblem(roz.getLvm()->problems(), c.lvmProblem));
        EXPECT_TRUE(onlyProblem(roz.getHard()->problems(), c.hardProblem));
        EXPECT_EQ(roz.getLvm()->vgCount(), c.vgs);
        EXPECT_EQ(roz.getHard()->diskCount(), c.disks);
        EXPECT_LE(sim.calls().size(), 3);
    }
}
