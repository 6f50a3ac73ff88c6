// The classic tool set's reader: per-object runs of "/sbin/lvm.static", "/bin/mount" and the
// device lister, each read turned into a plain record.
#ifndef DOVODODUZU_CLASSICREADER_P_H
#define DOVODODUZU_CLASSICREADER_P_H

#include <QString>
#include <QStringList>

#include "records_p.h"

namespace ClassicReader {

// "vgscan"; every line is written to the debug sink as it is read.
GroupListing readGroupListing();
// "vgdisplay -c", again with "-D" for a group that is not active.
GroupRecord readGroupFigures(const QString& vgName);
// The group's physical volumes from "pvscan", joined by ':'.
QString readGroupPvs(const QString& vgName);
// "lvscan -D": the volumes of `vgName`.
VolumeListing readVolumeListing(const QString& vgName);
// The colon, plain and verbose forms of "lvdisplay" and the file-system probe. The snapshot role
// the volume has so far decides what is read when the verbose form has no snapshot-status line.
VolumeRecord readVolume(const QString& vgName, const QString& lvName, bool wasOrigin, bool wasSnapshot);
// The volume's physical volumes from its extent map, joined by ':'.
QString readVolumePvs(const QString& vgName, const QString& lvName);

// The device lister's disks.
DiskListing readDisks();
// The device lister's partitions of `diskName`, extended ones left out.
PartitionListing readPartitions(const QString& diskName);
// The device lister's lines of the partitions whose paths are listed, in the lister's order.
QList<PartitionLine> readPartitionLines(const QStringList& paths);
// The device line, "pvdisplay -c" for an LVM partition, and the mount table.
PartitionRecord probePartition(const QString& name, const QString& deviceLine);
// The volumes on a physical volume from "pvdisplay -v", joined by ':'.
QString readPartitionLvs(const QString& name);

} // namespace ClassicReader

#endif
