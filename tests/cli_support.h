// Running roz as a process in tests: each case gets a fresh simulated root and its own state and
// home directories, so cases share nothing and never reach the real machine.
#ifndef DOVO_TESTS_CLI_SUPPORT_H
#define DOVO_TESTS_CLI_SUPPORT_H

#include "modeltest.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

// The groups with their volumes, and the PVs that belong to a group: what a failed change leaves as
// it was (a PV made before the failing step may stay, outside every group).
inline QJsonArray groupsOf(const SimRoot& sim)
{
    const QJsonObject state = sim.state();
    QJsonArray members;
    for (const QJsonValue& pv : state.value(QStringLiteral("pvs")).toArray()) {
        if (!pv.toObject().value(QStringLiteral("vg")).toString().isEmpty())
            members << pv;
    }
    return {state.value(QStringLiteral("vgs")), members};
}

struct RozRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class RozCase : public ::testing::Test
{
protected:
    SimRoot sim;
    QTemporaryDir home;

    // roz with `args`, on this case's simulated root unless `onSimRoot` is false.
    RozRun roz(const QStringList& args, bool onSimRoot = true, const QProcessEnvironment& extra = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome());
        env.remove(QStringLiteral("DOVODODUZU_CLI_ASSUME_UID"));
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        process.setProcessEnvironment(env);
        const QStringList fullArgs = onSimRoot ? QStringList{QStringLiteral("--sim-root"), sim.root()} + args : args;
        process.start(QStringLiteral(DOVO_ROZ_BINARY), fullArgs);
        process.waitForFinished(-1);
        RozRun run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString stateHome() const { return home.path() + QStringLiteral("/state"); }

    // `roz show --json` on the case's root, parsed.
    QJsonObject shownJson()
    {
        const RozRun run = roz({QStringLiteral("show"), QStringLiteral("--json")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }

    QJsonObject stateGroup(const QString& name) { return ::stateGroup(sim, name); }
    QJsonObject stateVolume(const QString& group, const QString& name) { return ::stateVolume(sim, group, name); }
    QString stateGroupOfPv(const QString& device) { return ::stateGroupOfPv(sim, device); }

    // True when some program run contains `word` among its arguments or as its path.
    bool ran(const QString& word)
    {
        return !callsWhere(sim, [&](const QStringList& call) {
                    return call.contains(word) || call.value(0).endsWith(word);
                }).isEmpty();
    }
};

#endif
