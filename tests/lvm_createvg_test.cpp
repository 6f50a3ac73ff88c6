// Creating a volume group through the manager: preparing its physical volumes, vgcreate, and every
// way the sequence can stop. Each pvcreate run pauses half a second, so the cases are few.
#include "modeltest.h"

namespace {

// One group already there, and two spare partitions for a new one.
const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 8388608, "system": "Linux LVM", "tag": "LVM"},
      {"number": 5, "sizeKiB": 2097152},
      {"number": 6, "sizeKiB": 2097152},
      {"number": 7, "sizeKiB": 2097152, "fstype": "ext3", "mount": {"dir": "/data", "type": "ext3"}}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "vg-old"}],
  "vgs": [{"name": "vg-old", "lvs": [{"name": "lv1", "sizeMiB": 256}]}]
})";

const QStringList kOptions = {"-s", "8M", "-v"};

QStringList createArgs(const QString& name, const QStringList& devices)
{
    return kOptions + QStringList{name} + devices;
}

class CreateVg : public ::testing::Test, public SignalLog
{
protected:
    void SetUp() override
    {
        sim = SimRoot::fromJson(kMachine);
        lvm = std::make_unique<Lvm>();
        recordOutput(lvm.get(), &Lvm::output);
        record(lvm.get(), &Lvm::oneVgAdded, "oneVgAdded");
        sim->clearCalls();
    }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Lvm> lvm;
};

TEST_F(CreateVg, PreparesDevicesCreatesAndAnnouncesTheGroupThenKeepsTheLog)
{
    // A first attempt that vgcreate refuses: the devices stay prepared, nothing is added.
    sim->addFault(kLvm, {"vgcreate"}, 5, "vgcreate says no\n", 1);
    EXPECT_EQ(lvm->createVg(createArgs("vg.new", {"/dev/sda5"})), 5);
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.last().endsWith("vgcreate says no\n"));
    EXPECT_EQ(lvm->vgCount(), 1u);
    const QString firstLog = outputs.last();
    events.clear();
    sim->clearCalls();

    const QStringList devices = {"/dev/sda5", "/dev/sda6"};
    ASSERT_EQ(lvm->createVg(createArgs("vg.new", devices)), 0);
    // The preparing runs before it are createpv_test's and current_ops_test's.
    EXPECT_EQ(callsWhere(*sim, isToolChange).last(), (QStringList{kLvm, "vgcreate"} + createArgs("vg.new", devices)));

    EXPECT_EQ(events, (QStringList{"oneVgAdded /dev/vg.new /dev/sda5,/dev/sda6", "output"}));
    EXPECT_TRUE(outputs.last().startsWith(firstLog));
    EXPECT_GT(outputs.last().size(), firstLog.size());
    ASSERT_EQ(lvm->vgCount(), 2u);
    Vg* added = lvm->getVg(1u);
    EXPECT_EQ(added->name(), "vg.new");
    EXPECT_EQ(added->pvString(), "/dev/sda5:/dev/sda6");
    EXPECT_EQ(added->getAttribute(Vg::PeSizeMb), 8);
    EXPECT_EQ(added->lvCount(), 0u);
    EXPECT_TRUE(added->isActive());
}

// pvcreate failing stops before vgcreate (parted failing stops before pvcreate: createpv_test, and
// through the typed call, operations_test); the tool's words are kept.
TEST_F(CreateVg, FailedPreparationStopsBeforeVgcreate)
{
    sim->addFault(kLvm, {"pvcreate"}, 3, "pvcreate: device busy\n", 1);
    EXPECT_EQ(lvm->createVg(createArgs("vg-new", {"/dev/sda5"})), 3);
    EXPECT_EQ(callsWhere(*sim, isToolChange).last().value(1), "pvcreate");
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.last().contains("pvcreate: device busy"));
    EXPECT_EQ(lvm->vgCount(), 1u);
}

// What the tools would refuse only after parted and pvcreate had changed the partitions is
// refused before anything runs, naming the device or value at fault; the same for an extension.
TEST_F(CreateVg, RequestsTheToolsWouldRefuseChangeNothing)
{
    Vg* vg = lvm->getVg(0u);
    recordOutput(vg, &Vg::output);
    const QString sda5 = "/dev/sda5";
    const QString notCreated = "Volume group not created: ";
    const struct {
        bool extend; // else create
        QStringList args;
        QString output;
    } cases[] = {
        {false, QStringList{},
         "createVg: three vgcreate options, a group name and at least one device are needed, 0 entries given\n"},
        {false, createArgs("vg-new", {}),
         "createVg: three vgcreate options, a group name and at least one device are needed, 4 entries given\n"},
        {false, createArgs("a/b", {sda5}), notCreated + "\"a/b\" is not a valid volume group name\n"},
        {false, createArgs("vg-old", {sda5}), notCreated + "a volume group named vg-old already exists\n"},
        {false, QStringList{"-s3M", "", "", "vg-new", sda5},
         notCreated + "extent size 3M is not a power of two of at least 8 KiB\n"},
        {false, QStringList{"-s", "4k", "", "vg-new", sda5},
         notCreated + "extent size 4k is not a power of two of at least 8 KiB\n"},
        {false, createArgs("vg-new", {sda5, "/dev/sda1"}),
         notCreated + "/dev/sda1 already belongs to volume group vg-old\n"},
        {false, createArgs("vg-new", {"/dev/sda7"}), notCreated + "/dev/sda7 is mounted on /data\n"},
        {false, createArgs("vg-new", {sda5, sda5}), notCreated + "/dev/sda5 is named twice\n"},
        {true, QStringList{"/dev/sda1"},
         "Volume group vg-old not extended: /dev/sda1 already belongs to volume group vg-old\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        events.clear(), outputs.clear();
        EXPECT_EQ(c.extend ? vg->extend(c.args) : lvm->createVg(c.args), -1);
        EXPECT_EQ(outputs, QStringList{c.output});
    }
    EXPECT_TRUE(sim->calls().isEmpty());
    EXPECT_EQ(lvm->vgCount(), 1u);
}

// A creation that fails after pvcreate leaves physical volumes behind: the partitions are read
// again, so the model shows what the machine now holds.
TEST(CreateVgFailure, PartitionsMadePhysicalVolumesAreReadAgain)
{
    auto sim = SimRoot::fromJson(kMachine);
    Roz roz;
    SignalLog log;
    log.record(roz.getLvm(), &Lvm::onePvsChanged, "onePvsChanged");
    sim->addFault(kLvm, {"vgcreate"}, 5, "vgcreate says no\n");
    EXPECT_EQ(roz.getLvm()->createVg(createArgs("vg-new", {"/dev/sda5"})), 5);
    EXPECT_EQ(log.events, QStringList{"onePvsChanged /dev/sda5"});

    const Partition* live = roz.getHard()->getPv("/dev/sda5");
    ASSERT_NE(live, nullptr);
    EXPECT_TRUE(live->isPv());
    EXPECT_TRUE(live->isAllocatable());
    Roz fresh;
    const Partition* read = fresh.getHard()->getPv("/dev/sda5");
    EXPECT_EQ(live->getSystem(), read->getSystem());
    EXPECT_EQ(live->fstype(), read->fstype());
}

} // namespace
