// The logical tree against a simulated machine: discovery, the registry, rename, removal, snapshots
// and every change notice with the exact tool runs behind it.
#include "modeltest.h"

#include <QMap>

#include <algorithm>

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
        recordOutput(&lvm, &Lvm::output, QStringLiteral("Lvm.output"));
        record(&lvm, &Lvm::oneVgAdded, QStringLiteral("Lvm.oneVgAdded"));
        record(&lvm, &Lvm::oneVgRemoved, QStringLiteral("Lvm.oneVgRemoved"));
        record(&lvm, &Lvm::oneVgRenamed, QStringLiteral("Lvm.oneVgRenamed"));
        record(&lvm, &Lvm::oneVgExtended, QStringLiteral("Lvm.oneVgExtended"));
        record(&lvm, &Lvm::oneVgReduced, QStringLiteral("Lvm.oneVgReduced"));
        record(&lvm, &Lvm::oneLvAdded, QStringLiteral("Lvm.oneLvAdded"));
        record(&lvm, &Lvm::oneLvRemoved, QStringLiteral("Lvm.oneLvRemoved"));
        record(&lvm, &Lvm::oneLvRenamed, QStringLiteral("Lvm.oneLvRenamed"));
        record(&lvm, &Lvm::oneLvResized, QStringLiteral("Lvm.oneLvResized"));
    }

    void watch(Lv& lv)
    {
        recordOutput(&lv, &Lv::output, QStringLiteral("Lv.output"));
        record(&lv, &Lv::newLv, QStringLiteral("Lv.newLv"));
        record(&lv, &Lv::renameLv, QStringLiteral("Lv.renameLv"));
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
        return entryNames(stateGroup(group).value(QStringLiteral("lvs")).toArray());
    }
    QJsonObject stateVolume(const QString& group, const QString& name) const
    {
        return ::stateVolume(*sim, group, name);
    }
    int statePeCount(const QString& group) const
    {
        int total = 0;
        for (const QJsonValue& pv : sim->state().value(QStringLiteral("pvs")).toArray()) {
            if (pv.toObject().value(QStringLiteral("vg")).toString() == group)
                total += pv.toObject().value(QStringLiteral("peCount")).toInt();
        }
        return total;
    }
    bool ran(const QStringList& call) const { return sim->calls().contains(call); }

    std::unique_ptr<SimRoot> sim = SimRoot::fromJson(kMachine);
    Lvm lvm;
    Recorder recorder;
    Vg* vg = lvm.getVg(QStringLiteral("ubuntu-vg"));
};

// ---- discovery ----

TEST_F(LogicalTree, DiscoversReadableGroupsListsTheUnreadableAndReadsEachVolumeWithTheExactCommandLines)
{
    ASSERT_EQ(lvm.vgCount(), 3u);
    EXPECT_EQ(lvm.getVg(0u)->name(), QStringLiteral("ubuntu-vg"));
    EXPECT_EQ(lvm.getVg(1u)->name(), QStringLiteral("data.VG"));
    EXPECT_EQ(lvm.getVg(2u)->name(), QStringLiteral("cold"));
    EXPECT_FALSE(lvm.hasVg(QStringLiteral("broken")));
    EXPECT_TRUE(lvm.hasVg(QStringLiteral("data.VG")));
    EXPECT_EQ(lvm.errorVgName(), QStringList{QStringLiteral("broken")});
    EXPECT_EQ(sim->calls().first(), (QStringList{kLvm, QStringLiteral("vgscan")}));

    const QString root = QStringLiteral("/dev/ubuntu-vg/root");
    const QList<QStringList> expected = {
        {kLvm, QStringLiteral("lvdisplay"), QStringLiteral("-c"), root},
        {kLvm, QStringLiteral("lvdisplay"), root},
        {kLvm, QStringLiteral("lvdisplay"), QStringLiteral("-v"), root},
        {QStringLiteral("/bin/mount"), QStringLiteral("--guess-fstype"), root},
        {kLvm, QStringLiteral("lvdisplay"), QStringLiteral("-m"), root},
    };
    const QList<QStringList> calls = sim->calls();
    const qsizetype first = calls.indexOf(expected.first());
    ASSERT_GE(first, 0);
    EXPECT_EQ(calls.mid(first, expected.size()), expected);
    EXPECT_TRUE(ran({kLvm, QStringLiteral("lvscan"), QStringLiteral("-D")}));
}

