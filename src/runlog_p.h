// The programs runcmd started while a RunLog was open on this thread: lets a typed operation name
// the step that failed without reading its transcript.
#ifndef DOVODODUZU_RUNLOG_P_H
#define DOVODODUZU_RUNLOG_P_H

#include <QList>
#include <QString>
#include <QStringList>

struct ProgramRun {
    QString program; // as runcmd was given it, without the system root
    QStringList args;
    int result = 0; // what runcmd returned
};

// Records every runcmd on this thread from construction to destruction. Logs nest: each open one
// records.
class RunLog
{
public:
    RunLog();
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    const QList<ProgramRun>& runs() const { return m_runs; }

    // Called by runcmd for each program it started (or failed to).
    static void note(const QString& program, const QStringList& args, int result);

private:
    QList<ProgramRun> m_runs;
    RunLog* m_outer = nullptr;
};

#endif
