// The logical tree read from a snapshot of today's tools: each object applies its own record
// (see currentreader.cpp for how every field is derived).
#include "lvmdrive.h"

#include "currentreader_p.h"
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

void applyVgRecord(const ReportVg& vg, bool active, int openLv, int* attr)
{
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
}

} // namespace

void Lvm::findVgCurrent()
{
    CurrentReadScope scope;
    const CurrentSnapshot& snapshot = scope.snapshot();
    m_problems += snapshot.lvmProblems;
    for (const ReportVg& vg : snapshot.report.vgs)
        addVg(vg.name);
}

void Vg::getBasicsCurrent()
{
    CurrentReadScope scope;
    const LvmReport& report = scope.snapshot().report;
    const ReportVg* record = findReportVg(report, vgName);
    // Element by element: every Lv of the group holds references into attr.
    for (int& value : attr)
        value = 0;
    vgUuid = QString();
    if (!record)
        return;
    applyVgRecord(*record, groupActive(report, vgName), openVolumes(report, vgName), attr);
    vgUuid = record->uuid;
}

void Vg::getPvsCurrent()
{
    CurrentReadScope scope;
    QStringList devices;
    for (const ReportPv& pv : scope.snapshot().report.pvs) {
        if (pv.vgName == vgName)
            devices.append(pv.name);
    }
    pvs = devices.join(QLatin1Char(':'));
    if (!pvs.isEmpty())
        MyDebug(path() + QStringLiteral("'s pvstring: ") + pvs);
}

void Vg::findLvCurrent()
{
    CurrentReadScope scope;
    const LvmReport& report = scope.snapshot().report;
    for (const ReportLv* lv : publicVolumesOf(report, vgName))
        addLv(lv->name, !snapshotsOf(report, vgName, lv->name).isEmpty(), !lv->origin.isEmpty());
}

void Lv::getBasicsCurrent()
{
    CurrentReadScope scope;
    const CurrentSnapshot& snapshot = scope.snapshot();
    const ReportLv* lv = findReportLv(snapshot.report, m_vgName, m_name);
    const ReportVg* group = findReportVg(snapshot.report, m_vgName);

    m_snapshots = snapshotsOf(snapshot.report, m_vgName, m_name);
    m_original = lv ? lv->origin : QString();
    m_bOriginal = !m_snapshots.isEmpty();
    m_bSnapshot = !m_original.isEmpty();

    const LvRecord record = lv && group ? lvRecordOf(*lv, group->extentKiB, m_bOriginal) : LvRecord();
    m_access = record.access;
    m_status = record.status;
    m_number = record.number;
    m_size = record.size;
    m_currentLe = record.currentLe;
    m_allocatedLe = record.allocatedLe;
    m_allocation = record.allocation;
    m_readAhead = record.readAhead;
    m_major = record.major;
    m_minor = record.minor;
    m_recordFound = record.found;
    m_cowLe = lv && group && m_bSnapshot ? extentsOf(lv->sizeKiB, group->extentKiB) : 0;
    m_fstype = isActive() ? snapshot.fsTypes.value(path(), QStringLiteral("unknown")) : QStringLiteral("unknown");

    m_zeroValue = 0;
    m_sizeAtRead = m_size;
    if (isActive())
        rememberActiveDevice();
}

void Lv::getPvsCurrent()
{
    CurrentReadScope scope;
    const ReportLv* record = findReportLv(scope.snapshot().report, m_vgName, m_name);
    m_pvString = record ? record->pvPaths.join(QLatin1Char(':')) : QStringLiteral("");
    if (!m_pvString.isEmpty())
        MyDebug(path() + QStringLiteral("'s pvstring: ") + m_pvString);
}