TEST_F(LogicalTree, GroupFiguresAreThoseTheToolsPrint)
{
    ASSERT_NE(vg, nullptr);
    const int totalPe = statePeCount(QStringLiteral("ubuntu-vg"));
    ASSERT_GT(totalPe, 0);
    EXPECT_EQ(vg->path(), QStringLiteral("/dev/ubuntu-vg"));
    EXPECT_EQ(vg->uuidString(), stateGroup(QStringLiteral("ubuntu-vg")).value(QStringLiteral("uuid")).toString());
    EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), 4);
    EXPECT_EQ(vg->getAttribute(Vg::TotalPe), totalPe);
    EXPECT_EQ(vg->getAttribute(Vg::AllocPe), 1024 + 768 + 64 + 128);
    EXPECT_EQ(vg->getAttribute(Vg::FreePe), totalPe - (1024 + 768 + 64 + 128));
    EXPECT_EQ(vg->getAttribute(Vg::FreeMb), vg->getAttribute(Vg::FreePe) * 4);
    EXPECT_EQ(vg->getAttribute(Vg::SizeMb), totalPe * 4);
    EXPECT_EQ(vg->getAttribute(Vg::CurLv), 4);
    EXPECT_EQ(vg->getAttribute(Vg::CurPv), 2);
    EXPECT_EQ(vg->getAttribute(static_cast<Vg::Attribute>(16)), 0);
    EXPECT_EQ(vg->pvString(), QStringLiteral("/dev/sda2:/dev/sdb1"));
    EXPECT_TRUE(vg->isResizable());
    EXPECT_TRUE(vg->isActive());
    EXPECT_TRUE(ran({kLvm, QStringLiteral("vgdisplay"), QStringLiteral("-c"), QStringLiteral("ubuntu-vg")}));
    EXPECT_TRUE(ran({kLvm, QStringLiteral("pvscan")}));

    Vg* data = lvm.getVg(QStringLiteral("data.VG"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->getAttribute(Vg::PeSizeMb), 8);
    EXPECT_EQ(data->pvString(), QStringLiteral("/dev/sda3"));
}

