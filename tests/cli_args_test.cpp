// roz's command line: help for every sub-command, and malformed lines refused before anything runs.
#include "cli_support.h"

#include <QFileInfo>

namespace {

class CliArgs : public RozCase
{
};

const QList<QStringList> everySubCommand{{"show"},         {"vg", "create"},   {"vg", "activate"}, {"vg", "deactivate"},
                                         {"vg", "freeze"}, {"vg", "defreeze"}, {"vg", "remove"},   {"vg", "rename"},
                                         {"vg", "extend"}, {"vg", "reduce"},   {"lv", "create"},   {"lv", "rename"},
                                         {"lv", "remove"}, {"lv", "snapshot"}, {"lv", "resize"}};

TEST_F(CliArgs, EverySubCommandHasHelpWithExamplesAndTheGeneralHelpListsThemAll)
{
    const RozRun general = roz({"--help"}, false);
    EXPECT_EQ(general.exitCode, 0);
    for (const QStringList& words : everySubCommand) {
        const QString name = words.join(' ');
        EXPECT_TRUE(general.out.contains(QStringLiteral("roz ") + name)) << name.toStdString();
        const RozRun help = roz(words + QStringList{"--help"}, false);
        EXPECT_EQ(help.exitCode, 0) << name.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: roz ") + name)) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("Examples:\n  roz")) << name.toStdString();
        const RozRun helpWord = roz(QStringList{"help"} + words, false);
        EXPECT_EQ(helpWord.out, help.out) << name.toStdString();
    }
    EXPECT_TRUE(roz({"lv", "-h"}, false).out.contains("roz lv snapshot"));
    // Help neither lays out a root nor runs anything.
    EXPECT_FALSE(QFileInfo::exists(stateHome()));
}

TEST_F(CliArgs, MalformedLinesAreRefusedBeforeAnythingRuns)
{
    const QList<QStringList> bad{
        {"frobnicate"},
        {"vg"},
        {"vg", "explode", "x"},
        {"show", "--bogus"},
        {"show", "--size"},
        {"show", "--json=yes"},
        {"show", "extra"},
        {"vg", "activate"},
        {"vg", "activate", "a", "b"},
        {"vg", "activate", "my-vg", "--size", "1M"},
        {"lv", "create", "my-vg", "x", "--size", "1M", "--json"},
        {"vg", "create", "data"},
    };
    for (const QStringList& args : bad) {
        const RozRun run = roz(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("roz: ") || args == QStringList{"vg"}) << args.join(' ').toStdString();
    }
    EXPECT_TRUE(sim.calls().isEmpty()) << sim.callLines().join('\n').toStdString();
}

TEST_F(CliArgs, BadNamesAreRefusedWithAClearMessageBeforeAnythingRuns)
{
    const QStringList badNames{"bad name", "bad/name", "-dash", "", "ümlaut", "a:b", "..", "x$"};
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
            const RozRun run = roz(size + QStringList{"--"} + args);
            EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
            EXPECT_TRUE(run.err.contains("name") || run.err.contains("GROUP/VOLUME")) << run.err.toStdString();
        }
    }
    EXPECT_TRUE(sim.calls().isEmpty()) << sim.callLines().join('\n').toStdString();
}

TEST_F(CliArgs, BadSizesAreRefusedBeforeAnythingRuns)
{
    const QStringList badSizes{"0", "0M", "-5M", "abc", "1.5M", "10X", "100K", "+5M", "", "99999999999G"};
    for (const QString& size : badSizes) {
        for (const QStringList& args : QList<QStringList>{{"lv", "create", "my-vg", "x", "--size", size},
                                                          {"lv", "snapshot", "my-vg/home", "s", "--size=" + size}}) {
            const RozRun run = roz(args);
            EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
            EXPECT_FALSE(run.err.isEmpty());
        }
    }
    for (const QString& extent : QStringList{"3M", "0", "512K", "six"}) {
        const RozRun run = roz({"vg", "create", "data", "sdc3", "--extent-size", extent});
        EXPECT_EQ(run.exitCode, 2) << extent.toStdString();
    }
    EXPECT_EQ(roz({"lv", "resize", "my-vg/home", "--size", "1.5G5"}).exitCode, 2);
    EXPECT_EQ(roz({"lv", "create", "my-vg", "x"}).exitCode, 2); // no --size at all
    EXPECT_EQ(roz({"lv", "create", "my-vg", "x", "--size", "4M", "--fs", "xfs"}).exitCode, 2);
    EXPECT_TRUE(sim.calls().isEmpty()) << sim.callLines().join('\n').toStdString();
}

} // namespace
