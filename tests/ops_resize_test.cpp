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

QString device(const char* volume)
{
    return QStringLiteral("/dev/vg00/") + QLatin1String(volume);
}

QStringList lvextend(const char* volume, int mib)
{
    return {kLvm, "lvextend", QStringLiteral("-L%1").arg(mib), device(volume)};
}

QStringList e2fsck(const char* volume)
{
    return {"/sbin/e2fsck", "-y", "-f", device(volume)};
}

QStringList resize2fs(const char* volume, int mib)
{
    return {"/sbin/resize2fs", "-f", "-F", device(volume), QStringLiteral("%1M").arg(mib)};
}

QStringList resizeReiserfs(const char* volume, int mib)
{
    return {"/sbin/resize_reiserfs", "-f", "-s", QStringLiteral("%1M").arg(mib), device(volume)};
}

class Resize : public RozOnMachine
{
protected:
    Resize() : RozOnMachine(kMachine) {}

    void SetUp() override
    {
        RozOnMachine::SetUp();
        if (HasFatalFailure())
            return;
        for (unsigned int i = 0; i < vg->lvCount(); ++i) {
            recordOutput(vg->getLv(i), &Lv::output);
            record(vg->getLv(i), &Lv::resizeLv, "resizeLv");
        }
        sim->clearCalls();
    }

    // The runs that change the volume or its file system, in order.
    QList<QStringList> changeCalls() const
    {
        return callsWhere(*sim, [](const QStringList& call) {
            return isToolChange(call) && (call.value(0) != kLvm || call.value(1) == "lvextend");
        });
    }
};

struct Request {
    const char* volume;
    int mib;
    const char* fault; // a step that fails once, printing "<step> failed" (kept in the output); null: none
    int result;
    QList<QStringList> calls;
    QStringList events; // each "resizeLv" names the volume and its first device
    int fsMiB;          // the file system's size on the machine afterwards
    const char* outputEnd = "";
};

