// roz vg ... and roz lv ...: every change's success, refusal and failure, the state it leaves and
// what it prints.
#include "cli_support.h"

#include <functional>

namespace {

const QString lvm = "/sbin/lvm.static";

class CliChange : public RozCase
{
protected:
    int extentsOf(const QString& group, const QString& name)
    {
        int extents = 0;
        for (const QJsonValue& segment : stateVolume(sim, group, name).value("segments").toArray())
            extents += segment.toObject().value("count").toInt();
        return extents;
    }
};

// Each row runs on the machine the rows before it left. sdc3 holds 9 GiB and sdb6 5 GiB; LVM keeps
// 192 KiB of each for its metadata, so 8G and 4G are the largest extents each gives one of. A
// resize grows the file system too, and shows each line of the transcript it is handed more
// than once only once.
TEST_F(CliChange, EachChangeReachesTheStateAndShowsTheChangedRows)
{
    struct Step {
        QStringList args;
        std::function<bool()> done; // asks the simulated state
        QStringList shown = {};     // once each on standard output, or on standard error when it starts "running: "
        QStringList calls = {};     // program runs it makes
    };
    const auto group = [&](const QString& name) { return stateGroup(sim, name); };
    const auto kib = [&](const QString& name) { return group(name).value("extentKiB").toInteger(); };
    const auto flag = [&](const QString& name, const char* key) { return group(name).value(key).toBool(); };
    const auto groupOf = [&](const QString& device) { return stateGroupOfPv(sim, device); };
    const auto absent = [&](const QString& volume) { return stateVolume(sim, "my-vg", volume).isEmpty(); };
    const QList<Step> steps{
        {{"vg", "create", "data", "sdc3", "/dev/sdb6", "--extent-size", "8M"},
         [&] { return kib("data") == 8192 && groupOf("/dev/sdc3") == "data" && groupOf("/dev/sdb6") == "data"; },
         {"running: parted and pvcreate on /dev/sdc3 /dev/sdb6", "Volume group \"data\" successfully created",
          "result: 0 (success)", "\n+ data ", "\n+ └─sdc3"},
         {lvm + " vgcreate -s8M -l0 -p0 data /dev/sdc3 /dev/sdb6"}},
        {{"vg", "remove", "data"}, [&] { return group("data").isEmpty(); }, {"\n- data "}},
        {{"lv", "create", "my-vg", "raw", "--size", "1G", "--fs", "none"},
         [&] { return extentsOf("my-vg", "raw") == 256; },
         {"\n+ my-vg/raw "}},
        {{"lv", "create", "my-vg", "web", "--size", "100M", "--fs", "ext2"},
         [&] {
             return stateVolume(sim, "my-vg", "web").value("fstype").toString() == "ext2" &&
                    extentsOf("my-vg", "web") == 25;
         },
         {"\n+ my-vg/web "},
         {lvm + " lvcreate -L 100M -nweb my-vg", "/sbin/mke2fs /dev/my-vg/web"}},
        {{"lv", "resize", "my-vg/scratch_1", "--size", "3072M"},
         [&] { return extentsOf("my-vg", "scratch_1") == 768; },
         {"\n+ my-vg/scratch_1  3072 ", "fs type ext2 on Dynamic Partition /dev/my-vg/scratch_1", "resize2fs"}},
        {{"lv", "resize", "my-vg/scratch_1", "--size", "+1G"}, [&] { return extentsOf("my-vg", "scratch_1") == 1024; }},
        {{"vg", "activate", "vg.backup"},
         [&] { return flag("vg.backup", "active"); },
         {"\n+ vg.backup/archive   12800      400      active    -          unknown  sda6  -\n"}},
        {{"vg", "rename", "vg.backup", "archive-vg"},
         [&] { return group("vg.backup").isEmpty() && !group("archive-vg").isEmpty(); },
         {"\n+ archive-vg/archive ", "\n+ └─sda6  18874368  Linux LVM, LVM  LVM2    -           yes  archive-vg  "
                                     "archive-vg/archive,archive-vg/old-root\n"}},
        {{"vg", "extend", "my-vg", "sdc3"}, [&] { return groupOf("/dev/sdc3") == "my-vg"; }, {"\n+ my-vg "}},
        {{"vg", "reduce", "my-vg", "/dev/sdc3"}, [&] { return groupOf("/dev/sdc3") != "my-vg"; }},
        {{"vg", "create", "g8", "sdc3", "--extent-size", "8G"}, [&] { return kib("g8") == 8 << 20; }},
        {{"vg", "create", "g4", "sdb6", "--extent-size", "4G"}, [&] { return kib("g4") == 4 << 20; }},
        {{"lv", "snapshot", "my-vg/scratch_1", "s1", "--size", "52M"},
         [&] { return stateVolume(sim, "my-vg", "s1").value("origin").toString() == "scratch_1"; },
         {"origin of s1", "snapshot of scratch_1"},
         {lvm + " lvcreate -s -ns1 -L 52M /dev/my-vg/scratch_1"}},
        {{"lv", "remove", "/dev/my-vg/s1"}, [&] { return absent("s1"); }, {"\n- my-vg/s1 "}},
        {{"lv", "rename", "my-vg/scratch_1", "scratch2"},
         [&] { return absent("scratch_1") && !absent("scratch2"); },
         {"\n- my-vg/scratch_1 ", "\n+ my-vg/scratch2 "}},
    };
    for (const Step& step : steps) {
        const ProgramRun run = roz(step.args);
        SCOPED_TRACE(step.args.join(' ').toStdString());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const QString& call : step.calls)
            EXPECT_TRUE(sim.callLines().contains(call)) << "ran no " << call.toStdString();
        EXPECT_TRUE(step.done());
        for (const QString& text : step.shown)
            EXPECT_EQ((text.startsWith("running: ") ? run.err : run.out).count(text), 1) << text.toStdString() << "\n"
                                                                                         << run.out.toStdString();
    }
}

