// Creating a logical volume with its file system end to end through a Roz on the simulated
// machine: the file-system choice, the 256 result, registration, and the requests refused.
#include "modeltest.h"

namespace {

const QString kMakeFsManually = "You need to make an file system on the newly created Dynamic Partition manually!";

// vg00 with one volume, all on sda1.
const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 8388608, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "vg00"}],
  "vgs": [{"name": "vg00", "lvs": [{"name": "data", "fstype": "ext3", "sizeMiB": 256}]}]
})";

QStringList request(const QString& fsRequest, const QString& name)
{
    return {fsRequest, "-L64", "vg00", QStringLiteral("-n") + name};
}

class CreateLv : public RozOnMachine
{
protected:
    CreateLv() : RozOnMachine(kMachine) {}

    void SetUp() override
    {
        RozOnMachine::SetUp();
        if (HasFatalFailure())
            return;
        recordOutput(vg, &Vg::output);
        record(vg, &Vg::oneLvAdded, "oneLvAdded");
        sim->clearCalls();
    }

    // The runs after lvcreate that are not reads of the new record.
    QList<QStringList> fileSystemCalls() const
    {
        return callsWhere(*sim, [](const QStringList& call) { return call.value(0) != kLvm && isToolChange(call); });
    }
};

struct FileSystemCase {
    const char* fsRequest;
    QStringList expectedCall;
    const char* debugLine;
    const char* fstypeAfter;
};

void PrintTo(const FileSystemCase& c, std::ostream* out)
{
    *out << '"' << c.fsRequest << '"';
}

class CreateLvFileSystem : public CreateLv, public ::testing::WithParamInterface<FileSystemCase>
{
};

TEST_P(CreateLvFileSystem, MakesTheRequestedFileSystemAndRegistersTheVolume)
{
    const FileSystemCase& c = GetParam();
    MessageCapture capture;

    EXPECT_EQ(vg->createLv(request(QString::fromLatin1(c.fsRequest), "fresh")), 0);

    ASSERT_FALSE(sim->calls().isEmpty());
    EXPECT_EQ(sim->calls().first(), (QStringList{kLvm, "lvcreate", "-L64", "vg00", "-nfresh"}));
    // Today's tools have no device check: the re-read finds the volume.
    const bool listCheck = c.expectedCall.value(0) == "/bin/ls";
    EXPECT_EQ(fileSystemCalls(), listCheck && testToolSet() == sim::ToolSet::Current
                                     ? QList<QStringList>{}
                                     : QList<QStringList>{c.expectedCall});
    EXPECT_EQ(capture.countDebug(QString::fromLatin1(c.debugLine)), 1);
    EXPECT_EQ(events, (QStringList{"oneLvAdded /dev/vg00/fresh /dev/sda1", "output"}));
    EXPECT_TRUE(outputs.value(0).contains("Logical volume \"fresh\" created"));
    EXPECT_FALSE(outputs.value(0).contains(kMakeFsManually));

    Lv* fresh = vg->getLv("fresh");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(vg->lvCount(), 2u);
    EXPECT_FALSE(fresh->isOriginal());
    EXPECT_FALSE(fresh->isSnapshot());
    EXPECT_EQ(fresh->getAttribute(Lv::Size), 64);
    EXPECT_EQ(fresh->fstype(), QString::fromLatin1(c.fstypeAfter));
    EXPECT_TRUE(roz->getHard()->getPv("/dev/sda1")->lvString().split(':').contains("/dev/vg00/fresh"));
    EXPECT_FALSE(stateLv("fresh").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    EachRequest, CreateLvFileSystem,
    ::testing::Values(
        FileSystemCase{"ext2", {"/sbin/mke2fs", "/dev/vg00/fresh"}, "we are making ext2 FS", "ext2"},
        FileSystemCase{"ext3", {"/sbin/mke2fs", "-j", "/dev/vg00/fresh"}, "we are making ext3 FS", "ext3"},
        FileSystemCase{"ext3 or ext2", {"/sbin/mke2fs", "/dev/vg00/fresh"}, "we are making ext2 FS", "ext2"},
        FileSystemCase{
            "reiserfs", {"/sbin/mkreiserfs", "-ff", "/dev/vg00/fresh"}, "we are making reiser FS", "reiserfs"},
        FileSystemCase{"", {"/bin/ls", "/dev/vg00/fresh"}, "we are doing nothing about FS on LV", "unknown"}));

TEST_F(CreateLv, FailingFileSystemMakerKeepsTheVolumeAndReturns256)
{
    sim->addFault("/sbin/mke2fs", {}, 1, "mke2fs: simulated failure\n");

    EXPECT_EQ(vg->createLv(request("ext3", "fresh")), 256);

    EXPECT_EQ(events, (QStringList{"oneLvAdded /dev/vg00/fresh /dev/sda1", "output"}));
    EXPECT_TRUE(outputs.value(0).endsWith("mke2fs: simulated failure\n" + kMakeFsManually));
    ASSERT_NE(vg->getLv("fresh"), nullptr);
    EXPECT_FALSE(stateLv("fresh").isEmpty());
}

TEST_F(CreateLv, FailingLvcreateRunsNoFileSystemMaker)
{
    sim->addFault(kLvm, {"lvcreate"}, 5, "  Insufficient free extents\n");

    EXPECT_EQ(vg->createLv(request("ext3", "fresh")), 5);

    EXPECT_EQ(sim->calls(), (QList<QStringList>{{kLvm, "lvcreate", "-L64", "vg00", "-nfresh"}}));
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_EQ(outputs.value(0), "  Insufficient free extents\n");
    EXPECT_EQ(vg->lvCount(), 1u);
    EXPECT_TRUE(stateLv("fresh").isEmpty());
}

// When the name in element 3 is not the volume lvcreate made, it may be a volume full of data.
TEST_F(CreateLv, NeverFormatsAVolumeThatExistedBefore)
{
    const QJsonObject dataBefore = stateLv("data");
    sim->addFault(kLvm, {"lvcreate"}, 0, "  Logical volume \"lvol0\" created\n");

    EXPECT_EQ(vg->createLv(request("ext2", "data")), 256);

    EXPECT_TRUE(fileSystemCalls().isEmpty());
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.value(0).endsWith(kMakeFsManually));
    EXPECT_EQ(vg->lvCount(), 1u);
    EXPECT_EQ(stateLv("data"), dataBefore);
    EXPECT_EQ(roz->getHard()->getPv("/dev/sda1")->lvString().count("/dev/vg00/data"), 1);
}