// One machine through refusals, failures at each step, a retry and growth of every kind of file
// system. A file system grown past the end of a volume that did not grow is lost; the simulated
// one is marked damaged when that happens. Forced file-system tools cut a file system to whatever
// size they are given: a request below the volume's size must never reach them.
TEST_F(Resize, EachRequestRunsTheChainItsFileSystemAllowsAndNeverDamagesIt)
{
    const char* const below256 = "Dynamic Partition not resized: 64 MB is below its present size of 256 MB\n";
    const char* const notGrown = "not resize file system: the Dynamic Partition has 256 MB, not 1024 MB\n";
    const char* const unknown = "not resize file system, unknown file system\n";
    const char* const unsupported = "not resize file system, unsupported file system\n";
    const QStringList stopped{"output", "output"};
    const QStringList fsStopped{"resizeLv", "output", "output"};
    const QStringList grown{"resizeLv", "output", "resizeLv", "output"};
    const QStringList retried{"output", "resizeLv", "output"};
    const QList<Request> requests{
        {"data", 64, nullptr, 5, {lvextend("data", 64)}, stopped, 256, below256},
        {"data", 1024, "lvextend", 5, {lvextend("data", 1024)}, stopped, 256, notGrown},
        {"raw", 256, nullptr, 0, {lvextend("raw", 256)}, fsStopped, 0, unknown},
        {"scratch", 256, nullptr, -1, {lvextend("scratch", 256)}, fsStopped, 128, unsupported},
        {"media", 512, nullptr, 0, {lvextend("media", 512), resizeReiserfs("media", 512)}, grown, 512},
        {"data", 512, "e2fsck", 8, {lvextend("data", 512), e2fsck("data")}, fsStopped, 256},
        {"data", 768, "resize2fs", 1, {lvextend("data", 768), e2fsck("data"), resize2fs("data", 768)}, fsStopped, 256},
        // lvextend now refuses (the size is already there), yet the file system may safely follow.
        {"data", 768, nullptr, 0, {lvextend("data", 768), e2fsck("data"), resize2fs("data", 768)}, retried, 768},
        {"data", 4096, nullptr, 0, {lvextend("data", 4096), e2fsck("data"), resize2fs("data", 4096)}, grown, 4096},
    };
    for (const Request& c : requests) {
        SCOPED_TRACE(c.calls.last().join(' ').toStdString());
        Lv* lv = vg->getLv(QString::fromLatin1(c.volume));
        ASSERT_NE(lv, nullptr);
        const QString firstLine = QStringLiteral("fs type %1 on Dynamic Partition %2").arg(lv->fstype(), lv->path());
        const int sizeBefore = lv->getAttribute(Lv::Size);
        const QString fault = QString::fromLatin1(c.fault);
        if (fault == "lvextend")
            sim->addFault(kLvm, {fault}, c.result, "lvextend failed\n", 1);
        else if (c.fault)
            sim->addFault("/sbin/" + fault, {}, c.result, fault + " failed\n", 1);
        sim->clearCalls(), events.clear(), outputs.clear();

        EXPECT_EQ(lv->resize({QStringLiteral(" -L%1 ").arg(c.mib)}), c.result);

        EXPECT_EQ(changeCalls(), c.calls);
        QStringList expectedEvents = c.events;
        expectedEvents.replaceInStrings("resizeLv", "resizeLv " + lv->name() + " /dev/sda1");
        EXPECT_EQ(events, expectedEvents);
        EXPECT_TRUE(outputs.last().startsWith(firstLine) && outputs.last().endsWith(QLatin1String(c.outputEnd)) &&
                    (!c.fault || outputs.last().contains(fault + " failed\n")))
            << qPrintable(outputs.last());
        EXPECT_EQ(lv->getAttribute(Lv::Size), c.events.contains("resizeLv") ? c.mib : sizeBefore);
        EXPECT_EQ(stateLv(lv->name()).value("fsSizeKiB").toInteger(), c.fsMiB * kMiB);
        EXPECT_FALSE(stateLv(lv->name()).value("damaged").toBool());
    }
    EXPECT_EQ(vg->getLv("data")->pvString(), "/dev/sda1:/dev/sda2"); // spilled onto sda2
}

TEST_F(Resize, MalformedSizeIsRefusedBeforeAnyTool)
{
    Lv* data = vg->getLv("data");
    ASSERT_NE(data, nullptr);
    const QList<QStringList> refused = {{}, {"-L"}, {"  -L  "}, {"-Lbig"}};
    for (const QStringList& args : refused) {
        outputs.clear();
        EXPECT_EQ(data->resize(args), -1) << args.join(' ').toStdString();
        EXPECT_EQ(outputs, QStringList{"Dynamic Partition not resized: expected the new size as \"-L<MB>\"\n"});
    }
    EXPECT_EQ(data->resize({"-L99999999999"}), -1);
    EXPECT_EQ(outputs.last(), "Dynamic Partition not resized: size 99999999999 MB is out of range\n");
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(data->getAttribute(Lv::Size), 256);
}

// A snapshot's request sizes its copy-on-write area; the file system it shows is its origin's
// point-in-time copy and is never resized.
TEST_F(Resize, SnapshotGrowsItsCopyOnWriteAreaOnly)
{
    Lv* snapshot = vg->getLv("snapdata");
    ASSERT_NE(snapshot, nullptr);
    const QJsonObject origin = stateLv("data");

    EXPECT_EQ(snapshot->resize({"-L128"}), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{lvextend("snapdata", 128)}));
    EXPECT_EQ(events, (QStringList{"resizeLv snapdata /dev/sda1", "output", "output"}));
    EXPECT_EQ(stateLv("data"), origin);
    EXPECT_FALSE(stateLv("snapdata").value("damaged").toBool());
}

} // namespace
