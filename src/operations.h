// Typed calls over the positional operations of Lvm, Vg and Lv: sizes in bytes, a file system
// as an enum, and a result that says which step failed and why in one line.
#ifndef DOVODODUZU_OPERATIONS_H
#define DOVODODUZU_OPERATIONS_H

#include <QString>
#include <QStringList>

#include "dovododuzu_export.h"
#include "lvmdrive.h"

struct DOVODODUZU_EXPORT OperationResult {
    bool ok = false;
    // The step that failed: a tool's step ("parted", "pvcreate", "vgcreate", "vgextend",
    // "vgreduce", "vgchange", "vgremove", "vgrename", "lvcreate", "lvrename", "lvremove",
    // "lvextend", "e2fsck", "resize2fs", "resize_reiserfs"), "mkfs" for a file system not made,
    // "resizefs" for one not grown by any tool. Empty on success and for a refused request.
    QString failedStep;
    // The positional call's result: 0, a tool's exit code, 256 (kVolumeWithoutFileSystem) or -1.
    int exitCode = 0;
    // One line for a GUI: the refusal, or the transcript's last line that says something.
    QString message;

    // Turned down before any tool ran.
    bool refused() const { return !ok && failedStep.isEmpty(); }
};

enum class FileSystem { None, Ext2, Ext3, Reiserfs };

// Byte counts as the positional calls take them: whole MiB, rounded up; -1 for 0 or less.
DOVODODUZU_EXPORT qint64 bytesToMiB(qint64 bytes);

// parted, pvcreate and vgcreate on `partitions`. The extent size must be a power of two of at
// least 8 KiB; maxLv and maxPv of 0 mean no limit.
DOVODODUZU_EXPORT OperationResult createGroup(Lvm& lvm, const QString& name, const QStringList& partitions,
                                              qint64 extentBytes, int maxLv = 0, int maxPv = 0);
DOVODODUZU_EXPORT OperationResult createVolume(Vg& group, const QString& name, qint64 sizeBytes, FileSystem fs);
// lvextend, then the file system's own tools. Shrinking is refused.
DOVODODUZU_EXPORT OperationResult growVolume(Lv& volume, qint64 newSizeBytes);
DOVODODUZU_EXPORT OperationResult snapshotVolume(Lv& origin, const QString& name, qint64 sizeBytes);

// On success these may delete the object they were given (remove) or rename it.
DOVODODUZU_EXPORT OperationResult renameVolume(Lv& volume, const QString& newName);
DOVODODUZU_EXPORT OperationResult removeVolume(Lv& volume);
DOVODODUZU_EXPORT OperationResult renameGroup(Vg& group, const QString& newName);
DOVODODUZU_EXPORT OperationResult removeGroup(Vg& group);
DOVODODUZU_EXPORT OperationResult activateGroup(Vg& group);
DOVODODUZU_EXPORT OperationResult deactivateGroup(Vg& group);
DOVODODUZU_EXPORT OperationResult freezeGroup(Vg& group);
DOVODODUZU_EXPORT OperationResult defreezeGroup(Vg& group);
DOVODODUZU_EXPORT OperationResult extendGroup(Vg& group, const QStringList& partitions);
DOVODODUZU_EXPORT OperationResult reduceGroup(Vg& group, const QStringList& partitions);

#endif
