// Disk and partition discovery against the simulated machine: what the lister and the LVM tool say.
#include "modeltest.h"

namespace {

QStringList partitionNames(Disk* disk)
{
    QStringList names;
    for (unsigned int i = 0; i < disk->partitionCount(); ++i)
        names.append(disk->getPartition(i)->name());
    return names;
}

} // namespace

// Lister fields, the mount table, and what pvdisplay says of each physical volume: "#orphans_lvm2"
// is no group, a "no label" answer clears the PV flag but keeps the system, and the LV lists follow
// the table keeping dashes and dots.
TEST(HardDiscovery, EveryPartitionAsTheListerMountTableAndPvdisplaySeeIt)
{
    SimRoot sim;
    Hard hard;
    struct Row {
        const char* path;
        const char* size;
        const char* system;
        const char* fstype; // nullptr: null type
        const char* mount;
        bool pv;
        const char* vgPath;
        const char* lvs;
    };
    const Row rows[] = {
        {"/dev/sda1", "20971520", "HPFS/NTFS", "NTFS", "", false, "", ""},
        {"/dev/sda6", "18874368", "Linux LVM, LVM", "LVM2", "", true, "/dev/vg.backup",
         "/dev/vg.backup/archive:/dev/vg.backup/old-root"},
        {"/dev/sdb2", "41943040", "Linux LVM, LVM", "LVM2", "", true, "/dev/my-vg",
         "/dev/my-vg/snap1:/dev/my-vg/music:/dev/my-vg/scratch_1"},
        {"/dev/sdb5", "10485760", "Linux LVM, LVM", "LVM2", "", true, "", ""},
        {"/dev/sdb6", "5242880", "Linux", nullptr, "", false, "", ""}, // field 9 is -1
        {"/dev/sdb7", "20971520", "Linux", "reiserfs", "/srv", false, "", ""},
        {"/dev/sdc1", "20971520", "Linux LVM, LVM", "LVM2", "", true, "/dev/vgbroken", ""},
        {"/dev/sdc2", "10485760", "Linux LVM, LVM", nullptr, "", false, "", ""},
        {"/dev/sdc3", "9437184", "Linux", nullptr, "", false, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        Partition* p = hard.getPv(QString::fromLatin1(row.path));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::tuple(p->getSize(), p->getSystem(), p->mountPoint(), p->isPv(), p->getVgPath(), p->lvString()),
                  std::tuple(row.size, row.system, row.mount, row.pv, row.vgPath, row.lvs));
        EXPECT_FALSE(p->mountPoint().isNull());
        EXPECT_FALSE(p->lvString().isNull());
        if (row.fstype)
            EXPECT_EQ(p->fstype(), QString::fromLatin1(row.fstype));
        else
            EXPECT_TRUE(p->fstype().isNull()) << p->fstype().toStdString();
    }
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
    EXPECT_EQ(debug.mid(0, 3),
              (QStringList{"==/dev/sda================================", "Partition sda1's system is: HPFS/NTFS",
                           "============sda1======================"}));
    EXPECT_EQ(debug.value(debug.size() - 1), "=====D=I=S=K=S====&=====P=A=R=T=I=T=I=O=N=S=======");
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

// Every disk is offered every partition line (md10p1 goes to md1 and md10 alike).
TEST(HardDiscovery, CraftedListerLinesMdDisksAndBlanks)
{
    SimRoot sim;
    const QString listing = QStringLiteral("DRIVE\tDISK\tmd1\tRAID\t/dev/md1\t1000\t512\n"
                                           "DRIVE\tDISK\tmd10\tRAID\t/dev/md10\t2000\t512\n"
                                           "DRIVE\tDISK\t  sdx  \tX\t/dev/sdx\t-3\t512\n"
                                           "PART\t/dev/md10p\t1\t0\t1\t0x83\tLinux\text3\t4096\t0\t\n"
                                           "PART\t/dev/sdx\t1\t0\t1\t0x83\tLinux\t\t100\t0\t\n");
    sim.addFault(kLister, {}, 0, listing);
    Hard hard;
    ASSERT_EQ(hard.diskCount(), 3u);
    EXPECT_EQ(partitionNames(hard.getDisk("md1")), QStringList{"md10p1"});
    EXPECT_EQ(partitionNames(hard.getDisk("md10")), QStringList{"md10p1"});
    // The name is taken without its blanks; a size that is no number reads 0.
    Disk* sdx = hard.getDisk("sdx");
    ASSERT_NE(sdx, nullptr);
    EXPECT_EQ(std::tuple(sdx->path(), sdx->getSize(), partitionNames(sdx)),
              std::tuple("/dev/sdx", "0", QStringList{"sdx1"}));
}