TEST_F(LogicalTree, VolumesCarryFiguresFlagsLinksPlacementAndMountPoints)
{
    ASSERT_NE(vg, nullptr);
    ASSERT_EQ(vg->lvCount(), 4u);
    EXPECT_EQ(vg->lvString(), QStringLiteral("/dev/ubuntu-vg/root:/dev/ubuntu-vg/home.data:/dev/ubuntu-vg/snap-1:"
                                             "/dev/ubuntu-vg/swap_1"));

    Lv* root = vg->getLv(QStringLiteral("root"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getAttribute(Lv::Size), 4096);
    EXPECT_EQ(root->getAttribute(Lv::CurrentLe), 1024);
    EXPECT_EQ(root->getAttribute(Lv::SizeAtRead), 4096);
    EXPECT_EQ(root->getAttribute(Lv::LeSize), 4);
    EXPECT_EQ(root->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));
    EXPECT_EQ(root->getAttribute(static_cast<Lv::Attribute>(14)), 0);
    EXPECT_EQ(root->proportion(), 1024);
    EXPECT_TRUE(root->isActive());
    EXPECT_EQ(root->fstype(), QStringLiteral("ext4"));
    EXPECT_EQ(root->pvString(), QStringLiteral("/dev/sda2"));
    EXPECT_EQ(root->getVgPath(), QStringLiteral("/dev/ubuntu-vg"));
    EXPECT_EQ(root->path(), QStringLiteral("/dev/ubuntu-vg/root"));
    EXPECT_FALSE(root->isOriginal() || root->isSnapshot());

    Lv* home = vg->getLv(QStringLiteral("home.data"));
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->getAttribute(Lv::Size), 3072);
    EXPECT_EQ(home->pvString(), QStringLiteral("/dev/sda2:/dev/sdb1"));
    EXPECT_TRUE(home->isOriginal());
    EXPECT_FALSE(home->isSnapshot());
    EXPECT_EQ(home->getSnapshot(), QStringList{QStringLiteral("snap-1")});
    EXPECT_EQ(home->fstype(), QStringLiteral("ext3"));

    Lv* snap = vg->getLv(QStringLiteral("snap-1"));
    ASSERT_NE(snap, nullptr);
    EXPECT_TRUE(snap->isSnapshot());
    EXPECT_FALSE(snap->isOriginal());
    EXPECT_EQ(snap->getOriginal(), QStringLiteral("home.data"));
    EXPECT_EQ(snap->pvString(), QStringLiteral("/dev/sdb1"));

    Lv* swap = vg->getLv(QStringLiteral("swap_1"));
    ASSERT_NE(swap, nullptr);
    EXPECT_FALSE(swap->isOriginal() || swap->isSnapshot());
    EXPECT_TRUE(swap->getOriginal().isNull());

    Lv* db = lvm.getVg(QStringLiteral("data.VG"))->getLv(QStringLiteral("db+1"));
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->getAttribute(Lv::Size), 1024);
    EXPECT_EQ(db->pvString(), QStringLiteral("/dev/sda3"));
    EXPECT_EQ(db->fstype(), QStringLiteral("reiserfs"));

    // Mount points are found by device-mapper name and by path.
    EXPECT_EQ(vg->getLv(QStringLiteral("root"))->mountPoint(), QStringLiteral("/"));
    EXPECT_EQ(vg->getLv(QStringLiteral("home.data"))->mountPoint(), QStringLiteral("/home"));
    EXPECT_TRUE(vg->getLv(QStringLiteral("swap_1"))->mountPoint().isNull());
}

TEST_F(LogicalTree, InactiveGroupIsReadWithDashD)
{
    Vg* cold = lvm.getVg(QStringLiteral("cold"));
    ASSERT_NE(cold, nullptr);
    EXPECT_TRUE(
        ran({kLvm, QStringLiteral("vgdisplay"), QStringLiteral("-c"), QStringLiteral("-D"), QStringLiteral("cold")}));
    EXPECT_EQ(cold->getAttribute(Vg::TotalPe), statePeCount(QStringLiteral("cold")));
    EXPECT_EQ(cold->pvString(), QStringLiteral("/dev/sdb2"));
    EXPECT_FALSE(cold->isActive());

    Lv* arch = cold->getLv(QStringLiteral("arch"));
    ASSERT_NE(arch, nullptr);
    EXPECT_FALSE(arch->isActive());
    EXPECT_EQ(arch->getAttribute(Lv::Size), 512);
    EXPECT_EQ(arch->pvString(), QStringLiteral("/dev/sdb2"));
    EXPECT_TRUE(ran({kLvm, QStringLiteral("lvdisplay"), QStringLiteral("-D"), QStringLiteral("/dev/cold/arch")}));

    // The origin still lists its snapshot; the snapshot's own INACTIVE status line names nothing.
    EXPECT_EQ(arch->getSnapshot(), QStringList{QStringLiteral("arch-snap")});
    Lv* archSnap = cold->getLv(QStringLiteral("arch-snap"));
    ASSERT_NE(archSnap, nullptr);
    EXPECT_TRUE(archSnap->isSnapshot());
    EXPECT_TRUE(archSnap->getOriginal().isNull());
}

TEST_F(LogicalTree, IndexLookupsOutOfRangeWarnAndReturnNull)
{
    MessageCapture capture;
    EXPECT_EQ(lvm.getVg(lvm.vgCount()), nullptr);
    EXPECT_EQ(vg->getLv(vg->lvCount()), nullptr);
    EXPECT_EQ(capture.warnings(), (QStringList{QStringLiteral("ASSERT: \"vg != NULL\" in lvmdrive (1359)"),
                                               QStringLiteral("ASSERT: \"lv != NULL\" in lvmdrive (715)")}));
    EXPECT_FALSE(vg->removeLv(QStringLiteral("nothing")));
    EXPECT_FALSE(vg->removeLv(vg->lvCount()));
    EXPECT_FALSE(lvm.removeVg(lvm.vgCount()));
    EXPECT_FALSE(lvm.removeVg(QStringLiteral("broken")));
    EXPECT_EQ(vg->lvCount(), 4u);
    EXPECT_EQ(lvm.vgCount(), 3u);
}

