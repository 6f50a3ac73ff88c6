// The typed calls and the safety queries on the default simulated machine: which step failed,
// with which code, for a success, a refusal and a tool failure; byte sizes; each query's verdicts.
#include "modeltest.h"
#include "operations.h"
#include "safety.h"

namespace {

const QString kParted = "/sbin/parted";
constexpr qint64 kMiB = 1024 * 1024;

class Typed : public ::testing::Test
{
public: // the call tables reach the model through the fixture
    void SetUp() override
    {
        sim = std::make_unique<SimRoot>("default", sim::ToolSet::Classic);
        roz = std::make_unique<Roz>();
        myVg = roz->getLvm()->getVg("my-vg");
        ASSERT_NE(myVg, nullptr);
    }

    // A new machine and model: roz and the old root go before the new root is laid out.
    void fresh()
    {
        roz.reset(), sim.reset();
        SetUp();
    }

    Lv& volume(const char* name) { return *myVg->getLv(QString::fromLatin1(name)); }
    Partition& partition(const char* path) { return *roz->getHard()->getPv(QString::fromLatin1(path)); }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
    Vg* myVg = nullptr;
};

struct CallCase {
    const char* what;
    struct {
        QString program; // empty: no fault
        QStringList args;
        int code;
    } fault;
    std::function<OperationResult(Typed&)> call;
    bool ok;
    const char* failedStep;
    int exitCode;
    const char* messagePart;
};

TEST_F(Typed, EachCallNamesTheStepThatFailedAndItsCode)
{
    using Call = std::function<OperationResult(Typed&)>;
    const auto group = [](const char* device, qint64 extentBytes) -> Call {
        return [=](Typed& t) { return createGroup(*t.roz->getLvm(), "fresh", {device}, extentBytes); };
    };
    const auto make = [](const char* name, FileSystem fs) -> Call {
        return [=](Typed& t) { return createVolume(*t.myVg, name, 64 * kMiB, fs); };
    };
    const auto grow = [](qint64 mib) -> Call {
        return [=](Typed& t) { return growVolume(t.volume("scratch_1"), mib * kMiB); };
    };
    const auto snap = [](const char* origin) -> Call {
        return [=](Typed& t) { return snapshotVolume(t.volume(origin), "s1", 52 * kMiB); };
    };
    const auto onGroup = [](OperationResult (*change)(Vg&)) -> Call {
        return [=](Typed& t) { return change(*t.myVg); };
    };
    const Call extend = [](Typed& t) { return extendGroup(*t.myVg, {"/dev/sdc3"}); };
    const int noFs = kVolumeWithoutFileSystem;
    const QList<CallCase> cases{
        {"group made", {}, group("/dev/sdc3", 4 * kMiB), true, "", 0, "created"},
        {"extent no power of two", {}, group("/dev/sdc3", 3 * kMiB), false, "", -1, "power of two"},
        {"mounted partition", {}, group("/dev/sda2", 4 * kMiB), false, "", -1, "mounted"},
        {"parted fails", {kParted, {}, 1}, group("/dev/sdc3", 4 * kMiB), false, "parted", 1, "could not mark"},
        {"vgcreate fails", {kLvm, {"vgcreate"}, 5}, group("/dev/sdc3", 4 * kMiB), false, "vgcreate", 5, "it failed"},
        {"volume name taken", {}, make("music", FileSystem::Ext3), false, "", -1, "already has"},
        {"mke2fs fails", {"/sbin/mke2fs", {}, 1}, make("fresh", FileSystem::Ext2), false, "mkfs", noFs, "manually"},
        {"volume grown", {}, grow(3072), true, "", 0, ""},
        {"shrink", {}, grow(1024), false, "", -1, "only grow"},
        {"lvextend fails", {kLvm, {"lvextend"}, 5}, grow(3072), false, "lvextend", 5, "has 2048 MB, not 3072"},
        {"snapshot made", {}, snap("scratch_1"), true, "", 0, ""},
        {"snapshot of a snapshot", {}, snap("snap1"), false, "", -1, "itself a snapshot"},
        {"origin kept", {}, [](Typed& t) { return removeVolume(t.volume("home")); }, false, "", -1, "snapshots"},
        {"group with volumes kept", {}, onGroup(removeGroup), false, "", -1, "still holds volumes"},
        {"bad group name", {}, [](Typed& t) { return renameGroup(*t.myVg, "-x"); }, false, "", -1, "not a valid"},
        {"frozen", {}, onGroup(freezeGroup), true, "", 0, ""},
        {"pvcreate fails on extend", {kLvm, {"pvcreate"}, 5}, extend, false, "pvcreate", 5, "it failed"},
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
        EXPECT_TRUE(!result.refused() || callsWhere(*sim, isToolChange).isEmpty());
    }
}

TEST_F(Typed, BytesBecomeWholeMiBRoundedUpAndExtentsAreChecked)
{
    const QList<qint64> mib{bytesToMiB(1), bytesToMiB(kMiB), bytesToMiB(kMiB + 1), bytesToMiB(0), bytesToMiB(-kMiB)};
    EXPECT_EQ(mib, (QList<qint64>{1, 1, 2, -1, -1}));
    EXPECT_TRUE(createVolume(*myVg, "tiny", 1, FileSystem::None).ok);
    EXPECT_TRUE(sim->callLines().contains(kLvm + " lvcreate -L 1M -ntiny my-vg"));
    EXPECT_TRUE(createVolume(*myVg, "none", 0, FileSystem::None).refused());

    const QList<QPair<qint64, QString>> extents{
        {8 * 1024, "-s8k"}, {4 * 1024, ""}, {12 * 1024, ""}, {64 * kMiB, "-s64M"}};
    const auto vgcreate = [](const QStringList& call) { return call.value(1) == "vgcreate"; };
    for (const auto& [bytes, option] : extents) {
        SCOPED_TRACE(bytes);
        sim->clearCalls();
        EXPECT_EQ(createGroup(*roz->getLvm(), "g", {"/dev/sdc3"}, bytes).refused(), option.isEmpty());
        EXPECT_EQ(callsWhere(*sim, vgcreate).value(0).value(2), option);
        if (Vg* made = roz->getLvm()->getVg("g"))
            removeGroup(*made);
    }
}

TEST_F(Typed, SafetyQueriesGiveTheirReason)
{
    ASSERT_TRUE(createGroup(*roz->getLvm(), "empty", {"/dev/sdc3"}, 4 * kMiB).ok);
    const Vg& backup = *roz->getLvm()->getVg("vg.backup");
    const struct {
        const char* what;
        Verdict verdict;
        const char* reason; // empty: allowed
    } cases[] = {
        {"group name taken", canNameGroup(*roz->getLvm(), "my-vg"), "already exists"},
        {"group name invalid", canNameGroup(*roz->getLvm(), "a/b"), "not a valid"},
        {"volume name taken", canNameVolume(*myVg, "music"), "already has a volume"},
        {"volume name with -", canNameVolume(*myVg, "-n"), "starts with"},
        {"group with volumes", canRemoveGroup(*myVg), "/dev/my-vg/home"},
        {"origin", canRemoveVolume(volume("home")), "has snapshots (snap1, home.daily)"},
        {"shrink", isGrowth(volume("scratch_1"), 1024 * kMiB), "2048 MiB; volumes only grow"},
        {"beyond free space", canGrowVolume(volume("scratch_1"), 1024 * 1024 * kMiB), "MiB free"},
        {"within free space", canGrowVolume(volume("scratch_1"), 2049 * kMiB), ""},
        {"snapshot of a snapshot", canSnapshot(*myVg, volume("snap1"), "x"), "itself a snapshot"},
        {"snapshot name taken", canSnapshot(*myVg, volume("scratch_1"), "music"), "already has a volume"},
        {"mounted partition", canAddToGroup(partition("/dev/sda2")), "mounted on /"},
        {"partition of a group", canAddToGroup(partition("/dev/sda5")), "already belongs to /dev/my-vg"},
        {"not a PV of the group", canReducePv(*myVg, "/dev/sdc3"), "not a physical volume"},
        {"last PV", canReducePv(backup, "/dev/sda6"), "last physical volume"},
        {"PV in use", canReducePv(*myVg, "/dev/sda5"), "holds extents of /dev/my-vg/home"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.verdict.allowed, *c.reason == '\0');
        EXPECT_TRUE(c.verdict.reason.contains(QString::fromLatin1(c.reason)) &&
                    (c.verdict.allowed || !c.verdict.reason.isEmpty()))
            << c.verdict.reason.toStdString();
    }
    ASSERT_TRUE(removeVolume(volume("snap1")).ok && removeVolume(volume("home.daily")).ok);
    EXPECT_TRUE(canRemoveVolume(volume("home")).reason.contains("mounted on /home"));
}

} // namespace
