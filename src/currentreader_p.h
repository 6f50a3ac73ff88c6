// Today's tool set read in one go: the LVM full report, the block-device listing and blkid's types,
// held as one snapshot that serves a whole discovery of both trees.
#ifndef DOVODODUZU_CURRENTREADER_P_H
#define DOVODODUZU_CURRENTREADER_P_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "currentparse_p.h"
#include "records_p.h"
#include "toolstream_p.h"

// What the machine looked like through today's tools at one moment.
struct CurrentSnapshot {
    LvmReport report;
    QStringList lvmProblems; // the lvm run and its report: the logical tree's problems
    QList<BlockDevice> devices;
    QHash<QString, QString> fsTypes; // blkid's TYPE by device path
    QStringList deviceProblems;      // the lsblk and blkid runs and lsblk's listing: the physical tree's
    QList<MountEntry> mounts;
};

// The argument vectors of the three runs (program path without the system root first).
ToolCommand lvmReportCommand();
ToolCommand lsblkCommand();
ToolCommand blkidCommand(const QStringList& devices);

// Runs lvm, lsblk and blkid once each (blkid only when there is a device to ask about) and reads
// the mount table.
CurrentSnapshot readCurrentSnapshot();

// While a scope is open, every read of every scope comes from the one snapshot the outermost
// scope holds; nothing is run before a part of it is asked for. A partial scope reads only what is
// asked: lvmReport() the lvm report (and mount table), volumes() that and blkid on the volumes,
// snapshot() everything. A whole scope reads everything at its first use, so a discovery of both
// trees takes three runs. Not for use across threads.
class CurrentReadScope
{
public:
    enum class Reading { Partial, Whole };

    explicit CurrentReadScope(Reading reading = Reading::Partial);
    ~CurrentReadScope();
    CurrentReadScope(const CurrentReadScope&) = delete;
    CurrentReadScope& operator=(const CurrentReadScope&) = delete;

    const CurrentSnapshot& snapshot();
    const CurrentSnapshot& lvmReport();
    const CurrentSnapshot& volumes();
};

// Lookups in a snapshot. Each returns null when there is no such record.
const ReportVg* findReportVg(const LvmReport& report, const QString& vgName);
const ReportLv* findReportLv(const LvmReport& report, const QString& vgName, const QString& lvName);
const ReportPv* findReportPv(const LvmReport& report, const QString& device);
const BlockDevice* findBlockDevice(const QList<BlockDevice>& devices, const QString& name);

// The device's path as lsblk gives it, else "/dev/" + its name.
QString devicePath(const BlockDevice& device);

// Volumes a volume group shows as its own: hidden ones (mirror images, pool parts, "[name]") left out.
bool isPublicVolume(const ReportLv& lv);

// The records a snapshot gives, as the classic reader's are filled (currentreader_lvm.cpp and
// currentreader_disk.cpp).
namespace CurrentReader {

GroupListing readGroupListing(const CurrentSnapshot& snapshot);
GroupRecord readGroupFigures(const LvmReport& report, const QString& vgName);
QString readGroupPvs(const LvmReport& report, const QString& vgName);
VolumeListing readVolumeListing(const LvmReport& report, const QString& vgName);
// Every field is read: the snapshot role and the links always come with the record.
VolumeRecord readVolume(const CurrentSnapshot& snapshot, const QString& vgName, const QString& lvName);
QString readVolumePvs(const LvmReport& report, const QString& vgName, const QString& lvName);

DiskListing readDisks(const CurrentSnapshot& snapshot);
PartitionListing readPartitions(const CurrentSnapshot& snapshot, const QString& diskName);
// Writes the partition's system to the debug sink, as the classic probe does.
PartitionRecord probePartition(const CurrentSnapshot& snapshot, const QString& name);
QString readPartitionLvs(const LvmReport& report, const QString& name);

} // namespace CurrentReader

#endif
