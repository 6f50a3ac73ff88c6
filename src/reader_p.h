// The model's one way to read the machine: each read goes to the reader of the tool set in use
// (toolSet()) and comes back as a plain record.
#ifndef DOVODODUZU_READER_P_H
#define DOVODODUZU_READER_P_H

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

#include "currentreader_p.h"
#include "records_p.h"

namespace Reader {

// While a scope is open every read of the current tool set shares one snapshot of the machine (a
// whole discovery needs only three program runs); the classic set reads per object regardless.
class Scope
{
public:
    Scope() = default;
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    CurrentReadScope m_current;
};

// Today's reports list groups, volumes and an origin's snapshots by name (byte order); the
// classic set keeps the order things were made in. True when `a` goes before `b` in a listing
// of the tool set in use.
bool listedBefore(const QString& a, const QString& b);

// Sorts objects that have a name() into the order a listing of the tool set in use gives them.
template <class T> void sortAsListed(QList<T*>& objects)
{
    std::stable_sort(objects.begin(), objects.end(),
                     [](const T* a, const T* b) { return listedBefore(a->name(), b->name()); });
}

GroupListing readGroupListing();
GroupRecord readGroupFigures(const QString& vgName);
QString readGroupPvs(const QString& vgName);
VolumeListing readVolumeListing(const QString& vgName);
// The snapshot role the volume has so far stands when the read does not give one.
VolumeRecord readVolume(const QString& vgName, const QString& lvName, bool wasOrigin, bool wasSnapshot);
QString readVolumePvs(const QString& vgName, const QString& lvName);
// Where the mount table has the volume mounted; null when it is not.
QString readVolumeMountPoint(const QString& vgName, const QString& lvName);

DiskListing readDisks();
PartitionListing readPartitions(const QString& diskName);
// The partitions of `paths` to probe again, with the device lines they are probed from.
QList<PartitionLine> readPartitionLines(const QStringList& paths);
PartitionRecord probePartition(const QString& name, const QString& deviceLine);
QString readPartitionLvs(const QString& name);

} // namespace Reader

#endif
