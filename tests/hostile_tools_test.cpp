// Roz built on simulated machines whose tools misbehave: silent, garbage, records with too few or
// too many fields, overlong lines, death by a signal, missing programs. Nothing may crash or read
// past an end (the sanitizer build runs these too) and the model must stay consistent.
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

void removeTool(SimRoot& sim, const QString& program)
{
    ASSERT_TRUE(QFile::remove(sim.root() + program)) << program.toStdString();
}

QString garbageText()
{
    QString text;
    for (int i = 1; i < 400; ++i)
        text.append(QChar(static_cast<char16_t>((i * 37) % 0x2ff + 1)));
    text += QStringLiteral("\n:::\"'\t\t\tPV VG lvm '/dev/'\n\u0000\u0001\u00ff LV Status\n");
    return text;
}

QString fields(int count, const QString& first)
{
    QStringList parts{first};
    for (int i = 1; i < count; ++i)
        parts << QString::number(i);
    return parts.join(QLatin1Char(':')) + QLatin1Char('\n');
}

// A name, path or list read from a tool: no line breaks, no NULs, no more than a line's length.
void expectSaneText(const QString& text, const char* what)
{
    EXPECT_FALSE(text.contains(QLatin1Char('\n'))) << what << ": " << text.toStdString();
    EXPECT_FALSE(text.contains(QChar(0))) << what;
}

void expectConsistentLogicalTree(Lvm* lvm)
{
    ASSERT_NE(lvm, nullptr);
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        ASSERT_NE(vg, nullptr);
        EXPECT_FALSE(vg->name().isEmpty());
        expectSaneText(vg->name(), "group name");
        expectSaneText(vg->pvString(), "group pvs");
        EXPECT_EQ(lvm->getVg(vg->name()), vg);
        for (uint j = 0; j < vg->lvCount(); ++j) {
            Lv* lv = vg->getLv(j);
            ASSERT_NE(lv, nullptr);
            EXPECT_FALSE(lv->name().isEmpty());
            expectSaneText(lv->name(), "volume name");
            expectSaneText(lv->pvString(), "volume pvs");
            expectSaneText(lv->fstype(), "volume fstype");
            EXPECT_EQ(lv->path(), vg->path() + QLatin1Char('/') + lv->name());
            EXPECT_EQ(vg->getLv(lv->name()), lv);
            // A snapshot's origin and an origin's snapshots are plain names, never paths.
            EXPECT_FALSE(lv->getOriginal().contains(QLatin1Char('/')));
            for (const QString& snapshot : lv->getSnapshot())
                EXPECT_FALSE(snapshot.contains(QLatin1Char('/')));
            lv->proportion();
        }
        EXPECT_EQ(vg->getLv(vg->lvCount()), nullptr);
    }
    EXPECT_EQ(lvm->getVg(lvm->vgCount()), nullptr);
}

void expectConsistentPhysicalTree(Hard* hard)
{
    ASSERT_NE(hard, nullptr);
    for (uint i = 0; i < hard->diskCount(); ++i) {
        Disk* disk = hard->getDisk(i);
        ASSERT_NE(disk, nullptr);
        expectSaneText(disk->name(), "disk name");
        for (uint j = 0; j < disk->partitionCount(); ++j) {
            Partition* partition = disk->getPartition(j);
            ASSERT_NE(partition, nullptr);
            expectSaneText(partition->name(), "partition name");
            expectSaneText(partition->getVgPath(), "partition group");
            expectSaneText(partition->lvString(), "partition lvs");
            expectSaneText(partition->fstype(), "partition fstype");
            EXPECT_EQ(partition->path(), QStringLiteral("/dev/") + partition->name());
            EXPECT_EQ(disk->getPartition(partition->name()), partition);
            if (!partition->isPv()) {
                EXPECT_TRUE(partition->lvString().isEmpty());
            }
        }
    }
}

