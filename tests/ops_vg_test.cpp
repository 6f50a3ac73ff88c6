// Volume-group operations end to end through a Roz on the simulated machine: the tool run, the
// order of output and change signals, the re-read record, and the partitions afterwards.
#include "modeltest.h"

#include <QPointer>

namespace {

// vg00 on sda1 and sda2 (all volumes on sda1), an empty group on sda3, two spare partitions.
const char* const kMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 2, "sizeKiB": 4194304, "system": "Linux LVM", "tag": "LVM"},
      {"number": 3, "sizeKiB": 2097152, "system": "Linux LVM", "tag": "LVM"},
      {"number": 5, "sizeKiB": 1048576},
      {"number": 6, "sizeKiB": 1048576}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "vg00"}, {"device": "/dev/sda2", "vg": "vg00"},
          {"device": "/dev/sda3", "vg": "vgempty"}],
  "vgs": [
    {"name": "vg00", "lvs": [{"name": "data", "fstype": "ext3", "sizeMiB": 256},
                             {"name": "logs", "fstype": "ext2", "sizeMiB": 128}]},
    {"name": "vgempty", "lvs": []}
  ]
})";

class VgOperations : public RozOnMachine
{
protected:
    VgOperations() : RozOnMachine(kMachine) {}

    void SetUp() override
    {
        RozOnMachine::SetUp();
        if (HasFatalFailure())
            return;
        // The group deletes itself inside `removed` before later receivers hear it, so the removal
        // is observed through the manager's relay.
        record(roz->getLvm(), &Lvm::oneVgRemoved, "oneVgRemoved");
        group("vg00");
        ASSERT_EQ(vg->lvCount(), 2u);
        sim->clearCalls();
    }

    Vg* group(const QString& name)
    {
        Vg* found = roz->getLvm()->getVg(name);
        if (found) {
            recordOutput(found, &Vg::output);
            record(found, &Vg::renamed, "renamed");
            record(found, &Vg::extended, "extended");
            record(found, &Vg::reduced, "reduced");
        }
        return found;
    }

    QList<QStringList> changeCalls() const { return callsWhere(*sim, isToolChange); }
    QJsonObject stateVg(const QString& name) const { return stateGroup(*sim, name); }
    QString statePvGroup(const QString& device) const { return stateGroupOfPv(*sim, device); }
    Partition* partition(const QString& path) { return roz->getHard()->getPv(path); }

    QStringList lvStatuses()
    {
        QStringList statuses;
        for (unsigned int i = 0; i < vg->lvCount(); ++i)
            statuses << vg->getLv(i)->name() + "=" + QString::number(vg->getLv(i)->getAttribute(Lv::Status));
        return statuses;
    }

    // "name major:minor fstype" per volume.
    QStringList lvDevices()
    {
        QStringList devices;
        for (unsigned int i = 0; i < vg->lvCount(); ++i) {
            const Lv* lv = vg->getLv(i);
            devices << QStringLiteral("%1 %2:%3 %4")
                           .arg(lv->name())
                           .arg(lv->getAttribute(Lv::Major))
                           .arg(lv->getAttribute(Lv::Minor))
                           .arg(lv->fstype());
        }
        return devices;
    }
};

