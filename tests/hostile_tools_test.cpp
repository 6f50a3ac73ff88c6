// Roz built on simulated machines whose tools misbehave: silent, garbage, records with too few or
// too many fields, overlong lines, death by a signal, missing programs. Nothing may crash or read
// past an end (the sanitizer build runs these too) and the model must stay consistent.
#include "modeldump.h"
#include "modeltest.h"

#include <QFile>

#include <csignal>

namespace {

// Every run of `program` whose arguments start with `args` prints `output` (and `errorOutput` on
// standard error), then ends with `exitCode` or, when `signal` is set, dies by that signal.
void inject(SimRoot& sim, const QString& program, const QStringList& args, const QString& output, int exitCode = 0,
            int signal = 0, const QString& errorOutput = QString())
{
    sim.addFault(program, args, exitCode, output, -1, false, signal, errorOutput);
}

QString garbageText()
{
    QString text;
    for (int i = 1; i < 400; ++i)
        text.append(QChar(static_cast<char16_t>((i * 37) % 0x2ff + 1)));
    text += "\n:::\"'\t\t\tPV VG lvm '/dev/'\n\u0000\u0001\u00ff LV Status\n";
    return text;
}

QString fields(int count, const QString& first)
{
    QStringList parts{first};
    for (int i = 1; i < count; ++i)
        parts << QString::number(i);
    return parts.join(':') + '\n';
}

// Every accessor of every object answers without a line break or a NUL; both trees hold together:
// every object is found by its index and by its name, paths follow the names, and a snapshot's
// origin and an origin's snapshots are plain names, never paths.
void expectConsistent(Roz& roz)
{
    const ModelDump dump = dumpModel(roz);
    for (auto it = dump.values.cbegin(); it != dump.values.cend(); ++it)
        EXPECT_TRUE(!it.value().contains('\n') && !it.value().contains(QChar(0))) << it.key().toStdString();
    Lvm* lvm = roz.getLvm();
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        ASSERT_NE(vg, nullptr);
        EXPECT_FALSE(vg->name().isEmpty());
        EXPECT_EQ(lvm->getVg(vg->name()), vg);
        for (uint j = 0; j < vg->lvCount(); ++j) {
            Lv* lv = vg->getLv(j);
            ASSERT_NE(lv, nullptr);
            EXPECT_FALSE(lv->name().isEmpty());
            EXPECT_EQ(lv->path(), vg->path() + '/' + lv->name());
            EXPECT_EQ(vg->getLv(lv->name()), lv);
            EXPECT_FALSE(lv->getOriginal().contains('/'));
            EXPECT_FALSE(lv->getSnapshot().join(' ').contains('/'));
        }
    }
    for (uint i = 0; i < roz.getHard()->diskCount(); ++i) {
        Disk* disk = roz.getHard()->getDisk(i);
        ASSERT_NE(disk, nullptr);
        for (uint j = 0; j < disk->partitionCount(); ++j) {
            Partition* partition = disk->getPartition(j);
            ASSERT_NE(partition, nullptr);
            EXPECT_EQ(partition->path(), QStringLiteral("/dev/") + partition->name());
            EXPECT_EQ(disk->getPartition(partition->name()), partition);
            EXPECT_TRUE(partition->isPv() || partition->lvString().isEmpty());
        }
    }
}

// "name size partitions" of each disk; "name:volume paths" of each group, then "unreadable NAME" for a group that could
// not be read.
QString disksOf(Roz& roz)
{
    QStringList disks;
    for (uint i = 0; i < roz.getHard()->diskCount(); ++i) {
        Disk* disk = roz.getHard()->getDisk(i);
        QStringList partitions;
        for (uint j = 0; j < disk->partitionCount(); ++j)
            partitions << disk->getPartition(j)->name();
        disks << disk->name() + ' ' + disk->getSize() + ' ' + partitions.join(',');
    }
    return disks.join("; ");
}

