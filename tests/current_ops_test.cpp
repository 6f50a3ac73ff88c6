// What changing the machine through today's tools adds to the operations: partitions found through
// lsblk's parent names, activation checked by reading it back, e2fsck's "errors corrected" taken
// as success, and a refresh of at most two programs after each change.
#include "modeltest.h"
#include "utils.h"

namespace {

const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 2, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 5, "sizeKiB": 1048576},
      {"number": 6, "sizeKiB": 1048576}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "vg00"}, {"device": "/dev/sda2", "vg": "vg00"}],
  "vgs": [{"name": "vg00", "lvs": [
    {"name": "data", "fstype": "ext3", "sizeMiB": 256, "needsRepair": true},
    {"name": "logs", "fstype": "ext2", "sizeMiB": 128}]}]
})";

class OnToolSet : public ::testing::Test, public SignalLog
{
public:
    void start(sim::ToolSet tools)
    {
        // The old root unsets the system root when it goes, so it goes first.
        roz.reset();
        sim.reset();
        events.clear();
        outputs.clear();
        sim = SimRoot::fromJson(kMachine, tools);
        roz = std::make_unique<Roz>();
        vg = roz->getLvm()->getVg("vg00");
        ASSERT_NE(vg, nullptr);
        recordOutput(vg, &Vg::output);
        sim->clearCalls();
    }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
    Vg* vg = nullptr;
};

// lsblk names the parent, the rest of the name is the number (the name rules are currentparse_test's):
// each partition gets the parted call its own disk needs, and a device that is no partition gets none.
TEST_F(OnToolSet, CreatePvFindsDiskAndNumberThroughLsblk)
{
    start(sim::ToolSet::Current);
    const char* listing = R"({"blockdevices": [
        {"name": "nvme0n1p3", "path": "/dev/nvme0n1p3", "type": "part", "pkname": "nvme0n1"},
        {"name": "sdb12", "path": "/dev/sdb12", "type": "part", "pkname": "sdb"},
        {"name": "loop3", "path": "/dev/loop3", "type": "loop", "pkname": null},
        {"name": "sdc", "path": "/dev/sdc", "type": "disk", "pkname": null}]})";
    const QStringList devices = {"/dev/nvme0n1p3", "/dev/sdb12", "/dev/loop3", "/dev/sdc"};
    sim->addFault("/bin/lsblk", {}, 0, listing);
    sim->addFault("/sbin/parted", {}, 0);
    sim->addFault("/sbin/lvm", {"pvcreate"}, 0);
    QString output;

    EXPECT_EQ(createPv(devices, output), 0);

    const QList<QStringList> expected = {
        QStringList{"/bin/lsblk", "--json", "--nodeps", "--output", "NAME,PATH,TYPE,PKNAME"} + devices,
        {"/sbin/parted", "/dev/nvme0n1", "set", "3", "lvm on"},
        {"/sbin/parted", "/dev/sdb", "set", "12", "lvm on"},
        QStringList{"/sbin/lvm", "pvcreate", "-f", "-y"} + devices};
    EXPECT_EQ(sim->calls(), expected);
}

// A device lsblk does not know stops everything before a change: no partition goes unmarked
// into pvcreate.
TEST_F(OnToolSet, CreatePvStopsWhenLsblkDoesNotKnowADevice)
{
    start(sim::ToolSet::Current);
    QString output;

    EXPECT_EQ(createPv({"/dev/sda5", "/dev/sdz9"}, output), 64);

    EXPECT_EQ(sim->calls().size(), 1);
    EXPECT_TRUE(output.startsWith("lsblk does not know /dev/sdz9 (/bin/lsblk --json"));
    EXPECT_TRUE(output.endsWith(" exited with 64); no physical volume was made\n"));
}

