// The facade on the simulated default machine: both trees agree at start and stay in step through
// every logical change, and the resize notice's added/released lists.
#include "modeltest.h"

namespace {

QStringList splitPaths(const QString& text)
{
    return text.split(':', Qt::SkipEmptyParts);
}

Lv* findLv(Lvm* lvm, const QString& lvPath)
{
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        for (unsigned int j = 0; j < vg->lvCount(); ++j) {
            if (vg->getLv(j)->path() == lvPath)
                return vg->getLv(j);
        }
    }
    return nullptr;
}

// Every group's PVs name that group, every volume is listed on each of its PVs, and every
// partition's group and LV entries are backed by a Vg and an Lv that name the partition.
void expectTreesAgree(Roz& roz)
{
    Lvm* lvm = roz.getLvm();
    Hard* hard = roz.getHard();
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        for (const QString& pvPath : splitPaths(vg->pvString())) {
            Partition* p = hard->getPv(pvPath);
            ASSERT_NE(p, nullptr) << pvPath.toStdString();
            EXPECT_EQ(p->getVgPath(), vg->path()) << pvPath.toStdString();
        }
        for (unsigned int j = 0; j < vg->lvCount(); ++j) {
            Lv* lv = vg->getLv(j);
            for (const QString& pvPath : splitPaths(lv->pvString())) {
                Partition* p = hard->getPv(pvPath);
                ASSERT_NE(p, nullptr) << pvPath.toStdString();
                EXPECT_TRUE(splitPaths(p->lvString()).contains(lv->path()))
                    << lv->path().toStdString() << " not on " << pvPath.toStdString();
            }
        }
    }
    for (unsigned int d = 0; d < hard->diskCount(); ++d) {
        Disk* disk = hard->getDisk(d);
        for (unsigned int k = 0; k < disk->partitionCount(); ++k) {
            Partition* p = disk->getPartition(k);
            SCOPED_TRACE(p->path().toStdString());
            for (const QString& lvPath : splitPaths(p->lvString())) {
                Lv* lv = findLv(lvm, lvPath);
                ASSERT_NE(lv, nullptr) << lvPath.toStdString();
                EXPECT_TRUE(splitPaths(lv->pvString()).contains(p->path())) << lvPath.toStdString();
            }
            if (p->isAllocatable())
                continue;
            const QString vgName = p->getVgPath().mid(5);
            if (lvm->errorVgName().contains(vgName))
                continue;
            Vg* vg = lvm->getVg(vgName);
            ASSERT_NE(vg, nullptr) << p->getVgPath().toStdString();
            EXPECT_TRUE(splitPaths(vg->pvString()).contains(p->path()));
        }
    }
}

class RozFacade : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = std::make_unique<SimRoot>();
        roz = std::make_unique<Roz>();
        ASSERT_NE(roz->getLvm()->getVg("my-vg"), nullptr);
    }
    Partition* pv(const char* path) { return roz->getHard()->getPv(QString::fromLatin1(path)); }
    Vg* myVg() { return roz->getLvm()->getVg("my-vg"); }
    QStringList lvsOn(const char* path) { return splitPaths(pv(path)->lvString()); }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
};

} // namespace

TEST_F(RozFacade, TreesAgreeAfterConstructionWithTheLogicalTreeReadFirst)
{
    expectTreesAgree(*roz);
    EXPECT_EQ(roz->getHard()->diskCount(), 3u);
    EXPECT_EQ(pv("/dev/sdc1")->getVgPath(), "/dev/vgbroken");
    EXPECT_TRUE(roz->getLvm()->errorVgName().contains("vgbroken"));

    // The logical tree is read before the lister runs.
    const QStringList lines = sim->callLines();
    const qsizetype firstLister = lines.indexOf("/usr/lib/vururer/lib/veziva.cli dev lsdev -C -c storage");
    ASSERT_GE(firstLister, 0);
    for (qsizetype i = firstLister; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        EXPECT_FALSE(line.contains(" vgscan") || line.contains(" lvscan") || line.contains(" lvdisplay") ||
                     line.contains(" vgdisplay"))
            << line.toStdString();
    }
}

