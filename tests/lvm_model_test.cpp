// The logical tree against a simulated machine: discovery, the registry, rename, removal, snapshots
// and every change notice with the exact tool runs behind it.
#include "modeltest.h"

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

    QStringList stateVolumeNames(const QString& group) const
    {
        return entryNames(::stateGroup(*sim, group).value("lvs").toArray());
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
    EXPECT_EQ(lvm.errorVgName(), QStringList{"broken"});
    EXPECT_EQ(sim->calls().first(), (QStringList{kLvm, "vgscan"}));
    EXPECT_TRUE(ran({kLvm, "pvscan"}));

    const QString root = "/dev/ubuntu-vg/root", snap1 = "/dev/ubuntu-vg/snap-1";
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

// An inactive group is read with -D; its allocation counts the snapshot's own extents.
TEST_F(LogicalTree, GroupFiguresAreThoseTheToolsPrint)
{
    struct Case {
        const char* name;
        int peSizeMb, allocPe, curLv, curPv;
        const char* pvs;
        bool active;
        QStringList read;
    };
    const Case cases[] = {
        {"ubuntu-vg", 4, 1024 + 768 + 64 + 128, 4, 2, "/dev/sda2:/dev/sdb1", true, {"vgdisplay", "-c", "ubuntu-vg"}},
        {"data.VG", 8, 128, 1, 1, "/dev/sda3", true, {"vgdisplay", "-c", "data.VG"}},
        {"cold", 4, 128 + 16, 2, 1, "/dev/sdb2", false, {"vgdisplay", "-c", "-D", "cold"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vg* group = lvm.getVg(c.name);
        ASSERT_NE(group, nullptr);
        const int totalPe = statePeCount(c.name);
        ASSERT_GT(totalPe, 0);
        EXPECT_EQ(group->path(), QString("/dev/") + c.name);
        EXPECT_EQ(group->uuidString(), ::stateGroup(*sim, c.name).value("uuid").toString());
        EXPECT_EQ(group->getAttribute(Vg::PeSizeMb), c.peSizeMb);
        EXPECT_EQ(group->getAttribute(Vg::TotalPe), totalPe);
        EXPECT_EQ(group->getAttribute(Vg::AllocPe), c.allocPe);
        EXPECT_EQ(group->getAttribute(Vg::FreePe), totalPe - c.allocPe);
        EXPECT_EQ(group->getAttribute(Vg::FreeMb), (totalPe - c.allocPe) * c.peSizeMb);
        EXPECT_EQ(group->getAttribute(Vg::SizeMb), totalPe * c.peSizeMb);
        EXPECT_EQ(group->getAttribute(Vg::CurLv), c.curLv);
        EXPECT_EQ(group->getAttribute(Vg::CurPv), c.curPv);
        EXPECT_EQ(group->pvString(), c.pvs);
        EXPECT_EQ(group->isActive(), c.active);
        EXPECT_TRUE(group->isResizable());
        EXPECT_TRUE(ran(QStringList{kLvm} + c.read));
    }
    EXPECT_EQ(vg->getAttribute(static_cast<Vg::Attribute>(16)), 0);
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
        bool active;
    };
    const QList<Case> cases{
        {"ubuntu-vg", "root", 4096, "/dev/sda2", "ext4", "", {}, "/", true},
        {"ubuntu-vg", "home.data", 3072, "/dev/sda2:/dev/sdb1", "ext3", "", {"snap-1"}, "/home", true},
        {"ubuntu-vg", "snap-1", 3072, "/dev/sdb1", nullptr, "home.data", {}, nullptr, true},
        {"data.VG", "db+1", 1024, "/dev/sda3", "reiserfs", "", {}, nullptr, true},
        // The origin still lists its snapshot; the snapshot's INACTIVE status line names nothing.
        {"cold", "arch", 512, "/dev/sdb2", nullptr, "", {"arch-snap"}, nullptr, false}};
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
        EXPECT_EQ(lv->isActive(), c.active);
    }
    EXPECT_TRUE(ran({kLvm, "lvdisplay", "-D", "/dev/cold/arch"}));

    Lv* root = vg->getLv("root");
    EXPECT_EQ(root->getAttribute(Lv::CurrentLe), 1024);
    EXPECT_EQ(root->getAttribute(Lv::SizeAtRead), 4096);
    EXPECT_EQ(root->getAttribute(Lv::LeSize), 4);
    EXPECT_EQ(root->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));
    EXPECT_EQ(root->getAttribute(static_cast<Lv::Attribute>(14)), 0);
    EXPECT_EQ(root->proportion(), 1024);
}

