// The logical tree against a simulated machine: discovery, the registry, rename, removal, snapshots
// and every change notice with the exact tool runs behind it.
#include "modeltest.h"

#include <QMap>

#include <algorithm>
#include <functional>

namespace {

// Hyphens, dots and a plus among the names, a group ending in "VG", a volume on two physical
// volumes, an origin with its snapshot, an inactive group and an unreadable one.
const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 20971520, "partitions": [
      {"number": 1, "sizeKiB": 524288, "fstype": "ext4", "mount": {"dir": "/boot"}},
      {"number": 2, "sizeKiB": 8388608, "system": "Linux LVM", "tag": "LVM"},
      {"number": 3, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"}]},
    {"name": "sdb", "sizeKiB": 8388608, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 2, "sizeKiB": 2097152, "system": "Linux LVM", "tag": "LVM"},
      {"number": 3, "sizeKiB": 1048576, "system": "Linux LVM", "tag": "LVM"}]}
  ],
  "pvs": [
    {"device": "/dev/sda2", "vg": "ubuntu-vg"},
    {"device": "/dev/sdb1", "vg": "ubuntu-vg"},
    {"device": "/dev/sda3", "vg": "data.VG"},
    {"device": "/dev/sdb2", "vg": "cold"},
    {"device": "/dev/sdb3", "vg": "broken"}
  ],
  "vgs": [
    {"name": "ubuntu-vg", "lvs": [
      {"name": "root", "fstype": "ext4", "mount": {"dir": "/"},
       "segments": [{"pv": "/dev/sda2", "count": 1024}]},
      {"name": "home.data", "fstype": "ext3", "mount": {"dir": "/home", "device": "path"},
       "segments": [{"pv": "/dev/sda2", "count": 512}, {"pv": "/dev/sdb1", "count": 256}]},
      {"name": "snap-1", "origin": "home.data", "segments": [{"pv": "/dev/sdb1", "count": 64}]},
      {"name": "swap_1", "segments": [{"pv": "/dev/sda2", "count": 128}]}
    ]},
    {"name": "data.VG", "extentKiB": 8192, "lvs": [
      {"name": "db+1", "sizeMiB": 1024, "fstype": "reiserfs"}
    ]},
    {"name": "cold", "active": false, "lvs": [
      {"name": "arch", "sizeMiB": 512, "fstype": "ext2"},
      {"name": "arch-snap", "origin": "arch", "sizeMiB": 64}
    ]},
    {"name": "broken", "unreadable": true, "lvs": []}
  ]
})";

// Every notice of the tree as one line of text, in the order of delivery.
struct Recorder : SignalLog {
    Recorder() { bracketLists = true; }

    void watch(Lvm& lvm)
    {
        recordOutput(&lvm, &Lvm::output, "Lvm.output");
        record(&lvm, &Lvm::oneVgAdded, "Lvm.oneVgAdded");
        record(&lvm, &Lvm::oneVgRemoved, "Lvm.oneVgRemoved");
        record(&lvm, &Lvm::oneVgRenamed, "Lvm.oneVgRenamed");
        record(&lvm, &Lvm::oneVgExtended, "Lvm.oneVgExtended");
        record(&lvm, &Lvm::oneVgReduced, "Lvm.oneVgReduced");
        record(&lvm, &Lvm::oneLvAdded, "Lvm.oneLvAdded");
        record(&lvm, &Lvm::oneLvRemoved, "Lvm.oneLvRemoved");
        record(&lvm, &Lvm::oneLvRenamed, "Lvm.oneLvRenamed");
        record(&lvm, &Lvm::oneLvResized, "Lvm.oneLvResized");
    }

    void watch(Lv& lv)
    {
        recordOutput(&lv, &Lv::output, "Lv.output");
        record(&lv, &Lv::newLv, "Lv.newLv");
        record(&lv, &Lv::renameLv, "Lv.renameLv");
    }
};

