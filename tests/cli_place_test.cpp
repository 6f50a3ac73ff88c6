// Where roz works: the per-user simulated root kept between runs, --sim-root, --machine, --reset,
// and --system refused without root (the check is only ever made to refuse here).
#include "cli_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using CliPlace = RozCase;

QStringList groupNames(const ProgramRun& run)
{
    return entryNames(QJsonDocument::fromJson(run.out.toUtf8()).object().value("groups").toArray());
}

TEST_F(CliPlace, DefaultRootLivesInTheStateDirectoryAndKeepsChanges)
{
    const ProgramRun create = roz({"vg", "create", "data", "sdc3"}, false);
    ASSERT_EQ(create.exitCode, 0) << create.err.toStdString();
    const QString root = stateHome() + "/dovododuzu/sim-root";
    EXPECT_TRUE(create.err.contains("laid out the simulated machine \"default\" in " + root));
    EXPECT_TRUE(QFileInfo::exists(root + "/sbin/lvm.static"));

    const ProgramRun again = roz({"show", "--json"}, false);
    EXPECT_EQ(groupNames(again), (QStringList{"my-vg", "vg.backup", "data"}));
    EXPECT_FALSE(again.err.contains("laid out"));
    EXPECT_EQ(QJsonDocument::fromJson(again.out.toUtf8())["root"].toString(), root);
    EXPECT_EQ(groupNames(roz({"show", "--json", "--reset"}, false)), (QStringList{"my-vg", "vg.backup"}));

    // Without XDG_STATE_HOME the root goes under the home directory.
    QProcessEnvironment noXdg;
    noXdg.insert("XDG_STATE_HOME", QString());
    ASSERT_EQ(roz({"show"}, false, noXdg).exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/.local/state/dovododuzu/sim-root/etc/mtab"));
}

// A machine file lays out that machine and is refused on a root that exists; a folder holding other
// files is never made a root.
TEST_F(CliPlace, MachineFileAndForeignFolders)
{
    const QString file = home.filePath("small.json");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(R"({"format": 1, "pvs": [], "vgs": [], "disks": [{"name": "vda", "sizeKiB": 2097152, "partitions": [
        {"number": 1, "system": "Linux", "fstype": "ext3", "sizeKiB": 2097152, "fsUsedKiB": 0}]}]})");
    out.close();
    const QStringList place{"--sim-root", home.filePath("small-root"), "--machine", file};
    const ProgramRun first = roz(QStringList{"show", "--json"} + place, false);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(entryNames(QJsonDocument::fromJson(first.out.toUtf8())["disks"].toArray()), QStringList{"vda"});
    const ProgramRun second = roz(QStringList{"show"} + place, false);
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_TRUE(second.err.contains("--reset"));

    ASSERT_TRUE(QDir().mkpath(home.filePath("precious")));
    ASSERT_TRUE(QFile::copy(file, home.filePath("precious/notes.txt")));
    const ProgramRun foreign = roz({"show", "--sim-root", home.filePath("precious")}, false);
    EXPECT_EQ(foreign.exitCode, 3);
    EXPECT_TRUE(foreign.err.contains("not a simulated machine"));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("precious/sbin")));
}

// The variable can only take root away. The name below is bad on purpose: if the root check were
// skipped, roz would refuse the name (exit 2) before starting any tool, so this case can fail
// without ever touching the real machine.
TEST_F(CliPlace, SystemIsRefusedWithoutRootOrWithASimulatedRoot)
{
    QProcessEnvironment notRoot;
    notRoot.insert("DOVODODUZU_CLI_ASSUME_UID", "1000");
    for (const QStringList& system : {QStringList{"--system"}, QStringList{"--system-root", sim.root()}}) {
        const ProgramRun run = roz(QStringList{"vg", "create", "bad name!", "sdc3"} + system, false, notRoot);
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.err.contains("real disks") && run.err.contains("needs root")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(roz({"show", "--system"}).exitCode, 2); // roz() adds --sim-root, which --system does not take
    EXPECT_TRUE(sim.calls().isEmpty());
}

// Qt aborts a program whose real and effective user ids differ; roz refuses first and says why.
// A copy of roz owned by nobody (65534) with the set-user-id bit, started by root, runs with
// real uid 0 and effective uid 65534.
TEST_F(CliPlace, RefusesToRunSetuid)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "making a set-user-id copy of roz owned by another user needs root";
    QTemporaryDir dir;
    struct statvfs mount = {};
    if (statvfs(QFile::encodeName(dir.path()).constData(), &mount) == 0 && (mount.f_flag & ST_NOSUID))
        GTEST_SKIP() << "the temporary directory is on a file system mounted nosuid";
    const QString copy = dir.filePath("roz");
    ASSERT_TRUE(QFile::copy(QStringLiteral(DOVO_ROZ_BINARY), copy));
    ASSERT_EQ(chown(QFile::encodeName(copy).constData(), 65534, 65534), 0);
    ASSERT_EQ(chmod(QFile::encodeName(copy).constData(), 04755), 0);

#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtime cannot read its options in a set-user-id process (its environment is
    // not readable there), and its leak checker then fails the exit whatever roz does.
    GTEST_SKIP() << "a sanitizer build's leak checker cannot run in a set-user-id process";
#endif
    const ProgramRun run = runInHome(copy, {"show", "--sim-root", sim.root()}, home.path());
    EXPECT_EQ(run.exitCode, 3) << "-1 if roz crashed instead of refusing";
    EXPECT_EQ(run.err, "roz: refusing to run setuid (real uid 0, effective uid 65534)\n");
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(sim.calls().isEmpty());
}

} // namespace
