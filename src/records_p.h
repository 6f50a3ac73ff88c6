// Plain records a reader hands the model: what one read of the machine says about a group, a
// volume, a disk or a partition. Either tool set's reader fills them; the model objects apply them.
#ifndef DOVODODUZU_RECORDS_P_H
#define DOVODODUZU_RECORDS_P_H

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "diskparse_p.h"
#include "lvmparse_p.h"

// A volume's device path, "/dev/VG/LV".
inline QString volumePathOf(const QString& vgName, const QString& lvName)
{
    return QStringLiteral("/dev/") + vgName + QLatin1Char('/') + lvName;
}

// A partition's device path, "/dev/NAME".
inline QString partitionPathOf(const QString& name)
{
    return QStringLiteral("/dev/") + name;
}

// The groups a listing found, those it could not read, and what went wrong running it.
struct GroupListing {
    QStringList found;
    QStringList unreadable;
    QStringList problems;
};

// A group's sixteen figures in Vg::Attribute order and its UUID.
using GroupRecord = VgRecord;

// One volume of a group's listing and its snapshot role.
struct VolumeEntry {
    QString name;
    bool original = false;
    bool snapshot = false;
};

struct VolumeListing {
    QList<VolumeEntry> volumes;
    QStringList problems;
};

// One read of a volume. A field left empty (std::nullopt) was not read: the volume keeps what it
// had.
struct VolumeRecord {
    LvRecord figures;             // status already as the listing of the volume's state says
    int cowLe = 0;                // a snapshot's copy-on-write extents; 0 for any other volume
    std::optional<bool> isOrigin; // the volume has snapshots
    std::optional<bool> isSnapshot;
    QStringList snapshots;         // an origin's snapshots, by name
    std::optional<QString> origin; // a snapshot's origin, by name
    QString fstype;
};

struct DiskEntry {
    QString name;
    unsigned long size = 0;
};

struct DiskListing {
    QList<DiskEntry> disks;
    QStringList problems;
};

// A partition and the device line it is probed from (empty for a reader that needs none).
struct PartitionEntry {
    QString name;
    QString deviceLine;
};

struct PartitionListing {
    QList<PartitionEntry> partitions;
    QStringList problems;
};

// A partition to probe again, by path, and its device line (empty for a reader that needs none).
struct PartitionLine {
    QString path;
    QString deviceLine;
};

// The group a physical volume belongs to.
struct PvMembership {
    QString vgPath; // "/dev/" + group name; empty outside every group
    QString uuid;
};

// One probe of a partition.
struct PartitionRecord {
    int size = 0;
    QString systemTag;
    QString system;
    bool pv = false;
    QString fstype;
    QString mountPoint;
    std::optional<PvMembership> membership; // not read: group path and UUID stay as they were
};

#endif
