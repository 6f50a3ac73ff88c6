// Plain-text parsers of the physical tree: device-lister lines, pvdisplay output, mount-table lookup.
#ifndef DOVODODUZU_DISKPARSE_P_H
#define DOVODODUZU_DISKPARSE_P_H

#include <QList>
#include <QString>
#include <QStringList>

#include "toolstream_p.h"

// The device lister's command line; its standard error is left to the caller.
inline constexpr char kDeviceListerCommand[] = "/usr/lib/vururer/lib/veziva.cli dev lsdev -C -c storage";

// The table header of "pvdisplay -v" that precedes the logical volumes on a physical volume.
inline constexpr char kLvTableHeader[] = "LV Name                   LE of LV  PE for LV";

// A line split at every tab; empty fields count (two tabs in a row give an empty field).
QStringList splitAtTabs(const QString& line);

// Field `index` of a split line, or an empty string when the line is shorter.
QString fieldAt(const QStringList& fields, int index);

struct DriveLine {
    QString name;           // as printed, white space not yet simplified
    unsigned long size = 0; // in the lister's own unit; 0 when not a number
};

// True for a "DRIVE" line of kind "DISK"; fills `drive` from fields 2 and 5.
bool parseDiskLine(const QString& line, DriveLine& drive);

// Partition name of a "PART" line: the part of field 1 after its last "/", then field 2.
QString partitionNameOf(const QStringList& fields);

// True when the lister line is a partition of the disk `diskName` (name contained in the
// partition name) and not an "extended" one; `partitionName` receives the name.
bool takePartitionLine(const QString& line, const QString& diskName, QString& partitionName);

// What a partition's device line says about it.
struct PartitionBasics {
    int size = 0;
    QString systemTag; // null when the line has no (or an empty) field 11
    QString system;
    bool pvCandidate = false; // the system tag names LVM
    QString fstype;           // may be null: the lister's own type is not to be trusted
};

PartitionBasics parsePartitionBasics(const QString& deviceLine);

// The answer of "pvdisplay -c <path>".
struct PvRecord {
    bool noLabel = false; // "No physical volume label": not a physical volume after all
    QString vgName;       // empty outside every group (LVM2's "#orphans..." included)
    QString uuid;
};

// Reads the one record in the output lines of "pvdisplay -c": the first line that either reports
// a missing label or starts with a device path. Lines before it (warnings, "... is a new physical
// volume of ...") are passed over; output with neither reads as empty.
PvRecord parsePvDisplayColon(const QStringList& lines);

// One row of the "pvdisplay -v" LV table: the logical volume's path.
QString lvPathOfTableRow(const QString& row);

// Follows "pvdisplay -v" output line by line and collects the LV table's paths; stops wanting
// lines once the table has ended, so the caller need not read further.
class LvTableScanner
{
public:
    // Takes one line; false once the table is over (further lines would be ignored).
    bool addLine(const QString& line);
    QStringList paths() const { return m_paths; }

private:
    enum class State { BeforeHeader, InTable, Done };
    State m_state = State::BeforeHeader;
    QStringList m_paths;
};

// The LV paths of a whole "pvdisplay -v" output.
QStringList lvPathsOfPvDisplay(const QStringList& lines);

// The first mount-table entry whose device field, split at "/", has `name` as part 2
// ("/dev/hda1" -> "hda1"); null when none does.
const MountEntry* findMountEntry(const QList<MountEntry>& table, const QString& name);

#endif
