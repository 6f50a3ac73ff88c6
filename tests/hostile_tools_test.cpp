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

// A name, path or list read from a tool: no line breaks, no NULs, no more than a line's length.
void expectSaneText(const QString& text, const char* what)
{
    EXPECT_FALSE(text.contains('\n')) << what << ": " << text.toStdString();
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
            EXPECT_EQ(lv->path(), vg->path() + '/' + lv->name());
            EXPECT_EQ(vg->getLv(lv->name()), lv);
            // A snapshot's origin and an origin's snapshots are plain names, never paths.
            EXPECT_FALSE(lv->getOriginal().contains('/'));
            for (const QString& snapshot : lv->getSnapshot())
                EXPECT_FALSE(snapshot.contains('/'));
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

TEST(HostileLvmTool, SilentOrGarbageToolGivesAnEmptyLogicalTreeAndCrashesNothing)
{
    for (const QString& text : {QString(), garbageText()}) {
        SCOPED_TRACE(text.left(20).toStdString());
        SimRoot sim;
        inject(sim, kLvm, {}, text, 0, 0, text);
        Roz roz;
        EXPECT_EQ(roz.getLvm()->vgCount(), 0u);
        EXPECT_TRUE(roz.getLvm()->errorVgName().isEmpty());
        // The lister still works: the disks are all there.
        EXPECT_EQ(roz.getHard()->diskCount(), 3u);
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

TEST(HostileLvmTool, RecordsWithThreeFields)
{
    SimRoot sim;
    inject(sim, kLvm, {"vgdisplay"}, fields(3, "  my-vg"));
    inject(sim, kLvm, {"lvdisplay", "-c"}, fields(3, "  /dev/my-vg/home"));
    inject(sim, kLvm, {"pvdisplay", "-c"}, fields(3, "  /dev/sda5"));
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    // Fields the record lacks read as 0: an extent size of 0 must not be divided by.
    EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), 0);
    EXPECT_EQ(vg->getAttribute(Vg::FreeMb), 0);
    Lv* home = vg->getLv("home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->getAttribute(Lv::Size), 0);
    EXPECT_EQ(home->proportion(), 0);
    // Field 1 "1" names the group of every PV: "/dev/1".
    Partition* sda5 = roz.getHard()->getDisk("sda")->getPartition("sda5");
    ASSERT_NE(sda5, nullptr);
    EXPECT_EQ(sda5->getVgPath(), "/dev/1");
    expectConsistent(roz);
}

TEST(HostileLvmTool, RecordsWithThreeHundredFields)
{
    SimRoot sim;
    inject(sim, kLvm, {"vgdisplay"}, fields(300, "  my-vg"));
    inject(sim, kLvm, {"lvdisplay", "-c"}, fields(300, "  /dev/x/y"));
    inject(sim, kLvm, {"pvdisplay", "-c"}, fields(300, "  /dev/sda5"));
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(vg->getAttribute(Vg::Access), 1);
    EXPECT_EQ(vg->getAttribute(Vg::TotalPe), 13);
    Lv* home = vg->getLv("home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->getAttribute(Lv::Minor), 12);
    EXPECT_EQ(home->getAttribute(Lv::Access), 2);
    expectConsistent(roz);
}

TEST(HostileLvmTool, LinesLongerThanALineBufferAreCutNotOverrun)
{
    SimRoot sim;
    const QString longName(3000, 'v');
    inject(sim, kLvm, {"vgscan"},
           QStringLiteral("  Found volume group \"%1\" using metadata type lvm2\n"
                          "  Found volume group \"my-vg\" using metadata type lvm2\n")
               .arg(longName));
    inject(sim, kLvm, {"lvscan"},
           QStringLiteral("  ACTIVE   '/dev/my-vg/%1' [1.00 GiB] inherit\n"
                          "  ACTIVE   '/dev/my-vg/music' [25.00 GiB] inherit\n")
               .arg(QString(2500, 'l')));
    inject(sim, kLvm, {"pvscan"},
           QStringLiteral("  PV /dev/sda5%1 VG my-vg lvm2 [30.00 GiB / 0    free]\n").arg(QString(1500, ' ')));
    Roz roz;
    // The overlong line comes in pieces of at most 1022 bytes: neither piece is a whole record.
    EXPECT_EQ(roz.getLvm()->vgCount(), 1u);
    Vg* vg = roz.getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    ASSERT_EQ(vg->lvCount(), 1u);
    EXPECT_EQ(vg->getLv(0u)->name(), "music");
    for (uint i = 0; i < vg->lvCount(); ++i)
        EXPECT_LT(vg->getLv(i)->name().size(), 1023);
    expectConsistent(roz);
}

TEST(HostileLvmTool, DeathBySignalKeepsWhatWasPrinted)
{
    SimRoot sim;
    inject(sim, kLvm, {"vgscan"}, "  Found volume group \"my-vg\" using metadata type lvm2\n", 0, SIGKILL);
    inject(sim, kLvm, {"lvdisplay"}, "  --- Logical volume ---\n  LV Status  ", 0, SIGTERM);
    inject(sim, kLvm, {"pvdisplay"}, QString(), 0, SIGHUP);
    Roz roz;
    ASSERT_EQ(roz.getLvm()->vgCount(), 1u);
    EXPECT_EQ(roz.getLvm()->getVg(0u)->name(), "my-vg");
    EXPECT_EQ(roz.problems().value(0), "/sbin/lvm.static vgscan was killed by signal 9");
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
    Partition* sda5 = roz.getHard()->getDisk("sda")->getPartition("sda5");
    ASSERT_NE(sda5, nullptr);
    EXPECT_TRUE(sda5->getVgPath().isEmpty());
    EXPECT_TRUE(sda5->lvString().isEmpty());
    expectConsistent(roz);
    QString output;
    EXPECT_EQ(runcmd(kLvm, {"vgscan"}, output), 255);
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
    QStringList many{"PART", "/dev/sda", "2"};
    for (int i = 3; i < 300; ++i)
        many << "LVM";
    lines += many.join('\t') + '\n';
    lines += QStringLiteral("PART\t/dev/sda\t3\t0\t1\t0x83\tLinux\text3\t100\t0\t%1\n").arg(QString(2000, 'L'));
    lines += garbageText();
    inject(sim, kLister, {}, lines);
    Roz roz;
    Hard* hard = roz.getHard();
    ASSERT_EQ(hard->diskCount(), 1u);
    Disk* sda = hard->getDisk(0u);
    EXPECT_EQ(sda->getSize(), "0");
    // The 300-field line is one partition; the 2000-character label is cut into a second piece
    // that is no PART line.
    EXPECT_NE(sda->getPartition("sda2"), nullptr);
    EXPECT_NE(sda->getPartition("sda3"), nullptr);
    expectConsistent(roz);
}

TEST(HostileLister, DeathBySignalMidListing)
{
    SimRoot sim;
    inject(sim, kLister, {}, "DRIVE\tDISK\tsda\tATA\t/dev/sda\t83886080\t512\nPART\t/dev/sda\t1\t63", 0, SIGTERM);
    Roz roz;
    ASSERT_EQ(roz.getHard()->diskCount(), 1u);
    EXPECT_EQ(roz.getHard()->getDisk(0u)->getSize(), "83886080");
    EXPECT_EQ(roz.getHard()->problems().size(), 2) << "the disk listing and the partition listing";
    EXPECT_TRUE(roz.getLvm()->problems().isEmpty());
    expectConsistent(roz);
}
