// roz's command line: help for every sub-command, and malformed lines refused before anything runs.
#include "cli_support.h"

#include <QFileInfo>

namespace {

using CliArgs = RozCase;

const QList<QStringList> everySubCommand{{"show"},         {"vg", "create"},   {"vg", "activate"}, {"vg", "deactivate"},
                                         {"vg", "freeze"}, {"vg", "defreeze"}, {"vg", "remove"},   {"vg", "rename"},
                                         {"vg", "extend"}, {"vg", "reduce"},   {"lv", "create"},   {"lv", "rename"},
                                         {"lv", "remove"}, {"lv", "snapshot"}, {"lv", "resize"}};

TEST_F(CliArgs, EverySubCommandHasHelpWithExamplesAndTheGeneralHelpListsThemAll)
{
    const ProgramRun general = roz({"--help"}, false);
    EXPECT_EQ(general.exitCode, 0);
    for (const QStringList& words : everySubCommand) {
        const QString name = words.join(' ');
        EXPECT_TRUE(general.out.contains(QStringLiteral("roz ") + name)) << name.toStdString();
        const ProgramRun help = roz(words + QStringList{"--help"}, false);
        EXPECT_EQ(help.exitCode, 0) << name.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: roz ") + name)) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("Examples:\n  roz")) << name.toStdString();
        const ProgramRun helpWord = roz(QStringList{"help"} + words, false);
        EXPECT_EQ(helpWord.out, help.out) << name.toStdString();
    }
    EXPECT_TRUE(roz({"lv", "-h"}, false).out.contains("roz lv snapshot"));
    // Help neither lays out a root nor runs anything.
    EXPECT_FALSE(QFileInfo::exists(stateHome()));
}

// Each with the first line it prints on standard error (a bare "vg" prints its group's help instead).
TEST_F(CliArgs, MalformedLinesAndBadSizesAreRefusedBeforeAnythingRuns)
{
    QList<std::pair<QStringList, QString>> bad{
        {{"frobnicate"}, "unknown sub-command \"frobnicate\""},
        {{"vg"}, ""},
        {{"vg", "explode", "x"}, "unknown sub-command \"vg explode\""},
        {{"show", "--bogus"}, "unknown option --bogus (see roz --help)"},
        {{"show", "-x"}, "unknown option -x (see roz --help)"},
        {{"show", "-hx"}, "unknown option -hx (see roz --help)"},
        {{"show", "--bogus", "--size"}, "unknown option --bogus (see roz --help)"},
        {{"show", "--size"}, "--size needs a value"},
        {{"show", "--json=yes"}, "--json takes no value"},
        {{"show", "extra"}, "wrong number of operands; usage: roz show"},
        {{"vg", "activate"}, "wrong number of operands; usage: roz vg activate NAME"},
        {{"vg", "activate", "a", "b"}, "wrong number of operands; usage: roz vg activate NAME"},
        {{"vg", "activate", "my-vg", "--size", "1M"}, "roz vg activate takes no --size"},
        {{"lv", "create", "my-vg", "x", "--size", "1M", "--json"}, "roz lv create takes no --json"},
        {{"vg", "create", "data"}, "wrong number of operands; usage: roz vg create NAME DEV..."},
        {{"lv", "create", "my-vg", "x"}, "lv create needs --size, such as --size 100M"},
        {{"lv", "create", "my-vg", "x", "--size", "4M", "--fs", "xfs"}, ""},
        {{"lv", "resize", "my-vg/home", "--size", "1.5G5"}, ""},
    };
    for (const QString size : {"0", "0M", "-5M", "abc", "1.5M", "10X", "100K", "+5M", "", "99999999999G"})
        bad.emplace_back(QStringList{"lv", "create", "my-vg", "x", "--size", size}, QString());
    bad.emplace_back(QStringList{"lv", "snapshot", "my-vg/home", "s", "--size=1.5M"}, QString());
    for (const QString extent : {"3M", "0", "512K", "six"})
        bad.emplace_back(QStringList{"vg", "create", "data", "sdc3", "--extent-size", extent}, QString());
    for (const auto& [args, message] : bad) {
        const ProgramRun run = roz(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(args == QStringList{"vg"} ? run.out.contains("roz vg create")
                                              : run.err.startsWith("roz: " + message))
            << args.join(' ').toStdString() << run.err.toStdString();
    }
    EXPECT_TRUE(sim.calls().isEmpty()) << sim.callLines().join('\n').toStdString();
}

TEST_F(CliArgs, BadNamesAreRefusedWithAClearMessageBeforeAnythingRuns)
{
    const QStringList badNames{"bad name", "bad/name", "-dash", "", ".."};
    for (const QString& name : badNames) {
        // "--" lets names that look like options through to the name check.
        const QList<QStringList> lines{{"vg", "create", name, "sdc3"},
                                       {"vg", "rename", "my-vg", name},
                                       {"vg", "activate", name},
                                       {"lv", "create", "my-vg", name},
                                       {"lv", "snapshot", "my-vg/home", name},
                                       {"lv", "rename", "my-vg/home", name},
                                       {"lv", "remove", "my-vg/" + name}};
        for (const QStringList& args : lines) {
            const bool sized = args.at(0) == "lv" && (args.at(1) == "create" || args.at(1) == "snapshot");
            const QStringList size = sized ? QStringList{"--size", "4M"} : QStringList{};
            const ProgramRun run = roz(size + QStringList{"--"} + args);
            EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
            EXPECT_TRUE(run.err.contains("name") || run.err.contains("GROUP/VOLUME")) << run.err.toStdString();
        }
    }
    EXPECT_TRUE(sim.calls().isEmpty()) << sim.callLines().join('\n').toStdString();
}

} // namespace
