// The one place that says where each program the library changes the machine with lives, for
// either tool set.
#ifndef DOVODODUZU_PROGRAMS_P_H
#define DOVODODUZU_PROGRAMS_P_H

#include <QString>

#include <initializer_list>

// The LVM tool of each set: the classic static binary, and today's in either of its places.
inline constexpr char kClassicLvm[] = "/sbin/lvm.static";
inline constexpr char kCurrentLvm[] = "/sbin/lvm";
inline constexpr char kCurrentLvmElsewhere[] = "/usr/sbin/lvm";

// A classic LVM command line: "/sbin/lvm.static " followed by `rest`.
inline QString classicLvmCommand(const char* rest)
{
    return QLatin1String(kClassicLvm) + QLatin1Char(' ') + QLatin1String(rest);
}

enum class Program { Lvm, Parted, MakeExt, CheckExt, ResizeExt, MakeReiser, ResizeReiser, List, Lsblk, Blkid };

// The path (without the system root) the library starts `program` as. Classic: the fixed paths
// "/sbin/lvm.static", "/sbin/parted", ..., "/bin/ls". Current: "/sbin/NAME" or "/usr/sbin/NAME"
// ("/bin" and "/usr/bin" for lsblk), whichever the system root holds, else the first; the current
// set has no list program and answers an empty path for it.
QString programPath(Program program);

// The first of `paths` the system root holds, else the first.
QString firstPresentPath(std::initializer_list<const char*> paths);

#endif
