// The model as a QObject tree: parents and ownership, deletion with connected receivers, the
// identity notices each operation gives, and sizes and lists beside the old accessors.
#include "modeltest.h"

#include <QPointer>

namespace {

// vg00 (data ext3, logs ext2) on sda1 and sda2, an empty group on sda3, sda5 spare.
const char* const kMachine = R"({
  "disks": [{"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 2, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 3, "sizeKiB": 2097152, "system": "Linux LVM", "tag": "LVM"},
      {"number": 5, "sizeKiB": 1048576}]}],
  "pvs": [{"device": "/dev/sda1", "vg": "vg00"}, {"device": "/dev/sda2", "vg": "vg00"},
          {"device": "/dev/sda3", "vg": "vgempty"}],
  "vgs": [
    {"name": "vg00", "lvs": [{"name": "data", "fstype": "ext3", "sizeMiB": 256},
                             {"name": "logs", "fstype": "ext2", "sizeMiB": 128}]},
    {"name": "vgempty", "lvs": []}
  ]
})";

class ModelTree : public RozOnMachine
{
protected:
    ModelTree() : RozOnMachine(kMachine) {}

    Lvm* lvm() { return roz->getLvm(); }

    // The identity notices, a few by-path ones as landmarks, and changed() of every object
    // present now, each named by its path when it is heard.
    void recordNotices()
    {
        const auto add = [this](const QString& line) { events << line; };
        QObject::connect(lvm(), &Lvm::vgAdded, [add](Vg* g) { add("vgAdded " + g->name()); });
        QObject::connect(lvm(), &Lvm::vgAboutToBeRemoved, [add](Vg* g) { add("vgAboutToBeRemoved " + g->path()); });
        QObject::connect(lvm(), &Lvm::oneVgRemoved, [add] { add("oneVgRemoved"); });
        QObject::connect(lvm(), &Lvm::oneLvRemoved, [add](const QString& p) { add("oneLvRemoved " + p); });
        QObject::connect(lvm(), &Lvm::oneLvResized, [add](const QString& p) { add("oneLvResized " + p); });
        for (Vg* g : lvm()->vgs()) {
            QObject::connect(g, &Vg::changed, [add, g] { add("changed " + g->path()); });
            record(g, &Vg::renamedFrom, "renamedFrom");
            record(g, &Vg::activationChanged, "activationChanged");
            record(g, &Vg::resizabilityChanged, "resizabilityChanged");
            QObject::connect(g, &Vg::lvAdded, [add](Lv* v) { add("lvAdded " + v->path()); });
            QObject::connect(g, &Vg::lvAboutToBeRemoved, [add](Lv* v) { add("lvAboutToBeRemoved " + v->path()); });
            for (Lv* v : g->lvs()) {
                QObject::connect(v, &Lv::changed, [add, v] { add("changed " + v->path()); });
                record(v, &Lv::renamedFrom, "lvRenamedFrom");
                QObject::connect(v, &Lv::resized, [add, v] { add("resized " + v->path()); });
            }
        }
        for (Partition* p : roz->findChildren<Partition*>())
            QObject::connect(p, &Partition::changed, [add, p] { add("changed " + p->path()); });
    }
};

TEST_F(ModelTree, ParentIsTheOwnerAndFindChildrenSeesTheTree)
{
    EXPECT_EQ(lvm()->parent(), roz.get());
    EXPECT_EQ(roz->getHard()->parent(), roz.get());
    EXPECT_EQ(vg->parent(), lvm());
    EXPECT_EQ(vg->getLv("data")->parent(), vg);
    EXPECT_EQ(vg->findChildren<Lv*>(), vg->lvs());
    EXPECT_EQ(roz->findChildren<Lv*>().size(), 2);
    EXPECT_EQ(roz->findChildren<Vg*>(), lvm()->vgs());
    Disk* sda = roz->getHard()->getDisk("sda");
    ASSERT_NE(sda, nullptr);
    EXPECT_EQ(sda->parent(), roz->getHard());
    EXPECT_EQ(sda->findChildren<Partition*>(), sda->partitions());
    QObject owner;
    EXPECT_EQ((new Hard(&owner))->parent(), &owner); // and deleted with it
}

TEST_F(ModelTree, DeletionIsCleanWhicheverGoesFirst)
{
    for (const bool receiverFirst : {true, false}) {
        auto machine = std::make_unique<Roz>();
        auto* receiver = new QObject;
        int heard = 0;
        Vg* group = machine->getLvm()->getVg("vg00");
        QObject::connect(group, &Vg::changed, receiver, [&heard] { ++heard; });
        QObject::connect(machine.get(), &QObject::destroyed, receiver, [&heard] { ++heard; });
        QPointer<Lv> volume = group->getLv("data");
        if (receiverFirst)
            delete receiver;
        machine.reset();
        EXPECT_TRUE(volume.isNull());
        if (!receiverFirst)
            delete receiver;
        EXPECT_EQ(heard, receiverFirst ? 0 : 1);
    }
    // A subtree deleted from outside leaves its registry.
    delete vg->getLv("logs");
    EXPECT_EQ(vg->lvPaths(), QStringList{"/dev/vg00/data"});
    delete vg;
    EXPECT_EQ(lvm()->vgCount(), 1u);
}

