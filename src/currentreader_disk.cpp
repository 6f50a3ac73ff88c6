// The current reader's physical tree, taken from a snapshot of today's tools: disks and partitions
// from lsblk, file systems from blkid, physical volumes from the LVM report (see currentreader.cpp
// for each field).
#include "currentreader_p.h"

#include "diskparse_p.h"
#include "utils.h"

#include <algorithm>

namespace {

const char* const kLvmMemberType = "LVM2_member";

bool isType(const BlockDevice& device, const char* type)
{
    return device.type == QLatin1String(type);
}

bool isPhysicalVolume(const CurrentSnapshot& snapshot, const QString& path)
{
    return findReportPv(snapshot.report, path) || snapshot.fsTypes.value(path) == QLatin1String(kLvmMemberType);
}

bool holdsPartitions(const QList<BlockDevice>& devices, const QString& name)
{
    return std::any_of(devices.begin(), devices.end(), [&name](const BlockDevice& device) {
        return isType(device, "part") && device.parentName == name;
    });
}

// A loop device counts as a disk when it is partitioned or is itself a physical volume (then it
// is a disk without partitions).
bool isDisk(const CurrentSnapshot& snapshot, const BlockDevice& device)
{
    if (isType(device, "disk"))
        return true;
    return isType(device, "loop") &&
           (holdsPartitions(snapshot.devices, device.name) || isPhysicalVolume(snapshot, devicePath(device)));
}

// The container of logical partitions: its MBR type, or without one (no udev) the 1 KiB the
// kernel gives it.
bool isExtended(const BlockDevice& device)
{
    static const QStringList extendedTypes = {QStringLiteral("0x5"), QStringLiteral("0xf"), QStringLiteral("0x85")};
    if (!device.partType.isEmpty())
        return extendedTypes.contains(device.partType.toLower());
    return device.sizeBytes == 1024;
}

// Names of the usual MBR and GPT partition types, for a listing with the type but not its name.
QString partitionTypeName(const QString& partType)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("0x7"), QStringLiteral("HPFS/NTFS/exFAT")},
        {QStringLiteral("0xb"), QStringLiteral("W95 FAT32")},
        {QStringLiteral("0xc"), QStringLiteral("W95 FAT32 (LBA)")},
        {QStringLiteral("0x82"), QStringLiteral("Linux swap / Solaris")},
        {QStringLiteral("0x83"), QStringLiteral("Linux")},
        {QStringLiteral("0x8e"), QStringLiteral("Linux LVM")},
        {QStringLiteral("0fc63daf-8483-4772-8e79-3d69d8477de4"), QStringLiteral("Linux filesystem")},
        {QStringLiteral("e6d6d379-f507-44c2-a23c-238f2a3df928"), QStringLiteral("Linux LVM")},
        {QStringLiteral("0657fd6d-a4ab-43c4-84e5-0933c84b4f4f"), QStringLiteral("Linux swap")},
        {QStringLiteral("ebd0a0a2-b9e5-4433-87c0-68b6b72699c7"), QStringLiteral("Microsoft basic data")},
        {QStringLiteral("c12a7328-f81f-11d2-ba4b-00a0c93ec93b"), QStringLiteral("EFI System")},
    };
    return names.value(partType.toLower());
}

bool hasLvmType(const BlockDevice& device)
{
    static const QStringList lvmTypes = {QStringLiteral("0x8e"),
                                         QStringLiteral("e6d6d379-f507-44c2-a23c-238f2a3df928")};
    return lvmTypes.contains(device.partType.toLower()) || device.partTypeName.contains(QLatin1String("LVM"));
}

QString systemOf(const BlockDevice& device, bool pv)
{
    if (!device.partTypeName.isEmpty())
        return device.partTypeName;
    const QString named = partitionTypeName(device.partType);
    if (!named.isEmpty())
        return named;
    return pv ? QStringLiteral("Linux LVM") : QStringLiteral("");
}

// The volumes with extents on the physical volume `pvUuid`, as "/dev/VG/LV", each once, in the
// order of the physical volume's segments.
QStringList volumesOnPv(const LvmReport& report, const QString& pvUuid)
{
    QList<ReportPvSegment> segments;
    for (const ReportPvSegment& segment : report.pvSegments) {
        if (segment.pvUuid == pvUuid && !segment.lvUuid.isEmpty())
            segments.append(segment);
    }
    std::stable_sort(segments.begin(), segments.end(),
                     [](const ReportPvSegment& a, const ReportPvSegment& b) { return a.start < b.start; });
    QStringList paths;
    for (const ReportPvSegment& segment : segments) {
        for (const ReportLv& lv : report.lvs) {
            if (lv.uuid != segment.lvUuid || !isPublicVolume(lv))
                continue;
            const QString path = QStringLiteral("/dev/%1/%2").arg(lv.vgName, lv.name);
            if (!paths.contains(path))
                paths.append(path);
        }
    }
    return paths;
}

} // namespace

namespace CurrentReader {

DiskListing readDisks(const CurrentSnapshot& snapshot)
{
    DiskListing listing;
    listing.problems = snapshot.deviceProblems;
    QStringList added;
    for (const BlockDevice& device : snapshot.devices) {
        if (!isDisk(snapshot, device) || added.contains(device.name))
            continue;
        added.append(device.name);
        listing.disks.append({device.name, static_cast<unsigned long>(device.sizeBytes / 1024)});
    }
    return listing;
}

PartitionListing readPartitions(const CurrentSnapshot& snapshot, const QString& diskName)
{
    PartitionListing listing;
    QStringList added;
    for (const BlockDevice& device : snapshot.devices) {
        if (!isType(device, "part") || device.parentName != diskName || isExtended(device) ||
            added.contains(device.name))
            continue;
        added.append(device.name);
        listing.partitions.append({device.name, QString()});
    }
    return listing;
}

PartitionRecord probePartition(const CurrentSnapshot& snapshot, const QString& name)
{
    const BlockDevice* found = findBlockDevice(snapshot.devices, name);
    const BlockDevice device = found ? *found : BlockDevice();
    const QString devicePath = partitionPathOf(name);
    const ReportPv* pv = findReportPv(snapshot.report, devicePath);

    PartitionRecord record;
    record.size = static_cast<int>(device.sizeBytes / 1024);
    record.pv = isPhysicalVolume(snapshot, devicePath);
    record.system = systemOf(device, record.pv);
    record.systemTag = QString();
    if (record.pv || hasLvmType(device)) {
        record.systemTag = QStringLiteral("LVM");
        record.system += QStringLiteral(", LVM");
    }
    MyDebug(QStringLiteral("Partition ") + name + QStringLiteral("'s system is: ") + record.system);

    record.membership = PvMembership{};
    if (pv && !pv->vgName.isEmpty())
        record.membership = PvMembership{QStringLiteral("/dev/") + pv->vgName, pv->uuid};

    record.fstype = snapshot.fsTypes.value(devicePath, QStringLiteral(""));
    if (record.fstype == QLatin1String(kLvmMemberType))
        record.fstype = QStringLiteral("LVM2");
    record.mountPoint = QStringLiteral("");
    if (const MountEntry* entry = findMountEntry(snapshot.mounts, name)) {
        record.mountPoint = entry->directory;
        record.fstype = entry->type;
    }
    return record;
}

QString readPartitionLvs(const LvmReport& report, const QString& name)
{
    const ReportPv* pv = findReportPv(report, partitionPathOf(name));
    if (!pv)
        return QStringLiteral("");
    return volumesOnPv(report, pv->uuid).join(QLatin1Char(':'));
}

} // namespace CurrentReader