QString groupsOf(Roz& roz)
{
    QStringList groups;
    for (uint i = 0; i < roz.getLvm()->vgCount(); ++i)
        groups << roz.getLvm()->getVg(i)->name() + ':' + roz.getLvm()->getVg(i)->lvString();
    if (!roz.getLvm()->errorVgName().isEmpty())
        groups << "unreadable " + roz.getLvm()->errorVgName().join(',');
    return groups.join(',');
}

} // namespace

// A whole tool silent, printing garbage, missing, or killed: each tree is read as far as it can be,
// the other does not depend on it, and the model's problems say what went wrong ("%1" is the root).
TEST(HostileTools, SilentGarbageMissingOrKilledToolsLeaveWhatCanBeRead)
{
    struct Fault {
        QString program;
        QStringList args;
        QString output;
        int signal = 0;
        QString errorOutput = {};
    };
    struct Case {
        const char* what;
        QList<Fault> faults;
        QString removed; // a tool taken away
        QString groups;
        QString disks;
        QStringList problems;
    };
    const QString myVg =
        "my-vg:/dev/my-vg/home:/dev/my-vg/snap1:/dev/my-vg/home.daily:/dev/my-vg/music:/dev/my-vg/scratch_1";
    const QString allGroups = myVg + ",vg.backup:/dev/vg.backup/archive:/dev/vg.backup/old-root,unreadable vgbroken";
    const QString allDisks =
        "sda 83886080 sda1,sda2,sda3,sda5,sda6; sdb 167772160 sdb1,sdb2,sdb5,sdb6,sdb7; sdc 41943040 sdc1,sdc2,sdc3";
    const QString lister = kLister + " dev lsdev -C -c storage";
    const QString noLister = "could not run " + lister + " (looked for %1" + kLister + "): No such file or directory";
    const QString killedLister = lister + " was killed by signal 15";
    const QString found = "  Found volume group \"my-vg\" using metadata type lvm2\n";
    const QString overlongGroup =
        QStringLiteral("  Found volume group \"%1\" using metadata type lvm2\n").arg(QString(3000, 'v'));
    const QString overlongVolume =
        QStringLiteral("  ACTIVE   '/dev/my-vg/%1' [1.00 GiB] inherit\n").arg(QString(2500, 'l'));
    const QString overlongPv =
        QStringLiteral("  PV /dev/sda5%1 VG my-vg lvm2 [30.00 GiB / 0    free]\n").arg(QString(1500, ' '));
    const QString badListing = "DRIVE\tDISK\tsda\nDRIVE\nPART\t/dev/sda\nPART\t/dev/sda\t1\nPART\t/dev/sda\t2" +
                               QString("\tLVM").repeated(297) +
                               "\nPART\t/dev/sda\t3\t0\t1\t0x83\tLinux\text3\t100\t0\t" + QString(2000, 'L') + '\n' +
                               garbageText();
    const Case cases[] = {
        {"silent lvm", {{kLvm, {}, ""}}, {}, "", allDisks, {}},
        {"garbage lvm", {{kLvm, {}, garbageText(), 0, garbageText()}}, {}, "", allDisks, {}},
        {"killed lvm",
         {{kLvm, {"vgscan"}, found, SIGKILL},
          {kLvm, {"lvdisplay"}, "  --- Logical volume ---\n  LV Status  ", SIGTERM},
          {kLvm, {"pvdisplay"}, QString(), SIGHUP}},
         {},
         myVg,
         allDisks,
         {"/sbin/lvm.static vgscan was killed by signal 9"}},
        // An overlong line comes in pieces of at most 1022 bytes: no piece is a whole record.
        {"overlong lines",
         {{kLvm, {"vgscan"}, overlongGroup + found},
          {kLvm, {"lvscan"}, overlongVolume + "  ACTIVE   '/dev/my-vg/music' [25.00 GiB] inherit\n"},
          {kLvm, {"pvscan"}, overlongPv}},
         {},
         "my-vg:/dev/my-vg/music",
         allDisks,
         {}},
        // Lines with too few fields (a PART line without a number makes no partition, one without a
        // size makes "sda1"), 300 fields (one partition), a 2000-character label (cut into a second
        // piece that is no PART line) and garbage.
        {"short, overlong and garbage listing", {{kLister, {}, badListing}}, {}, allGroups, "sda 0 sda1,sda2,sda3", {}},
        {"silent lister", {{kLister, {}, ""}}, {}, allGroups, "", {}},
        {"missing lister", {}, kLister, allGroups, "", {noLister}},
        // Both the disk and the partition listing die.
        {"killed lister",
         {{kLister, {}, "DRIVE\tDISK\tsda\tATA\t/dev/sda\t83886080\t512\nPART\t/dev/sda\t1\t63", SIGTERM}},
         {},
         allGroups,
         "sda 83886080 sda1",
         {killedLister, killedLister}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRoot sim;
        for (const Fault& fault : c.faults)
            sim.addFault(fault.program, fault.args, 0, fault.output, -1, false, fault.signal, fault.errorOutput);
        if (!c.removed.isEmpty()) {
            ASSERT_TRUE(QFile::remove(sim.root() + c.removed));
        }
        Roz roz;
        EXPECT_EQ(groupsOf(roz), c.groups);
        EXPECT_EQ(disksOf(roz), c.disks);
        EXPECT_EQ(roz.problems().join('\n'), QString(c.problems.join('\n')).replace("%1", sim.root()));
        expectConsistent(roz);
    }
}

TEST(HostileLvmTool, GarbageRecordsUnderRealDiscovery)
{
    // vgscan and lvscan tell the truth; every record the objects then read is garbage.
    SimRoot sim;
    for (const char* command : {"vgdisplay", "lvdisplay", "pvscan", "pvdisplay"})
        inject(sim, kLvm, {QString::fromLatin1(command)}, garbageText(), 5);
    Roz roz;
    ASSERT_EQ(roz.getLvm()->vgCount(), 2u);
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(vg->lvCount(), 5u);
    EXPECT_TRUE(vg->pvString().isEmpty());
    EXPECT_TRUE(vg->getLv("home")->pvString().isEmpty());
    expectConsistent(roz);
}

// Fields a record lacks read as 0 (an extent size of 0 must not be divided by). Field 1 ("1") names
// the group of every PV: "/dev/1". Records past the last field known are rows of the text tables.
TEST(HostileLvmTool, RecordsWithThreeFields)
{
    SimRoot sim;
    inject(sim, kLvm, {"vgdisplay"}, fields(3, "  my-vg"));
    inject(sim, kLvm, {"lvdisplay", "-c"}, fields(3, "  /dev/my-vg/home"));
    inject(sim, kLvm, {"pvdisplay", "-c"}, fields(3, "  /dev/sda5"));
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(std::tuple(vg->getAttribute(Vg::PeSizeMb), vg->getAttribute(Vg::FreeMb)), std::tuple(0, 0));
    Lv* home = vg->getLv("home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(std::tuple(home->getAttribute(Lv::Size), home->proportion()), std::tuple(0, 0));
    EXPECT_EQ(roz.getHard()->getDisk("sda")->getPartition("sda5")->getVgPath(), "/dev/1");
    expectConsistent(roz);
}

TEST(HostileLvmTool, ChangeByAToolThatDiesReportsTheSignalAndKeepsTheModel)
{
    SimRoot sim;
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    const uint before = vg->lvCount();
    inject(sim, kLvm, {"lvrename"}, "  Renaming\n", 0, SIGKILL);
    Lv* music = vg->getLv("music");
    ASSERT_NE(music, nullptr);
    // The raw wait status of a killed program: not 0, so not taken for success.
    EXPECT_EQ(music->rename("tunes"), SIGKILL);
    EXPECT_EQ(music->name(), "music");
    EXPECT_EQ(vg->lvCount(), before);
    expectConsistent(roz);
}