// vgchange exits 0 having changed nothing (volumes flagged to skip activation): today's set reads
// every volume back and fails with the names of those left behind.
TEST_F(OnToolSet, ActivationThatChangedNothingIsAFailure)
{
    start(sim::ToolSet::Current);
    ASSERT_EQ(vg->deactivate(), 0);
    sim->addFault("/sbin/lvm", {"vgchange", "-ay"}, 0, "  0 logical volume(s) in volume group \"vg00\" now active\n",
                  1);

    EXPECT_EQ(vg->activate(), -1);
    EXPECT_TRUE(outputs.last().endsWith("Volume group vg00 not activated: data, logs stayed inactive\n"));
    EXPECT_FALSE(vg->getLv("data")->isActive());

    EXPECT_EQ(vg->activate(), 0);
    EXPECT_TRUE(vg->getLv("data")->isActive() && vg->getLv("logs")->isActive());
    sim->addFault("/sbin/lvm", {"vgchange", "-an"}, 0);
    EXPECT_EQ(vg->deactivate(), -1);
    EXPECT_TRUE(outputs.last().endsWith("Volume group vg00 not deactivated: data, logs stayed active\n"));
}

// e2fsck's 1 ("errors corrected") lets today's growth go on to resize2fs; the classic set stops.
TEST_F(OnToolSet, CorrectedFileSystemErrorsStopOnlyTheClassicGrowth)
{
    struct Case {
        sim::ToolSet tools;
        int result;
        bool resized;
    };
    for (const Case& c : {Case{sim::ToolSet::Classic, 1, false}, Case{sim::ToolSet::Current, 0, true}}) {
        start(c.tools);
        Lv* data = vg->getLv("data");
        EXPECT_EQ(data->resize({"-L512"}), c.result);
        bool resized = false;
        for (const QStringList& call : sim->calls())
            resized = resized || call.value(0) == "/sbin/resize2fs";
        EXPECT_EQ(resized, c.resized);
        EXPECT_EQ(stateVolume(*sim, "vg00", "data").value("fsSizeKiB").toInteger(),
                  c.resized ? 512 * 1024 : 256 * 1024);
    }
}

// After its last change each operation reads the machine again with at most two programs: the
// report, and blkid when a volume's file system may have changed.
TEST_F(OnToolSet, EachChangeIsFollowedByAtMostTwoReads)
{
    struct Case {
        const char* name;
        int result;
        int reads;
        std::function<int(Lvm&, Vg&)> run;
    };
    const Case cases[] = {
        {"createVg", 0, 1,
         [](Lvm& m, Vg&) {
             return m.createVg({"-s4M", "", "", "vg01", "/dev/sda5"});
         }},
        {"extend", 0, 1, [](Lvm&, Vg& g) { return g.extend({"/dev/sda6"}); }},
        {"reduce", 0, 1, [](Lvm&, Vg& g) { return g.reduce({"/dev/sda2"}); }},
        {"freeze", 0, 1, [](Lvm&, Vg& g) { return g.freeze(); }},
        {"deactivate", 0, 2, [](Lvm&, Vg& g) { return g.deactivate(); }},
        {"createLv", 0, 2,
         [](Lvm&, Vg& g) {
             return g.createLv({"none", "-L64", "vg00", "-nfresh"});
         }},
        {"snapshot", 0, 2,
         [](Lvm&, Vg& g) {
             return g.getLv("logs")->createSnapshot({"-s", "-nsnap", "-L64"});
         }},
        {"Lv rename", 0, 1, [](Lvm&, Vg& g) { return g.getLv("logs")->rename("logs.old"); }},
        {"Lv remove", 0, 1, [](Lvm&, Vg& g) { return g.getLv("logs")->remove(); }},
        {"resize", 0, 2, [](Lvm&, Vg& g) { return g.getLv("logs")->resize({"-L256"}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start(sim::ToolSet::Current);
        EXPECT_EQ(c.run(*roz->getLvm(), *vg), c.result);
        const QList<QStringList> calls = sim->calls();
        qsizetype lastChange = -1;
        for (qsizetype i = 0; i < calls.size(); ++i) {
            if (isToolChange(calls.at(i)))
                lastChange = i;
        }
        ASSERT_GE(lastChange, 0);
        EXPECT_EQ(calls.size() - lastChange - 1, c.reads);
    }
}

} // namespace