// The tree of kMachine, read once per test, with its notices recorded from the start.
class LogicalTree : public ::testing::Test
{
protected:
    LogicalTree() { recorder.watch(lvm); }

    QJsonObject stateGroup(const QString& name) const { return ::stateGroup(*sim, name); }
    QStringList stateVolumeNames(const QString& group) const
    {
        return entryNames(stateGroup(group).value("lvs").toArray());
    }
    QJsonObject stateVolume(const QString& group, const QString& name) const
    {
        return ::stateVolume(*sim, group, name);
    }
    int statePeCount(const QString& group) const
    {
        int total = 0;
        for (const QJsonValue& pv : sim->state().value("pvs").toArray()) {
            if (pv.toObject().value("vg").toString() == group)
                total += pv.toObject().value("peCount").toInt();
        }
        return total;
    }
    bool ran(const QStringList& call) const { return sim->calls().contains(call); }

    std::unique_ptr<SimRoot> sim = SimRoot::fromJson(kMachine);
    Lvm lvm;
    Recorder recorder;
    Vg* vg = lvm.getVg("ubuntu-vg");
};

// ---- discovery ----

TEST_F(LogicalTree, DiscoversReadableGroupsListsTheUnreadableAndReadsEachVolumeWithTheExactCommandLines)
{
    ASSERT_EQ(lvm.vgCount(), 3u);
    EXPECT_EQ(lvm.getVg(0u)->name(), "ubuntu-vg");
    EXPECT_EQ(lvm.getVg(1u)->name(), "data.VG");
    EXPECT_EQ(lvm.getVg(2u)->name(), "cold");
    EXPECT_FALSE(lvm.hasVg("broken"));
    EXPECT_TRUE(lvm.hasVg("data.VG"));
    EXPECT_EQ(lvm.errorVgName(), QStringList{"broken"});
    EXPECT_EQ(sim->calls().first(), (QStringList{kLvm, "vgscan"}));

    const QString root = "/dev/ubuntu-vg/root";
    const QList<QStringList> expected = {
        {kLvm, "lvdisplay", "-c", root},        {kLvm, "lvdisplay", root},       {kLvm, "lvdisplay", "-v", root},
        {"/bin/mount", "--guess-fstype", root}, {kLvm, "lvdisplay", "-m", root},
    };
    const QList<QStringList> calls = sim->calls();
    const qsizetype first = calls.indexOf(expected.first());
    ASSERT_GE(first, 0);
    EXPECT_EQ(calls.mid(first, expected.size()), expected);
    EXPECT_TRUE(ran({kLvm, "lvscan", "-D"}));
}

TEST_F(LogicalTree, GroupFiguresAreThoseTheToolsPrint)
{
    ASSERT_NE(vg, nullptr);
    const int totalPe = statePeCount("ubuntu-vg");
    ASSERT_GT(totalPe, 0);
    EXPECT_EQ(vg->path(), "/dev/ubuntu-vg");
    EXPECT_EQ(vg->uuidString(), stateGroup("ubuntu-vg").value("uuid").toString());
    EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), 4);
    EXPECT_EQ(vg->getAttribute(Vg::TotalPe), totalPe);
    EXPECT_EQ(vg->getAttribute(Vg::AllocPe), 1024 + 768 + 64 + 128);
    EXPECT_EQ(vg->getAttribute(Vg::FreePe), totalPe - (1024 + 768 + 64 + 128));
    EXPECT_EQ(vg->getAttribute(Vg::FreeMb), vg->getAttribute(Vg::FreePe) * 4);
    EXPECT_EQ(vg->getAttribute(Vg::SizeMb), totalPe * 4);
    EXPECT_EQ(vg->getAttribute(Vg::CurLv), 4);
    EXPECT_EQ(vg->getAttribute(Vg::CurPv), 2);
    EXPECT_EQ(vg->getAttribute(static_cast<Vg::Attribute>(16)), 0);
    EXPECT_EQ(vg->pvString(), "/dev/sda2:/dev/sdb1");
    EXPECT_TRUE(vg->isResizable());
    EXPECT_TRUE(vg->isActive());
    EXPECT_TRUE(ran({kLvm, "vgdisplay", "-c", "ubuntu-vg"}));
    EXPECT_TRUE(ran({kLvm, "pvscan"}));

    Vg* data = lvm.getVg("data.VG");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->getAttribute(Vg::PeSizeMb), 8);
    EXPECT_EQ(data->pvString(), "/dev/sda3");
}