// ---- rename ----

TEST_F(LogicalTree, RenamingAPlainVolumeRunsLvrenameAndAnnouncesFullPaths)
{
    Lv* swap = vg->getLv(QStringLiteral("swap_1"));
    recorder.watch(*swap);
    sim->clearCalls();

    EXPECT_EQ(swap->rename(QStringLiteral("  swap-2 ")), 0);
    EXPECT_EQ(sim->calls(),
              (QList<QStringList>{{kLvm, QStringLiteral("lvrename"), QStringLiteral("/dev/ubuntu-vg/swap_1"),
                                   QStringLiteral("/dev/ubuntu-vg/swap-2")}}));
    EXPECT_EQ(recorder.events,
              (QStringList{QStringLiteral("Lv.output"),
                           QStringLiteral("Lvm.oneLvRenamed /dev/ubuntu-vg/swap-2 /dev/ubuntu-vg/swap_1 [/dev/sda2]"),
                           QStringLiteral("Lv.renameLv swap-2 swap_1")}));
    EXPECT_EQ(swap->name(), QStringLiteral("swap-2"));
    EXPECT_EQ(swap->path(), QStringLiteral("/dev/ubuntu-vg/swap-2"));
    EXPECT_EQ(vg->getLv(QStringLiteral("swap-2")), swap);
    EXPECT_TRUE(stateVolumeNames(QStringLiteral("ubuntu-vg")).contains(QStringLiteral("swap-2")));
}

TEST_F(LogicalTree, RenameOfOriginUpdatesEverySnapshot)
{
    Lv* home = vg->getLv(QStringLiteral("home.data"));
    ASSERT_EQ(home->rename(QStringLiteral("home-2")), 0);
    EXPECT_EQ(vg->getLv(QStringLiteral("snap-1"))->getOriginal(), QStringLiteral("home-2"));
    EXPECT_EQ(
        stateVolume(QStringLiteral("ubuntu-vg"), QStringLiteral("snap-1")).value(QStringLiteral("origin")).toString(),
        QStringLiteral("home-2"));
}

TEST_F(LogicalTree, RenameOfSnapshotUpdatesItsOrigin)
{
    MessageCapture capture;
    ASSERT_EQ(vg->getLv(QStringLiteral("snap-1"))->rename(QStringLiteral("snap.2")), 0);
    EXPECT_EQ(vg->getLv(QStringLiteral("home.data"))->getSnapshot(), QStringList{QStringLiteral("snap.2")});
    EXPECT_EQ(capture.countDebug(QStringLiteral("snapshot(s) before rename : snap-1")), 1);
    EXPECT_EQ(capture.countDebug(QStringLiteral("snapshot(s) after rename : snap.2")), 1);

    // A fresh look at the machine sees the same links.
    Lvm again;
    Vg* vg2 = again.getVg(QStringLiteral("ubuntu-vg"));
    EXPECT_EQ(vg2->getLv(QStringLiteral("home.data"))->getSnapshot(), QStringList{QStringLiteral("snap.2")});
    EXPECT_EQ(vg2->getLv(QStringLiteral("snap.2"))->getOriginal(), QStringLiteral("home.data"));
}

TEST_F(LogicalTree, FailedRenameChangesNothingAndOnlyReportsOutput)
{
    Lv* swap = lvm.getVg(QStringLiteral("ubuntu-vg"))->getLv(QStringLiteral("swap_1"));
    recorder.watch(*swap);
    sim->addFault(kLvm, {QStringLiteral("lvrename")}, 5, QStringLiteral("rename refused\n"));
    QString text;
    QObject::connect(swap, &Lv::output, [&text](const QString& t) { text = t; });

    EXPECT_EQ(swap->rename(QStringLiteral("other")), 5);
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("Lv.output")});
    EXPECT_EQ(text, QStringLiteral("rename refused\n"));
    EXPECT_EQ(swap->name(), QStringLiteral("swap_1"));
    EXPECT_TRUE(stateVolumeNames(QStringLiteral("ubuntu-vg")).contains(QStringLiteral("swap_1")));
}