TEST_F(VgOperations, DeactivateAndActivateFlipEveryVolumeAfterOutput)
{
    const QStringList devicesActive = lvDevices();
    ASSERT_EQ(devicesActive, (QStringList{"data 253:0 ext3", "logs 253:1 ext2"}));
    ASSERT_EQ(vg->deactivate(), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgchange", "-an", "vg00"}}));
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.value(0).contains("now active"));
    EXPECT_EQ(lvStatuses(), (QStringList{"data=0", "logs=0"}));
    // As the tools show a volume without a device node, though nothing was read again.
    EXPECT_EQ(lvDevices(), (QStringList{"data -1:-1 unknown", "logs -1:-1 unknown"}));
    EXPECT_FALSE(stateVg("vg00").value("active").toBool());

    sim->clearCalls();
    events.clear();
    ASSERT_EQ(vg->activate(), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgchange", "-ay", "vg00"}}));
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_EQ(lvStatuses(), (QStringList{"data=1", "logs=1"}));
    EXPECT_EQ(lvDevices(), devicesActive);
    EXPECT_TRUE(vg->isActive());
    EXPECT_TRUE(stateVg("vg00").value("active").toBool());
}

TEST_F(VgOperations, FreezeAndDefreezeSwitchResizabilityAndReReadIt)
{
    ASSERT_TRUE(vg->isResizable());
    ASSERT_EQ(vg->freeze(), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgchange", "-xn", "vg00"}}));
    EXPECT_FALSE(vg->isResizable());
    EXPECT_FALSE(stateVg("vg00").value("resizable").toBool());

    sim->clearCalls();
    ASSERT_EQ(vg->defreeze(), 0);
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgchange", "-xy", "vg00"}}));
    EXPECT_TRUE(vg->isResizable());
    EXPECT_EQ(events, (QStringList{"output", "output"}));
}

TEST_F(VgOperations, RemoveAnnouncesAfterOutputAndTheGroupIsGoneOnReturn)
{
    QPointer<Vg> empty = group("vgempty");
    ASSERT_FALSE(empty.isNull());
    const uint groupsBefore = roz->getLvm()->vgCount();
    ASSERT_EQ(partition("/dev/sda3")->getVgPath(), "/dev/vgempty");

    ASSERT_EQ(empty->remove(), 0);

    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgremove", "vgempty"}}));
    EXPECT_EQ(events, (QStringList{"output", "oneVgRemoved /dev/sda3"}));
    EXPECT_EQ(roz->getLvm()->vgCount(), groupsBefore - 1);
    EXPECT_EQ(roz->getLvm()->getVg("vgempty"), nullptr);
    EXPECT_EQ(partition("/dev/sda3")->getVgPath(), "");
    EXPECT_EQ(statePvGroup("/dev/sda3"), "");
}

TEST_F(VgOperations, RenameTakesTheSimplifiedNameEverywhere)
{
    ASSERT_EQ(vg->rename("  vg01 "), 0);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgrename", "vg00", "vg01"}}));
    EXPECT_EQ(events, (QStringList{"output", "renamed /dev/vg01 /dev/sda1,/dev/sda2"}));
    EXPECT_EQ(vg->name(), "vg01");
    EXPECT_EQ(vg->path(), "/dev/vg01");
    EXPECT_EQ(vg->getLv("data")->path(), "/dev/vg01/data");
    EXPECT_EQ(partition("/dev/sda1")->getVgPath(), "/dev/vg01");
    EXPECT_EQ(partition("/dev/sda2")->getVgPath(), "/dev/vg01");
    EXPECT_TRUE(partition("/dev/sda1")->lvString().split(':').contains("/dev/vg01/data"));
    EXPECT_FALSE(stateVg("vg01").isEmpty());
}

TEST_F(VgOperations, ReduceAnnouncesTheCallersListAfterOutput)
{
    const int totalPe = vg->getAttribute(Vg::TotalPe);
    ASSERT_EQ(vg->reduce({"/dev/sda2"}), 0);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{kLvm, "vgreduce", "vg00", "/dev/sda2"}}));
    EXPECT_EQ(events, (QStringList{"output", "reduced /dev/sda2"}));
    EXPECT_EQ(vg->pvString(), "/dev/sda1");
    EXPECT_LT(vg->getAttribute(Vg::TotalPe), totalPe);
    EXPECT_EQ(partition("/dev/sda2")->getVgPath(), "");
    // Released, but still a physical volume.
    EXPECT_EQ(partition("/dev/sda2")->getSystem(), "Linux LVM, LVM");
    EXPECT_TRUE(partition("/dev/sda2")->isPv());
    EXPECT_EQ(statePvGroup("/dev/sda2"), "");
}

// Two in a row: each pvcreate run pauses half a second, so extend is exercised only here and in
// the failure case below.
TEST_F(VgOperations, ExtendAnnouncesBeforeOutputAndKeepsEarlierTranscript)
{
    const int totalPe = vg->getAttribute(Vg::TotalPe);
    ASSERT_FALSE(partition("/dev/sda5")->isPv());
    ASSERT_EQ(vg->extend({"/dev/sda5"}), 0);

    EXPECT_EQ(changeCalls(), (QList<QStringList>{{"/sbin/parted", "/dev/sda", "set", "5", "lvm on"},
                                                 {kLvm, "pvcreate", "-f", "-y", "/dev/sda5"},
                                                 {kLvm, "vgextend", "vg00", "/dev/sda5"}}));
    EXPECT_EQ(events, (QStringList{"extended /dev/vg00 /dev/sda5", "output"}));
    EXPECT_EQ(vg->pvString().split(':'), (QStringList{"/dev/sda1", "/dev/sda2", "/dev/sda5"}));
    EXPECT_GT(vg->getAttribute(Vg::TotalPe), totalPe);
    // What a probe shows after "lvm on" and pvcreate.
    EXPECT_EQ(partition("/dev/sda5")->getVgPath(), "/dev/vg00");
    EXPECT_EQ(partition("/dev/sda5")->getSystem(), "Linux LVM, LVM");
    EXPECT_TRUE(partition("/dev/sda5")->isPv());
    EXPECT_EQ(partition("/dev/sda5")->fstype(), "LVM2");
    EXPECT_EQ(statePvGroup("/dev/sda5"), "vg00");

    events.clear();
    ASSERT_EQ(vg->extend({"/dev/sda6"}), 0);
    EXPECT_EQ(events, (QStringList{"extended /dev/vg00 /dev/sda6", "output"}));
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_TRUE(outputs.at(1).startsWith(outputs.at(0)));
    EXPECT_GT(outputs.at(1).size(), outputs.at(0).size());
    EXPECT_EQ(partition("/dev/sda6")->getVgPath(), "/dev/vg00");
}