TEST_F(LogicalTree, VolumesCarryFiguresFlagsLinksPlacementAndMountPoints)
{
    ASSERT_NE(vg, nullptr);
    EXPECT_EQ(vg->lvString(),
              "/dev/ubuntu-vg/root:/dev/ubuntu-vg/home.data:/dev/ubuntu-vg/snap-1:/dev/ubuntu-vg/swap_1");
    // fstype null: not checked; origin "" and mount null: none. A snapshot shows its origin's size.
    struct Case {
        const char *group, *name;
        int sizeMb;
        const char *pvs, *fstype, *origin;
        QStringList snapshots;
        const char* mount;
    };
    const QList<Case> cases{{"ubuntu-vg", "root", 4096, "/dev/sda2", "ext4", "", {}, "/"},
                            {"ubuntu-vg", "home.data", 3072, "/dev/sda2:/dev/sdb1", "ext3", "", {"snap-1"}, "/home"},
                            {"ubuntu-vg", "snap-1", 3072, "/dev/sdb1", nullptr, "home.data", {}, nullptr},
                            {"ubuntu-vg", "swap_1", 512, "/dev/sda2", nullptr, "", {}, nullptr},
                            {"data.VG", "db+1", 1024, "/dev/sda3", "reiserfs", "", {}, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lv* lv = lvm.getVg(c.group)->getLv(c.name);
        ASSERT_NE(lv, nullptr);
        EXPECT_EQ(lv->getAttribute(Lv::Size), c.sizeMb);
        EXPECT_EQ(lv->pvString(), c.pvs);
        if (c.fstype) {
            EXPECT_EQ(lv->fstype(), c.fstype);
        }
        EXPECT_EQ(lv->isSnapshot(), *c.origin != '\0');
        EXPECT_EQ(lv->getOriginal(), *c.origin ? QString(c.origin) : QString());
        EXPECT_EQ(lv->getOriginal().isNull(), *c.origin == '\0');
        EXPECT_EQ(lv->isOriginal(), !c.snapshots.isEmpty());
        EXPECT_EQ(lv->getSnapshot(), c.snapshots);
        EXPECT_EQ(lv->mountPoint(), c.mount ? QString(c.mount) : QString());
        EXPECT_EQ(lv->mountPoint().isNull(), c.mount == nullptr);
    }

    Lv* root = vg->getLv("root");
    EXPECT_EQ(root->getAttribute(Lv::CurrentLe), 1024);
    EXPECT_EQ(root->getAttribute(Lv::SizeAtRead), 4096);
    EXPECT_EQ(root->getAttribute(Lv::LeSize), 4);
    EXPECT_EQ(root->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));
    EXPECT_EQ(root->getAttribute(static_cast<Lv::Attribute>(14)), 0);
    EXPECT_EQ(root->proportion(), 1024);
    EXPECT_TRUE(root->isActive());
    EXPECT_EQ(root->getVgPath(), "/dev/ubuntu-vg");
    EXPECT_EQ(root->path(), "/dev/ubuntu-vg/root");
}

