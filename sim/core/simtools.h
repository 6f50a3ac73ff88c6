// The simulated tools: one entry point that runs a tool's command line against a machine state,
// and the small helpers (output collection, option parsing, sizes) the tools share.
#ifndef DOVODODUZU_SIM_SIMTOOLS_H
#define DOVODODUZU_SIM_SIMTOOLS_H

#include "simstate.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace sim {

// What a run printed, in write order per stream, and how it ended.
struct Output {
    enum Stream { Out = 1, Err = 2 };
    QList<QPair<Stream, QByteArray>> chunks;
    int exitCode = 0;

    void out(const QString& text) { chunks << qMakePair(Out, text.toUtf8()); }
    void err(const QString& text) { chunks << qMakePair(Err, text.toUtf8()); }
    // Shorthands for one line with a newline added.
    void outLine(const QString& line) { out(line + QLatin1Char('\n')); }
    void errLine(const QString& line) { err(line + QLatin1Char('\n')); }
    int fail(int code, const QString& errorLine)
    {
        errLine(errorLine);
        return exitCode = code;
    }
    QByteArray stdoutText() const;
    QByteArray allText() const;
};

// A message as each tool set words it; without `current` both say the same.
struct Phrase {
    const char* classic;
    const char* current = nullptr;
};
QString say(const Machine& m, const Phrase& phrase);
inline bool isCurrent(const Machine& m)
{
    return m.tools == ToolSet::Current;
}

// The size of a partition or disk of the machine in KiB; 0 for a device it does not hold.
qint64 deviceKiB(const Machine& m, const QString& device);
// "lvdisplay -m"'s segment map of a volume, worded as the machine's tool set words it.
void lvSegmentMap(const Machine& m, const Lv& v, Output& o);
// The names of the groups the tools can read, in state order.
QStringList readableGroupNames(const Machine& m);
// "pvdisplay -m"'s physical segment map of a PV of group `g`, as both tool sets print it.
void pvSegmentMap(const Vg& g, const Pv& p, Output& o);

// Runs `tool` (a path from toolPaths()) with `args` on `machine`. Sets *changed when the state
// was modified and must be written back; the exit code is in output.exitCode.
void runTool(Machine& machine, const QString& tool, const QStringList& args, Output& output, bool* changed);

// One simulated program each (runTool's contract; the exit code is returned). Tools that only
// read never set *changed.
// The LVM tool (simlvmread.cpp), both /sbin/lvm.static and today's /sbin/lvm.
int runLvm(Machine& m, const QStringList& args, Output& o, bool* changed);
// Disk tools: parted and the device lister (simdisktools.cpp), lsblk and blkid (simutillinux.cpp).
int runParted(Machine& m, const QStringList& args, Output& o, bool* changed);
int runLister(Machine& m, const QStringList& args, Output& o, bool* changed);
int runLsblk(Machine& m, const QStringList& args, Output& o, bool* changed);
int runBlkid(Machine& m, const QStringList& args, Output& o, bool* changed);
// File-system tools (simfstools.cpp).
int runMke2fs(Machine& m, const QStringList& args, Output& o, bool* changed);
int runMkreiserfs(Machine& m, const QStringList& args, Output& o, bool* changed);
int runE2fsck(Machine& m, const QStringList& args, Output& o, bool* changed);
int runResize2fs(Machine& m, const QStringList& args, Output& o, bool* changed);
int runResizeReiserfs(Machine& m, const QStringList& args, Output& o, bool* changed);
int runMount(Machine& m, const QStringList& args, Output& o, bool* changed);
int runLs(Machine& m, const QStringList& args, Output& o, bool* changed);

// The LVM tool's commands by name; each returns -1 for a command it does not know.
int runLvmRead(const QString& command, Machine& m, const QStringList& args, Output& o);
// Today's reads: lvm 2.03's displays and JSON reports.
int runLvmCurrentRead(const QString& command, Machine& m, const QStringList& args, Output& o);
// Changes of PVs and groups (simlvmgroups.cpp) and of volumes (simlvmvolumes.cpp).
int runLvmGroupChange(const QString& command, Machine& m, const QStringList& args, Output& o, bool* changed);
int runLvmVolumeChange(const QString& command, Machine& m, const QStringList& args, Output& o, bool* changed);

// A volume has a device node while it and its group are active.
bool lvActive(const Vg& g, const Lv& v);
// device-mapper minor numbers, in the order the volumes were activated (here: listed).
int minorOf(const Machine& m, const Vg& group, const Lv& volume);
// What blkid finds on a device ("ext3", "LVM2_member", ...), empty for nothing or no device node.
QString probedType(const Machine& m, const QString& device);
// The UUID blkid reports for the file system or PV label on a device, empty for none.
QString probedUuid(const Machine& m, const QString& device);

// Options of one command line: "-Xvalue", "-X value", "--long value", "--long=value", flags
// ("-f", "-ff"), and positionals in between; empty entries are skipped.
struct Options {
    QMap<QChar, QStringList> values;
    QStringList positional;
    QString error;
    bool has(QChar c) const { return values.contains(c); }
    int count(QChar c) const { return int(values.value(c).size()); }
    QString value(QChar c) const { return values.value(c).isEmpty() ? QString() : values.value(c).last(); }
};
Options parseOptions(const QStringList& args, const QString& withValue, const QString& flags,
                     const QMap<QString, QChar>& longNames = {});

// LVM's display of a size given in KiB: "10.00 GiB", "0   " for nothing. Today's LVM marks a
// rounded figure with "<" ("<31.49 GiB").
QString displaySize(qint64 kib);
QString displaySize(const Machine& m, qint64 kib);
// "100", "100M", "1.5g", "+50" → KiB; a bare number is in `defaultUnit` ('K', 'M', 'G', 'T', 's').
// `sign` receives '+', '-' or 0 when given.
std::optional<qint64> parseSize(QString text, QChar defaultUnit, QChar* sign = nullptr);

// The device path of a partition.
QString partitionPath(const Disk& d, const Partition& p);

} // namespace sim

#endif