// ---- removal ----

TEST_F(LogicalTree, RemovingAVolumeDeletesItInsideItsOwnSignal)
{
    Lv* root = vg->getLv(QStringLiteral("root"));
    const int freeBefore = vg->getAttribute(Vg::FreePe);
    Lv* swap = vg->getLv(QStringLiteral("swap_1"));
    recorder.watch(*swap);
    sim->clearCalls();

    // Under AddressSanitizer this fails if remove() touches the deleted volume after its signal.
    EXPECT_EQ(swap->remove(), 0);
    const QList<QStringList> calls = sim->calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), (QStringList{kLvm, QStringLiteral("lvremove"), QStringLiteral("-f"),
                                          QStringLiteral("/dev/ubuntu-vg/swap_1")}));
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("Lv.output"),
                                            QStringLiteral("Lvm.oneLvRemoved /dev/ubuntu-vg/swap_1 [/dev/sda2]")}));
    EXPECT_EQ(vg->lvCount(), 3u);
    EXPECT_FALSE(vg->hasLv(QStringLiteral("swap_1")));
    // The group re-read its figures, and its volumes see them through their live references.
    EXPECT_EQ(vg->getAttribute(Vg::FreePe), freeBefore + 128);
    EXPECT_EQ(root->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));
    EXPECT_FALSE(stateVolumeNames(QStringLiteral("ubuntu-vg")).contains(QStringLiteral("swap_1")));
}

TEST_F(LogicalTree, RemovingTheLastSnapshotMakesTheOriginNormal)
{
    MessageCapture capture;
    ASSERT_EQ(vg->getLv(QStringLiteral("snap-1"))->remove(), 0);
    Lv* home = vg->getLv(QStringLiteral("home.data"));
    EXPECT_FALSE(home->isOriginal());
    EXPECT_TRUE(home->getSnapshot().isEmpty());
    EXPECT_EQ(home->getAttribute(Lv::Access), 3) << "the origin bit (8) goes with the last snapshot";
    EXPECT_EQ(capture.countDebug(QStringLiteral("home.data is back to normal")), 1);
}

// The INACTIVE status line of arch-snap names no origin; its origin's listing names it.
TEST_F(LogicalTree, InactiveSnapshotRenamedThenRemovedLeavesNoStaleOriginList)
{
    Vg* cold = lvm.getVg(QStringLiteral("cold"));
    ASSERT_NE(cold, nullptr);
    Lv* arch = cold->getLv(QStringLiteral("arch"));
    ASSERT_EQ(cold->getLv(QStringLiteral("arch-snap"))->rename(QStringLiteral("arch-old")), 0);
    EXPECT_EQ(arch->getSnapshot(), QStringList{QStringLiteral("arch-old")});
    ASSERT_EQ(cold->getLv(QStringLiteral("arch-old"))->remove(), 0);
    EXPECT_TRUE(arch->getSnapshot().isEmpty());
    EXPECT_FALSE(arch->isOriginal());
}

TEST_F(LogicalTree, ActivationLinksAnInactiveSnapshotToItsOrigin)
{
    Vg* cold = lvm.getVg(QStringLiteral("cold"));
    ASSERT_NE(cold, nullptr);
    ASSERT_EQ(cold->activate(), 0);
    EXPECT_EQ(cold->getLv(QStringLiteral("arch-snap"))->getOriginal(), QStringLiteral("arch"));
}

TEST_F(LogicalTree, FailedRemovalKeepsTheVolume)
{
    Lv* swap = vg->getLv(QStringLiteral("swap_1"));
    recorder.watch(*swap);
    sim->addFault(kLvm, {QStringLiteral("lvremove")}, 3, QStringLiteral("in use\n"));

    EXPECT_EQ(swap->remove(), 3);
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("Lv.output")});
    EXPECT_EQ(vg->getLv(QStringLiteral("swap_1")), swap);
    EXPECT_EQ(vg->lvCount(), 4u);
}

