// Safety queries: whether a change may be asked for in the state the model shows, and if not,
// why, in one line. Each answers before any tool runs and changes nothing.
#ifndef DOVODODUZU_SAFETY_H
#define DOVODODUZU_SAFETY_H

#include <QString>

#include "dovododuzu_export.h"
#include "harddrive.h"
#include "lvmdrive.h"

struct DOVODODUZU_EXPORT Verdict {
    bool allowed = true;
    QString reason; // empty when allowed
};

// A name a new or renamed group may take: one LVM accepts and no group of `lvm` has.
DOVODODUZU_EXPORT Verdict canNameGroup(const Lvm& lvm, const QString& name);
// A name a new, renamed or snapshot volume of `group` may take.
DOVODODUZU_EXPORT Verdict canNameVolume(const Vg& group, const QString& name);
// A group still holding volumes is refused: vgremove would ask on the terminal first.
DOVODODUZU_EXPORT Verdict canRemoveGroup(const Vg& group);
// A mounted volume, or an origin whose snapshots lvremove would take along, is refused.
DOVODODUZU_EXPORT Verdict canRemoveVolume(const Lv& volume);
// The new size (bytes, rounded up to whole MiB) is above the volume's present size and in range.
DOVODODUZU_EXPORT Verdict isGrowth(const Lv& volume, qint64 newSizeBytes);
// isGrowth, and the group has the free space the growth takes.
DOVODODUZU_EXPORT Verdict canGrowVolume(const Lv& volume, qint64 newSizeBytes);
// A snapshot of a snapshot is refused, and so is a name canNameVolume refuses.
DOVODODUZU_EXPORT Verdict canSnapshot(const Vg& group, const Lv& origin, const QString& name);
// A partition may become a physical volume of a group: not mounted (its data would be lost), not
// in a group already, not an extended partition.
DOVODODUZU_EXPORT Verdict canAddToGroup(const Partition& partition);
// `device` is one of the group's physical volumes.
DOVODODUZU_EXPORT Verdict isPvOfGroup(const Vg& group, const QString& device);
// isPvOfGroup, not the group's last one, and no volume has extents on it.
DOVODODUZU_EXPORT Verdict canReducePv(const Vg& group, const QString& device);

#endif
