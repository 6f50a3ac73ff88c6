// Volume-group operations end to end through a Roz on the simulated machine: the tool run, the
// order of output and change signals, the model afterwards and what a new reading of the machine
// shows, and failures that change nothing.
#include "modeldump.h"
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

// The lines of `expected` ("key = value") that the dump of `roz` does not hold.
QStringList missingLines(Roz& roz, const QStringList& expected)
{
    const QStringList lines = dumpModel(roz).text().split('\n');
    QStringList missing;
    std::copy_if(expected.cbegin(), expected.cend(), std::back_inserter(missing),
                 [&lines](const QString& line) { return !lines.contains(line); });
    return missing;
}

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
        for (const char* name : {"vg00", "vgempty"}) {
            Vg* group = roz->getLvm()->getVg(name);
            recordOutput(group, &Vg::output);
            record(group, &Vg::renamed, "renamed");
            record(group, &Vg::extended, "extended");
            record(group, &Vg::reduced, "reduced");
        }
        sim->clearCalls();
    }

    // A new machine and model: roz and the old root go before the new root is laid out.
    void fresh()
    {
        roz.reset(), sim.reset();
        events.clear(), outputs.clear();
        SetUp();
    }
};

struct Change {
    const char* group;
    std::function<int(Vg&)> run;
    QList<QStringList> calls;
    QStringList events;
    QStringList model;            // dump lines of the live model and of a new reading afterwards
    bool keepsTranscript = false; // the output goes on from the change before
};

// One machine through every change in turn.
TEST_F(VgOperations, EachChangeRunsItsToolSignalsAfterOutputAndMatchesANewReading)
{
    const QString allOnSda1 = "part/sda1/lvString = /dev/vg00/data:/dev/vg00/logs";
    const QList<Change> changes{
        {"vg00",
         [](Vg& g) { return g.deactivate(); },
         {{kLvm, "vgchange", "-an", "vg00"}},
         {"output"},
         // As the tools show a volume without a device node, though nothing was read again.
         {"vg/vg00/isActive = false", "lv/vg00/data/attr/Status = 0", "lv/vg00/logs/attr/Status = 0",
          "lv/vg00/data/attr/Major = -1", "lv/vg00/data/attr/Minor = -1", "lv/vg00/data/fstype = unknown"}},
        {"vg00",
         [](Vg& g) { return g.activate(); },
         {{kLvm, "vgchange", "-ay", "vg00"}},
         {"output"},
         {"vg/vg00/isActive = true", "lv/vg00/data/attr/Status = 1", "lv/vg00/logs/attr/Status = 1",
          "lv/vg00/data/attr/Major = 253", "lv/vg00/data/attr/Minor = 0", "lv/vg00/data/fstype = ext3",
          "lv/vg00/logs/attr/Major = 253", "lv/vg00/logs/attr/Minor = 1", "lv/vg00/logs/fstype = ext2"}},
        {"vg00",
         [](Vg& g) { return g.freeze(); },
         {{kLvm, "vgchange", "-xn", "vg00"}},
         {"output"},
         {"vg/vg00/isResizable = false"}},
        {"vg00",
         [](Vg& g) { return g.defreeze(); },
         {{kLvm, "vgchange", "-xy", "vg00"}},
         {"output"},
         {"vg/vg00/isResizable = true"}},
        {"vgempty",
         [](Vg& g) { return g.remove(); },
         {{kLvm, "vgremove", "vgempty"}},
         {"output", "oneVgRemoved /dev/sda3"},
         {"lvm/vgs = vg00", "part/sda3/vgPath = ", "part/sda3/isPv = true"}},
        // What a probe shows after "lvm on" and pvcreate.
        {"vg00",
         [](Vg& g) { return g.extend({"/dev/sda5"}); },
         {{"/sbin/parted", "/dev/sda", "set", "5", "lvm on"},
          {kLvm, "pvcreate", "-f", "-y", "/dev/sda5"},
          {kLvm, "vgextend", "vg00", "/dev/sda5"}},
         {"extended /dev/vg00 /dev/sda5", "output"},
         {"vg/vg00/pvString = /dev/sda1:/dev/sda2:/dev/sda5", "vg/vg00/attr/TotalPe = 2301",
          "part/sda5/vgPath = /dev/vg00", "part/sda5/system = Linux LVM, LVM", "part/sda5/isPv = true",
          "part/sda5/fstype = LVM2", allOnSda1}},
        {"vg00",
         [](Vg& g) { return g.extend({"/dev/sda6"}); },
         {{"/sbin/parted", "/dev/sda", "set", "6", "lvm on"},
          {kLvm, "pvcreate", "-f", "-y", "/dev/sda6"},
          {kLvm, "vgextend", "vg00", "/dev/sda6"}},
         {"extended /dev/vg00 /dev/sda6", "output"},
         {"vg/vg00/pvString = /dev/sda1:/dev/sda2:/dev/sda5:/dev/sda6", "part/sda6/vgPath = /dev/vg00"},
         true},
        // The caller's list is announced; the partition stays a physical volume.
        {"vg00",
         [](Vg& g) { return g.reduce({"/dev/sda2"}); },
         {{kLvm, "vgreduce", "vg00", "/dev/sda2"}},
         {"output", "reduced /dev/sda2"},
         {"vg/vg00/pvString = /dev/sda1:/dev/sda5:/dev/sda6", "vg/vg00/attr/TotalPe = 1533",
          "part/sda2/vgPath = ", "part/sda2/system = Linux LVM, LVM", "part/sda2/isPv = true", allOnSda1}},
        {"vg00",
         [](Vg& g) { return g.rename("  vg01 "); },
         {{kLvm, "vgrename", "vg00", "vg01"}},
         {"output", "renamed /dev/vg01 /dev/sda1,/dev/sda5,/dev/sda6"},
         {"lvm/vgs = vg01", "vg/vg01/path = /dev/vg01", "lv/vg01/data/path = /dev/vg01/data",
          "part/sda1/vgPath = /dev/vg01", "part/sda5/vgPath = /dev/vg01", "part/sda6/vgPath = /dev/vg01",
          "part/sda1/lvString = /dev/vg01/data:/dev/vg01/logs"}},
    };
    QString lastOutput;
    for (const Change& c : changes) {
        SCOPED_TRACE(c.events.join(' ').toStdString() + " " + c.calls.value(0).join(' ').toStdString());
        QPointer<Vg> group = roz->getLvm()->getVg(c.group);
        ASSERT_FALSE(group.isNull());
        sim->clearCalls(), events.clear(), outputs.clear();

        ASSERT_EQ(c.run(*group), 0);

        EXPECT_EQ(callsWhere(*sim, isToolChange), c.calls);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(!lastOutput.isEmpty() && outputs.value(0).startsWith(lastOutput) &&
                      outputs.value(0).size() > lastOutput.size(),
                  c.keepsTranscript);
        lastOutput = outputs.value(0);
        EXPECT_EQ(group.isNull(), c.events.last().startsWith("oneVgRemoved"));
        EXPECT_EQ(missingLines(*roz, c.model), QStringList{});
        Roz reading;
        EXPECT_EQ(missingLines(reading, c.model), QStringList{}) << "read again";
    }
}