TEST_F(LogicalTree, InactiveGroupIsReadWithDashDAndActivationLinksItsSnapshot)
{
    Vg* cold = lvm.getVg("cold");
    ASSERT_NE(cold, nullptr);
    EXPECT_TRUE(ran({kLvm, "vgdisplay", "-c", "-D", "cold"}));
    EXPECT_EQ(cold->getAttribute(Vg::TotalPe), statePeCount("cold"));
    EXPECT_EQ(cold->pvString(), "/dev/sdb2");
    EXPECT_FALSE(cold->isActive());

    Lv* arch = cold->getLv("arch");
    ASSERT_NE(arch, nullptr);
    EXPECT_FALSE(arch->isActive());
    EXPECT_EQ(arch->getAttribute(Lv::Size), 512);
    EXPECT_EQ(arch->pvString(), "/dev/sdb2");
    EXPECT_TRUE(ran({kLvm, "lvdisplay", "-D", "/dev/cold/arch"}));

    // The origin still lists its snapshot; the snapshot's own INACTIVE status line names nothing.
    EXPECT_EQ(arch->getSnapshot(), QStringList{"arch-snap"});
    Lv* archSnap = cold->getLv("arch-snap");
    ASSERT_NE(archSnap, nullptr);
    EXPECT_TRUE(archSnap->isSnapshot());
    EXPECT_TRUE(archSnap->getOriginal().isNull());
    // Activation reads the status line again, which now names the origin.
    ASSERT_EQ(cold->activate(), 0);
    EXPECT_EQ(cold->getLv("arch-snap")->getOriginal(), "arch");
}

TEST_F(LogicalTree, IndexLookupsOutOfRangeWarnAndReturnNull)
{
    MessageCapture capture;
    EXPECT_EQ(lvm.getVg(lvm.vgCount()), nullptr);
    EXPECT_EQ(vg->getLv(vg->lvCount()), nullptr);
    EXPECT_EQ(capture.warnings(),
              (QStringList{"ASSERT: \"vg != NULL\" in lvmdrive (1359)", "ASSERT: \"lv != NULL\" in lvmdrive (715)"}));
    EXPECT_FALSE(vg->removeLv("nothing"));
    EXPECT_FALSE(vg->removeLv(vg->lvCount()));
    EXPECT_FALSE(lvm.removeVg(lvm.vgCount()));
    EXPECT_FALSE(lvm.removeVg("broken"));
    EXPECT_EQ(vg->lvCount(), 4u);
    EXPECT_EQ(lvm.vgCount(), 3u);
}

// ---- rename ----

TEST_F(LogicalTree, RenamingAPlainVolumeRunsLvrenameAndAnnouncesFullPaths)
{
    Lv* swap = vg->getLv("swap_1");
    recorder.watch(*swap);
    sim->clearCalls();

    EXPECT_EQ(swap->rename("  swap-2 "), 0);
    EXPECT_EQ(sim->calls(), (QList<QStringList>{{kLvm, "lvrename", "/dev/ubuntu-vg/swap_1", "/dev/ubuntu-vg/swap-2"}}));
    EXPECT_EQ(recorder.events,
              (QStringList{"Lv.output", "Lvm.oneLvRenamed /dev/ubuntu-vg/swap-2 /dev/ubuntu-vg/swap_1 [/dev/sda2]",
                           "Lv.renameLv swap-2 swap_1"}));
    EXPECT_EQ(swap->name(), "swap-2");
    EXPECT_EQ(swap->path(), "/dev/ubuntu-vg/swap-2");
    EXPECT_EQ(vg->getLv("swap-2"), swap);
    EXPECT_TRUE(stateVolumeNames("ubuntu-vg").contains("swap-2"));
}

TEST_F(LogicalTree, RenamingAnOriginOrASnapshotUpdatesTheOtherSide)
{
    ASSERT_EQ(vg->getLv("home.data")->rename("home-2"), 0);
    EXPECT_EQ(vg->getLv("snap-1")->getOriginal(), "home-2");
    EXPECT_EQ(stateVolume("ubuntu-vg", "snap-1").value("origin").toString(), "home-2");

    MessageCapture capture;
    ASSERT_EQ(vg->getLv("snap-1")->rename("snap.2"), 0);
    EXPECT_EQ(vg->getLv("home-2")->getSnapshot(), QStringList{"snap.2"});
    EXPECT_EQ(capture.countDebug("snapshot(s) before rename : snap-1"), 1);
    EXPECT_EQ(capture.countDebug("snapshot(s) after rename : snap.2"), 1);

    // A fresh look at the machine sees the same links.
    Lvm again;
    Vg* vg2 = again.getVg("ubuntu-vg");
    EXPECT_EQ(vg2->getLv("home-2")->getSnapshot(), QStringList{"snap.2"});
    EXPECT_EQ(vg2->getLv("snap.2")->getOriginal(), "home-2");
}