TEST_F(LogicalTree, ActivationReadsTheInactiveSnapshotsOriginAgain)
{
    Vg* cold = lvm.getVg("cold");
    ASSERT_NE(cold, nullptr);
    Lv* archSnap = cold->getLv("arch-snap");
    ASSERT_NE(archSnap, nullptr);
    EXPECT_TRUE(archSnap->isSnapshot());
    EXPECT_TRUE(archSnap->getOriginal().isNull());
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
    lvm.slotRemoveVg("nothing");
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(vg->lvCount(), 4u);
    EXPECT_EQ(lvm.vgCount(), 3u);
}

// ---- changes ----

// One after the other on the same group. A change runs its one tool line, then the volume hands
// over its transcript, the manager announces the change by path and the volume gives its own
// notice. A refused one hands over the tool's words (or its own, before any tool runs) and leaves
// the tree and the machine as they were.
TEST_F(LogicalTree, ChangesAnnounceInOrderAndRefusalsLeaveTheVolumeAsItWas)
{
    const QString noName = "No snapshot made: the second argument must be a two-character option followed by the "
                           "snapshot's name.\n";
    const QString root = "/dev/ubuntu-vg/root", snap1 = "/dev/ubuntu-vg/snap-1";
    struct Case {
        const char* volume;
        std::function<int(Lv*)> change;
        QStringList call; // the first tool line; none for an empty list
        QStringList events;
        int code = 0;    // above 0: the tool is made to fail so
        QString refusal; // the words handed over for a refusal
    };
    const auto snapshot = [](QStringList args) { return [args](Lv* lv) { return lv->createSnapshot(args); }; };
    const auto rename = [](QString name) { return [name](Lv* lv) { return lv->rename(name); }; };
    const auto remove = [](Lv* lv) { return lv->remove(); };
    const QStringList refused = {"Lv.output"};
    const Case cases[] = {
        // The group hears newLv first and announces the registered snapshot upward.
        {"root",
         snapshot({"-s", "-nroot.snap", "-L128M"}),
         {kLvm, "lvcreate", "-s", "-nroot.snap", "-L128M", root},
         {"Lv.output", "Lvm.oneLvAdded /dev/ubuntu-vg/root.snap [/dev/sda2]", "Lv.newLv root.snap 0 1"},
         0,
         {}},
        {"swap_1",
         rename("  swap-2 "),
         {kLvm, "lvrename", "/dev/ubuntu-vg/swap_1", "/dev/ubuntu-vg/swap-2"},
         {"Lv.output", "Lvm.oneLvRenamed /dev/ubuntu-vg/swap-2 /dev/ubuntu-vg/swap_1 [/dev/sda2]",
          "Lv.renameLv swap-2 swap_1"},
         0,
         {}},
        // Under AddressSanitizer this fails if remove() touches the deleted volume after its signal.
        {"swap-2",
         remove,
         {kLvm, "lvremove", "-f", "/dev/ubuntu-vg/swap-2"},
         {"Lv.output", "Lvm.oneLvRemoved /dev/ubuntu-vg/swap-2 [/dev/sda2]"},
         0,
         {}},
        {"snap-1", remove, {kLvm, "lvremove", "-f", snap1}, refused, 3, "lvremove refused\n"},
        {"snap-1",
         rename("other"),
         {kLvm, "lvrename", snap1, "/dev/ubuntu-vg/other"},
         refused,
         5,
         "lvrename refused\n"},
        {"root",
         snapshot({"-s", "-nsnapX", "-L128M"}),
         {kLvm, "lvcreate", "-s", "-nsnapX", "-L128M", root},
         refused,
         5,
         "lvcreate refused\n"},
        {"root", snapshot({"-s"}), {}, refused, -1, noName},
        {"root", snapshot({"-s", " -n "}), {}, refused, -1, noName},
    };
    Lv* rootLv = vg->getLv("root");
    const int rootAccess = rootLv->getAttribute(Lv::Access);
    const int freeBefore = vg->getAttribute(Vg::FreePe);
    QString text;
    for (const char* name : {"root", "swap_1", "snap-1"}) {
        recorder.watch(*vg->getLv(name));
        QObject::connect(vg->getLv(name), &Lv::output, [&text](const QString& t) { text = t; });
    }
    MessageCapture capture;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call.value(1, c.refusal).toStdString());
        Lv* lv = vg->getLv(c.volume);
        ASSERT_NE(lv, nullptr);
        const int accessBefore = lv->getAttribute(Lv::Access);
        const bool originBefore = lv->isOriginal();
        const QStringList namesBefore = stateVolumeNames("ubuntu-vg");
        if (c.code > 0)
            sim->addFault(kLvm, {c.call.at(1)}, c.code, c.refusal);
        recorder.events.clear();
        sim->clearCalls();

        EXPECT_EQ(c.change(lv), c.code);
        EXPECT_EQ(sim->calls().value(0), c.call);
        EXPECT_EQ(recorder.events, c.events);
        if (c.code == 0)
            continue;
        EXPECT_EQ(text, c.refusal);
        EXPECT_EQ(vg->getLv(c.volume), lv);
        EXPECT_EQ(lv->name(), c.volume);
        EXPECT_EQ(lv->getAttribute(Lv::Access), accessBefore);
        EXPECT_EQ(lv->isOriginal(), originBefore);
        EXPECT_EQ(stateVolumeNames("ubuntu-vg"), namesBefore);
    }
    EXPECT_EQ(vg->lvCount(), 4u);
    EXPECT_FALSE(vg->hasLv("swap-2"));
    // The group re-read its figures, and its volumes see them through their live references.
    EXPECT_EQ(vg->getAttribute(Vg::FreePe), freeBefore - 32 + 128);
    EXPECT_EQ(rootLv->getAttribute(Lv::VgFree), vg->getAttribute(Vg::FreeMb));

    EXPECT_EQ(rootLv->getSnapshot(), QStringList{"root.snap"});
    EXPECT_EQ(rootLv->getAttribute(Lv::Access), rootAccess | 8);
    EXPECT_FALSE(rootLv->isSnapshot());
    Lv* snap = vg->getLv("root.snap");
    ASSERT_NE(snap, nullptr);
    EXPECT_TRUE(snap->isSnapshot());
    EXPECT_EQ(snap->getOriginal(), "root");
    EXPECT_EQ(capture.countDebug("original: (root)"), 1);
    EXPECT_EQ(capture.countDebug("snapshot: (root.snap)"), 1);
}