TEST_F(LogicalTree, GroupRemovedInsideItsOwnSignalIsDroppedAndAnnounced)
{
    // The group's own notice, as its removal sends it; the manager deletes the group inside it.
    emit vg->removed(vg->name());
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("Lvm.oneVgRemoved [/dev/sda2,/dev/sdb1]")});
    EXPECT_EQ(lvm.vgCount(), 2u);
    EXPECT_FALSE(lvm.hasVg(QStringLiteral("ubuntu-vg")));

    recorder.events.clear();
    lvm.slotRemoveVg(QStringLiteral("nothing"));
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(lvm.vgCount(), 2u);
}

// ---- snapshots ----

TEST_F(LogicalTree, SnapshotIsRegisteredAndLinkedBothWays)
{
    Lv* root = vg->getLv(QStringLiteral("root"));
    recorder.watch(*root);
    const int accessBefore = root->getAttribute(Lv::Access);
    const QStringList args = {QStringLiteral("-s"), QStringLiteral("-nroot.snap"), QStringLiteral("-L128M")};
    sim->clearCalls();
    MessageCapture capture;

    ASSERT_EQ(root->createSnapshot(args), 0);
    const QList<QStringList> calls = sim->calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(),
              (QStringList{kLvm, QStringLiteral("lvcreate"), QStringLiteral("-s"), QStringLiteral("-nroot.snap"),
                           QStringLiteral("-L128M"), QStringLiteral("/dev/ubuntu-vg/root")}));
    ASSERT_EQ(recorder.events.size(), 3);
    EXPECT_EQ(recorder.events.at(0), QStringLiteral("Lv.output"));
    // The group hears newLv first and announces the registered snapshot upward.
    EXPECT_TRUE(recorder.events.at(1).startsWith(QStringLiteral("Lvm.oneLvAdded /dev/ubuntu-vg/root.snap [/dev/")));
    EXPECT_EQ(recorder.events.at(2), QStringLiteral("Lv.newLv root.snap 0 1"));

    EXPECT_TRUE(root->isOriginal());
    EXPECT_FALSE(root->isSnapshot());
    EXPECT_EQ(root->getSnapshot(), QStringList{QStringLiteral("root.snap")});
    EXPECT_EQ(root->getAttribute(Lv::Access), accessBefore | 8);
    EXPECT_EQ(vg->lvCount(), 5u);
    Lv* snap = vg->getLv(QStringLiteral("root.snap"));
    ASSERT_NE(snap, nullptr);
    EXPECT_TRUE(snap->isSnapshot());
    EXPECT_EQ(snap->getOriginal(), QStringLiteral("root"));
    EXPECT_EQ(capture.countDebug(QStringLiteral("original: (root)")), 1);
    EXPECT_EQ(capture.countDebug(QStringLiteral("snapshot: (root.snap)")), 1);
    EXPECT_EQ(stateVolume(QStringLiteral("ubuntu-vg"), QStringLiteral("root.snap"))
                  .value(QStringLiteral("origin"))
                  .toString(),
              QStringLiteral("root"));
}

TEST_F(LogicalTree, SnapshotWithoutANameIsRefusedBeforeAnyToolRuns)
{
    Lv* root = vg->getLv(QStringLiteral("root"));
    recorder.watch(*root);
    QString text;
    QObject::connect(root, &Lv::output, [&text](const QString& t) { text = t; });
    sim->clearCalls();

    EXPECT_EQ(root->createSnapshot({QStringLiteral("-s")}), -1);
    EXPECT_EQ(root->createSnapshot({QStringLiteral("-s"), QStringLiteral(" -n ")}), -1);
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("Lv.output"), QStringLiteral("Lv.output")}));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(text.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(text.endsWith(QLatin1Char('\n')));
    EXPECT_FALSE(root->isOriginal());
    EXPECT_EQ(vg->lvCount(), 4u);
}