// ---- removal ----

TEST_F(LogicalTree, RemovingAVolumeDeletesItInsideItsOwnSignal)
{
    Lv* root = vg->getLv("root");
    const int freeBefore = vg->getAttribute(Vg::FreePe);
    Lv* swap = vg->getLv("swap_1");
    recorder.watch(*swap);
    sim->clearCalls();

    // Under AddressSanitizer this fails if remove() touches the deleted volume after its signal.
    EXPECT_EQ(swap->remove(), 0);
    const QList<QStringList> calls = sim->calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), (QStringList{kLvm, "lvremove", "-f", "/dev/ubuntu-vg/swap_1"}));
    EXPECT_EQ(recorder.events, (QStringList{"Lv.output", "Lvm.oneLvRemoved /dev/ubuntu-vg/swap_1 [/dev/sda2]"}));
    EXPECT_EQ(vg->lvCount(), 3u);
    EXPECT_FALSE(vg->hasLv("swap_1"));
    // The group re-read its figures, and its volumes see them through their live references.
    EXPECT_EQ(vg->getAttribute(Vg::FreePe), freeBefore + 128);
    EXPECT_EQ(root->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));
    EXPECT_FALSE(stateVolumeNames("ubuntu-vg").contains("swap_1"));
}

TEST_F(LogicalTree, RemovingTheLastSnapshotMakesTheOriginNormal)
{
    MessageCapture capture;
    ASSERT_EQ(vg->getLv("snap-1")->remove(), 0);
    Lv* home = vg->getLv("home.data");
    EXPECT_FALSE(home->isOriginal());
    EXPECT_TRUE(home->getSnapshot().isEmpty());
    EXPECT_EQ(home->getAttribute(Lv::Access), 3) << "the origin bit (8) goes with the last snapshot";
    EXPECT_EQ(capture.countDebug("home.data is back to normal"), 1);
}

// The INACTIVE status line of arch-snap names no origin; its origin's listing names it.
TEST_F(LogicalTree, InactiveSnapshotRenamedThenRemovedLeavesNoStaleOriginList)
{
    Vg* cold = lvm.getVg("cold");
    ASSERT_NE(cold, nullptr);
    Lv* arch = cold->getLv("arch");
    ASSERT_EQ(cold->getLv("arch-snap")->rename("arch-old"), 0);
    EXPECT_EQ(arch->getSnapshot(), QStringList{"arch-old"});
    ASSERT_EQ(cold->getLv("arch-old")->remove(), 0);
    EXPECT_TRUE(arch->getSnapshot().isEmpty());
    EXPECT_FALSE(arch->isOriginal());
}

// A refused change hands over the tool's words and leaves the tree and the machine as they were.
TEST_F(LogicalTree, FailedRemovalRenameAndSnapshotLeaveTheVolumeAsItWas)
{
    struct Case {
        const char *volume, *command;
        int code;
        std::function<int(Lv*)> change;
    };
    const QList<Case> cases{{"swap_1", "lvremove", 3, [](Lv* lv) { return lv->remove(); }},
                            {"swap_1", "lvrename", 5, [](Lv* lv) { return lv->rename("other"); }},
                            {"root", "lvcreate", 5, [](Lv* lv) {
                                 return lv->createSnapshot({"-s", "-nsnapX", "-L128M"});
                             }}};
    QString text;
    for (const char* name : {"swap_1", "root"}) {
        recorder.watch(*vg->getLv(name));
        QObject::connect(vg->getLv(name), &Lv::output, [&text](const QString& t) { text = t; });
    }
    const QStringList namesBefore = stateVolumeNames("ubuntu-vg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Lv* lv = vg->getLv(c.volume);
        const int accessBefore = lv->getAttribute(Lv::Access);
        const QString refusal = QString(c.command) + " refused\n";
        sim->addFault(kLvm, {c.command}, c.code, refusal);
        recorder.events.clear();

        EXPECT_EQ(c.change(lv), c.code);
        EXPECT_EQ(recorder.events, QStringList{"Lv.output"});
        EXPECT_EQ(text, refusal);
        EXPECT_EQ(vg->getLv(c.volume), lv);
        EXPECT_EQ(lv->name(), c.volume);
        EXPECT_EQ(lv->getAttribute(Lv::Access), accessBefore);
        EXPECT_FALSE(lv->isOriginal());
        EXPECT_EQ(vg->lvCount(), 4u);
        EXPECT_EQ(stateVolumeNames("ubuntu-vg"), namesBefore);
    }
}

