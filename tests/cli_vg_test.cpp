// roz vg ...: every group operation's success and failure, the state it leaves and what it prints.
#include "cli_support.h"

namespace {

const QString lvm = "/sbin/lvm.static";

class CliVg : public RozCase
{
protected:
    RozRun vg(const QStringList& args) { return roz(QStringList{"vg"} + args); }

    // A failed run: exit 1, the tool's message on stderr, no success line.
    void expectToolFailure(const RozRun& run, const QString& toolMessage)
    {
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(toolMessage)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("(success)"));
    }
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

TEST_F(CliVg, CreateFailureExitsWithTheToolsMessageAndMakesNothing)
{
    sim.addFault(lvm, {"vgcreate"}, 5, "  Metadata area full on /dev/sdc3\n");
    const RozRun run = vg({"create", "data", "sdc3"});
    expectToolFailure(run, "Metadata area full on /dev/sdc3");
    EXPECT_TRUE(run.out.contains("result: 5"));
    EXPECT_TRUE(stateGroup("data").isEmpty());
}

TEST_F(CliVg, CreateAndExtendRefusePartitionsThatAreMountedInAGroupOrUnknown)
{
    for (const QStringList& args : QList<QStringList>{{"create", "data", "sda2"},
                                                      {"create", "data", "sda5"},
                                                      {"create", "data", "sdz9"},
                                                      {"create", "data", "sdc3", "sdc3"},
                                                      {"create", "my-vg", "sdc3"},
                                                      {"extend", "my-vg", "sdb1"},
                                                      {"extend", "nosuch", "sdc3"}}) {
        const RozRun run = vg(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(ran("parted") || ran("pvcreate") || ran("vgcreate") || ran("vgextend"));
}

// sdc3 holds 9 GiB and sdb6 5 GiB; LVM keeps 192 KiB of each for its metadata.
TEST_F(CliVg, CreateRefusesAnExtentSizeThatLeavesTheGroupNoExtent)
{
    struct Row {
        QString extent;
        QStringList devices;
        bool accepted;
    };
    const QList<Row> rows{{"1073741824M", {"sdc3"}, false},
                          {"16G", {"sdc3", "sdb6"}, false},
                          {"8G", {"sdb6"}, false},
                          {"8G", {"sdc3"}, true},
                          {"4G", {"sdb6"}, true}};
    int made = 0;
    for (const Row& row : rows) {
        const QString name = QStringLiteral("g%1").arg(made);
        const RozRun run = vg(QStringList{"create", name} + row.devices + QStringList{"--extent-size", row.extent});
        if (!row.accepted) {
            EXPECT_EQ(run.exitCode, 2) << row.extent.toStdString();
            EXPECT_TRUE(run.err.contains("without a single extent")) << run.err.toStdString();
            EXPECT_FALSE(ran("parted") || ran("pvcreate") || ran("vgcreate"));
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << row.extent.toStdString() << run.err.toStdString();
        EXPECT_EQ(stateGroup(name).value("extentKiB").toInteger(), row.extent.chopped(1).toLongLong() * 1024 * 1024);
        ++made;
    }
}

TEST_F(CliVg, ActivateAndDeactivateChangeTheGroupAndItsVolumes)
{
    const RozRun on = vg({"activate", "vg.backup"});
    ASSERT_EQ(on.exitCode, 0) << on.err.toStdString();
    EXPECT_TRUE(stateGroup("vg.backup").value("active").toBool());
    EXPECT_TRUE(on.out.contains("\n+ vg.backup/archive ") && on.out.contains(" active "));

    const RozRun off = vg({"deactivate", "vg.backup"});
    ASSERT_EQ(off.exitCode, 0) << off.err.toStdString();
    EXPECT_FALSE(stateGroup("vg.backup").value("active").toBool());
    EXPECT_TRUE(off.out.contains(" inactive "));
}

TEST_F(CliVg, DeactivatingAGroupWithAMountedVolumeFails)
{
    const RozRun run = vg({"deactivate", "my-vg"});
    expectToolFailure(run, "Can't deactivate volume group \"my-vg\"");
    EXPECT_TRUE(stateGroup("my-vg").value("active").toBool());
    EXPECT_TRUE(run.out.contains("no change in the model"));
}

TEST_F(CliVg, FreezeAndDefreezeSwitchResizability)
{
    ASSERT_EQ(vg({"freeze", "my-vg"}).exitCode, 0);
    EXPECT_FALSE(stateGroup("my-vg").value("resizable").toBool());
    ASSERT_EQ(vg({"defreeze", "my-vg"}).exitCode, 0);
    EXPECT_TRUE(stateGroup("my-vg").value("resizable").toBool());

    sim.addFault(lvm, {"vgchange", "-xn"}, 5, "  locking failed\n");
    expectToolFailure(vg({"freeze", "my-vg"}), "locking failed");
    EXPECT_TRUE(stateGroup("my-vg").value("resizable").toBool());
}

TEST_F(CliVg, RemoveTakesAnEmptyGroupAndRefusesOneWithVolumes)
{
    ASSERT_EQ(vg({"create", "data", "sdc3"}).exitCode, 0);
    sim.clearCalls();
    const RozRun refused = vg({"remove", "my-vg"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("/dev/my-vg/home"));
    EXPECT_FALSE(ran("vgremove"));

    sim.addFault(lvm, {"vgremove"}, 5, "  device busy\n", 1);
    expectToolFailure(vg({"remove", "data"}), "device busy");
    EXPECT_FALSE(stateGroup("data").isEmpty());

    const RozRun removed = vg({"remove", "data"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_TRUE(stateGroup("data").isEmpty());
    EXPECT_TRUE(removed.out.contains("\n- data "));
}

TEST_F(CliVg, RenameMovesTheGroupAndItsVolumes)
{
    const RozRun run = vg({"rename", "vg.backup", "archive-vg"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(stateGroup("vg.backup").isEmpty());
    EXPECT_FALSE(stateGroup("archive-vg").isEmpty());
    EXPECT_TRUE(run.out.contains("\n+ archive-vg/archive "));
    EXPECT_TRUE(run.out.contains("\n+ └─sda6") && run.out.contains(" archive-vg "));

    EXPECT_EQ(vg({"rename", "archive-vg", "my-vg"}).exitCode, 2);
    sim.addFault(lvm, {"vgrename"}, 5, "  rename refused\n");
    expectToolFailure(vg({"rename", "archive-vg", "other"}), "rename refused");
    EXPECT_FALSE(stateGroup("archive-vg").isEmpty());
}

TEST_F(CliVg, ExtendAndReduceMovePartitionsInAndOut)
{
    const RozRun extended = vg({"extend", "my-vg", "sdc3"});
    ASSERT_EQ(extended.exitCode, 0) << extended.err.toStdString();
    EXPECT_EQ(stateGroupOfPv("/dev/sdc3"), "my-vg");
    EXPECT_TRUE(extended.out.contains("\n+ my-vg "));

    EXPECT_EQ(vg({"reduce", "my-vg", "sdb6"}).exitCode, 2); // not one of its PVs
    const RozRun busy = vg({"reduce", "my-vg", "sda5"});    // holds volumes' extents
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_EQ(stateGroupOfPv("/dev/sda5"), "my-vg");

    const RozRun reduced = vg({"reduce", "my-vg", "/dev/sdc3"});
    ASSERT_EQ(reduced.exitCode, 0) << reduced.err.toStdString();
    EXPECT_NE(stateGroupOfPv("/dev/sdc3"), "my-vg");

    sim.addFault(lvm, {"vgextend"}, 5, "  cannot extend\n");
    expectToolFailure(vg({"extend", "vg.backup", "sdb6"}), "cannot extend");
}

TEST_F(CliVg, AnUnknownGroupIsRefusedWithoutChangingAnything)
{
    const RozRun run = vg({"activate", "nosuch"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("no volume group \"nosuch\""));
    EXPECT_FALSE(ran("vgchange"));
}

} // namespace