void expectConsistent(Roz& roz)
{
    expectConsistentLogicalTree(roz.getLvm());
    expectConsistentPhysicalTree(roz.getHard());
}

} // namespace

TEST(HostileLvmTool, SilentToolGivesAnEmptyLogicalTree)
{
    SimRoot sim;
    inject(sim, kLvm, {}, QString());
    Roz roz;
    EXPECT_EQ(roz.getLvm()->vgCount(), 0u);
    EXPECT_TRUE(roz.getLvm()->errorVgName().isEmpty());
    // The lister still works: the disks are all there.
    EXPECT_EQ(roz.getHard()->diskCount(), 3u);
    expectConsistent(roz);
}

TEST(HostileLvmTool, GarbageOutputFindsNothingAndCrashesNothing)
{
    SimRoot sim;
    inject(sim, kLvm, {}, garbageText(), 0, 0, garbageText());
    Roz roz;
    EXPECT_EQ(roz.getLvm()->vgCount(), 0u);
    expectConsistent(roz);
}

TEST(HostileLvmTool, GarbageRecordsUnderRealDiscovery)
{
    // vgscan and lvscan tell the truth; every record the objects then read is garbage.
    SimRoot sim;
    for (const char* command : {"vgdisplay", "lvdisplay", "pvscan", "pvdisplay"})
        inject(sim, kLvm, {QString::fromLatin1(command)}, garbageText(), 5);
    Roz roz;
    ASSERT_EQ(roz.getLvm()->vgCount(), 2u);
    Vg* vg = roz.getLvm()->getVg(QStringLiteral("my-vg"));
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(vg->lvCount(), 5u);
    EXPECT_TRUE(vg->pvString().isEmpty());
    EXPECT_TRUE(vg->getLv(QStringLiteral("home"))->pvString().isEmpty());
    expectConsistent(roz);
}

TEST(HostileLvmTool, RecordsWithThreeFields)
{
    SimRoot sim;
    inject(sim, kLvm, {QStringLiteral("vgdisplay")}, fields(3, QStringLiteral("  my-vg")));
    inject(sim, kLvm, {QStringLiteral("lvdisplay"), QStringLiteral("-c")},
           fields(3, QStringLiteral("  /dev/my-vg/home")));
    inject(sim, kLvm, {QStringLiteral("pvdisplay"), QStringLiteral("-c")}, fields(3, QStringLiteral("  /dev/sda5")));
    Roz roz;
    Vg* vg = roz.getLvm()->getVg(QStringLiteral("my-vg"));
    ASSERT_NE(vg, nullptr);
    // Fields the record lacks read as 0: an extent size of 0 must not be divided by.
    EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), 0);
    EXPECT_EQ(vg->getAttribute(Vg::FreeMb), 0);
    Lv* home = vg->getLv(QStringLiteral("home"));
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->getAttribute(Lv::Size), 0);
    EXPECT_EQ(home->proportion(), 0);
    // Field 1 "1" names the group of every PV: "/dev/1".
    Partition* sda5 = roz.getHard()->getDisk(QStringLiteral("sda"))->getPartition(QStringLiteral("sda5"));
    ASSERT_NE(sda5, nullptr);
    EXPECT_EQ(sda5->getVgPath(), QStringLiteral("/dev/1"));
    expectConsistent(roz);
}

TEST(HostileLvmTool, RecordsWithThreeHundredFields)
{
    SimRoot sim;
    inject(sim, kLvm, {QStringLiteral("vgdisplay")}, fields(300, QStringLiteral("  my-vg")));
    inject(sim, kLvm, {QStringLiteral("lvdisplay"), QStringLiteral("-c")}, fields(300, QStringLiteral("  /dev/x/y")));
    inject(sim, kLvm, {QStringLiteral("pvdisplay"), QStringLiteral("-c")}, fields(300, QStringLiteral("  /dev/sda5")));
    Roz roz;
    Vg* vg = roz.getLvm()->getVg(QStringLiteral("my-vg"));
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(vg->getAttribute(Vg::Access), 1);
    EXPECT_EQ(vg->getAttribute(Vg::TotalPe), 13);
    Lv* home = vg->getLv(QStringLiteral("home"));
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->getAttribute(Lv::Minor), 12);
    EXPECT_EQ(home->getAttribute(Lv::Access), 2);
    expectConsistent(roz);
}