TEST_F(LogicalTree, GroupRemovedInsideItsOwnSignalIsDroppedAndAnnounced)
{
    // The group's own notice, as its removal sends it; the manager deletes the group inside it.
    emit vg->removed(vg->name());
    EXPECT_EQ(recorder.events, QStringList{"Lvm.oneVgRemoved [/dev/sda2,/dev/sdb1]"});
    EXPECT_EQ(lvm.vgCount(), 2u);
    EXPECT_FALSE(lvm.hasVg("ubuntu-vg"));

    recorder.events.clear();
    lvm.slotRemoveVg("nothing");
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(lvm.vgCount(), 2u);
}

// ---- snapshots ----

TEST_F(LogicalTree, SnapshotIsRegisteredAndLinkedBothWays)
{
    Lv* root = vg->getLv("root");
    recorder.watch(*root);
    const int accessBefore = root->getAttribute(Lv::Access);
    const QStringList args = {"-s", "-nroot.snap", "-L128M"};
    sim->clearCalls();
    MessageCapture capture;

    ASSERT_EQ(root->createSnapshot(args), 0);
    const QList<QStringList> calls = sim->calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), (QStringList{kLvm, "lvcreate", "-s", "-nroot.snap", "-L128M", "/dev/ubuntu-vg/root"}));
    ASSERT_EQ(recorder.events.size(), 3);
    EXPECT_EQ(recorder.events.at(0), "Lv.output");
    // The group hears newLv first and announces the registered snapshot upward.
    EXPECT_TRUE(recorder.events.at(1).startsWith("Lvm.oneLvAdded /dev/ubuntu-vg/root.snap [/dev/"));
    EXPECT_EQ(recorder.events.at(2), "Lv.newLv root.snap 0 1");

    EXPECT_TRUE(root->isOriginal());
    EXPECT_FALSE(root->isSnapshot());
    EXPECT_EQ(root->getSnapshot(), QStringList{"root.snap"});
    EXPECT_EQ(root->getAttribute(Lv::Access), accessBefore | 8);
    EXPECT_EQ(vg->lvCount(), 5u);
    Lv* snap = vg->getLv("root.snap");
    ASSERT_NE(snap, nullptr);
    EXPECT_TRUE(snap->isSnapshot());
    EXPECT_EQ(snap->getOriginal(), "root");
    EXPECT_EQ(capture.countDebug("original: (root)"), 1);
    EXPECT_EQ(capture.countDebug("snapshot: (root.snap)"), 1);
    EXPECT_EQ(stateVolume("ubuntu-vg", "root.snap").value("origin").toString(), "root");
}

TEST_F(LogicalTree, SnapshotWithoutANameIsRefusedBeforeAnyToolRuns)
{
    Lv* root = vg->getLv("root");
    recorder.watch(*root);
    QString text;
    QObject::connect(root, &Lv::output, [&text](const QString& t) { text = t; });
    sim->clearCalls();

    EXPECT_EQ(root->createSnapshot({"-s"}), -1);
    EXPECT_EQ(root->createSnapshot({"-s", " -n "}), -1);
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(recorder.events, (QStringList{"Lv.output", "Lv.output"}));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_TRUE(text.endsWith('\n'));
    EXPECT_FALSE(root->isOriginal());
    EXPECT_EQ(vg->lvCount(), 4u);
}

