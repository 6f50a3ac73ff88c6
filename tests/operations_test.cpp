// The typed calls and the safety queries on the default simulated machine: which step failed,
// with which code, for a success, a refusal and a tool failure; byte sizes; each query's verdicts.
#include "modeltest.h"
#include "operations.h"
#include "safety.h"

namespace {

const QString kParted = QStringLiteral("/sbin/parted");
constexpr qint64 kMiB = 1024 * 1024;

class Typed : public ::testing::Test
{
public: // the call tables reach the model through the fixture
    void SetUp() override
    {
        sim = std::make_unique<SimRoot>(QStringLiteral("default"), sim::ToolSet::Classic);
        roz = std::make_unique<Roz>();
        myVg = roz->getLvm()->getVg(QStringLiteral("my-vg"));
        ASSERT_NE(myVg, nullptr);
    }

    // A new machine and model: roz and the old root go before the new root is laid out.
    void fresh()
    {
        roz.reset();
        sim.reset();
        SetUp();
    }

    Lv& volume(const char* name) { return *myVg->getLv(QString::fromLatin1(name)); }
    Partition& partition(const char* path) { return *roz->getHard()->getPv(QString::fromLatin1(path)); }
    bool changed() const { return !callsWhere(*sim, isToolChange).isEmpty(); }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
    Vg* myVg = nullptr;
};

struct Fault {
    QString program; // empty: none
    QStringList args;
    int code = 0;
};

struct CallCase {
    const char* what;
    Fault fault;
    std::function<OperationResult(Typed&)> call;
    bool ok;
    const char* failedStep;
    int exitCode;
    const char* messagePart;
};

TEST_F(Typed, EachCallNamesTheStepThatFailedAndItsCode)
{
    const QList<CallCase> cases{
        {"group made",
         {},
         [](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {"/dev/sdc3"}, 4 * kMiB); },
         true,
         "",
         0,
         "created"},
        {"extent no power of two",
         {},
         [](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {"/dev/sdc3"}, 3 * kMiB); },
         false,
         "",
         -1,
         "power of two"},
        {"mounted partition",
         {},
         [](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {"/dev/sda2"}, 4 * kMiB); },
         false,
         "",
         -1,
         "mounted"},
        {"parted fails",
         {kParted, {}, 1},
         [](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {"/dev/sdc3"}, 4 * kMiB); },
         false,
         "parted",
         1,
         ""},
        {"vgcreate fails",
         {kLvm, {"vgcreate"}, 5},
         [](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {"/dev/sdc3"}, 4 * kMiB); },
         false,
         "vgcreate",
         5,
         ""},
        {"volume made",
         {},
         [](Typed& t) { return createVolume(*t.myVg, "fresh", 64 * kMiB, FileSystem::Ext3); },
         true,
         "",
         0,
         ""},
        {"volume name taken",
         {},
         [](Typed& t) { return createVolume(*t.myVg, "music", 64 * kMiB, FileSystem::Ext3); },
         false,
         "",
         -1,
         "already has"},
        {"lvcreate fails",
         {kLvm, {"lvcreate"}, 5},
         [](Typed& t) { return createVolume(*t.myVg, "fresh", 64 * kMiB, FileSystem::None); },
         false,
         "lvcreate",
         5,
         ""},
        {"mke2fs fails",
         {"/sbin/mke2fs", {}, 1},
         [](Typed& t) { return createVolume(*t.myVg, "fresh", 64 * kMiB, FileSystem::Ext2); },
         false,
         "mkfs",
         kVolumeWithoutFileSystem,
         "manually"},
        {"volume grown", {}, [](Typed& t) { return growVolume(t.volume("scratch_1"), 3072 * kMiB); }, true, "", 0, ""},
        {"shrink",
         {},
         [](Typed& t) { return growVolume(t.volume("scratch_1"), 1024 * kMiB); },
         false,
         "",
         -1,
         "only grow"},
        {"lvextend fails",
         {kLvm, {"lvextend"}, 5},
         [](Typed& t) { return growVolume(t.volume("scratch_1"), 3072 * kMiB); },
         false,
         "lvextend",
         5,
         ""},
        {"e2fsck fails",
         {"/sbin/e2fsck", {}, 8},
         [](Typed& t) { return growVolume(t.volume("scratch_1"), 3072 * kMiB); },
         false,
         "e2fsck",
         8,
         ""},
        {"resize2fs fails",
         {"/sbin/resize2fs", {}, 1},
         [](Typed& t) { return growVolume(t.volume("scratch_1"), 3072 * kMiB); },
         false,
         "resize2fs",
         1,
         ""},
        {"snapshot made",
         {},
         [](Typed& t) { return snapshotVolume(t.volume("scratch_1"), "s1", 52 * kMiB); },
         true,
         "",
         0,
         ""},
        {"snapshot of a snapshot",
         {},
         [](Typed& t) { return snapshotVolume(t.volume("snap1"), "s1", 8 * kMiB); },
         false,
         "",
         -1,
         "itself a snapshot"},
        {"snapshot lvcreate fails",
         {kLvm, {"lvcreate"}, 5},
         [](Typed& t) { return snapshotVolume(t.volume("scratch_1"), "s1", 8 * kMiB); },
         false,
         "lvcreate",
         5,
         ""},
        {"mounted volume kept",
         {},
         [](Typed& t) { return removeVolume(t.volume("home")); },
         false,
         "",
         -1,
         "mounted on /home"},
        {"lvremove fails",
         {kLvm, {"lvremove"}, 5},
         [](Typed& t) { return removeVolume(t.volume("scratch_1")); },
         false,
         "lvremove",
         5,
         ""},
        {"volume renamed", {}, [](Typed& t) { return renameVolume(t.volume("scratch_1"), "other"); }, true, "", 0, ""},
        {"group with volumes kept",
         {},
         [](Typed& t) { return removeGroup(*t.myVg); },
         false,
         "",
         -1,
         "still holds volumes"},
        {"bad group name", {}, [](Typed& t) { return renameGroup(*t.myVg, "-x"); }, false, "", -1, "not a valid"},
        {"vgrename fails",
         {kLvm, {"vgrename"}, 5},
         [](Typed& t) { return renameGroup(*t.myVg, "other"); },
         false,
         "vgrename",
         5,
         ""},
        {"frozen", {}, [](Typed& t) { return freezeGroup(*t.myVg); }, true, "", 0, ""},
        {"vgchange fails",
         {kLvm, {"vgchange"}, 5},
         [](Typed& t) { return defreezeGroup(*t.myVg); },
         false,
         "vgchange",
         5,
         ""},
        {"pvcreate fails on extend",
         {kLvm, {"pvcreate"}, 5},
         [](Typed& t) { return extendGroup(*t.myVg, {"/dev/sdc3"}); },
         false,
         "pvcreate",
         5,
         ""},
        {"vgreduce fails",
         {kLvm, {"vgreduce"}, 5},
         [](Typed& t) { return reduceGroup(*t.myVg, {"/dev/sdb2"}); },
         false,
         "vgreduce",
         5,
         ""},
    };
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        if (!c.fault.program.isEmpty())
            sim->addFault(c.fault.program, c.fault.args, c.fault.code, "  it failed\n");
        sim->clearCalls();
        const OperationResult result = c.call(*this);
        EXPECT_EQ(result.ok, c.ok) << result.message.toStdString();
        EXPECT_EQ(result.failedStep, QString::fromLatin1(c.failedStep));
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.message.contains(QString::fromLatin1(c.messagePart)) && (c.ok || !result.message.isEmpty()))
            << result.message.toStdString();
        if (result.refused()) {
            EXPECT_FALSE(changed());
        }
    }
}