TEST_F(LogicalTree, FailedSnapshotLeavesTheModelUnchanged)
{
    Lv* root = vg->getLv(QStringLiteral("root"));
    recorder.watch(*root);
    const int accessBefore = root->getAttribute(Lv::Access);
    sim->addFault(kLvm, {QStringLiteral("lvcreate")}, 5, QStringLiteral("Insufficient free extents\n"));

    EXPECT_EQ(root->createSnapshot({QStringLiteral("-s"), QStringLiteral("-nsnapX"), QStringLiteral("-L128M")}), 5);
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("Lv.output")});
    EXPECT_FALSE(root->isOriginal());
    EXPECT_TRUE(root->getSnapshot().isEmpty());
    EXPECT_EQ(root->getAttribute(Lv::Access), accessBefore);
    EXPECT_EQ(vg->lvCount(), 4u);
}

// ---- the group's other notices ----

TEST_F(LogicalTree, ResizeNoticeReachesTheManagerAndSizesTheSnapshots)
{
    Lv* home = vg->getLv(QStringLiteral("home.data"));
    Lv* snap = vg->getLv(QStringLiteral("snap-1"));
    snap->setSize(1);
    snap->setLe(2, 3);
    snap->setSizeAtRead(1);
    ASSERT_EQ(snap->getAttribute(Lv::AllocatedLe), 2);
    ASSERT_EQ(snap->getAttribute(Lv::CurrentLe), 3);

    // As Lv::resize announces a volume that grew off /dev/sda2 alone.
    emit home->resizeLv(home->name(), {QStringLiteral("/dev/sda2")});
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
    vg->slotRenameLv(QStringLiteral("ghost"), QStringLiteral("spirit"));
    vg->slotRemoveLv(QStringLiteral("ghost"));
    vg->slotResizeLv(QStringLiteral("ghost"), {});
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(vg->lvCount(), 4u);

    Vg* data = lvm.getVg(QStringLiteral("data.VG"));
    const QStringList pvs = {QStringLiteral("/dev/sdx1"), QStringLiteral("/dev/sdy2")};
    emit data->renamed(QStringLiteral("/dev/new"), pvs);
    emit data->extended(QStringLiteral("/dev/data.VG"), pvs);
    emit data->reduced(pvs);
    emit data->oneLvAdded(QStringLiteral("/dev/a/b"), pvs);
    emit data->oneLvRemoved(QStringLiteral("/dev/a/c"), pvs);
    emit data->oneLvRenamed(QStringLiteral("/dev/a/n"), QStringLiteral("/dev/a/o"), pvs);
    emit data->oneLvResized(QStringLiteral("/dev/a/r"), pvs, {});
    emit data->output(QStringLiteral("text"));
    EXPECT_EQ(recorder.events, (QStringList{
                                   QStringLiteral("Lvm.oneVgRenamed /dev/new [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneVgExtended /dev/data.VG [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneVgReduced [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneLvAdded /dev/a/b [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneLvRemoved /dev/a/c [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneLvRenamed /dev/a/n /dev/a/o [/dev/sdx1,/dev/sdy2]"),
                                   QStringLiteral("Lvm.oneLvResized /dev/a/r [/dev/sdx1,/dev/sdy2] []"),
                               }));
}

// ---- the shipped default machine ----

int segmentExtents(const QJsonObject& lv)
{
    int extents = 0;
    for (const QJsonValue& segment : lv.value(QStringLiteral("segments")).toArray())
        extents += segment.toObject().value(QStringLiteral("count")).toInt();
    return extents;
}

QString segmentPvString(const QJsonObject& lv)
{
    QStringList pvs;
    for (const QJsonValue& segment : lv.value(QStringLiteral("segments")).toArray()) {
        const QString pv = segment.toObject().value(QStringLiteral("pv")).toString();
        if (!pvs.contains(pv))
            pvs << pv;
    }
    return pvs.join(QLatin1Char(':'));
}