TEST_F(RozFacade, DestructionDeletesLvmThenHard)
{
    QStringList order;
    QObject::connect(roz->getLvm(), &QObject::destroyed, [&order] { order.append("lvm"); });
    QObject::connect(roz->getHard(), &QObject::destroyed, [&order] { order.append("hard"); });
    roz.reset();
    EXPECT_EQ(order, (QStringList{"lvm", "hard"}));
}

TEST_F(RozFacade, EachLvmSignalReachesItsAffiliation)
{
    Lvm* lvm = roz->getLvm();
    const QStringList sdb5 = {"/dev/sdb5"};
    emit lvm->oneVgAdded("/dev/a", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->getVgPath(), "/dev/a");
    emit lvm->oneVgRemoved(sdb5);
    EXPECT_TRUE(pv("/dev/sdb5")->isAllocatable());
    emit lvm->oneVgExtended("/dev/b", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->getVgPath(), "/dev/b");
    emit lvm->oneLvAdded("/dev/b/x", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->lvString(), ":/dev/b/x");
    emit lvm->oneVgRenamed("/dev/c", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->getVgPath(), "/dev/c");
    EXPECT_EQ(pv("/dev/sdb5")->lvString(), "/dev/c/x");
    emit lvm->oneLvRenamed("/dev/c/y", "/dev/c/x", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->lvString(), "/dev/c/y");
    emit lvm->oneLvResized("/dev/c/y", {}, sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->lvString(), QString());
    emit lvm->oneLvAdded("/dev/c/z", sdb5);
    emit lvm->oneLvRemoved("/dev/c/z", sdb5);
    EXPECT_EQ(pv("/dev/sdb5")->lvString(), QString());
    emit lvm->oneVgReduced(sdb5);
    EXPECT_TRUE(pv("/dev/sdb5")->isAllocatable());
}

