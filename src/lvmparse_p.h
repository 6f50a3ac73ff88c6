// Plain-text parsers for the LVM tool's output lines and the mount table, as the logical tree reads them.
#ifndef DOVODODUZU_LVMPARSE_P_H
#define DOVODODUZU_LVMPARSE_P_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "toolstream_p.h"

// The fixed POSIX extended patterns the line parsers hand to getrematch.
namespace LvmPattern {
inline constexpr const char* kFoundGroup = "Found (\\w*) group \"(.*)\"";
inline constexpr const char* kUnreadableGroup = "vgscan -- ERROR \"(.*)\" can't get data of volume group \"(.*)\".*$";
inline constexpr const char* kVgNotActive = "^vgdisplay -- \"[^\"]*\" is NOT active; try -D";
inline constexpr const char* kPvscanPair = "PV (.*)VG (.*)lvm";
inline constexpr const char* kQuotedPath = "^.*'([^']*)'.*$";
inline constexpr const char* kLvStatus = "LV Status[[:blank:]]*(.*)$";
inline constexpr const char* kPhysicalVolume = "Physical volume[[:blank:]]*(.*)$";
inline constexpr const char* kAll[] = {kFoundGroup, kUnreadableGroup, kVgNotActive,   kPvscanPair,
                                       kQuotedPath, kLvStatus,        kPhysicalVolume};
} // namespace LvmPattern

// One line of "vgscan": the name of a group it found, and/or of one it could not read.
struct VgscanLine {
    bool isFound = false;
    QString found;
    bool isUnreadable = false;
    QString unreadable;
};
VgscanLine parseVgscanLine(const QByteArray& line);

// The first line of "vgdisplay -c" saying the group must be read with "-D".
bool isVgNotActiveLine(const QByteArray& line);

// The colon record of "vgdisplay -c": sixteen figures indexed as Vg::Attribute, and the UUID.
struct VgRecord {
    int attr[16] = {};
    QString uuid;
};
VgRecord parseVgdisplayRecord(const QByteArray& line);

// One "pvscan" line that pairs a physical volume with its group.
struct PvscanEntry {
    bool valid = false;
    QString device;
    QString group;
};
PvscanEntry parsePvscanLine(const QByteArray& line);

// One "lvscan" line: the volume's group and name from its quoted path, and its snapshot role.
struct LvscanEntry {
    bool valid = false;
    QString group;
    QString name;
    bool original = false;
    bool snapshot = false;
};
LvscanEntry parseLvscanLine(const QByteArray& line);

// The colon record of "lvdisplay -c"; size already in MB.
struct LvRecord {
    int access = 0;
    int status = 0;
    int number = 0;
    int size = 0;
    int currentLe = 0;
    int allocatedLe = 0;
    int allocation = 0;
    int readAhead = 0;
    int major = 0;
    int minor = 0;
    bool found = false; // the line was a volume's record at all
};
LvRecord parseLvdisplayRecord(const QByteArray& line);

// A snapshot's "COW-table LE" line: the extents of its copy-on-write area.
bool parseCowTableLeLine(const QByteArray& line, int& extents);

// "lvdisplay" says a volume "is not active" and must be read with "-D".
bool isLvNotActiveLine(const QByteArray& line);

// The text after "LV Status" and the blanks behind it; false for any other line.
bool parseLvStatusLine(const QByteArray& line, QString& statusText);
// 0 for a status text holding "NOT", else 1.
int lvStatusValue(const QString& statusText);

// Lines of "lvdisplay -v" around the snapshot links.
bool isSnapshotStatusLine(const QByteArray& line);
// True when the snapshot-status line makes the volume an origin rather than a snapshot.
bool snapshotStatusMeansOrigin(const QByteArray& line);
bool isInactiveSnapshotLine(const QByteArray& line);
// The "Status" line that ends an origin's listing of its snapshots.
bool isSnapshotListingEnd(const QByteArray& line);
// A snapshot's name from an origin's listing line ("/dev/vg0/snap1 [active]" -> "snap1").
QString snapshotNameFromListingLine(const QByteArray& line);
// The origin's name from a snapshot's status line ("... destination for /dev/vg0/home" -> "home").
QString originFromSnapshotStatusLine(const QByteArray& line);

// The device after "Physical volume" and the blanks behind it; false for any other line.
bool parsePhysicalVolumeLine(const QByteArray& line, QString& device);
// Appends `device` and ":" unless the string holds it already (as a substring).
void appendPvOnce(QString& pvString, const QString& device);
// Drops the trailing ":" of a string built by appending "device:".
void dropTrailingSeparator(QString& pvString);

// The device-mapper name of a volume as the kernel writes it: inner hyphens doubled.
QString deviceMapperName(const QString& vgName, const QString& lvName);
// The directory of the first mount-table entry naming the volume by its path or by its
// device-mapper name (doubled or plain hyphens); null when none does.
QString mountPointOf(const QList<MountEntry>& table, const QString& vgName, const QString& lvName);

#endif
