// roz lv ...: every volume operation's success and failure, the state it leaves and what it prints.
#include "cli_support.h"

namespace {

const QString lvm = "/sbin/lvm.static";

class CliLv : public RozCase
{
protected:
    RozRun lv(const QStringList& args) { return roz(QStringList{"lv"} + args); }

    void expectToolFailure(const RozRun& run, const QString& message)
    {
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }

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
}

TEST_F(CliLv, CreateFailures)
{
    expectToolFailure(lv({"create", "my-vg", "huge", "--size", "900G"}), "Insufficient free extents");
    EXPECT_TRUE(stateVolume("my-vg", "huge").isEmpty());

    sim.addFault("/sbin/mke2fs", {}, 1, "mke2fs: device busy\n");
    const RozRun noFs = lv({"create", "my-vg", "web", "--size", "8M"});
    expectToolFailure(noFs, "its file system was not");
    EXPECT_TRUE(noFs.out.contains("result: 256"));
    EXPECT_FALSE(stateVolume("my-vg", "web").isEmpty()); // the volume stays

    EXPECT_EQ(lv({"create", "my-vg", "home", "--size", "8M"}).exitCode, 2); // exists already
    EXPECT_EQ(lv({"create", "nosuch", "x", "--size", "8M"}).exitCode, 2);
}

TEST_F(CliLv, RenameFollowsThroughToTheState)
{
    const RozRun run = lv({"rename", "my-vg/scratch_1", "scratch2"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(stateVolume("my-vg", "scratch_1").isEmpty());
    EXPECT_FALSE(stateVolume("my-vg", "scratch2").isEmpty());
    EXPECT_TRUE(run.out.contains("\n- my-vg/scratch_1 ") && run.out.contains("\n+ my-vg/scratch2 "));

    EXPECT_EQ(lv({"rename", "my-vg/scratch2", "music"}).exitCode, 2);
    sim.addFault(lvm, {"lvrename"}, 5, "  rename refused\n");
    expectToolFailure(lv({"rename", "/dev/my-vg/scratch2", "other"}), "rename refused");
    EXPECT_FALSE(stateVolume("my-vg", "scratch2").isEmpty());
}

TEST_F(CliLv, RemoveTakesAVolumeButNotAnOriginWithSnapshots)
{
    const RozRun refused = lv({"remove", "my-vg/home"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("snap1"));
    EXPECT_FALSE(ran("lvremove"));

    sim.addFault(lvm, {"lvremove"}, 5, "  Can't remove open logical volume\n", 1);
    expectToolFailure(lv({"remove", "my-vg/scratch_1"}), "Can't remove open logical volume");
    EXPECT_FALSE(stateVolume("my-vg", "scratch_1").isEmpty());

    const RozRun removed = lv({"remove", "my-vg/scratch_1"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_TRUE(stateVolume("my-vg", "scratch_1").isEmpty());
    EXPECT_TRUE(removed.out.contains("\n- my-vg/scratch_1 "));
}

TEST_F(CliLv, SnapshotLinksTheNewVolumeToItsOrigin)
{
    const RozRun run = lv({"snapshot", "my-vg/scratch_1", "s1", "--size", "52M"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(sim.callLines().contains(lvm + " lvcreate -s -ns1 -L 52M /dev/my-vg/scratch_1"));
    EXPECT_EQ(stateVolume("my-vg", "s1").value("origin").toString(), "scratch_1");
    EXPECT_TRUE(run.out.contains("origin of s1") && run.out.contains("snapshot of scratch_1"));

    EXPECT_EQ(lv({"snapshot", "my-vg/snap1", "s2", "--size", "8M"}).exitCode, 2); // of a snapshot
    sim.addFault(lvm, {"lvcreate"}, 5, "  snapshot refused\n");
    expectToolFailure(lv({"snapshot", "my-vg/music", "s3", "--size", "8M"}), "snapshot refused");
    EXPECT_TRUE(stateVolume("my-vg", "s3").isEmpty());
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

TEST_F(CliLv, ResizeRefusesShrinkingAndReportsAVolumeThatDidNotGrow)
{
    sim.clearCalls();
    const RozRun shrink = lv({"resize", "my-vg/scratch_1", "--size", "1G"});
    EXPECT_EQ(shrink.exitCode, 2);
    EXPECT_TRUE(shrink.err.contains("2048 MiB"));
    EXPECT_FALSE(ran("lvextend"));

    // roz reads the size from the model rather than trusting the result alone.
    ASSERT_EQ(lv({"create", "my-vg", "raw", "--size", "8M", "--fs", "none"}).exitCode, 0);
    sim.addFault(lvm, {"lvextend"}, 5, "  Insufficient suitable allocatable extents\n");
    const RozRun stuck = lv({"resize", "my-vg/raw", "--size", "16M"});
    expectToolFailure(stuck, "the volume was not grown: it is still 8 MiB");
    EXPECT_EQ(stateExtents("my-vg", "raw"), 2);

    const RozRun ext = lv({"resize", "my-vg/scratch_1", "--size", "4096M"});
    EXPECT_EQ(ext.exitCode, 1);
    EXPECT_EQ(stateExtents("my-vg", "scratch_1"), 512);
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
