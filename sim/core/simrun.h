// One run of a simulated tool inside a root: the call log, fault rules, the tool itself and the
// write-back of the state, all under the root's lock.
#ifndef DOVODODUZU_SIM_SIMRUN_H
#define DOVODODUZU_SIM_SIMRUN_H

#include "simtools.h"

#include <QJsonObject>

namespace sim {

struct RunResult {
    Output output;
    int signal = 0; // when set, the program must die by this signal after writing its output
};

RunResult runInRoot(const QString& root, const QString& tool, const QStringList& args);

// A description of a large machine for benchmarks: `disks` disks sharing `partitions` partitions,
// `vgs` groups over some of them and `lvs` volumes spread over the groups.
QJsonObject generateMachine(int disks, int partitions, int vgs, int lvs);

} // namespace sim

#endif