// Every failure hands over the tool's text and nothing else: no change signal, no further step,
// no change to the groups on the machine, and a model that still shows what the machine holds.
TEST_F(VgOperations, FailureLeavesModelAndMachineUnchangedWithOnlyOutput)
{
    const struct {
        QStringList faultPrefix;
        std::function<int(Vg&)> run;
    } cases[] = {
        {{"vgchange", "-an"}, [](Vg& g) { return g.deactivate(); }},
        {{"vgchange", "-xn"}, [](Vg& g) { return g.freeze(); }},
        {{"vgremove"}, [](Vg& g) { return g.remove(); }},
        {{"vgrename"}, [](Vg& g) { return g.rename("vg01"); }},
        {{"vgreduce"}, [](Vg& g) { return g.reduce({"/dev/sda2"}); }},
        {{"pvcreate"}, [](Vg& g) { return g.extend({"/dev/sda5"}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faultPrefix.join(' ').toStdString());
        fresh();
        sim->addFault(kLvm, c.faultPrefix, 5, "  simulated refusal\n");

        EXPECT_EQ(c.run(*vg), 5);

        EXPECT_EQ(events, QStringList{"output"});
        EXPECT_TRUE(outputs.value(0).endsWith("  simulated refusal\n"));
        EXPECT_EQ(callsWhere(*sim, isToolChange).last().mid(1, c.faultPrefix.size()), c.faultPrefix);
        Roz reading;
        EXPECT_EQ(dumpModel(*roz).text(), dumpModel(reading).text());
    }
}

} // namespace
