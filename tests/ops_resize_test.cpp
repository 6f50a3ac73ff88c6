// Growing a logical volume with its file system end to end through a Roz on the simulated machine:
// the tool chain per file system, the result rules, and that no failure can damage a file system.
#include "modeltest.h"

namespace {

// All volumes start on sda1; growing data to 4 GiB spills it onto sda2.
const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 2, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "vg00"}, {"device": "/dev/sda2", "vg": "vg00"}],
  "vgs": [{"name": "vg00", "lvs": [
    {"name": "data", "fstype": "ext3", "sizeMiB": 256},
    {"name": "snapdata", "origin": "data", "sizeMiB": 64},
    {"name": "media", "fstype": "reiserfs", "sizeMiB": 256},
    {"name": "raw", "sizeMiB": 128},
    {"name": "scratch", "fstype": "xfs", "sizeMiB": 128}]}]
})";

constexpr qint64 kMiB = 1024;

class Resize : public RozOnMachine
{
protected:
    Resize() : RozOnMachine(kMachine) {}

    void SetUp() override
    {
        RozOnMachine::SetUp();
        if (!HasFatalFailure())
            sim->clearCalls();
    }

    Lv* volume(const QString& name)
    {
        Lv* lv = vg->getLv(name);
        if (!lv)
            return nullptr;
        recordOutput(lv, &Lv::output);
        record(lv, &Lv::resizeLv, "resizeLv");
        return lv;
    }

    // The runs that change the volume or its file system, in order.
    QList<QStringList> changeCalls() const
    {
        return callsWhere(*sim, [](const QStringList& call) {
            return isToolChange(call) && (call.value(0) != kLvm || call.value(1) == "lvextend");
        });
    }
};

TEST_F(Resize, GrowingAnExt3OriginRunsTheChainAndBringsItsSnapshotsAlong)
{
    Lv* data = volume("data");
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->pvString(), "/dev/sda1");

    EXPECT_EQ(data->resize({" -L4096 "}), 0);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L4096", "/dev/vg00/data"},
                                                 {"/sbin/e2fsck", "-y", "-f", "/dev/vg00/data"},
                                                 {"/sbin/resize2fs", "-f", "-F", "/dev/vg00/data", "4096M"}}));
    EXPECT_EQ(events, (QStringList{"resizeLv data /dev/sda1", "output", "resizeLv data /dev/sda1", "output"}));
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_TRUE(outputs.at(1).startsWith("fs type ext3 on Dynamic Partition /dev/vg00/data"));
    EXPECT_TRUE(outputs.at(1).startsWith(outputs.at(0)));

    EXPECT_EQ(data->getAttribute(Lv::Size), 4096);
    EXPECT_EQ(data->pvString(), "/dev/sda1:/dev/sda2");
    Lv* snapshot = vg->getLv("snapdata");
    EXPECT_EQ(snapshot->getAttribute(Lv::Size), 4096);
    EXPECT_EQ(snapshot->getAttribute(Lv::AllocatedLe), data->getAttribute(Lv::AllocatedLe));
    EXPECT_EQ(snapshot->getAttribute(Lv::CurrentLe), data->getAttribute(Lv::CurrentLe));
    EXPECT_TRUE(roz->getHard()->getPv("/dev/sda2")->lvString().split(':').contains("/dev/vg00/data"));

    EXPECT_EQ(stateLv("data").value("fsSizeKiB").toInteger(), 4096 * kMiB);
    EXPECT_FALSE(stateLv("data").value("damaged").toBool());
}