struct OperationCase {
    const char* name;
    std::function<int()> run;
    QStringList expected;
};

TEST_F(ModelTree, EachOperationAnnouncesItsIdentityNotices)
{
    const QList<OperationCase> cases = {
        {"createVg",
         [this] {
             return lvm()->createVg({"-s4M", "", "", "vg01", "/dev/sda5"});
         },
         {"changed /dev/sda5", "vgAdded vg01"}},
        {"remove",
         [this] { return lvm()->getVg("vgempty")->remove(); },
         {"vgAboutToBeRemoved /dev/vgempty", "changed /dev/sda3", "oneVgRemoved"}},
        {"rename",
         [this] { return vg->rename("vg02"); },
         {"changed /dev/sda1", "changed /dev/sda2", "renamedFrom vg00 vg02", "changed /dev/vg02/data",
          "changed /dev/vg02/logs", "changed /dev/vg02"}},
        {"deactivate",
         [this] { return vg->deactivate(); },
         {"activationChanged 0", "changed /dev/vg00/data", "changed /dev/vg00/logs", "changed /dev/vg00"}},
        {"activate",
         [this] { return vg->activate(); },
         {"activationChanged 1", "changed /dev/vg00/data", "changed /dev/vg00/logs", "changed /dev/vg00"}},
        {"freeze", [this] { return vg->freeze(); }, {"resizabilityChanged 0", "changed /dev/vg00"}},
        {"createLv",
         [this] {
             return vg->createLv({"none", "-L64", "vg00", "-nfresh"});
         },
         {"changed /dev/sda1", "lvAdded /dev/vg00/fresh", "changed /dev/vg00/data", "changed /dev/vg00/logs",
          "changed /dev/vg00"}},
        {"lvRename",
         [this] { return vg->getLv("logs")->rename("archive"); },
         {"changed /dev/sda1", "lvRenamedFrom logs archive", "changed /dev/vg00/archive", "changed /dev/vg00"}},
        {"lvRemove",
         [this] { return vg->getLv("logs")->remove(); },
         {"lvAboutToBeRemoved /dev/vg00/logs", "changed /dev/sda1", "oneLvRemoved /dev/vg00/logs",
          "changed /dev/vg00/data", "changed /dev/vg00"}},
        {"ext3Grow",
         [this] { return vg->getLv("data")->resize({"-L512"}); },
         {"oneLvResized /dev/vg00/data", "oneLvResized /dev/vg00/data", "resized /dev/vg00/data",
          "changed /dev/vg00/data", "changed /dev/vg00/logs", "changed /dev/vg00"}},
        {"createSnapshot",
         [this] {
             return vg->getLv("logs")->createSnapshot({"-s", "-nsnap", "-L64"});
         },
         {"changed /dev/sda1", "lvAdded /dev/vg00/snap", "changed /dev/vg00/data", "changed /dev/vg00/logs",
          "changed /dev/vg00"}},
    };
    for (const OperationCase& c : cases) {
        roz.reset(); // a fresh machine for each operation
        sim.reset();
        SetUp();
        if (QLatin1String(c.name) == "activate") { // starts from the opposite state
            ASSERT_EQ(vg->deactivate(), 0);
        }
        events.clear();
        recordNotices();
        EXPECT_EQ(c.run(), 0) << c.name;
        EXPECT_EQ(events, c.expected) << c.name;
    }
}

TEST_F(ModelTree, SizesInBytesAndListsMatchTheOldAccessors)
{
    constexpr qint64 kMiB = 1024 * 1024;
    EXPECT_EQ(vg->sizeBytes(), vg->getAttribute(Vg::SizeMb) * kMiB);
    EXPECT_EQ(vg->freeBytes(), vg->getAttribute(Vg::FreeMb) * kMiB);
    EXPECT_EQ(vg->getLv("data")->sizeBytes(), 256 * kMiB);
    EXPECT_EQ(vg->pvList(), (QStringList{"/dev/sda1", "/dev/sda2"}));
    EXPECT_EQ(vg->lvPaths(), (QStringList{"/dev/vg00/data", "/dev/vg00/logs"}));
    Disk* sda = roz->getHard()->getDisk("sda");
    EXPECT_EQ(sda->sizeBytes(), sda->getSize().toLongLong() * 1024);
    Partition* sda1 = sda->getPartition("sda1");
    EXPECT_EQ(sda1->sizeBytes(), 4194304LL * 1024);
    sda1->setLvs(":/dev/vg00/data::/dev/vg00/logs:");
    EXPECT_EQ(sda1->lvList(), (QStringList{"/dev/vg00/data", "/dev/vg00/logs"}));
}

TEST_F(ModelTree, SettersAnnounceOnlyARealChange)
{
    Partition* sda5 = roz->getHard()->getPv("/dev/sda5");
    int heard = 0;
    QObject::connect(sda5, &Partition::changed, [&heard] { ++heard; });
    sda5->setVgPath(sda5->getVgPath());
    sda5->setFstype(sda5->fstype());
    EXPECT_EQ(heard, 0);
    sda5->setVgPath("/dev/vg00");
    sda5->setPv(true);
    EXPECT_EQ(heard, 2);
}

} // namespace
