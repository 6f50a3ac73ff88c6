// roz vg ...: every group operation's success, refusal and failure, the state it leaves and what it prints.
#include "cli_support.h"

#include <functional>
#include <tuple>

namespace {

const QString lvm = "/sbin/lvm.static";

class CliVg : public RozCase
{
protected:
    RozRun vg(const QStringList& args) { return roz(QStringList{"vg"} + args); }
};

TEST_F(CliVg, CreateRunsTheToolsShowsTheNewRowsAndMakesTheGroup)
{
    const RozRun run = vg({"create", "data", "sdc3", "/dev/sdb6", "--extent-size", "8M"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(sim.callLines().contains(lvm + " vgcreate -s8M -l0 -p0 data /dev/sdc3 /dev/sdb6"))
        << sim.callLines().join('\n').toStdString();
    EXPECT_TRUE(run.err.contains("running: parted and pvcreate on /dev/sdc3 /dev/sdb6"));
    EXPECT_TRUE(run.out.contains("Volume group \"data\" successfully created"));
    EXPECT_TRUE(run.out.contains("result: 0 (success)"));
    EXPECT_TRUE(run.out.contains("\n+ data "));
    EXPECT_TRUE(run.out.contains("\n+ └─sdc3"));
    EXPECT_EQ(stateGroup("data").value("extentKiB").toInt(), 8192);
    EXPECT_EQ(stateGroupOfPv("/dev/sdc3"), "data");
    EXPECT_EQ(stateGroupOfPv("/dev/sdb6"), "data");
}

// sdc3 holds 9 GiB and sdb6 5 GiB; LVM keeps 192 KiB of each for its metadata, so 8G and 4G are
// the largest extents they give one of (the larger ones are refused below).
TEST_F(CliVg, CreateTakesAnExtentSizeThatLeavesOneExtent)
{
    for (const auto& [name, device, extent] : {std::tuple{"g8", "sdc3", 8}, std::tuple{"g4", "sdb6", 4}}) {
        const RozRun run = vg({"create", name, device, "--extent-size", QStringLiteral("%1G").arg(extent)});
        ASSERT_EQ(run.exitCode, 0) << name << run.err.toStdString();
        EXPECT_EQ(stateGroup(name).value("extentKiB").toInteger(), extent * 1024LL * 1024);
    }
}

// Each row runs on the machine the rows before it left.
TEST_F(CliVg, EachOperationChangesTheStateAndShowsTheChangedRows)
{
    struct Step {
        QStringList args;
        QStringList shown; // in the printed changes
        std::function<bool()> done;
    };
    const QList<Step> steps{
        {{"activate", "vg.backup"},
         {"\n+ vg.backup/archive ", " active "},
         [&] { return stateGroup("vg.backup").value("active").toBool(); }},
        {{"deactivate", "vg.backup"},
         {" inactive "},
         [&] { return !stateGroup("vg.backup").value("active").toBool(); }},
        {{"freeze", "my-vg"}, {}, [&] { return !stateGroup("my-vg").value("resizable").toBool(); }},
        {{"defreeze", "my-vg"}, {}, [&] { return stateGroup("my-vg").value("resizable").toBool(); }},
        {{"rename", "vg.backup", "archive-vg"},
         {"\n+ archive-vg/archive ", "\n+ └─sda6", " archive-vg "},
         [&] { return stateGroup("vg.backup").isEmpty() && !stateGroup("archive-vg").isEmpty(); }},
        {{"extend", "my-vg", "sdc3"}, {"\n+ my-vg "}, [&] { return stateGroupOfPv("/dev/sdc3") == "my-vg"; }},
        {{"reduce", "my-vg", "/dev/sdc3"}, {}, [&] { return stateGroupOfPv("/dev/sdc3") != "my-vg"; }},
        {{"create", "data", "sdc3"}, {"\n+ data "}, [&] { return !stateGroup("data").isEmpty(); }},
        {{"remove", "data"}, {"\n- data "}, [&] { return stateGroup("data").isEmpty(); }},
    };
    for (const Step& step : steps) {
        const RozRun run = vg(step.args);
        ASSERT_EQ(run.exitCode, 0) << step.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(step.done()) << step.args.join(' ').toStdString();
        for (const QString& text : step.shown)
            EXPECT_TRUE(run.out.contains(text)) << step.args.join(' ').toStdString() << run.out.toStdString();
    }
}

// Refused from the model's view (exit 2): no tool that changes anything runs.
TEST_F(CliVg, RefusalsRunNoChangingToolAndLeaveTheMachineAsItWas)
{
    const QList<std::pair<QStringList, QString>> refused{
        {{"create", "data", "sda2"}, ""},         // mounted
        {{"create", "data", "sda5"}, ""},         // in a group
        {{"create", "data", "sdz9"}, ""},         // no such partition
        {{"create", "data", "sdc3", "sdc3"}, ""}, // twice
        {{"create", "my-vg", "sdc3"}, ""},        // the group exists
        {{"extend", "my-vg", "sdb1"}, ""},
        {{"extend", "nosuch", "sdc3"}, ""},
        {{"create", "g", "sdc3", "--extent-size", "1073741824M"}, "without a single extent"},
        {{"create", "g", "sdc3", "sdb6", "--extent-size", "16G"}, "without a single extent"},
        {{"create", "g", "sdb6", "--extent-size", "8G"}, "without a single extent"},
        {{"remove", "my-vg"}, "/dev/my-vg/home"}, // holds volumes
        {{"rename", "vg.backup", "my-vg"}, ""},
        {{"reduce", "my-vg", "sdb6"}, ""}, // not one of its PVs
        {{"activate", "nosuch"}, "no volume group \"nosuch\""},
    };
    const QJsonObject before = sim.state();
    for (const auto& [args, message] : refused) {
        const RozRun run = vg(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
    EXPECT_TRUE(callsWhere(sim, isToolChange).isEmpty()) << sim.callLines().join('\n').toStdString();
    EXPECT_EQ(sim.state(), before);
}

// A tool that fails (faults last for one run): exit 1, its message on stderr, no success line,
// and the groups as they were.
TEST_F(CliVg, ToolFailuresExitWithTheToolsMessageAndLeaveTheGroups)
{
    struct Failure {
        QStringList args;
        QStringList fault; // lvm arguments that fail, or empty when the machine itself refuses
        QString message;
    };
    ASSERT_EQ(vg({"create", "empty", "sdb6"}).exitCode, 0);
    const QList<Failure> failures{
        {{"create", "data", "sdc3"}, {"vgcreate"}, "Metadata area full on /dev/sdc3"},
        {{"deactivate", "my-vg"}, {}, "Can't deactivate volume group \"my-vg\""}, // a volume is mounted
        {{"freeze", "my-vg"}, {"vgchange", "-xn"}, "locking failed"},
        {{"remove", "empty"}, {"vgremove"}, "device busy"},
        {{"rename", "vg.backup", "other"}, {"vgrename"}, "rename refused"},
        {{"extend", "vg.backup", "sdc3"}, {"vgextend"}, "cannot extend"},
        {{"reduce", "my-vg", "sda5"}, {}, ""}, // volumes still have extents there
    };
    for (const Failure& failure : failures) {
        if (!failure.fault.isEmpty())
            sim.addFault(lvm, failure.fault, 5, "  " + failure.message + "\n", 1);
        const QJsonValue groups = groupsOf(sim);
        const RozRun run = vg(failure.args);
        EXPECT_EQ(run.exitCode, 1) << failure.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(failure.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(failure.fault.isEmpty() ? "result: " : "result: 5"));
        EXPECT_FALSE(run.out.contains("(success)"));
        EXPECT_EQ(groupsOf(sim), groups) << failure.args.join(' ').toStdString();
    }
    EXPECT_TRUE(vg({"deactivate", "my-vg"}).out.contains("no change in the model"));
}

} // namespace
