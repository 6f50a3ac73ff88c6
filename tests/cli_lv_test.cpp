// roz lv ...: every volume operation's success, refusal and failure, the state it leaves and what it prints.
#include "cli_support.h"

#include <functional>

namespace {

const QString lvm = "/sbin/lvm.static";

class CliLv : public RozCase
{
protected:
    RozRun lv(const QStringList& args) { return roz(QStringList{"lv"} + args); }

    int stateExtents(const QString& group, const QString& name)
    {
        int extents = 0;
        for (const QJsonValue& segment : stateVolume(group, name).value("segments").toArray())
            extents += segment.toObject().value("count").toInt();
        return extents;
    }
};

TEST_F(CliLv, CreateMakesTheVolumeAndTheRequestedFileSystem)
{
    const RozRun run = lv({"create", "my-vg", "web", "--size", "100M", "--fs", "ext2"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(sim.callLines().contains(lvm + " lvcreate -L 100M -nweb my-vg"));
    EXPECT_TRUE(sim.callLines().contains("/sbin/mke2fs /dev/my-vg/web")) << sim.callLines().join('\n').toStdString();
    EXPECT_EQ(stateVolume("my-vg", "web").value("fstype").toString(), "ext2");
    EXPECT_EQ(stateExtents("my-vg", "web"), 25);
    EXPECT_TRUE(run.out.contains("\n+ my-vg/web "));

    ASSERT_EQ(lv({"create", "my-vg", "raw", "--size", "1G", "--fs", "none"}).exitCode, 0);
    EXPECT_TRUE(sim.callLines().contains("/bin/ls /dev/my-vg/raw"));
    EXPECT_EQ(stateExtents("my-vg", "raw"), 256);

    sim.addFault("/sbin/mke2fs", {}, 1, "mke2fs: device busy\n");
    const RozRun noFs = lv({"create", "my-vg", "web2", "--size", "8M"});
    EXPECT_EQ(noFs.exitCode, 1);
    EXPECT_TRUE(noFs.err.contains("its file system was not")) << noFs.err.toStdString();
    EXPECT_TRUE(noFs.out.contains("result: 256"));
    EXPECT_FALSE(stateVolume("my-vg", "web2").isEmpty()); // the volume stays
}

// Each row runs on the machine the rows before it left.
TEST_F(CliLv, SnapshotRemoveAndRenameChangeTheStateAndShowTheChangedRows)
{
    struct Step {
        QStringList args;
        QString call; // an lvm run it makes, if given
        QStringList shown;
        std::function<bool()> done;
    };
    const QList<Step> steps{
        {{"snapshot", "my-vg/scratch_1", "s1", "--size", "52M"},
         "lvcreate -s -ns1 -L 52M /dev/my-vg/scratch_1",
         {"origin of s1", "snapshot of scratch_1"},
         [&] { return stateVolume("my-vg", "s1").value("origin").toString() == "scratch_1"; }},
        {{"remove", "my-vg/s1"}, "", {"\n- my-vg/s1 "}, [&] { return stateVolume("my-vg", "s1").isEmpty(); }},
        {{"rename", "my-vg/scratch_1", "scratch2"},
         "",
         {"\n- my-vg/scratch_1 ", "\n+ my-vg/scratch2 "},
         [&] { return stateVolume("my-vg", "scratch_1").isEmpty() && !stateVolume("my-vg", "scratch2").isEmpty(); }},
        {{"remove", "/dev/my-vg/scratch2"},
         "",
         {"\n- my-vg/scratch2 "},
         [&] { return stateVolume("my-vg", "scratch2").isEmpty(); }},
    };
    for (const Step& step : steps) {
        const RozRun run = lv(step.args);
        ASSERT_EQ(run.exitCode, 0) << step.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(step.call.isEmpty() || sim.callLines().contains(lvm + " " + step.call));
        EXPECT_TRUE(step.done()) << step.args.join(' ').toStdString();
        for (const QString& text : step.shown)
            EXPECT_TRUE(run.out.contains(text)) << step.args.join(' ').toStdString() << run.out.toStdString();
    }
}

// Refused from the model's view (exit 2): no tool that changes anything runs.
TEST_F(CliLv, RefusalsRunNoChangingToolAndLeaveTheMachineAsItWas)
{
    const QList<std::pair<QStringList, QString>> refused{
        {{"create", "my-vg", "home", "--size", "8M"}, ""}, // exists already
        {{"create", "nosuch", "x", "--size", "8M"}, ""},
        {{"rename", "my-vg/scratch_1", "music"}, ""},
        {{"remove", "my-vg/home"}, "snap1"},                         // has snapshots
        {{"snapshot", "my-vg/snap1", "s2", "--size", "8M"}, ""},     // of a snapshot
        {{"resize", "my-vg/scratch_1", "--size", "1G"}, "2048 MiB"}, // volumes only grow
    };
    const QJsonObject before = sim.state();
    for (const auto& [args, message] : refused) {
        const RozRun run = lv(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
    EXPECT_TRUE(callsWhere(sim, isToolChange).isEmpty()) << sim.callLines().join('\n').toStdString();
    EXPECT_EQ(sim.state(), before);
}

// A tool that fails (faults last for one run): exit 1, the reason on stderr, no success line, and
// the groups and volumes as they were. roz reads a resize's outcome from the model rather than
// trusting the result alone.
TEST_F(CliLv, ToolFailuresExitWithTheReasonAndLeaveTheVolumes)
{
    struct Failure {
        QStringList args;
        QStringList fault; // lvm arguments that fail, or empty when the machine itself refuses
        QString message;
        QString toolSays; // what the failing run prints, when not `message`
    };
    ASSERT_EQ(lv({"create", "my-vg", "raw", "--size", "8M", "--fs", "none"}).exitCode, 0);
    const QString noRoom = "Insufficient suitable allocatable extents";
    const QList<Failure> failures{
        {{"create", "my-vg", "huge", "--size", "900G"}, {}, "Insufficient free extents"},
        {{"rename", "/dev/my-vg/scratch_1", "other"}, {"lvrename"}, "rename refused"},
        {{"remove", "my-vg/scratch_1"}, {"lvremove"}, "Can't remove open logical volume"},
        {{"snapshot", "my-vg/music", "s3", "--size", "8M"}, {"lvcreate"}, "snapshot refused"},
        {{"resize", "my-vg/raw", "--size", "16M"}, {"lvextend"}, "the volume was not grown: it is still 8 MiB", noRoom},
        {{"resize", "my-vg/scratch_1", "--size", "4096M"}, {"lvextend"}, "it is still 2048 MiB", noRoom},
    };
    for (const Failure& failure : failures) {
        if (!failure.fault.isEmpty())
            sim.addFault(lvm, failure.fault, 5,
                         "  " + (failure.toolSays.isEmpty() ? failure.message : failure.toolSays) + "\n", 1);
        const QJsonValue groups = groupsOf(sim);
        const RozRun run = lv(failure.args);
        EXPECT_EQ(run.exitCode, 1) << failure.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(failure.message)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("(success)"));
        EXPECT_EQ(groupsOf(sim), groups) << failure.args.join(' ').toStdString();
    }
}

TEST_F(CliLv, ResizeGrowsTheVolumeAndItsFileSystem)
{
    const RozRun run = lv({"resize", "my-vg/scratch_1", "--size", "3072M"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(sim.callLines().contains(lvm + " lvextend -L3072 /dev/my-vg/scratch_1"));
    EXPECT_TRUE(sim.callLines().contains("/sbin/resize2fs -f -F /dev/my-vg/scratch_1 3072M"));
    EXPECT_EQ(stateExtents("my-vg", "scratch_1"), 768);
    EXPECT_TRUE(run.out.contains("\n+ my-vg/scratch_1  3072 "));
    // resize hands over its growing transcript more than once; each line is shown once.
    EXPECT_EQ(run.out.count("fs type ext2 on Dynamic Partition /dev/my-vg/scratch_1"), 1);
    EXPECT_EQ(run.out.count("resize2fs"), 1) << run.out.toStdString();

    ASSERT_EQ(lv({"resize", "my-vg/scratch_1", "--size", "+1G"}).exitCode, 0);
    EXPECT_EQ(stateExtents("my-vg", "scratch_1"), 1024);
}

// The library leaves a file system it cannot grow alone; roz says the volume grew and its file
// system did not, with exit 4, whether the type is unknown or one the library does not grow.
TEST_F(CliLv, ResizeThatGrowsOnlyTheVolumeIsPartlyDone)
{
    ASSERT_EQ(lv({"create", "my-vg", "raw", "--size", "8M", "--fs", "none"}).exitCode, 0);
    const RozRun unknown = lv({"resize", "my-vg/raw", "--size", "16M"});
    EXPECT_EQ(unknown.exitCode, 4);
    EXPECT_TRUE(
        unknown.err.contains("roz: the volume grew to 16 MiB but its file system was not grown: its type is unknown"))
        << unknown.err.toStdString();
    EXPECT_EQ(stateExtents("my-vg", "raw"), 4);

    // A type the library does not grow, put into the simulated state's record of the volume.
    QJsonObject state = sim.state();
    QJsonArray groups = state["vgs"].toArray();
    QJsonObject group = groups[0].toObject();
    QJsonArray volumes = group["lvs"].toArray();
    QJsonObject raw = volumes[volumes.size() - 1].toObject();
    ASSERT_EQ(group["name"].toString() + "/" + raw["name"].toString(), "my-vg/raw");
    raw["fstype"] = "vfat";
    volumes[volumes.size() - 1] = raw;
    group["lvs"] = volumes;
    groups[0] = group;
    state["vgs"] = groups;
    sim.setState(state);
    const RozRun unsupported = lv({"resize", "my-vg/raw", "--size", "24M"});
    EXPECT_EQ(unsupported.exitCode, 4);
    EXPECT_TRUE(unsupported.err.contains(QStringLiteral("grew to 24 MiB but its file system was not grown: the library "
                                                        "cannot grow a file system of type \"vfat\"")))
        << unsupported.err.toStdString();
}

} // namespace
