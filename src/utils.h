// Command runner, debug sink, text and regular-expression helpers, name check, result prettifier
// and physical-volume creation: the free functions every other module builds on.
#ifndef DOVODODUZU_UTILS_H
#define DOVODODUZU_UTILS_H

#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>

#include "dovododuzu_export.h"

// Where the programs and the mount table are taken from. Empty (the default) means the real
// machine: "/sbin/lvm.static" is started as it stands. Otherwise every program the library starts,
// and "/etc/mtab", are taken from root + path, e.g. "<root>/sbin/lvm.static". Arguments and every
// text the library produces keep naming the paths without the root.
DOVODODUZU_EXPORT void setSystemRoot(const QString& root);
DOVODODUZU_EXPORT QString systemRoot();

// The generation of tools the library reads the machine with. Classic: the 2.02-era set
// ("/sbin/lvm.static", the device lister, a run per object). Current: LVM2 2.03's "lvm" with JSON
// reports, util-linux's "lsblk" and "blkid", three runs for a whole discovery. Changes run the
// same command lines on either set, through that set's programs ("/sbin/lvm" or "/usr/sbin/lvm", ...).
enum class ToolSet { Classic, Current };

// The forced set if one is, else what the system root holds: Classic when "/sbin/lvm.static" is
// there; else Current when "/sbin/lvm" or "/usr/sbin/lvm" is; else Classic.
DOVODODUZU_EXPORT ToolSet toolSet();
// Makes toolSet() answer `tools` whatever the root holds, until clearForcedToolSet().
DOVODODUZU_EXPORT void forceToolSet(ToolSet tools);
DOVODODUZU_EXPORT void clearForcedToolSet();

// Starts `program` (an absolute path, no search, no shell) with `args`; `output` is replaced by
// the program's standard output and standard error, interleaved in write order. Returns the exit
// code, the raw wait status when the program was ended by a signal, 255 when it could not be
// started, or -1 when no process could be made.
DOVODODUZU_EXPORT int runcmd(const QString& program, const QStringList& args, QString& output);

// Called on this thread with each output line of a change program (standard output and error
// interleaved, without the newline) as soon as the program has printed it, while a synchronous
// call runs; the objects' output signals still come as they always do. Pass an empty function to
// stop. Jobs stream their lines through Job::line instead.
DOVODODUZU_EXPORT void setToolLineListener(std::function<void(const QString& line)> listener);

// The single sink of the library's debug lines: the Qt logging category "dovododuzu", whose debug
// level is off unless switched on with QLoggingCategory::setFilterRules("dovododuzu.debug=true").
DOVODODUZU_EXPORT void MyDebug(const QString& line);

// Splits `line` in place at `separator`, storing at most `capacity` field pointers in `fields`.
// The first byte of the line and the byte right after a separator are never taken as separators.
// Returns the number of fields stored.
DOVODODUZU_EXPORT int splitline(char* line, char** fields, char separator, int capacity);
template <std::size_t N> inline int splitline(char* line, char* (&fields)[N], char separator)
{
    return splitline(line, fields, separator, static_cast<int>(N));
}

// Cuts the string at its first newline.
DOVODODUZU_EXPORT void chomp(char* line);

// Matches a POSIX extended regular expression. On a match, each requested group (non-null out
// pointer) is cut out of `subject` in place and returned as a malloc'd copy the caller frees.
DOVODODUZU_EXPORT int getrematch(char* subject, const char* pattern, char** first, char** second);

// Word `index` (from 0) of `text`, a word being a run of letters, digits and underscores;
// empty when there is no such word.
DOVODODUZU_EXPORT QString findWord(const QString& text, int index);

// 0 when every character of `name` may stand in a group or volume name, -1 otherwise.
DOVODODUZU_EXPORT int QuorVerifyCN(const QString& name);

// Turns tool output holding terminal control sequences into plain text for display.
DOVODODUZU_EXPORT QString prettify_run_result(QString text);

// Marks each partition as an LVM partition with parted, then makes them physical volumes.
DOVODODUZU_EXPORT int createPv(const QStringList& devices, QString& output);

#endif