TEST_F(Typed, BytesBecomeWholeMiBRoundedUpAndExtentsAreChecked)
{
    EXPECT_EQ(bytesToMiB(1), 1);
    EXPECT_EQ(bytesToMiB(kMiB), 1);
    EXPECT_EQ(bytesToMiB(kMiB + 1), 2);
    EXPECT_EQ(bytesToMiB(0), -1);
    EXPECT_EQ(bytesToMiB(-kMiB), -1);

    EXPECT_TRUE(createVolume(*myVg, "tiny", 1, FileSystem::None).ok);
    EXPECT_TRUE(sim->callLines().contains(kLvm + " lvcreate -L 1M -ntiny my-vg"));
    EXPECT_TRUE(createVolume(*myVg, "none", 0, FileSystem::None).refused());

    const struct {
        qint64 bytes;
        const char* option; // empty: refused
    } extents[] = {{8 * 1024, "-s8k"}, {4 * 1024, ""}, {12 * 1024, ""}, {64 * kMiB, "-s64M"}};
    for (const auto& e : extents) {
        SCOPED_TRACE(e.bytes);
        sim->clearCalls();
        const OperationResult result = createGroup(*roz->getLvm(), "g", {"/dev/sdc3"}, e.bytes);
        EXPECT_EQ(result.refused(), *e.option == '\0');
        const auto vgcreate = [](const QStringList& call) { return call.value(1) == "vgcreate"; };
        EXPECT_EQ(callsWhere(*sim, vgcreate).value(0).value(2), QString::fromLatin1(e.option));
        if (Vg* made = roz->getLvm()->getVg(QStringLiteral("g"))) {
            EXPECT_TRUE(removeGroup(*made).ok);
        }
    }
}

