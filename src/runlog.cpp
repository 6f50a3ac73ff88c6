// The per-thread record of the programs runcmd started.
#include "runlog_p.h"

namespace {

thread_local RunLog* innermost = nullptr;

} // namespace

RunLog::RunLog() : m_outer(innermost)
{
    innermost = this;
}

RunLog::~RunLog()
{
    innermost = m_outer;
}

void RunLog::note(const QString& program, const QStringList& args, int result)
{
    for (RunLog* log = innermost; log; log = log->m_outer)
        log->m_runs.append({program, args, result});
}