TEST(DefaultMachine, EveryGroupAndVolumeIsSeenAsTheSimulatedToolsDescribeIt)
{
    SimRoot sim;
    Lvm lvm;
    const QJsonObject state = sim.state();
    QStringList readable;
    QStringList unreadable;
    for (const QJsonValue& value : state.value(QStringLiteral("vgs")).toArray()) {
        const QJsonObject group = value.toObject();
        const QString name = group.value(QStringLiteral("name")).toString();
        if (group.value(QStringLiteral("unreadable")).toBool()) {
            unreadable << name;
            continue;
        }
        readable << name;
        SCOPED_TRACE(name.toStdString());
        Vg* vg = lvm.getVg(name);
        ASSERT_NE(vg, nullptr);
        const int extentMb = group.value(QStringLiteral("extentKiB")).toInt() / 1024;
        QStringList groupPvs;
        int totalPe = 0;
        for (const QJsonValue& pv : state.value(QStringLiteral("pvs")).toArray()) {
            if (pv.toObject().value(QStringLiteral("vg")).toString() != name)
                continue;
            groupPvs << pv.toObject().value(QStringLiteral("device")).toString();
            totalPe += pv.toObject().value(QStringLiteral("peCount")).toInt();
        }
        EXPECT_EQ(vg->pvString(), groupPvs.join(QLatin1Char(':')));
        EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), extentMb);
        EXPECT_EQ(vg->getAttribute(Vg::TotalPe), totalPe);
        EXPECT_EQ(vg->uuidString(), group.value(QStringLiteral("uuid")).toString());

        const QJsonArray lvs = group.value(QStringLiteral("lvs")).toArray();
        ASSERT_EQ(vg->lvCount(), static_cast<unsigned>(lvs.size()));
        QMap<QString, QJsonObject> byName;
        for (const QJsonValue& lvValue : lvs)
            byName.insert(lvValue.toObject().value(QStringLiteral("name")).toString(), lvValue.toObject());
        for (const QJsonValue& lvValue : lvs) {
            const QJsonObject volume = lvValue.toObject();
            const QString lvName = volume.value(QStringLiteral("name")).toString();
            SCOPED_TRACE(lvName.toStdString());
            Lv* lv = vg->getLv(lvName);
            ASSERT_NE(lv, nullptr);
            const QString origin = volume.value(QStringLiteral("origin")).toString();
            // A snapshot shows its origin's size.
            const QJsonObject sizeSource = origin.isEmpty() ? volume : byName.value(origin);
            EXPECT_EQ(lv->getAttribute(Lv::Size), segmentExtents(sizeSource) * extentMb);
            EXPECT_EQ(lv->pvString(), segmentPvString(volume));
            EXPECT_EQ(lv->isActive(), group.value(QStringLiteral("active")).toBool(true) &&
                                          volume.value(QStringLiteral("active")).toBool(true));
            EXPECT_EQ(lv->isSnapshot(), !origin.isEmpty());
            EXPECT_EQ(lv->getOriginal(), origin.isEmpty() ? QString() : origin);
            QStringList snapshots;
            for (const QJsonObject& other : byName) {
                if (other.value(QStringLiteral("origin")).toString() == lvName)
                    snapshots << other.value(QStringLiteral("name")).toString();
            }
            EXPECT_EQ(lv->isOriginal(), !snapshots.isEmpty());
            std::sort(snapshots.begin(), snapshots.end());
            QStringList seen = lv->getSnapshot();
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(seen, snapshots);
            const QString mountDir =
                volume.value(QStringLiteral("mount")).toObject().value(QStringLiteral("dir")).toString();
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
    const QString group = QStringLiteral("nogroup");
    const int zero = 0;
    MessageCapture capture;
    Lv lv(QStringLiteral("nothing"), group, zero, zero, false, false);
    EXPECT_EQ(lv.getAttribute(Lv::Size), 0);
    EXPECT_EQ(lv.getAttribute(Lv::Access), 0);
    EXPECT_TRUE(lv.pvString().isEmpty());
    EXPECT_TRUE(lv.getSnapshot().isEmpty());
    EXPECT_EQ(lv.proportion(), 0);
    EXPECT_TRUE(capture.warnings().contains(QStringLiteral("ASSERT: \"leSize != 0\" in lvmdrive (1042)")));
}

} // namespace
