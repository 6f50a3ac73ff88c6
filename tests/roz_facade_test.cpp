// The facade on the simulated default machine: both trees agree at start and stay in step through
// every logical change, and the resize notice's added/released lists.
#include "modeltest.h"

#include <QRegularExpression>

namespace {

QStringList splitPaths(const QString& text)
{
    return text.split(':', Qt::SkipEmptyParts);
}

// Every group's PVs name that group, every volume is listed on each of its PVs, and every
// partition's group and LV entries are backed by a Vg and an Lv that name the partition.
void expectTreesAgree(Roz& roz)
{
    Lvm* lvm = roz.getLvm();
    Hard* hard = roz.getHard();
    QHash<QString, Lv*> volumes;
    for (Lv* lv : roz.findChildren<Lv*>())
        volumes.insert(lv->path(), lv);
    for (Vg* vg : lvm->vgs()) {
        for (const QString& pvPath : splitPaths(vg->pvString())) {
            ASSERT_NE(hard->getPv(pvPath), nullptr) << pvPath.toStdString();
            EXPECT_EQ(hard->getPv(pvPath)->getVgPath(), vg->path()) << pvPath.toStdString();
        }
    }
    for (Lv* lv : volumes) {
        for (const QString& pvPath : splitPaths(lv->pvString())) {
            ASSERT_NE(hard->getPv(pvPath), nullptr) << pvPath.toStdString();
            EXPECT_TRUE(splitPaths(hard->getPv(pvPath)->lvString()).contains(lv->path()))
                << lv->path().toStdString() << " not on " << pvPath.toStdString();
        }
    }
    for (Partition* p : roz.findChildren<Partition*>()) {
        SCOPED_TRACE(p->path().toStdString());
        for (const QString& lvPath : splitPaths(p->lvString())) {
            ASSERT_TRUE(volumes.contains(lvPath)) << lvPath.toStdString();
            EXPECT_TRUE(splitPaths(volumes.value(lvPath)->pvString()).contains(p->path())) << lvPath.toStdString();
        }
        const QString vgName = p->getVgPath().mid(5);
        if (p->isAllocatable() || lvm->errorVgName().contains(vgName))
            continue;
        ASSERT_NE(lvm->getVg(vgName), nullptr) << p->getVgPath().toStdString();
        EXPECT_TRUE(splitPaths(lvm->getVg(vgName)->pvString()).contains(p->path()));
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

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
};

} // namespace

TEST_F(RozFacade, TreesAgreeAfterConstructionWithTheLogicalTreeReadFirst)
{
    expectTreesAgree(*roz);
    EXPECT_EQ(pv("/dev/sdc1")->getVgPath(), "/dev/vgbroken");
    EXPECT_TRUE(roz->getLvm()->errorVgName().contains("vgbroken"));

    // The logical tree is read before the lister runs.
    const QStringList lines = sim->callLines();
    const qsizetype firstLister = lines.indexOf("/usr/lib/vururer/lib/veziva.cli dev lsdev -C -c storage");
    ASSERT_GE(firstLister, 0);
    EXPECT_EQ(lines.mid(firstLister).filter(QRegularExpression(" (vg|lv)(scan|display)( |$)")), QStringList());
}

TEST_F(RozFacade, DestructionDeletesLvmThenHard)
{
    QStringList order;
    QObject::connect(roz->getLvm(), &QObject::destroyed, [&order] { order.append("lvm"); });
    QObject::connect(roz->getHard(), &QObject::destroyed, [&order] { order.append("hard"); });
    roz.reset();
    EXPECT_EQ(order, (QStringList{"lvm", "hard"}));
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

// One change after the other, each reaching the physical tree through its own notice of the
// logical one; after each, the partitions it touches read as "group | LV list" and both trees agree.
// sdc3 is a plain Linux partition: pvcreate makes it a physical volume, shown as a probe shows one
// (tagged LVM, type LVM2). A group's reduce, rename and removal are followed in ops_vg_test.
TEST_F(RozFacade, EachChangeReachesThePartitionsItTouches)
{
    struct Case {
        const char* what;
        std::function<int()> change;
        QList<QPair<const char*, QString>> partitions;
    };
    const Case cases[] = {
        {"snapshot",
         [this] {
             return myVg()->getLv("music")->createSnapshot({"-s", "-nm.snap", "-L64M"});
         },
         {{"/dev/sdb2", "/dev/my-vg | /dev/my-vg/snap1:/dev/my-vg/music:/dev/my-vg/scratch_1:/dev/my-vg/m.snap"}}},
        {"extend", [this] { return myVg()->extend({"/dev/sdb5"}); }, {{"/dev/sdb5", "/dev/my-vg | "}}},
        // Larger than what is free on sdb2, so the volume spills onto sdb5. Both steps of an ext2
        // grow announce the volume against its PVs before the grow; sdb5 lists it once.
        {"grow",
         [this] { return myVg()->getLv("scratch_1")->resize({"-L36000"}); },
         {{"/dev/sdb5", "/dev/my-vg | :/dev/my-vg/scratch_1"},
          {"/dev/sdb2", "/dev/my-vg | /dev/my-vg/snap1:/dev/my-vg/music:/dev/my-vg/scratch_1:/dev/my-vg/m.snap"}}},
        {"lv rename",
         [this] { return myVg()->getLv("music")->rename("tunes-2.0"); },
         {{"/dev/sda5", "/dev/my-vg | /dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/tunes-2.0"},
          {"/dev/sdb2", "/dev/my-vg | /dev/my-vg/snap1:/dev/my-vg/tunes-2.0:/dev/my-vg/scratch_1:/dev/my-vg/m.snap"}}},
        {"lv remove",
         [this] { return myVg()->getLv("scratch_1")->remove(); },
         {{"/dev/sdb5", "/dev/my-vg | "},
          {"/dev/sdb2", "/dev/my-vg | /dev/my-vg/snap1:/dev/my-vg/tunes-2.0:/dev/my-vg/m.snap"}}},
        {"vg create",
         [this] {
             return roz->getLvm()->createVg({"-s", "8M", "-v", "vg-new", "/dev/sdc3"});
         },
         {{"/dev/sdc3", "/dev/vg-new | "}}},
    };
    ASSERT_FALSE(pv("/dev/sdc3")->isPv());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.change(), 0);
        for (const auto& [path, expected] : c.partitions) {
            Partition* p = pv(path);
            EXPECT_EQ(p->getVgPath() + " | " + p->lvString(), expected) << path;
            EXPECT_EQ(p->getSystem() + " " + p->fstype(), "Linux LVM, LVM LVM2") << path;
            EXPECT_TRUE(p->isPv()) << path;
        }
        expectTreesAgree(*roz);
    }
}