TEST_F(VgOperations, ExtendWhosePvPreparationFailsRunsNoVgextend)
{
    sim->addFault(kLvm, {"pvcreate"}, 3, "pvcreate refused\n");

    EXPECT_EQ(vg->extend({"/dev/sda5"}), 3);

    for (const QStringList& call : sim->calls())
        EXPECT_NE(call.value(1), "vgextend");
    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.value(0).contains("pvcreate refused"));
    EXPECT_EQ(vg->pvString(), "/dev/sda1:/dev/sda2");
    EXPECT_EQ(partition("/dev/sda5")->getVgPath(), "");
    EXPECT_EQ(statePvGroup("/dev/sda5"), "<no pv>");
}

// Every failure hands over the tool's text and nothing else: no change signal, no re-read, no
// change on the machine.
struct FailingOperation {
    const char* name;
    QStringList faultPrefix;
    std::function<int(Vg*)> run;
};

void PrintTo(const FailingOperation& op, std::ostream* out)
{
    *out << op.name;
}

class VgOperationFailure : public VgOperations, public ::testing::WithParamInterface<FailingOperation>
{
};

TEST_P(VgOperationFailure, LeavesModelAndMachineUnchangedWithOnlyOutput)
{
    const FailingOperation& op = GetParam();
    sim->addFault(kLvm, op.faultPrefix, 5, "  simulated refusal\n");
    const QJsonObject stateBefore = sim->state();
    const QString nameBefore = vg->name();
    const QString pvsBefore = vg->pvString();
    const QStringList statusesBefore = lvStatuses();
    const bool resizableBefore = vg->isResizable();
    const QString sda2Before = partition("/dev/sda2")->getVgPath();

    EXPECT_EQ(op.run(vg), 5);

    EXPECT_EQ(events, QStringList{"output"});
    EXPECT_TRUE(outputs.value(0).contains("simulated refusal"));
    EXPECT_EQ(vg->name(), nameBefore);
    EXPECT_EQ(vg->pvString(), pvsBefore);
    EXPECT_EQ(lvStatuses(), statusesBefore);
    EXPECT_EQ(vg->isResizable(), resizableBefore);
    EXPECT_EQ(partition("/dev/sda2")->getVgPath(), sda2Before);
    EXPECT_EQ(sim->state().value("vgs"), stateBefore.value("vgs"));
    EXPECT_EQ(sim->state().value("pvs"), stateBefore.value("pvs"));
}

INSTANTIATE_TEST_SUITE_P(
    EachOperation, VgOperationFailure,
    ::testing::Values(FailingOperation{"activate", {"vgchange", "-ay"}, [](Vg* g) { return g->activate(); }},
                      FailingOperation{"deactivate", {"vgchange", "-an"}, [](Vg* g) { return g->deactivate(); }},
                      FailingOperation{"freeze", {"vgchange", "-xn"}, [](Vg* g) { return g->freeze(); }},
                      FailingOperation{"defreeze", {"vgchange", "-xy"}, [](Vg* g) { return g->defreeze(); }},
                      FailingOperation{"remove", {"vgremove"}, [](Vg* g) { return g->remove(); }},
                      FailingOperation{"rename", {"vgrename"}, [](Vg* g) { return g->rename("vg01"); }},
                      FailingOperation{"reduce", {"vgreduce"}, [](Vg* g) { return g->reduce({"/dev/sda2"}); }}),
    [](const ::testing::TestParamInfo<FailingOperation>& info) { return std::string(info.param.name); });

} // namespace