TEST_F(Resize, ReiserfsGrowsWithoutRepeatingLvextend)
{
    Lv* media = volume("media");
    ASSERT_NE(media, nullptr);

    EXPECT_EQ(media->resize({"-L512"}), 0);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L512", "/dev/vg00/media"},
                                                 {"/sbin/resize_reiserfs", "-f", "-s", "512M", "/dev/vg00/media"}}));
    EXPECT_EQ(events, (QStringList{"resizeLv media /dev/sda1", "output", "resizeLv media /dev/sda1", "output"}));
    EXPECT_TRUE(outputs.value(1).startsWith("fs type reiserfs on Dynamic Partition /dev/vg00/media"));
    EXPECT_EQ(media->getAttribute(Lv::Size), 512);
    EXPECT_EQ(stateLv("media").value("fsSizeKiB").toInteger(), 512 * kMiB);
    EXPECT_FALSE(stateLv("media").value("damaged").toBool());
}

struct ToollessCase {
    const char* volume;
    int result;
    const char* tail;
};

void PrintTo(const ToollessCase& c, std::ostream* out)
{
    *out << c.volume;
}

class ResizeWithoutFileSystemTool : public Resize, public ::testing::WithParamInterface<ToollessCase>
{
};

TEST_P(ResizeWithoutFileSystemTool, GrowsOnlyTheVolumeAndSaysWhy)
{
    const ToollessCase& c = GetParam();
    Lv* lv = volume(QString::fromLatin1(c.volume));
    ASSERT_NE(lv, nullptr);

    EXPECT_EQ(lv->resize({"-L256"}), c.result);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L256", lv->path()}}));
    EXPECT_EQ(lv->getAttribute(Lv::Size), 256);
    EXPECT_EQ(events.count("output"), 2);
    EXPECT_TRUE(outputs.value(1).endsWith(QStringLiteral("not resize file system, ") + QString::fromLatin1(c.tail)));
}

INSTANTIATE_TEST_SUITE_P(EachKind, ResizeWithoutFileSystemTool,
                         ::testing::Values(ToollessCase{"raw", 0, "unknown file system\n"},
                                           ToollessCase{"scratch", -1, "unsupported file system\n"}));

class FailedGrowth : public Resize, public ::testing::WithParamInterface<const char*>
{
};

// A file system grown past the end of a volume that did not grow is lost; the simulated one is
// marked damaged when that happens.
TEST_P(FailedGrowth, RunsNoFileSystemToolAndCannotDamageTheFileSystem)
{
    const QString name = QString::fromLatin1(GetParam());
    Lv* lv = volume(name);
    ASSERT_NE(lv, nullptr);
    const QJsonObject before = stateLv(name);
    sim->addFault(kLvm, {"lvextend"}, 5, "  Insufficient free space\n");

    EXPECT_EQ(lv->resize({"-L1024"}), 5);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L1024", lv->path()}}));
    EXPECT_EQ(events, (QStringList{"output", "output"}));
    EXPECT_TRUE(outputs.value(1).contains("Insufficient free space"));
    EXPECT_EQ(lv->getAttribute(Lv::Size), 256);
    EXPECT_EQ(stateLv(name), before);
    EXPECT_FALSE(stateLv(name).value("damaged").toBool());
}

INSTANTIATE_TEST_SUITE_P(EachFileSystem, FailedGrowth, ::testing::Values("data", "media"));

TEST_F(Resize, RetryAfterAFailedFileSystemStepFinishesIt)
{
    Lv* data = volume("data");
    ASSERT_NE(data, nullptr);
    sim->addFault("/sbin/resize2fs", {}, 1, "resize2fs: simulated failure\n", 1);

    EXPECT_EQ(data->resize({"-L512"}), 1);
    EXPECT_EQ(data->getAttribute(Lv::Size), 512);
    EXPECT_EQ(events, (QStringList{"resizeLv data /dev/sda1", "output", "output"}));
    EXPECT_EQ(stateLv("data").value("fsSizeKiB").toInteger(), 256 * kMiB);

    // lvextend now refuses (the size is already there), yet the file system may safely follow.
    sim->clearCalls();
    events.clear();
    EXPECT_EQ(data->resize({"-L512"}), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L512", "/dev/vg00/data"},
                                                 {"/sbin/e2fsck", "-y", "-f", "/dev/vg00/data"},
                                                 {"/sbin/resize2fs", "-f", "-F", "/dev/vg00/data", "512M"}}));
    EXPECT_EQ(events, (QStringList{"output", "resizeLv data /dev/sda1", "output"}));
    EXPECT_EQ(stateLv("data").value("fsSizeKiB").toInteger(), 512 * kMiB);
    EXPECT_FALSE(stateLv("data").value("damaged").toBool());
}

