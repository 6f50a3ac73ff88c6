// A simulated root with a link below it: setup, a simulated tool and roz (--reset or the per-user
// default root) refuse it and leave what the link leads to untouched; tool links are replaced.
#include "cli_support.h"

#include <QDirIterator>
#include <QMap>

namespace {

enum class Action { Setup, ToolRun, RozShow, RozReset };

// `root` is the per-user default root of `home`; a tool run is a change, so the state, the mount
// table and the log would all be written.
ProgramRun act(Action action, const QString& root, const QString& home, const QString& linked)
{
    if (action == Action::Setup)
        return runInHome(QStringLiteral(DOVO_SIM_BINARY), {"setup", root}, home);
    if (action == Action::ToolRun && linked.startsWith("sbin"))
        return runInHome(root + "/bin/ls", {"/dev/sda"}, home);
    if (action == Action::ToolRun)
        return runInHome(root + "/sbin/lvm.static", {"vgchange", "-xn", "my-vg"}, home);
    const QStringList reset = action == Action::RozReset ? QStringList{"--reset"} : QStringList{};
    return runInHome(QStringLiteral(DOVO_ROZ_BINARY), QStringList{"show"} + reset, home);
}

// What is at `path`, links not followed: each name with its content.
QMap<QString, QByteArray> snapshot(const QString& path)
{
    QMap<QString, QByteArray> seen;
    QStringList names{path};
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    for (const QString& name : names) {
        QFile file(name);
        seen[name] = QFileInfo(name).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return seen;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(RootLinks, NothingIsWrittenOrReplacedThroughALinkBelowTheRoot)
{
    const QString state = "var/lib/dovododuzu-sim/";
    // Below the root, replaced by a link to a folder outside it ("name/") or to a file.
    const QStringList linked = QStringList{"sbin/", "bin/", "etc/", "usr/lib/vururer/", "var/", state, "etc/mtab"} +
                               QStringList{state + "calls.log", state + "state.json", state + "state.lock"};
    const QString toolLink = "sbin/parted"; // made by setup: replaced, never followed, so no refusal
    const QString simProgram = QFileInfo(QStringLiteral(DOVO_SIM_BINARY)).canonicalFilePath();
    for (const QString& path : linked + QStringList{toolLink}) {
        for (const Action action : {Action::Setup, Action::ToolRun, Action::RozShow, Action::RozReset}) {
            if (path == toolLink && (action == Action::ToolRun || action == Action::RozShow))
                continue; // those start the tool rather than replace it
            SCOPED_TRACE(path.toStdString() + " action " + std::to_string(int(action)));
            QTemporaryDir home;
            const QString root = home.filePath("state/dovododuzu/sim-root");
            ASSERT_EQ(act(Action::Setup, root, home.path(), QString()).exitCode, 0);

            const QString outside = home.filePath("outside");
            if (path.endsWith('/')) {
                ASSERT_TRUE(QDir().mkpath(outside));
                writeFile(outside + "/keep", "keep me\n");
            } else {
                writeFile(outside, "keep me\n");
            }
            const QString at = root + '/' + path.chopped(path.endsWith('/') ? 1 : 0);
            ASSERT_TRUE(QFileInfo(at).isDir() ? QDir(at).removeRecursively()
                                              : !QFileInfo::exists(at) || QFile::remove(at));
            ASSERT_TRUE(QFile::link(outside, at));
            const QMap<QString, QByteArray> before = snapshot(outside);

            const ProgramRun run = act(action, root, home.path(), path);
            EXPECT_EQ(snapshot(outside), before);
            if (path == toolLink) {
                EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
                EXPECT_EQ(QFileInfo(at).symLinkTarget(), simProgram);
                continue;
            }
            EXPECT_NE(run.exitCode, 0);
            EXPECT_TRUE(
                run.err.contains(QStringLiteral("refusing the simulated root %1: %2 is a symbolic link").arg(root, at)))
                << run.err.toStdString();
            EXPECT_EQ(run.err.trimmed().count('\n'), 0) << run.err.toStdString();
        }
    }
}

} // namespace