TEST(RozResize, AffiliatesAddedPvsInOrderBeforeReleasingOldOnes)
{
    struct Case {
        const char* lv;
        QStringList now;
        QStringList before;
        QStringList debug;
    };
    const Case cases[] = {
        // Unchanged PVs, in another order: nothing is touched.
        {"/dev/my-vg/music", {"/dev/sda5", "/dev/sdb2"}, {"/dev/sdb2", "/dev/sda5"}, {}},
        {"/dev/my-vg/home",
         {"/dev/sdb2", "/dev/sdb5"},
         {"/dev/sda5", "/dev/sdb2"},
         {"/dev/sdb5's lvs: :/dev/my-vg/home", "/dev/sda5's lvs: /dev/my-vg/home.daily:/dev/my-vg/music"}},
        // Several added PVs, one repeated, each in order.
        {"/dev/g/v",
         {"/dev/sdc3", "/dev/sdb5", "/dev/sdc3", "/dev/sdb6"},
         {"/dev/sdb6"},
         {"/dev/sdc3's lvs: :/dev/g/v", "/dev/sdb5's lvs: :/dev/g/v", "/dev/sdc3's lvs: :/dev/g/v:/dev/g/v"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lv);
        SimRoot sim;
        Roz roz;
        MessageCapture capture;
        roz.slotOneLvResized(QString::fromLatin1(c.lv), c.now, c.before);
        EXPECT_EQ(capture.debugLines(), c.debug);
        EXPECT_EQ(roz.getHard()->getPv("/dev/sdb2")->lvString(),
                  "/dev/my-vg/snap1:/dev/my-vg/music:/dev/my-vg/scratch_1");
    }
}

TEST_F(RozFacade, LvRenameReachesEveryPvOfTheVolume)
{
    ASSERT_EQ(myVg()->getLv("music")->rename("tunes-2.0"), 0);
    EXPECT_EQ(lvsOn("/dev/sda5"), (QStringList{"/dev/my-vg/home", "/dev/my-vg/home.daily", "/dev/my-vg/tunes-2.0"}));
    EXPECT_EQ(lvsOn("/dev/sdb2"), (QStringList{"/dev/my-vg/snap1", "/dev/my-vg/tunes-2.0", "/dev/my-vg/scratch_1"}));
    expectTreesAgree(*roz);
}

TEST_F(RozFacade, LvRemoveDropsItFromItsPvAndTheAccessorsKeepTheirTrees)
{
    Lvm* lvm = roz->getLvm();
    Hard* hard = roz->getHard();
    ASSERT_EQ(myVg()->getLv("scratch_1")->remove(), 0);
    EXPECT_EQ(lvsOn("/dev/sdb2"), (QStringList{"/dev/my-vg/snap1", "/dev/my-vg/music"}));
    expectTreesAgree(*roz);
    EXPECT_EQ(roz->getLvm(), lvm);
    EXPECT_EQ(roz->getHard(), hard);
}

TEST_F(RozFacade, SnapshotIsListedOnThePvHoldingIt)
{
    Lv* scratch = myVg()->getLv("scratch_1");
    ASSERT_EQ(scratch->createSnapshot({"-s", "-nscratch.snap", "-L64M"}), 0);
    Lv* snap = myVg()->getLv("scratch.snap");
    ASSERT_NE(snap, nullptr);
    ASSERT_FALSE(snap->pvString().isEmpty());
    EXPECT_TRUE(lvsOn("/dev/sdb2").contains("/dev/my-vg/scratch.snap"));
    expectTreesAgree(*roz);
}

// sdc3 is a plain Linux partition: pvcreate makes it a physical volume, which it stays when its
// group is removed, shown as a probe shows one (tagged LVM, type LVM2).
TEST_F(RozFacade, CreatedGroupThenRemovedLeavesItsPartitionAPhysicalVolume)
{
    ASSERT_FALSE(pv("/dev/sdc3")->isPv());
    const auto expectPhysicalVolume = [this](const QString& vgPath) {
        Partition* sdc3 = pv("/dev/sdc3");
        EXPECT_EQ(sdc3->getVgPath(), vgPath);
        EXPECT_EQ(sdc3->getSystem(), "Linux LVM, LVM");
        EXPECT_TRUE(sdc3->isPv());
        EXPECT_EQ(sdc3->fstype(), "LVM2");
        expectTreesAgree(*roz);
    };
    ASSERT_EQ(roz->getLvm()->createVg({"-s", "8M", "-v", "vg-new", "/dev/sdc3"}), 0);
    expectPhysicalVolume("/dev/vg-new");

    Vg* created = roz->getLvm()->getVg("vg-new");
    ASSERT_NE(created, nullptr);
    ASSERT_EQ(created->remove(), 0);
    expectPhysicalVolume(QString());
}

TEST_F(RozFacade, GroupRenameRewritesGroupAndVolumePaths)
{
    ASSERT_EQ(myVg()->rename("data.vg"), 0);
    EXPECT_EQ(pv("/dev/sda5")->getVgPath(), "/dev/data.vg");
    EXPECT_EQ(pv("/dev/sdb2")->getVgPath(), "/dev/data.vg");
    EXPECT_EQ(lvsOn("/dev/sda5"), (QStringList{"/dev/data.vg/home", "/dev/data.vg/home.daily", "/dev/data.vg/music"}));
    expectTreesAgree(*roz);
}

TEST_F(RozFacade, ExtendReduceAndGrowFollowThePvs)
{
    ASSERT_EQ(myVg()->extend({"/dev/sdb5"}), 0);
    EXPECT_EQ(pv("/dev/sdb5")->getVgPath(), "/dev/my-vg");
    expectTreesAgree(*roz);

    // Larger than what is free on sdb2, so the volume spills onto sdb5.
    Lv* scratch = myVg()->getLv("scratch_1");
    ASSERT_EQ(scratch->resize({"-L36000"}), 0);
    ASSERT_TRUE(splitPaths(scratch->pvString()).contains("/dev/sdb5"));
    EXPECT_TRUE(lvsOn("/dev/sdb5").contains("/dev/my-vg/scratch_1"));
    EXPECT_TRUE(lvsOn("/dev/sdb2").contains("/dev/my-vg/scratch_1"));
    expectTreesAgree(*roz);

    ASSERT_EQ(myVg()->getLv("scratch_1")->remove(), 0);
    EXPECT_FALSE(lvsOn("/dev/sdb5").contains("/dev/my-vg/scratch_1"));
    ASSERT_EQ(myVg()->reduce({"/dev/sdb5"}), 0);
    EXPECT_TRUE(pv("/dev/sdb5")->isAllocatable());
    EXPECT_EQ(pv("/dev/sdb5")->getSystem(), "Linux LVM, LVM");
    expectTreesAgree(*roz);
}