// Refused from the model's view (exit 2), with the reason where it names something: no tool that
// changes anything runs.
TEST_F(CliChange, RefusalsRunNoChangingToolAndLeaveTheMachineAsItWas)
{
    const QList<std::pair<QStringList, QString>> refused{
        {{"vg", "create", "data", "sda2"}, ""},         // mounted
        {{"vg", "create", "data", "sdz9"}, ""},         // no such partition
        {{"vg", "create", "data", "sdc3", "sdc3"}, ""}, // twice
        {{"vg", "create", "my-vg", "sdc3"}, ""},        // the group exists
        {{"vg", "extend", "my-vg", "sdb1"}, ""},
        {{"vg", "create", "g", "sdc3", "sdb6", "--extent-size", "16G"}, "without a single extent"},
        {{"vg", "create", "g", "sdb6", "--extent-size", "8G"}, "without a single extent"},
        {{"vg", "remove", "my-vg"}, "/dev/my-vg/home"}, // holds volumes
        {{"vg", "rename", "vg.backup", "my-vg"}, ""},
        {{"vg", "reduce", "my-vg", "sdb6"}, ""}, // not one of its PVs
        {{"vg", "activate", "nosuch"}, "no volume group \"nosuch\""},
        {{"lv", "create", "my-vg", "home", "--size", "8M"}, ""}, // exists already
        {{"lv", "create", "nosuch", "x", "--size", "8M"}, ""},
        {{"lv", "rename", "my-vg/scratch_1", "music"}, ""},
        {{"lv", "remove", "my-vg/home"}, "snap1"},                         // has snapshots
        {{"lv", "snapshot", "my-vg/snap1", "s2", "--size", "8M"}, ""},     // of a snapshot
        {{"lv", "resize", "my-vg/scratch_1", "--size", "1G"}, "2048 MiB"}, // volumes only grow
    };
    for (const auto& [args, message] : refused) {
        const ProgramRun run = roz(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
    EXPECT_TRUE(callsWhere(sim, isToolChange).isEmpty()) << sim.callLines().join('\n').toStdString();
}

// A tool that fails (each fault lasts one run): exit 1, the reason on stderr, no success line, and
// the groups and volumes as they were. A resize's outcome is read from the model, not from the
// result alone.
TEST_F(CliChange, ToolFailuresExitWithTheReasonAndLeaveTheGroupsAndVolumes)
{
    struct Failure {
        QStringList args;
        QStringList fault; // lvm arguments that fail, or empty when the machine itself refuses
        QString message;
        QString toolSays = {}; // what the failing run prints, when not `message`
    };
    ASSERT_EQ(roz({"lv", "create", "my-vg", "raw", "--size", "8M", "--fs", "none"}).exitCode, 0);
    const QList<Failure> failures{
        {{"vg", "create", "data", "sdc3"}, {"vgcreate"}, "Metadata area full on /dev/sdc3"},
        {{"vg", "deactivate", "my-vg"}, {}, "Can't deactivate volume group \"my-vg\"", ""}, // a volume is mounted
        {{"lv", "create", "my-vg", "huge", "--size", "900G"}, {}, "Insufficient free extents"},
        {{"lv", "resize", "my-vg/raw", "--size", "16M"},
         {"lvextend"},
         "the volume was not grown: it is still 8 MiB",
         "Insufficient suitable allocatable extents"},
    };
    for (const Failure& failure : failures) {
        const QString says = failure.toolSays.isEmpty() ? failure.message : failure.toolSays;
        if (!failure.fault.isEmpty())
            sim.addFault(lvm, failure.fault, 5, "  " + says + "\n", 1);
        const ProgramRun run = roz(failure.args);
        const std::string line = failure.args.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 1) << line << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(failure.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(failure.fault.isEmpty() ? "result: " : "result: 5")) << line;
        EXPECT_FALSE(run.out.contains("(success)")) << line;
    }
    EXPECT_TRUE(roz({"vg", "deactivate", "my-vg"}).out.contains("no change in the model"));
}

// Growing only the volume is partly done (exit 4): the library leaves a file system whose type is
// unknown or one it does not grow. A file system that fails after a create leaves the volume (exit 1).
TEST_F(CliChange, ChangesThatReachOnlyTheVolume)
{
    ASSERT_EQ(roz({"lv", "create", "my-vg", "raw", "--size", "8M", "--fs", "none"}).exitCode, 0);
    const ProgramRun unknown = roz({"lv", "resize", "my-vg/raw", "--size", "16M"});
    EXPECT_EQ(unknown.exitCode, 4);
    EXPECT_TRUE(
        unknown.err.contains("roz: the volume grew to 16 MiB but its file system was not grown: its type is unknown"))
        << unknown.err.toStdString();
    EXPECT_EQ(extentsOf("my-vg", "raw"), 4);

    // A type the library does not grow, written into the simulated state's record of the volume.
    QByteArray state = QJsonDocument(sim.state()).toJson(QJsonDocument::Compact);
    ASSERT_EQ(state.count(R"("name":"raw")"), 1);
    sim.setState(QJsonDocument::fromJson(state.replace(R"("name":"raw")", R"("fstype":"vfat","name":"raw")")).object());
    const ProgramRun unsupported = roz({"lv", "resize", "my-vg/raw", "--size", "24M"});
    EXPECT_EQ(unsupported.exitCode, 4);
    EXPECT_TRUE(unsupported.err.contains(QStringLiteral("grew to 24 MiB but its file system was not grown: the library "
                                                        "cannot grow a file system of type \"vfat\"")))
        << unsupported.err.toStdString();

    sim.addFault("/sbin/mke2fs", {}, 1, "mke2fs: device busy\n");
    const ProgramRun noFs = roz({"lv", "create", "my-vg", "web2", "--size", "8M"});
    EXPECT_EQ(noFs.exitCode, 1);
    EXPECT_TRUE(noFs.err.contains("its file system was not")) << noFs.err.toStdString();
    EXPECT_TRUE(noFs.out.contains("result: 256"));
    EXPECT_FALSE(stateVolume(sim, "my-vg", "web2").isEmpty());
}

} // namespace