TEST_F(Typed, SafetyQueriesGiveTheirReason)
{
    ASSERT_TRUE(createGroup(*roz->getLvm(), "empty", {"/dev/sdc3"}, 4 * kMiB).ok);
    Vg& backup = *roz->getLvm()->getVg("vg.backup");
    const struct {
        const char* what;
        Verdict verdict;
        const char* reason; // empty: allowed
    } cases[] = {
        {"group name taken", canNameGroup(*roz->getLvm(), "my-vg"), "already exists"},
        {"group name invalid", canNameGroup(*roz->getLvm(), "a/b"), "not a valid"},
        {"group name free", canNameGroup(*roz->getLvm(), "new"), ""},
        {"volume name taken", canNameVolume(*myVg, "music"), "already has a volume"},
        {"volume name with -", canNameVolume(*myVg, "-n"), "starts with"},
        {"volume name free", canNameVolume(*myVg, "new"), ""},
        {"group with volumes", canRemoveGroup(*myVg), "/dev/my-vg/home"},
        {"empty group", canRemoveGroup(*roz->getLvm()->getVg("empty")), ""},
        {"mounted volume", canRemoveVolume(volume("home")), "mounted on /home"},
        {"plain volume", canRemoveVolume(volume("music")), ""},
        {"shrink", isGrowth(volume("scratch_1"), 1024 * kMiB), "2048 MiB; volumes only grow"},
        {"growth", isGrowth(volume("scratch_1"), 3072 * kMiB), ""},
        {"beyond free space", canGrowVolume(volume("scratch_1"), 1024 * 1024 * kMiB), "MiB free"},
        {"within free space", canGrowVolume(volume("scratch_1"), 2049 * kMiB), ""},
        {"snapshot of a snapshot", canSnapshot(*myVg, volume("snap1"), "x"), "itself a snapshot"},
        {"snapshot name taken", canSnapshot(*myVg, volume("scratch_1"), "music"), "already has a volume"},
        {"snapshot", canSnapshot(*myVg, volume("scratch_1"), "x"), ""},
        {"mounted partition", canAddToGroup(partition("/dev/sda2")), "mounted on /"},
        {"partition of a group", canAddToGroup(partition("/dev/sda5")), "already belongs to /dev/my-vg"},
        {"free partition", canAddToGroup(partition("/dev/sdc2")), ""},
        {"not a PV of the group", canReducePv(*myVg, "/dev/sdc3"), "not a physical volume"},
        {"last PV", canReducePv(backup, "/dev/sda6"), "last physical volume"},
        {"PV in use", canReducePv(*myVg, "/dev/sda5"), "holds extents of /dev/my-vg/home"},
        {"PV member", isPvOfGroup(*myVg, "/dev/sdb2"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.verdict.allowed, *c.reason == '\0');
        EXPECT_TRUE(c.verdict.reason.contains(QString::fromLatin1(c.reason)) &&
                    (c.verdict.allowed || !c.verdict.reason.isEmpty()))
            << c.verdict.reason.toStdString();
    }
    ASSERT_TRUE(snapshotVolume(volume("scratch_1"), "s1", 8 * kMiB).ok);
    EXPECT_TRUE(canRemoveVolume(volume("scratch_1")).reason.contains("has snapshots (s1)"));
}

} // namespace