// ---- the group's other notices ----

TEST_F(LogicalTree, ResizeNoticeReachesTheManagerAndSizesTheSnapshots)
{
    Lv* home = vg->getLv("home.data");
    Lv* snap = vg->getLv("snap-1");
    snap->setSize(1);
    snap->setLe(2, 3);
    snap->setSizeAtRead(1);
    ASSERT_EQ(snap->getAttribute(Lv::AllocatedLe), 2);
    ASSERT_EQ(snap->getAttribute(Lv::CurrentLe), 3);

    // As Lv::resize announces a volume that grew off /dev/sda2 alone.
    emit home->resizeLv(home->name(), {"/dev/sda2"});
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral(
                                   "Lvm.oneLvResized /dev/ubuntu-vg/home.data [/dev/sda2,/dev/sdb1] [/dev/sda2]")});
    EXPECT_EQ(snap->getAttribute(Lv::Size), home->getAttribute(Lv::Size));
    // A read of the snapshot would now give its origin's size.
    EXPECT_EQ(snap->getAttribute(Lv::SizeAtRead), home->getAttribute(Lv::Size));
    EXPECT_EQ(snap->getAttribute(Lv::AllocatedLe), home->getAttribute(Lv::AllocatedLe));
    EXPECT_EQ(snap->getAttribute(Lv::CurrentLe), home->getAttribute(Lv::CurrentLe));
}

TEST_F(LogicalTree, GroupNoticesAreRelayedUnchangedButNotItsOutputNorNoticesForUnknownVolumes)
{
    vg->slotRenameLv("ghost", "spirit");
    vg->slotRemoveLv("ghost");
    vg->slotResizeLv("ghost", {});
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(vg->lvCount(), 4u);

    Vg* data = lvm.getVg("data.VG");
    const QStringList pvs = {"/dev/sdx1", "/dev/sdy2"};
    emit data->renamed("/dev/new", pvs);
    emit data->extended("/dev/data.VG", pvs);
    emit data->reduced(pvs);
    emit data->oneLvAdded("/dev/a/b", pvs);
    emit data->oneLvRemoved("/dev/a/c", pvs);
    emit data->oneLvRenamed("/dev/a/n", "/dev/a/o", pvs);
    emit data->oneLvResized("/dev/a/r", pvs, {});
    emit data->output("text");
    EXPECT_EQ(recorder.events, (QStringList{
                                   "Lvm.oneVgRenamed /dev/new [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneVgExtended /dev/data.VG [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneVgReduced [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneLvAdded /dev/a/b [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneLvRemoved /dev/a/c [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneLvRenamed /dev/a/n /dev/a/o [/dev/sdx1,/dev/sdy2]",
                                   "Lvm.oneLvResized /dev/a/r [/dev/sdx1,/dev/sdy2] []",
                               }));
}

// ---- the shipped default machine ----

int segmentExtents(const QJsonObject& lv)
{
    int extents = 0;
    for (const QJsonValue& segment : lv.value("segments").toArray())
        extents += segment.toObject().value("count").toInt();
    return extents;
}

QString segmentPvString(const QJsonObject& lv)
{
    QStringList pvs;
    for (const QJsonValue& segment : lv.value("segments").toArray()) {
        const QString pv = segment.toObject().value("pv").toString();
        if (!pvs.contains(pv))
            pvs << pv;
    }
    return pvs.join(':');
}