// A short request, or an element 3 that does not name the new volume, runs nothing: names are the
// tool's to refuse, but a volume made under another name could be neither formatted nor found again,
// and a name that is no volume name must never reach a file-system maker.
TEST_F(CreateLv, RequestWithoutAUsableNameIsRefusedBeforeAnyTool)
{
    const QJsonObject stateBefore = sim->state();
    for (const QString element : {"", "-nbad name", "-n../../sda", "-n", "--name=x", "lv9"}) {
        SCOPED_TRACE(element.toStdString());
        QStringList args{"ext3", "-L64", "vg00"};
        if (!element.isEmpty())
            args << element;
        events.clear();
        outputs.clear();
        EXPECT_EQ(vg->createLv(args), -1);
        EXPECT_EQ(events, QStringList{"output"});
        EXPECT_EQ(outputs.value(0).count('\n'), 1);
        EXPECT_TRUE(outputs.value(0).endsWith('\n'));
        if (!element.isEmpty()) {
            EXPECT_TRUE(outputs.value(0).startsWith("Dynamic Partition not created: element 3"));
        }
    }
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(vg->lvCount(), 1u);
    EXPECT_EQ(sim->state().value("vgs"), stateBefore.value("vgs"));
}

// A file system asked for but not made is never reported as done; "none" or nothing asks for none.
TEST_F(CreateLv, FileSystemWithoutAMakerGives256)
{
    EXPECT_EQ(vg->createLv(request("xfs", "x1")), 256);
    EXPECT_TRUE(outputs.value(0).endsWith(kMakeFsManually));
    EXPECT_TRUE(vg->hasLv("x1"));
    EXPECT_EQ(vg->createLv(request("none", "x2")), 0);
}

// lvcreate claiming success for a volume that is not there leaves no phantom in the model.
TEST_F(CreateLv, VolumeTheToolsDoNotKnowIsNotRegistered)
{
    sim->addFault(kLvm, {"lvcreate"}, 0, "  Logical volume \"ghost\" created\n");
    EXPECT_EQ(vg->createLv(request(QString(), "ghost")), -1);
    EXPECT_FALSE(vg->hasLv("ghost"));
    EXPECT_EQ(vg->lvCount(), 1u);
    EXPECT_EQ(events, (QStringList{"output"}));
    EXPECT_TRUE(outputs.value(0).endsWith(QStringLiteral(
        "Dynamic Partition not created: lvcreate reported success, but /dev/vg00/ghost does not exist\n")));

    // The same for a snapshot: its origin is left as it was.
    Lv* data = vg->getLv("data");
    outputs.clear();
    recordOutput(data, &Lv::output);
    EXPECT_EQ(data->createSnapshot({"-s", "-nghost", "-L16"}), -1);
    EXPECT_TRUE(
        outputs.last().endsWith("No snapshot made: lvcreate reported success, but /dev/vg00/ghost does not exist\n"));
    EXPECT_FALSE(vg->hasLv("ghost"));
    EXPECT_FALSE(data->isOriginal());
    EXPECT_TRUE(data->getSnapshot().isEmpty());
}

} // namespace