TEST(HostileLvmTool, LinesLongerThanALineBufferAreCutNotOverrun)
{
    SimRoot sim;
    const QString longName(3000, QLatin1Char('v'));
    inject(sim, kLvm, {QStringLiteral("vgscan")},
           QStringLiteral("  Found volume group \"%1\" using metadata type lvm2\n"
                          "  Found volume group \"my-vg\" using metadata type lvm2\n")
               .arg(longName));
    inject(sim, kLvm, {QStringLiteral("lvscan")},
           QStringLiteral("  ACTIVE   '/dev/my-vg/%1' [1.00 GiB] inherit\n"
                          "  ACTIVE   '/dev/my-vg/music' [25.00 GiB] inherit\n")
               .arg(QString(2500, QLatin1Char('l'))));
    inject(sim, kLvm, {QStringLiteral("pvscan")},
           QStringLiteral("  PV /dev/sda5%1 VG my-vg lvm2 [30.00 GiB / 0    free]\n")
               .arg(QString(1500, QLatin1Char(' '))));
    Roz roz;
    // The overlong line comes in pieces of at most 1022 bytes: neither piece is a whole record.
    EXPECT_EQ(roz.getLvm()->vgCount(), 1u);
    Vg* vg = roz.getLvm()->getVg(QStringLiteral("my-vg"));
    ASSERT_NE(vg, nullptr);
    ASSERT_EQ(vg->lvCount(), 1u);
    EXPECT_EQ(vg->getLv(0u)->name(), QStringLiteral("music"));
    for (uint i = 0; i < vg->lvCount(); ++i)
        EXPECT_LT(vg->getLv(i)->name().size(), 1023);
    expectConsistent(roz);
}

TEST(HostileLvmTool, DeathBySignalKeepsWhatWasPrinted)
{
    SimRoot sim;
    inject(sim, kLvm, {QStringLiteral("vgscan")},
           QStringLiteral("  Found volume group \"my-vg\" using metadata type lvm2\n"), 0, SIGKILL);
    inject(sim, kLvm, {QStringLiteral("lvdisplay")}, QStringLiteral("  --- Logical volume ---\n  LV Status  "), 0,
           SIGTERM);
    inject(sim, kLvm, {QStringLiteral("pvdisplay")}, QString(), 0, SIGHUP);
    Roz roz;
    ASSERT_EQ(roz.getLvm()->vgCount(), 1u);
    EXPECT_EQ(roz.getLvm()->getVg(0u)->name(), QStringLiteral("my-vg"));
    EXPECT_EQ(roz.problems().value(0), QStringLiteral("/sbin/lvm.static vgscan was killed by signal 9"));
    expectConsistent(roz);
}

TEST(HostileLvmTool, ChangeByAToolThatDiesReportsTheSignalAndKeepsTheModel)
{
    SimRoot sim;
    Roz roz;
    Vg* vg = roz.getLvm()->getVg(QStringLiteral("my-vg"));
    ASSERT_NE(vg, nullptr);
    const uint before = vg->lvCount();
    inject(sim, kLvm, {QStringLiteral("lvrename")}, QStringLiteral("  Renaming\n"), 0, SIGKILL);
    Lv* music = vg->getLv(QStringLiteral("music"));
    ASSERT_NE(music, nullptr);
    // The raw wait status of a killed program: not 0, so not taken for success.
    EXPECT_EQ(music->rename(QStringLiteral("tunes")), SIGKILL);
    EXPECT_EQ(music->name(), QStringLiteral("music"));
    EXPECT_EQ(vg->lvCount(), before);
    expectConsistent(roz);
}

