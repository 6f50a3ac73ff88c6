// The physical tree read from a snapshot of today's tools: disks and partitions from lsblk, file
// systems from blkid, physical volumes from the LVM report (see currentreader.cpp for each field).
#include "harddrive.h"

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

QString pathOf(const BlockDevice& device)
{
    return device.path.isEmpty() ? QStringLiteral("/dev/") + device.name : device.path;
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
           (holdsPartitions(snapshot.devices, device.name) || isPhysicalVolume(snapshot, pathOf(device)));
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

void Hard::findDiskCurrent()
{
    CurrentReadScope scope;
    const CurrentSnapshot& snapshot = scope.snapshot();
    m_problems += snapshot.deviceProblems;
    QStringList added;
    for (const BlockDevice& device : snapshot.devices) {
        if (!isDisk(snapshot, device) || added.contains(device.name))
            continue;
        added.append(device.name);
        addDisk(device.name, static_cast<unsigned long>(device.sizeBytes / 1024));
    }
}

void Disk::findPartitionCurrent()
{
    CurrentReadScope scope;
    QStringList added;
    for (const BlockDevice& device : scope.snapshot().devices) {
        if (!isType(device, "part") || device.parentName != m_name || isExtended(device) || added.contains(device.name))
            continue;
        added.append(device.name);
        addPartition(device.name, QString());
    }
}

void Partition::getBasicsCurrent()
{
    CurrentReadScope scope;
    const CurrentSnapshot& snapshot = scope.snapshot();
    const BlockDevice* found = findBlockDevice(snapshot.devices, m_name);
    const BlockDevice device = found ? *found : BlockDevice();
    const QString devicePath = path();
    const ReportPv* pv = findReportPv(snapshot.report, devicePath);

    m_size = static_cast<int>(device.sizeBytes / 1024);
    m_pv = isPhysicalVolume(snapshot, devicePath);
    m_system = systemOf(device, m_pv);
    m_systemTag = QString();
    if (m_pv || hasLvmType(device)) {
        m_systemTag = QStringLiteral("LVM");
        m_system += QStringLiteral(", LVM");
    }
    MyDebug(QStringLiteral("Partition ") + m_name + QStringLiteral("'s system is: ") + m_system);

    m_vgPath = QString();
    m_uuid = QString();
    if (pv && !pv->vgName.isEmpty()) {
        m_vgPath = QStringLiteral("/dev/") + pv->vgName;
        m_uuid = pv->uuid;
    }

    m_fstype = snapshot.fsTypes.value(devicePath, QStringLiteral(""));
    if (m_fstype == QLatin1String(kLvmMemberType))
        m_fstype = QStringLiteral("LVM2");
    m_mountPoint = QStringLiteral("");
    if (const MountEntry* entry = findMountEntry(snapshot.mounts, m_name)) {
        m_mountPoint = entry->directory;
        m_fstype = entry->type;
    }
}

void Partition::getLvsCurrent()
{
    m_lvs = QStringLiteral("");
    if (!m_pv)
        return;
    CurrentReadScope scope;
    const LvmReport& report = scope.snapshot().report;
    const ReportPv* pv = findReportPv(report, path());
    if (!pv)
        return;
    m_lvs = volumesOnPv(report, pv->uuid).join(QLatin1Char(':'));
    if (!m_lvs.isEmpty())
        MyDebug(m_name + QStringLiteral("'s lvstring: ") + m_lvs);
}
