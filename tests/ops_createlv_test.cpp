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

struct Creation {
    const char* fsRequest;
    const char* name;
    QStringList maker;        // the program that runs on the new volume's path after lvcreate
    const char* lvcreateSays; // lvcreate's text and exit code when faked; null: it runs
    int lvcreateCode;
    int result;
    const char* fstypeAfter; // null: the volume is not registered
    QString outputEnd = QString();
};

// One machine through each file-system request and each way a creation can end. A file system
// asked for but not made is never reported as done, and a volume that is not the one lvcreate
// made (it may be full of data) is never formatted nor registered.
TEST_F(CreateLv, MakesTheRequestedFileSystemAndRegistersOnlyTheNewVolume)
{
    sim->addFault("/sbin/mke2fs", {"-j"}, 1, "mke2fs: simulated failure\n", 1);
    // Today's tools have no device check: the re-read finds the volume.
    const QStringList list = testToolSet() == sim::ToolSet::Current ? QStringList{} : QStringList{"/bin/ls"};
    const QString failed = "mke2fs: simulated failure\n" + kMakeFsManually;
    const char* const claimed = "  Logical volume \"lvol0\" created\n";
    const QString ghost =
        "Dynamic Partition not created: lvcreate reported success, but /dev/vg00/ghost does not exist\n";
    const QList<Creation> creations{
        {"ext2", "e2", {"/sbin/mke2fs"}, nullptr, 0, 0, "ext2"},
        {"ext3", "e3", {"/sbin/mke2fs", "-j"}, nullptr, 0, 256, "unknown", failed},
        {"ext3", "e3b", {"/sbin/mke2fs", "-j"}, nullptr, 0, 0, "ext3"},
        {"ext3 or ext2", "either", {"/sbin/mke2fs"}, nullptr, 0, 0, "ext2"},
        {"reiserfs", "rfs", {"/sbin/mkreiserfs", "-ff"}, nullptr, 0, 0, "reiserfs"},
        {"", "plain", list, nullptr, 0, 0, "unknown"},
        {"none", "none", list, nullptr, 0, 0, "unknown"},
        {"xfs", "x1", list, nullptr, 0, 256, "unknown", kMakeFsManually},
        {"ext3", "f2", {}, "  Insufficient free extents\n", 5, 5, nullptr, "  Insufficient free extents\n"},
        {"ext2", "data", {}, claimed, 0, 256, nullptr, kMakeFsManually},
        {"", "ghost", list, claimed, 0, -1, nullptr, ghost},
    };
    for (const Creation& c : creations) {
        SCOPED_TRACE(c.name);
        if (c.lvcreateSays)
            sim->addFault(kLvm, {"lvcreate"}, c.lvcreateCode, c.lvcreateSays, 1);
        sim->clearCalls(), events.clear(), outputs.clear();
        const unsigned int countBefore = vg->lvCount();
        const QString path = QStringLiteral("/dev/vg00/") + c.name;

        EXPECT_EQ(vg->createLv(request(c.fsRequest, c.name)), c.result);

        EXPECT_EQ(sim->calls().value(0),
                  (QStringList{kLvm, "lvcreate", "-L64", "vg00", QStringLiteral("-n") + c.name}));
        EXPECT_EQ(fileSystemCalls(),
                  c.maker.isEmpty() ? QList<QStringList>{} : QList<QStringList>{c.maker + QStringList{path}});
        EXPECT_TRUE(outputs.value(0).endsWith(c.outputEnd) &&
                    (c.result == -1 || outputs.value(0).contains(kMakeFsManually) == (c.result == 256)))
            << qPrintable(outputs.value(0));
        Lv* made = vg->getLv(c.name);
        if (!c.fstypeAfter) {
            EXPECT_EQ(events, QStringList{"output"});
            EXPECT_EQ(vg->lvCount(), countBefore);
            continue;
        }
        EXPECT_EQ(events, (QStringList{"oneLvAdded " + path + " /dev/sda1", "output"}));
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(vg->lvCount(), countBefore + 1);
        EXPECT_FALSE(made->isOriginal() || made->isSnapshot());
        EXPECT_EQ(made->getAttribute(Lv::Size), 64);
        EXPECT_EQ(made->fstype(), QString::fromLatin1(c.fstypeAfter));
        EXPECT_TRUE(roz->getHard()->getPv("/dev/sda1")->lvString().split(':').contains(path));
    }
    EXPECT_EQ(roz->getHard()->getPv("/dev/sda1")->lvString().count("/dev/vg00/data"), 1);
}

// A short request, or an element 3 that does not name the new volume, runs nothing: names are the
// tool's to refuse, but a volume made under another name could be neither formatted nor found again,
// and a name that is no volume name must never reach a file-system maker.
TEST_F(CreateLv, RequestWithoutAUsableNameIsRefusedBeforeAnyTool)
{
    const QString kShortRequest = "Dynamic Partition not created: the request needs a file system entry and at least "
                                  "three lvcreate arguments\n";
    const QString kNotAName = "Dynamic Partition not created: element 3 of the request must be -n followed by the "
                              "volume's name, not \"%1\"\n";
    for (const QString element : {"", "-nbad name", "-n../../sda", "-n", "--name=x", "lv9"}) {
        SCOPED_TRACE(element.toStdString());
        QStringList args{"ext3", "-L64", "vg00"};
        if (!element.isEmpty())
            args << element;
        events.clear();
        outputs.clear();
        EXPECT_EQ(vg->createLv(args), -1);
        EXPECT_EQ(events, QStringList{"output"});
        EXPECT_EQ(outputs.value(0), element.isEmpty() ? kShortRequest : kNotAName.arg(element));
    }
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(vg->lvCount(), 1u);
}

// lvcreate claiming success for a snapshot that is not there leaves no phantom, and its origin as
// it was.
TEST_F(CreateLv, SnapshotTheToolsDoNotKnowIsNotRegistered)
{
    sim->addFault(kLvm, {"lvcreate"}, 0, "  Logical volume \"ghost\" created\n");
    Lv* data = vg->getLv("data");
    recordOutput(data, &Lv::output);
    EXPECT_EQ(data->createSnapshot({"-s", "-nghost", "-L16"}), -1);
    EXPECT_TRUE(
        outputs.last().endsWith("No snapshot made: lvcreate reported success, but /dev/vg00/ghost does not exist\n"));
    EXPECT_FALSE(vg->hasLv("ghost"));
    EXPECT_FALSE(data->isOriginal());
    EXPECT_TRUE(data->getSnapshot().isEmpty());
}

} // namespace