TEST_F(Resize, FailedCheckStopsBeforeResize2fs)
{
    Lv* data = volume("data");
    ASSERT_NE(data, nullptr);
    sim->addFault("/sbin/e2fsck", {}, 8, "e2fsck: simulated failure\n");

    EXPECT_EQ(data->resize({"-L512"}), 8);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L512", "/dev/vg00/data"},
                                                 {"/sbin/e2fsck", "-y", "-f", "/dev/vg00/data"}}));
    EXPECT_EQ(events, (QStringList{"resizeLv data /dev/sda1", "output", "output"}));
    EXPECT_TRUE(outputs.value(1).endsWith("e2fsck: simulated failure\n"));
    EXPECT_EQ(stateLv("data").value("fsSizeKiB").toInteger(), 256 * kMiB);
}

TEST_F(Resize, MalformedSizeIsRefusedBeforeAnyTool)
{
    Lv* data = volume("data");
    ASSERT_NE(data, nullptr);
    const QList<QStringList> refused = {{}, {"-L"}, {"  -L  "}, {"-Lbig"}};
    for (const QStringList& args : refused) {
        events.clear();
        outputs.clear();
        EXPECT_EQ(data->resize(args), -1) << args.join(' ').toStdString();
        EXPECT_EQ(events, QStringList{"output"});
        EXPECT_EQ(outputs.value(0).count('\n'), 1);
    }
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(data->getAttribute(Lv::Size), 256);
}

// Forced file-system tools cut a file system to whatever size they are given: a request below the
// volume's size must never reach them, whatever the file system.
TEST_F(Resize, ShrinkRequestNeverReachesAFileSystemTool)
{
    for (const char* name : {"data", "media", "raw"}) {
        Lv* lv = volume(QString::fromLatin1(name));
        ASSERT_NE(lv, nullptr);
        const int size = lv->getAttribute(Lv::Size);
        const QJsonObject before = stateLv(lv->name());
        sim->clearCalls();
        outputs.clear();
        EXPECT_NE(lv->resize({"-L64"}), 0) << name;
        EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L64", lv->path()}})) << name;
        EXPECT_TRUE(outputs.value(1).endsWith(
            QStringLiteral("Dynamic Partition not resized: 64 MB is below its present size of %1 MB\n").arg(size)))
            << qPrintable(outputs.value(1));
        EXPECT_EQ(stateLv(lv->name()), before) << name;
    }
}

// A snapshot's request sizes its copy-on-write area; the file system it shows is its origin's
// point-in-time copy and is never resized.
TEST_F(Resize, SnapshotGrowsItsCopyOnWriteAreaOnly)
{
    Lv* snapshot = volume("snapdata");
    ASSERT_NE(snapshot, nullptr);
    const QJsonObject origin = stateLv("data");

    EXPECT_EQ(snapshot->resize({"-L128"}), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "lvextend", "-L128", "/dev/vg00/snapdata"}}));
    EXPECT_EQ(events, (QStringList{"resizeLv snapdata /dev/sda1", "output", "output"}));

    EXPECT_NE(snapshot->resize({"-L100"}), 0);
    EXPECT_TRUE(outputs.last().endsWith("Dynamic Partition not resized: 100 MB is below its present size of 128 MB\n"));
    EXPECT_EQ(stateLv("data"), origin);
    EXPECT_FALSE(stateLv("snapdata").value("damaged").toBool());
}

} // namespace
