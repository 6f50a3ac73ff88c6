// Running one simulated tool of a SimRoot as a process, keeping stdout and stderr apart.
#ifndef DOVO_TESTS_SIM_TOOL_H
#define DOVO_TESTS_SIM_TOOL_H

#include "simroot.h"

#include <QProcess>

struct ToolRun {
    int code = -1; // -1: ended by a signal
    QString out;
    QString err;
    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline ToolRun runTool(const SimRoot& sim, const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(sim.root() + program, args);
    p.waitForFinished(-1);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

inline ToolRun lvm(const SimRoot& sim, const QStringList& args)
{
    return runTool(sim, QStringLiteral("/sbin/lvm.static"), args);
}

#endif
