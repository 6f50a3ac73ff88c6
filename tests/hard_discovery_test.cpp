// Disk and partition discovery against the simulated machine: what the lister and the LVM tool say.
#include "modeltest.h"

#include <QFile>

namespace {

QStringList partitionNames(Disk* disk)
{
    QStringList names;
    for (unsigned int i = 0; i < disk->partitionCount(); ++i)
        names.append(disk->getPartition(i)->name());
    return names;
}

Partition* find(Hard& hard, const char* path)
{
    return hard.getPv(QString::fromLatin1(path));
}

} // namespace

TEST(HardDiscovery, DefaultMachineListsDiskDrivesOnlyAndSkipsExtendedPartitions)
{
    SimRoot sim;
    Hard hard;
    ASSERT_EQ(hard.diskCount(), 3u);
    EXPECT_EQ(hard.getDisk(0u)->name(), "sda");
    EXPECT_EQ(hard.getDisk(1u)->path(), "/dev/sdb");
    EXPECT_EQ(hard.getDisk(2u)->getSize(), "41943040");
    EXPECT_EQ(hard.getDisk(0u)->getSize(), "83886080");
    EXPECT_EQ(hard.getDisk("sr0"), nullptr);
    EXPECT_TRUE(hard.getDisk(0u)->lvString().isEmpty());
    EXPECT_FALSE(hard.getDisk(0u)->lvString().isNull());
    // Extended partitions are skipped.
    EXPECT_EQ(partitionNames(hard.getDisk(0u)), (QStringList{"sda1", "sda2", "sda3", "sda5", "sda6"}));
    EXPECT_EQ(partitionNames(hard.getDisk(1u)), (QStringList{"sdb1", "sdb2", "sdb5", "sdb6", "sdb7"}));
    EXPECT_EQ(partitionNames(hard.getDisk(2u)), (QStringList{"sdc1", "sdc2", "sdc3"}));
}

TEST(HardDiscovery, ListerFieldsAndMountTable)
{
    SimRoot sim;
    Hard hard;
    struct Expected {
        const char* path;
        const char* size;
        const char* system;
        const char* fstype; // nullptr: null type
        const char* mount;
    };
    const Expected expected[] = {
        {"/dev/sda1", "20971520", "HPFS/NTFS", "NTFS", ""},
        {"/dev/sda2", "10485760", "Linux", "ext3", "/"},
        {"/dev/sda3", "1048576", "Linux swap", "LINUX-SWAP", ""},
        {"/dev/sda5", "31457280", "Linux LVM, LVM", "LVM2", ""},
        {"/dev/sdb1", "8388608", "W95 FAT32", "vfat", "/media/shared"}, // mount table's type wins
        {"/dev/sdb6", "5242880", "Linux", nullptr, ""},                 // field 9 is -1
        {"/dev/sdb7", "20971520", "Linux", "reiserfs", "/srv"},
        {"/dev/sdc3", "9437184", "Linux", nullptr, ""},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.path);
        Partition* p = find(hard, e.path);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->getSize(), QString::fromLatin1(e.size));
        EXPECT_EQ(p->proportion(), QString::fromLatin1(e.size).toInt() / 1024);
        EXPECT_EQ(p->getSystem(), QString::fromLatin1(e.system));
        if (e.fstype)
            EXPECT_EQ(p->fstype(), QString::fromLatin1(e.fstype));
        else
            EXPECT_TRUE(p->fstype().isNull()) << p->fstype().toStdString();
        EXPECT_EQ(p->mountPoint(), QString::fromLatin1(e.mount));
        EXPECT_FALSE(p->mountPoint().isNull());
    }
}

TEST(HardDiscovery, PhysicalVolumesInAndOutsideGroupsAndTheirLvLists)
{
    SimRoot sim;
    MessageCapture capture;
    Hard hard;
    Partition* sda5 = find(hard, "/dev/sda5");
    ASSERT_NE(sda5, nullptr);
    EXPECT_TRUE(sda5->isPv());
    EXPECT_EQ(sda5->getVgPath(), "/dev/my-vg");
    EXPECT_FALSE(sda5->isAllocatable());
    EXPECT_EQ(find(hard, "/dev/sda6")->getVgPath(), "/dev/vg.backup");
    EXPECT_EQ(find(hard, "/dev/sdc1")->getVgPath(), "/dev/vgbroken");

    // LVM2 prints "#orphans_lvm2" as the group of a PV outside every group.
    Partition* orphan = find(hard, "/dev/sdb5");
    EXPECT_TRUE(orphan->isPv());
    EXPECT_TRUE(orphan->getVgPath().isEmpty());
    EXPECT_TRUE(orphan->isAllocatable());
    EXPECT_EQ(orphan->lvString(), "");
    EXPECT_FALSE(orphan->lvString().isNull());

    Partition* plain = find(hard, "/dev/sda2");
    EXPECT_FALSE(plain->isPv());
    EXPECT_TRUE(plain->isAllocatable());

    // A "no label" answer clears the PV flag but keeps the system.
    Partition* sdc2 = find(hard, "/dev/sdc2");
    ASSERT_NE(sdc2, nullptr);
    EXPECT_FALSE(sdc2->isPv());
    EXPECT_EQ(sdc2->getSystem(), "Linux LVM, LVM");
    EXPECT_TRUE(sdc2->isAllocatable());
    EXPECT_EQ(sdc2->lvString(), "");
    EXPECT_FALSE(sim.callLines().contains("/sbin/lvm.static pvdisplay -v /dev/sdc2"));

    // LV lists follow the table, keeping dashes and dots.
    EXPECT_EQ(find(hard, "/dev/sda5")->lvString(), "/dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/music");
    EXPECT_EQ(find(hard, "/dev/sdb2")->lvString(), "/dev/my-vg/snap1:/dev/my-vg/music:/dev/my-vg/scratch_1");
    EXPECT_EQ(find(hard, "/dev/sda6")->lvString(), "/dev/vg.backup/archive:/dev/vg.backup/old-root");
    EXPECT_EQ(capture.countDebug("sda5's lvstring: /dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/music"), 1);
}

