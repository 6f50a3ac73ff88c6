// The current reader's logical tree: group, volume and link records taken from a snapshot of
// today's tools (see currentreader.cpp for how every field is derived).
#include "currentreader_p.h"

#include "lvmdrive.h"
#include "lvmparse_p.h"
#include "utils.h"

#include <climits>

namespace {

constexpr int kVgStatusBase = 0x100;
constexpr int kVgStatusActive = 0x200;
constexpr int kVgStatusResizable = 0x4;
constexpr int kLvAccessWrite = 3;
constexpr int kLvAccessRead = 1;
constexpr int kLvAccessOrigin = 8;

int toInt(qint64 value)
{
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}

QList<const ReportLv*> publicVolumesOf(const LvmReport& report, const QString& vgName)
{
    QList<const ReportLv*> volumes;
    for (const ReportLv& lv : report.lvs) {
        if (lv.vgName == vgName && isPublicVolume(lv))
            volumes.append(&lv);
    }
    return volumes;
}

// A group counts active when any of its volumes is, or when it has none.
bool groupActive(const LvmReport& report, const QString& vgName)
{
    const QList<const ReportLv*> volumes = publicVolumesOf(report, vgName);
    if (volumes.isEmpty())
        return true;
    for (const ReportLv* lv : volumes) {
        if (lv->active)
            return true;
    }
    return false;
}

QStringList snapshotsOf(const LvmReport& report, const QString& vgName, const QString& origin)
{
    QStringList names;
    for (const ReportLv* lv : publicVolumesOf(report, vgName)) {
        if (lv->origin == origin)
            names.append(lv->name);
    }
    return names;
}

// Volumes whose device is open (lv_attr's sixth character 'o', e.g. mounted).
int openVolumes(const LvmReport& report, const QString& vgName)
{
    int open = 0;
    for (const ReportLv* lv : publicVolumesOf(report, vgName)) {
        if (lv->attr.size() > 5 && lv->attr.at(5) == QLatin1Char('o'))
            ++open;
    }
    return open;
}

int extentsOf(qint64 sizeKiB, qint64 extentKiB)
{
    return extentKiB > 0 ? toInt(sizeKiB / extentKiB) : 0;
}

// The record lvdisplay's colon form gives, as the report tells it.
LvRecord lvRecordOf(const ReportLv& lv, qint64 extentKiB, bool origin)
{
    LvRecord record;
    const bool readOnly = lv.attr.size() > 1 && lv.attr.at(1) == QLatin1Char('r');
    record.access = (readOnly ? kLvAccessRead : kLvAccessWrite) + (origin ? kLvAccessOrigin : 0);
    record.status = lv.active ? 1 : 0;
    record.number = -1;
    // A snapshot shows its origin's size.
    const qint64 sizeKiB = lv.origin.isEmpty() ? lv.sizeKiB : lv.originSizeKiB;
    record.size = toInt(sizeKiB / 1024);
    record.currentLe = extentsOf(sizeKiB, extentKiB);
    record.allocatedLe = record.currentLe;
    record.allocation = 0;
    record.readAhead = toInt(lv.readAheadSectors);
    record.major = lv.kernelMajor;
    record.minor = lv.kernelMinor;
    record.found = true;
    return record;
}

GroupRecord groupRecordOf(const ReportVg& vg, bool active, int openLv)
{
    GroupRecord record;
    int* attr = record.attr;
    const int peSizeMb = toInt(vg.extentKiB / 1024);
    attr[Vg::Access] = 0;
    attr[Vg::Status] = kVgStatusBase | (active ? kVgStatusActive : 0) |
                       (vg.attr.size() > 1 && vg.attr.at(1) == QLatin1Char('z') ? kVgStatusResizable : 0);
    attr[Vg::Number] = -1;
    attr[Vg::MaxLv] = vg.maxLv;
    attr[Vg::CurLv] = vg.lvCount;
    attr[Vg::OpenLv] = openLv;
    attr[Vg::MaxLvSize] = 0;
    attr[Vg::MaxPv] = vg.maxPv;
    attr[Vg::CurPv] = vg.pvCount;
    attr[Vg::ActPv] = vg.pvCount;
    attr[Vg::SizeMb] = toInt(vg.sizeKiB / 1024);
    attr[Vg::PeSizeMb] = peSizeMb;
    attr[Vg::TotalPe] = toInt(vg.extentCount);
    attr[Vg::AllocPe] = toInt(vg.extentCount - vg.freeCount);
    attr[Vg::FreePe] = toInt(vg.freeCount);
    attr[Vg::FreeMb] = toInt(vg.freeCount * peSizeMb);
    record.uuid = vg.uuid;
    return record;
}

} // namespace

namespace CurrentReader {

GroupListing readGroupListing(const CurrentSnapshot& snapshot)
{
    GroupListing listing;
    listing.problems = snapshot.lvmProblems;
    for (const ReportVg& vg : snapshot.report.vgs)
        listing.found.append(vg.name);
    return listing;
}

GroupRecord readGroupFigures(const LvmReport& report, const QString& vgName)
{
    const ReportVg* record = findReportVg(report, vgName);
    if (!record)
        return GroupRecord();
    return groupRecordOf(*record, groupActive(report, vgName), openVolumes(report, vgName));
}

QString readGroupPvs(const LvmReport& report, const QString& vgName)
{
    QStringList devices;
    for (const ReportPv& pv : report.pvs) {
        if (pv.vgName == vgName)
            devices.append(pv.name);
    }
    return devices.join(QLatin1Char(':'));
}

VolumeListing readVolumeListing(const LvmReport& report, const QString& vgName)
{
    VolumeListing listing;
    for (const ReportLv* lv : publicVolumesOf(report, vgName))
        listing.volumes.append({lv->name, !snapshotsOf(report, vgName, lv->name).isEmpty(), !lv->origin.isEmpty()});
    return listing;
}

VolumeRecord readVolume(const CurrentSnapshot& snapshot, const QString& vgName, const QString& lvName)
{
    const ReportLv* lv = findReportLv(snapshot.report, vgName, lvName);
    const ReportVg* group = findReportVg(snapshot.report, vgName);

    VolumeRecord record;
    record.snapshots = snapshotsOf(snapshot.report, vgName, lvName);
    record.origin = lv ? lv->origin : QString();
    const bool origin = !record.snapshots.isEmpty();
    const bool isSnapshot = !record.origin->isEmpty();
    record.isOrigin = origin;
    record.isSnapshot = isSnapshot;

    record.figures = lv && group ? lvRecordOf(*lv, group->extentKiB, origin) : LvRecord();
    record.cowLe = lv && group && isSnapshot ? extentsOf(lv->sizeKiB, group->extentKiB) : 0;
    const bool active = record.figures.status == 1;
    record.fstype = active ? snapshot.fsTypes.value(volumePathOf(vgName, lvName), QStringLiteral("unknown"))
                           : QStringLiteral("unknown");
    return record;
}

QString readVolumePvs(const LvmReport& report, const QString& vgName, const QString& lvName)
{
    const ReportLv* record = findReportLv(report, vgName, lvName);
    return record ? record->pvPaths.join(QLatin1Char(':')) : QStringLiteral("");
}

} // namespace CurrentReader
