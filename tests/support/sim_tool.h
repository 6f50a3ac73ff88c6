// Running the simulated tools of a SimRoot as processes, keeping stdout and stderr apart, and
// tables of runs with the exit code and the lines each one must print.
#ifndef DOVO_TESTS_SIM_TOOL_H
#define DOVO_TESTS_SIM_TOOL_H

#include "programrun.h"
#include "simroot.h"

#include <QFile>

#include <gtest/gtest.h>

// A program below the root and its arguments, as runTool takes them; one string is split at blanks.
struct Command : QStringList {
    Command(const char* line) : QStringList(QString::fromUtf8(line).split(QLatin1Char(' '))) {}
    Command(std::initializer_list<QString> parts) : QStringList(parts) {}
};

// "lvm" stands for the root's LVM program.
inline ProgramRun runTool(const SimRoot& sim, const Command& command)
{
    const QString lvm = QFile::exists(sim.root() + "/sbin/lvm.static") ? "/sbin/lvm.static" : "/sbin/lvm";
    return runProgram(sim.root() + (command.value(0) == QLatin1String("lvm") ? lvm : command.value(0)), command.mid(1));
}

// True when `lines` stand in a row in `text`, the first from a line's start, each whole but the last
// when it has no newline.
inline bool holdsLines(const QString& text, const QString& lines)
{
    return (QLatin1Char('\n') + text).contains(QLatin1Char('\n') + lines);
}

struct Expected {
    Command command;
    int code = 0;
    QString out = {}; // lines that standard output holds in a row (see holdsLines); empty: anything
    QString err = {}; // how standard error starts
};

// Runs the cases in order on `sim`; with `changesNothing`, each run must leave its state as it was.
inline void expectRuns(const SimRoot& sim, const QList<Expected>& cases, bool changesNothing = false)
{
    const QJsonObject before = sim.state();
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.command.join(' ').toStdString());
        const ProgramRun r = runTool(sim, c.command);
        EXPECT_EQ(r.exitCode, c.code);
        EXPECT_TRUE(holdsLines(r.out, c.out)) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
        if (changesNothing) {
            EXPECT_EQ(sim.state(), before);
        }
    }
}

#endif
