// A plain copy of what the library's model holds at one moment, the one source for the text
// tables, the JSON form and the before/after comparison of a change.
#ifndef ROZ_MODELVIEW_H
#define ROZ_MODELVIEW_H

#include <QList>
#include <QString>
#include <QStringList>

class Roz;

namespace roz {

struct PartitionView {
    QString name;
    QString path;
    qint64 size = 0; // in the device lister's unit, as the library keeps it
    QString system;
    QString fstype;
    QString mountPoint;
    bool pv = false;
    QString groupPath;   // "/dev/vg0", empty when in no group
    QStringList volumes; // paths of the logical volumes on it
};

struct DiskView {
    QString name;
    QString path;
    qint64 size = 0;
    QList<PartitionView> partitions;
};

struct VolumeView {
    QString group;
    QString name;
    QString path;
    int sizeMiB = 0;
    int extents = 0;
    bool active = false;
    bool snapshot = false;
    QString origin;        // for a snapshot: its origin's name
    QStringList snapshots; // for an origin: its snapshots' names
    QString fstype;
    QStringList pvs;
    QString mountPoint;
};

struct GroupView {
    QString name;
    QString path;
    QString uuid;
    int sizeMiB = 0;
    int freeMiB = 0;
    int extentMiB = 0;
    int totalExtents = 0;
    int allocatedExtents = 0;
    int freeExtents = 0;
    int maxVolumes = 0;
    int maxPvs = 0;
    bool active = false;
    bool resizable = false;
    QStringList pvs;
    QList<VolumeView> volumes;
};

struct ModelView {
    QList<DiskView> disks;
    QList<GroupView> groups;
    QStringList unreadableGroups;
    QStringList problems; // what could not be read: the model may be incomplete

    const GroupView* group(const QString& name) const;
    const VolumeView* volume(const QString& group, const QString& name) const;
    const PartitionView* partition(const QString& path) const;
};

// Reads every figure of the model through the library's accessors; runs no tool.
ModelView viewOf(Roz& roz);

// A colon-joined path string split into its entries, empty ones dropped.
QStringList splitPaths(const QString& joined);

} // namespace roz

#endif
