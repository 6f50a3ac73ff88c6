// A simulated root with a link below it: setup, a simulated tool and roz (--reset or the per-user
// default root) refuse it and leave what the link leads to untouched; tool links are replaced.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

namespace {

enum class Action { Setup, ToolRun, RozShow, RozReset };

struct LinkCase {
    QString path;    // below the root, replaced by a link to something outside it
    bool folder;     // the link leads to a folder (else to a file)
    bool isToolLink; // one of the links setup makes: replaced, never followed, so no refusal
};

struct ProgramRun {
    int code = -1;
    QString err;
};

ProgramRun start(const QString& program, const QStringList& args, const QString& stateHome)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", stateHome);
    env.insert("HOME", stateHome);
    env.remove("DOVODODUZU_CLI_ASSUME_UID");
    process.setProcessEnvironment(env);
    process.start(program, args);
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

ProgramRun act(Action action, const QString& root, const QString& stateHome, const QString& linked)
{
    switch (action) {
    case Action::Setup:
        return start(QStringLiteral(DOVO_SIM_BINARY), {"setup", root}, stateHome);
    case Action::ToolRun: // a change, so the state, the mount table and the log would all be written
        if (linked.startsWith("sbin"))
            return start(root + QStringLiteral("/bin/ls"), {"/dev/sda"}, stateHome);
        return start(root + QStringLiteral("/sbin/lvm.static"), {"vgchange", "-xn", "my-vg"}, stateHome);
    case Action::RozShow: // the per-user default root, which is `root` here
        return start(QStringLiteral(DOVO_ROZ_BINARY), {"show"}, stateHome);
    case Action::RozReset:
        return start(QStringLiteral(DOVO_ROZ_BINARY), {"show", "--reset"}, stateHome);
    }
    return {};
}

// What is at `path`, links not followed: each name with its content.
QMap<QString, QByteArray> snapshot(const QString& path)
{
    QMap<QString, QByteArray> seen;
    QStringList names{path};
    if (QFileInfo(path).isDir()) {
        QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next();
    }
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
    const QString state = "var/lib/dovododuzu-sim";
    const QList<LinkCase> cases{{"sbin", true, false},
                                {"bin", true, false},
                                {"etc", true, false},
                                {"usr/lib/vururer", true, false},
                                {"var", true, false},
                                {state, true, false},
                                {"etc/mtab", false, false},
                                {state + QStringLiteral("/calls.log"), false, false},
                                {state + QStringLiteral("/state.json"), false, false},
                                {state + QStringLiteral("/state.lock"), false, false},
                                {"sbin/parted", false, true}};
    const QList<Action> actions{Action::Setup, Action::ToolRun, Action::RozShow, Action::RozReset};
    const QString simProgram = QFileInfo(QStringLiteral(DOVO_SIM_BINARY)).canonicalFilePath();
    for (const LinkCase& c : cases) {
        for (const Action action : actions) {
            if (c.isToolLink && (action == Action::ToolRun || action == Action::RozShow))
                continue; // those start the tool rather than replace it
            SCOPED_TRACE(c.path.toStdString() + " action " + std::to_string(int(action)));
            QTemporaryDir scratch;
            const QString stateHome = scratch.filePath("state");
            const QString root = stateHome + QStringLiteral("/dovododuzu/sim-root");
            ASSERT_EQ(act(Action::Setup, root, stateHome, QString()).code, 0);

            const QString outside = scratch.filePath("outside");
            if (c.folder) {
                ASSERT_TRUE(QDir().mkpath(outside));
                writeFile(outside + QStringLiteral("/keep"), "keep me\n");
            } else {
                writeFile(outside, "keep me\n");
            }
            const QString at = root + '/' + c.path;
            ASSERT_TRUE(QFileInfo(at).isDir() ? QDir(at).removeRecursively()
                                              : !QFileInfo::exists(at) || QFile::remove(at));
            ASSERT_TRUE(QFile::link(outside, at));
            const QMap<QString, QByteArray> before = snapshot(outside);

            const ProgramRun run = act(action, root, stateHome, c.path);
            EXPECT_EQ(snapshot(outside), before);
            if (c.isToolLink) {
                EXPECT_EQ(run.code, 0) << run.err.toStdString();
                EXPECT_EQ(QFileInfo(at).symLinkTarget(), simProgram);
                continue;
            }
            EXPECT_NE(run.code, 0);
            EXPECT_TRUE(
                run.err.contains(QStringLiteral("refusing the simulated root %1: %2 is a symbolic link").arg(root, at)))
                << run.err.toStdString();
            EXPECT_EQ(run.err.trimmed().count('\n'), 0) << run.err.toStdString();
        }
    }
}

} // namespace
