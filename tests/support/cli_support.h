// Running roz as a process in tests: each case gets a fresh simulated root and its own state and
// home directories, so cases share nothing and never reach the real machine.
#ifndef DOVO_TESTS_CLI_SUPPORT_H
#define DOVO_TESTS_CLI_SUPPORT_H

#include "modeltest.h"

#include "programrun.h"

#include <QJsonDocument>
#include <QTemporaryDir>

// `program` with `args`, HOME and XDG_STATE_HOME under `home`, and the variables of `extra`.
inline ProgramRun runInHome(const QString& program, const QStringList& args, const QString& home,
                            const QProcessEnvironment& extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
    env.remove(QStringLiteral("DOVODODUZU_CLI_ASSUME_UID"));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    return runProgram(program, args, env);
}

class RozCase : public ::testing::Test
{
protected:
    SimRoot sim;
    QTemporaryDir home;

    // roz with `args`, on this case's simulated root unless `onSimRoot` is false.
    ProgramRun roz(const QStringList& args, bool onSimRoot = true, const QProcessEnvironment& extra = {})
    {
        const QStringList simRoot{QStringLiteral("--sim-root"), sim.root()};
        return runInHome(QStringLiteral(DOVO_ROZ_BINARY), onSimRoot ? simRoot + args : args, home.path(), extra);
    }

    QString stateHome() const { return home.path() + QStringLiteral("/state"); }
};

#endif