TEST_F(LogicalTree, RenamingAnOriginRenamesItInItsSnapshot)
{
    ASSERT_EQ(vg->getLv("home.data")->rename("home-2"), 0);
    EXPECT_EQ(vg->getLv("snap-1")->getOriginal(), "home-2");
}

// Also in an inactive group, whose snapshot's status line names no origin: the origin's list is
// kept by name through the rename, and the last removal makes the origin normal.
TEST_F(LogicalTree, SnapshotRenamedThenRemovedLeavesItsOriginNormal)
{
    struct Case {
        const char *group, *origin, *snapshot;
    };
    for (const Case& c : {Case{"ubuntu-vg", "home.data", "snap-1"}, Case{"cold", "arch", "arch-snap"}}) {
        SCOPED_TRACE(c.group);
        Vg* group = lvm.getVg(c.group);
        Lv* origin = group->getLv(c.origin);
        MessageCapture capture;
        ASSERT_EQ(group->getLv(c.snapshot)->rename("snap.2"), 0);
        EXPECT_EQ(origin->getSnapshot(), QStringList{"snap.2"});
        EXPECT_EQ(capture.countDebug(QString("snapshot(s) before rename : ") + c.snapshot), 1);
        EXPECT_EQ(capture.countDebug("snapshot(s) after rename : snap.2"), 1);

        ASSERT_EQ(group->getLv("snap.2")->remove(), 0);
        EXPECT_FALSE(origin->isOriginal());
        EXPECT_TRUE(origin->getSnapshot().isEmpty());
        EXPECT_EQ(origin->getAttribute(Lv::Access), 3) << "the origin bit (8) goes with the last snapshot";
        EXPECT_EQ(capture.countDebug(QString(c.origin) + " is back to normal"), 1);
    }
}

// ---- the group's other notices ----

TEST_F(LogicalTree, ResizeNoticeReachesTheManagerAndSizesTheSnapshots)
{
    Lv* home = vg->getLv("home.data");
    Lv* snap = vg->getLv("snap-1");
    snap->setSize(1);
    snap->setLe(2, 3);
    snap->setSizeAtRead(1);

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

// The relays themselves are followed through the physical tree in roz_facade_test.
TEST_F(LogicalTree, NoticesForUnknownVolumesAndAGroupsOutputAreNotRelayed)
{
    vg->slotRenameLv("ghost", "spirit");
    vg->slotRemoveLv("ghost");
    vg->slotResizeLv("ghost", {});
    emit vg->output("text");
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(vg->lvCount(), 4u);
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
