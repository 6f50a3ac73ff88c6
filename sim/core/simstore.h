// A simulated machine's root directory: the tool links, the state file, the call log and the
// mount table, and the locked read-modify-write of the state.
#ifndef DOVODODUZU_SIM_SIMSTORE_H
#define DOVODODUZU_SIM_SIMSTORE_H

#include "simjson.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace sim {

// The programs the simulated machine stands in for, by their path without the root.
const QStringList& toolPaths(ToolSet tools = ToolSet::Classic);
// Splits the path a program was started as into (root, tool path); false for no known tool.
bool splitStartPath(const QString& startPath, QString* root, QString* tool);

QString stateDir(const QString& root);  // <root>/var/lib/dovododuzu-sim
QString statePath(const QString& root); // .../state.json
QString callLogPath(const QString& root);
QString mtabPath(const QString& root); // <root>/etc/mtab

// Nothing the simulator writes or replaces may lie outside its root: below the root (which may
// itself be reached through links) no directory on the way to the state, the mount table or a
// tool, and none of the files written, may be a symbolic link. Only the tool links themselves are
// links, and those are replaced, never followed. False, with a one-line `error` naming the
// offending path, for a root that breaks the rule; an absent root or absent paths are fine.
bool checkRoot(const QString& root, QString* error);

// Where a root keeps its mount table: etc/mtab for the classic tools, proc/self/mounts for today's.
QString mountTablePath(const QString& root, ToolSet tools);

// Finds a machine description: an existing file path, or the name of a shipped one looked up next
// to `programPath` (../share/dovododuzu-sim/machines, ./machines) and in the source tree.
QString findMachine(const QString& nameOrPath, const QString& programPath);
QStringList shippedMachineDirs(const QString& programPath);
std::optional<Machine> loadMachineFile(const QString& path, QString* error);

// Lays out `root` from a description: links at the tool paths of `tools` pointing at `simProgram`,
// the state (which records the tool set) and the mount table. Refuses (changing nothing) a root
// that checkRoot refuses.
bool layoutRoot(const QString& root, const QString& machine, const QString& simProgram, QString* error,
                ToolSet tools = ToolSet::Classic);

// Runs `change` on the state of `root` under the root's lock; the state and mtab are written back
// when it returns true. Returns false (with `error`) when the state could not be read or written.
bool withState(const QString& root, const std::function<bool(Machine&)>& change, QString* error);
std::optional<Machine> readState(const QString& root, QString* error);
// Replaces the whole state (a description is normalized first), under the lock.
bool replaceState(const QString& root, const QJsonObject& state, QString* error);
bool writeState(const QString& root, const Machine& machine, QString* error);

// The call log: one JSON array per line, [program, arg1, ...].
bool appendCall(const QString& root, const QString& program, const QStringList& args, QString* error);
QList<QStringList> readCalls(const QString& root);
void clearCalls(const QString& root);

} // namespace sim

#endif