TEST(HostileLvmTool, MissingToolGivesAnEmptyLogicalTreeAndFailedChanges)
{
    SimRoot sim;
    removeTool(sim, kLvm);
    Roz roz;
    EXPECT_EQ(roz.getLvm()->vgCount(), 0u);
    // No group because the tool is missing is not an empty machine.
    EXPECT_TRUE(roz.getLvm()->problems().value(0).startsWith(
        QStringLiteral("could not run /sbin/lvm.static vgscan (looked for %1/sbin/lvm.static, then").arg(sim.root())));
    ASSERT_EQ(roz.getHard()->diskCount(), 3u);
    Partition* sda5 = roz.getHard()->getDisk(QStringLiteral("sda"))->getPartition(QStringLiteral("sda5"));
    ASSERT_NE(sda5, nullptr);
    EXPECT_TRUE(sda5->getVgPath().isEmpty());
    EXPECT_TRUE(sda5->lvString().isEmpty());
    expectConsistent(roz);
    QString output;
    EXPECT_EQ(runcmd(kLvm, {QStringLiteral("vgscan")}, output), 255);
}

TEST(HostileLister, SilentOrMissingListerGivesNoDisks)
{
    for (const bool missing : {false, true}) {
        SimRoot sim;
        if (missing) {
            removeTool(sim, kLister);
        } else {
            inject(sim, kLister, {}, QString());
        }
        Roz roz;
        EXPECT_EQ(roz.getHard()->diskCount(), 0u) << "missing=" << missing;
        // The logical tree does not depend on the lister.
        EXPECT_EQ(roz.getLvm()->vgCount(), 2u);
        expectConsistent(roz);
    }
}

TEST(HostileLister, ShortOverlongAndGarbageLines)
{
    SimRoot sim;
    QString lines = QStringLiteral("DRIVE\tDISK\tsda\n"
                                   "DRIVE\n"
                                   "PART\t/dev/sda\n"
                                   "PART\t/dev/sda\t1\n");
    QStringList many{QStringLiteral("PART"), QStringLiteral("/dev/sda"), QStringLiteral("2")};
    for (int i = 3; i < 300; ++i)
        many << QStringLiteral("LVM");
    lines += many.join(QLatin1Char('\t')) + QLatin1Char('\n');
    lines +=
        QStringLiteral("PART\t/dev/sda\t3\t0\t1\t0x83\tLinux\text3\t100\t0\t%1\n").arg(QString(2000, QLatin1Char('L')));
    lines += garbageText();
    inject(sim, kLister, {}, lines);
    Roz roz;
    Hard* hard = roz.getHard();
    ASSERT_EQ(hard->diskCount(), 1u);
    Disk* sda = hard->getDisk(0u);
    EXPECT_EQ(sda->getSize(), QStringLiteral("0"));
    // The 300-field line is one partition; the 2000-character label is cut into a second piece
    // that is no PART line.
    EXPECT_NE(sda->getPartition(QStringLiteral("sda2")), nullptr);
    EXPECT_NE(sda->getPartition(QStringLiteral("sda3")), nullptr);
    expectConsistent(roz);
}

TEST(HostileLister, DeathBySignalMidListing)
{
    SimRoot sim;
    inject(sim, kLister, {}, QStringLiteral("DRIVE\tDISK\tsda\tATA\t/dev/sda\t83886080\t512\nPART\t/dev/sda\t1\t63"), 0,
           SIGTERM);
    Roz roz;
    ASSERT_EQ(roz.getHard()->diskCount(), 1u);
    EXPECT_EQ(roz.getHard()->getDisk(0u)->getSize(), QStringLiteral("83886080"));
    EXPECT_EQ(roz.getHard()->problems().size(), 2) << "the disk listing and the partition listing";
    EXPECT_TRUE(roz.getLvm()->problems().isEmpty());
    expectConsistent(roz);
}