TEST(DefaultMachine, EveryGroupAndVolumeIsSeenAsTheSimulatedToolsDescribeIt)
{
    SimRoot sim;
    Lvm lvm;
    const QJsonObject state = sim.state();
    QStringList readable;
    QStringList unreadable;
    for (const QJsonValue& value : state.value("vgs").toArray()) {
        const QJsonObject group = value.toObject();
        const QString name = group.value("name").toString();
        if (group.value("unreadable").toBool()) {
            unreadable << name;
            continue;
        }
        readable << name;
        SCOPED_TRACE(name.toStdString());
        Vg* vg = lvm.getVg(name);
        ASSERT_NE(vg, nullptr);
        const int extentMb = group.value("extentKiB").toInt() / 1024;
        QStringList groupPvs;
        int totalPe = 0;
        for (const QJsonValue& pv : state.value("pvs").toArray()) {
            if (pv.toObject().value("vg").toString() != name)
                continue;
            groupPvs << pv.toObject().value("device").toString();
            totalPe += pv.toObject().value("peCount").toInt();
        }
        EXPECT_EQ(vg->pvString(), groupPvs.join(':'));
        EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), extentMb);
        EXPECT_EQ(vg->getAttribute(Vg::TotalPe), totalPe);
        EXPECT_EQ(vg->uuidString(), group.value("uuid").toString());

        const QJsonArray lvs = group.value("lvs").toArray();
        ASSERT_EQ(vg->lvCount(), static_cast<unsigned>(lvs.size()));
        QMap<QString, QJsonObject> byName;
        for (const QJsonValue& lvValue : lvs)
            byName.insert(lvValue.toObject().value("name").toString(), lvValue.toObject());
        for (const QJsonValue& lvValue : lvs) {
            const QJsonObject volume = lvValue.toObject();
            const QString lvName = volume.value("name").toString();
            SCOPED_TRACE(lvName.toStdString());
            Lv* lv = vg->getLv(lvName);
            ASSERT_NE(lv, nullptr);
            const QString origin = volume.value("origin").toString();
            // A snapshot shows its origin's size.
            const QJsonObject sizeSource = origin.isEmpty() ? volume : byName.value(origin);
            EXPECT_EQ(lv->getAttribute(Lv::Size), segmentExtents(sizeSource) * extentMb);
            EXPECT_EQ(lv->pvString(), segmentPvString(volume));
            EXPECT_EQ(lv->isActive(), group.value("active").toBool(true) && volume.value("active").toBool(true));
            EXPECT_EQ(lv->isSnapshot(), !origin.isEmpty());
            EXPECT_EQ(lv->getOriginal(), origin.isEmpty() ? QString() : origin);
            QStringList snapshots;
            for (const QJsonObject& other : byName) {
                if (other.value("origin").toString() == lvName)
                    snapshots << other.value("name").toString();
            }
            EXPECT_EQ(lv->isOriginal(), !snapshots.isEmpty());
            std::sort(snapshots.begin(), snapshots.end());
            QStringList seen = lv->getSnapshot();
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(seen, snapshots);
            const QString mountDir = volume.value("mount").toObject().value("dir").toString();
            EXPECT_EQ(lv->mountPoint(), mountDir.isEmpty() ? QString() : mountDir);
        }
    }
    EXPECT_EQ(lvm.vgCount(), static_cast<unsigned>(readable.size()));
    EXPECT_EQ(lvm.errorVgName(), unreadable);
}

// ---- a volume outside any group ----

TEST(LvRecord, VolumeTheToolsDoNotKnowReadsAsEmptyAndZeroExtentSizeIsCaught)
{
    SimRoot sim;
    const QString group = "nogroup";
    const int zero = 0;
    MessageCapture capture;
    Lv lv("nothing", group, zero, zero, false, false);
    EXPECT_EQ(lv.getAttribute(Lv::Size), 0);
    EXPECT_EQ(lv.getAttribute(Lv::Access), 0);
    EXPECT_TRUE(lv.pvString().isEmpty());
    EXPECT_TRUE(lv.getSnapshot().isEmpty());
    EXPECT_EQ(lv.proportion(), 0);
    EXPECT_TRUE(capture.warnings().contains("ASSERT: \"leSize != 0\" in lvmdrive (1042)"));
}

} // namespace