TEST(HardDiscovery, ToolsRunOncePerDiskOnlyForLvmCandidatesAndDebugLinesFrameEachDisk)
{
    SimRoot sim;
    MessageCapture capture;
    Hard hard;
    const QStringList lines = sim.callLines();
    EXPECT_EQ(lines.count(kLister + QStringLiteral(" dev lsdev -C -c storage")), 4); // drives + 3 disks
    QStringList pvdisplays;
    for (const QString& line : lines) {
        if (line.startsWith("/sbin/lvm.static pvdisplay"))
            pvdisplays.append(line.mid(QStringLiteral("/sbin/lvm.static pvdisplay ").size()));
    }
    EXPECT_EQ(pvdisplays, (QStringList{"-c /dev/sda5", "-v /dev/sda5", "-c /dev/sda6", "-v /dev/sda6", "-c /dev/sdb2",
                                       "-v /dev/sdb2", "-c /dev/sdb5", "-v /dev/sdb5", "-c /dev/sdc1", "-v /dev/sdc1",
                                       "-c /dev/sdc2"}));

    const QStringList debug = capture.debugLines();
    ASSERT_FALSE(debug.isEmpty());
    EXPECT_EQ(debug.first(), "==/dev/sda================================");
    EXPECT_EQ(debug.at(1), "Partition sda1's system is: HPFS/NTFS");
    EXPECT_EQ(debug.at(2), "============sda1======================");
    EXPECT_EQ(debug.last(), "=====D=I=S=K=S====&=====P=A=R=T=I=T=I=O=N=S=======");
    EXPECT_LT(debug.indexOf("sda5's lvstring: /dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/music"),
              debug.indexOf("============sda5======================"));
    EXPECT_LT(debug.indexOf("============sda6======================"),
              debug.indexOf("==/dev/sdb================================"));
}

TEST(HardDiscovery, IndexLookupsPastTheEndWarnNameLookupsDoNot)
{
    SimRoot sim;
    Hard hard;
    MessageCapture capture;
    EXPECT_EQ(hard.getDisk(3u), nullptr);
    EXPECT_EQ(hard.getDisk(0u)->getPartition(5u), nullptr);
    EXPECT_EQ(capture.warnings(), (QStringList{"ASSERT: \"disk != NULL\" in harddrive (361)",
                                               "ASSERT: \"partition != NULL\" in harddrive (402)"}));
    EXPECT_EQ(hard.getDisk("hdz"), nullptr);
    EXPECT_EQ(hard.getDisk(0u)->getPartition("sda4"), nullptr);
    EXPECT_EQ(capture.warnings().size(), 2);
}

// No disks because the lister is missing is not an empty machine: the model says so.
TEST(HardDiscovery, MissingListerGivesNoDisksAndSaysWhy)
{
    SimRoot sim;
    ASSERT_TRUE(QFile::remove(sim.root() + kLister));
    MessageCapture capture;
    Hard hard;
    EXPECT_EQ(hard.diskCount(), 0u);
    const QString problem = QStringLiteral("could not run %1 dev lsdev -C -c storage (looked for %2): No such file or "
                                           "directory")
                                .arg(kLister, sim.root() + kLister);
    EXPECT_EQ(hard.problems(), QStringList{problem});
    EXPECT_EQ(capture.debugLines(), (QStringList{problem, "=====D=I=S=K=S====&=====P=A=R=T=I=T=I=O=N=S======="}));
}

TEST(HardDiscovery, CraftedListerLinesMdDisksBlanksAndExtendedCase)
{
    SimRoot sim;
    const QString listing = QStringLiteral("DRIVE\tDISK\tmd1\tRAID\t/dev/md1\t1000\t512\n"
                                           "DRIVE\tDISK\tmd10\tRAID\t/dev/md10\t2000\t512\n"
                                           "DRIVE\tDISK\t  sdx  \tX\t/dev/sdx\t-3\t512\n"
                                           "PART\t/dev/md10p\t1\t0\t1\t0x83\tLinux\text3\t4096\t0\t\n"
                                           "PART\t/dev/sdx\t1\t0\t1\t0x05\tExtended\t\t100\t0\t\n"
                                           "PART\t/dev/sdx\t2\t0\t1\t0x05\textended\t\t100\t0\t\n");
    sim.addFault(kLister, {}, 0, listing);
    Hard hard;
    ASSERT_EQ(hard.diskCount(), 3u);
    EXPECT_EQ(partitionNames(hard.getDisk("md1")), QStringList{"md10p1"});
    EXPECT_EQ(partitionNames(hard.getDisk("md10")), QStringList{"md10p1"});
    Disk* sdx = hard.getDisk("sdx");
    ASSERT_NE(sdx, nullptr);
    EXPECT_EQ(sdx->path(), "/dev/sdx");
    EXPECT_EQ(sdx->getSize(), "0");
    EXPECT_EQ(partitionNames(sdx), QStringList{"sdx1"});
}
