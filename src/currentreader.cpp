// Reading today's tool set: three program runs, their output parsed into one snapshot, and the
// scope that lets a whole discovery share it.
#include "currentreader_p.h"

#include "jobrunner_p.h"
#include "programs_p.h"
#include "utils.h"

#include <QFileInfo>
#include <QSet>

#include <optional>
#include <sys/wait.h>

// How the model's fields come from a snapshot (the records of currentreader_lvm.cpp and
// currentreader_disk.cpp, which the model objects apply):
//
// Volume group (Vg) from its "vg" record:
//   Access 0 (the classic "r/w" text reads 0); Status 0x100, | 0x200 when the group counts active
//   (any of its volumes active, or it has none: the classic listing gives 0x200 only for an active
//   group), | 0x4 when vg_attr's second character is 'z' (resizable); Number -1; MaxLv max_lv;
//   CurLv lv_count; OpenLv the volumes whose lv_attr shows an open device ('o', sixth); MaxLvSize 0; MaxPv max_pv;
//   CurPv and ActPv pv_count; SizeMb vg_size / 1024; PeSizeMb vg_extent_size / 1024; TotalPe vg_extent_count; AllocPe
//   count - free count; FreePe vg_free_count; FreeMb FreePe x PeSizeMb. uuid vg_uuid; pvString the group's PV devices
//   in report order, joined by ':'. Volumes: the group's public volumes in report order.
// Logical volume (Lv) from its "lv" record:
//   Access 3 (read/write) or 1 (lv_attr[1] 'r'), + 8 for an origin; Status 1 when lv_active, else
//   0; Number -1; Size in MiB: a snapshot's origin_size (the classic tools show a snapshot with
//   its origin's size), else lv_size; CurrentLe and AllocatedLe Size / extent size (LVM2's own
//   colon listing prints -1 for the allocated count); Allocation 0; ReadAhead -1 for "auto", else
//   sectors; Major/Minor the kernel's numbers (-1 while inactive). A snapshot's copy-on-write
//   extents: its own lv_size / extent size. fstype: blkid's TYPE of /dev/VG/LV, "unknown" when the
//   volume has no node (inactive) or blkid found nothing. pvString: the record's PV devices in
//   extent order. Links: a snapshot's origin from "origin" (inactive snapshots too); an origin's
//   snapshots the volumes naming it as origin, in report order.
// Disk: lsblk rows of type "disk", and "loop" rows that hold partitions or are a physical volume
//   (such a loop device is a disk without partitions); size bytes / 1024 (KiB, as the classic
//   lister). CD-ROM drives ("rom") are left out.
// Partition: lsblk "part" rows under their disk, less extended partitions (type 0x5, 0xf or 0x85,
//   or without a type the kernel's 1 KiB stand-in); size KiB. System: PARTTYPENAME; else a name
//   for PARTTYPE; else (no udev) "Linux LVM" for a physical volume and "" otherwise. A physical
//   volume or a partition of an LVM type then gets the tag "LVM" and ", LVM" appended, as the
//   classic lister tags by type. fstype:
//   blkid's TYPE ("LVM2_member" shown as "LVM2", the classic lister's name); a mounted partition
//   takes the mount table's type and gives its mount point. PV flag: a "pv" record of the report
//   (orphans too) or blkid's LVM2_member; group path "/dev/" + vg_name; volume list: the volumes
//   with segments on it ("/dev/VG/LV", each once, in segment order), joined by ':'.

namespace {

void note(QStringList& problems, const QString& problem)
{
    if (problem.isEmpty())
        return;
    MyDebug(problem);
    problems.append(problem);
}

void noteAll(QStringList& problems, const QStringList& found)
{
    for (const QString& problem : found)
        note(problems, problem);
}

bool blkidFoundNothing(const CheckedOutput& output)
{
    return output.status != -1 && WIFEXITED(output.status) && WEXITSTATUS(output.status) == 2 &&
           output.bytes.trimmed().isEmpty();
}

// Every disk and partition lsblk listed, each once.
QStringList listedDevices(const CurrentSnapshot& snapshot)
{
    QStringList devices;
    for (const BlockDevice& device : snapshot.devices) {
        const bool wanted = device.type == QLatin1String("disk") || device.type == QLatin1String("part") ||
                            device.type == QLatin1String("loop");
        if (wanted && !devices.contains(devicePath(device)))
            devices.append(devicePath(device));
    }
    return devices;
}

// Every public volume of the report.
QStringList volumeDevices(const CurrentSnapshot& snapshot)
{
    QStringList devices;
    for (const ReportLv& lv : snapshot.report.lvs) {
        if (isPublicVolume(lv) && !lv.vgName.isEmpty())
            devices.append(QStringLiteral("/dev/%1/%2").arg(lv.vgName, lv.name));
    }
    return devices;
}

// The reports are parsed where they are read: on a worker while a job runs, so that a large
// machine's report never holds up the event loop.
void readLvmPart(CurrentSnapshot& snapshot)
{
    readToolOutputParsed(lvmReportCommand(), [&snapshot](const CheckedOutput& lvm) {
        snapshot.report = parseLvmFullReport(lvm.bytes);
        // A run that failed is one problem, whatever its output then looks like.
        note(snapshot.lvmProblems, lvm.problem);
        if (lvm.problem.isEmpty())
            noteAll(snapshot.lvmProblems, snapshot.report.problems);
        snapshot.mounts = readMountTable();
    });
}

void readDevicePart(CurrentSnapshot& snapshot)
{
    readToolOutputParsed(lsblkCommand(), [&snapshot](const CheckedOutput& lsblk) {
        QStringList listingProblems;
        snapshot.devices = parseLsblkJson(lsblk.bytes, &listingProblems);
        note(snapshot.deviceProblems, lsblk.problem);
        if (lsblk.problem.isEmpty())
            noteAll(snapshot.deviceProblems, listingProblems);
    });
}

// blkid on those of `devices` it was not asked about yet, in one run.
void readTypes(CurrentSnapshot& snapshot, QSet<QString>& asked, const QStringList& devices)
{
    QStringList fresh;
    for (const QString& device : devices) {
        if (!asked.contains(device)) {
            asked.insert(device);
            fresh.append(device);
        }
    }
    if (fresh.isEmpty())
        return;
    readToolOutputParsed(blkidCommand(fresh), [&snapshot](const CheckedOutput& blkid) {
        if (!blkidFoundNothing(blkid))
            note(snapshot.deviceProblems, blkid.problem);
        snapshot.fsTypes.insert(parseBlkidTypes(blkid.bytes));
    });
}

// What a read asked for from the event loop while a job waits gets: nothing, and why.
const CurrentSnapshot& refusedSnapshot()
{
    thread_local CurrentSnapshot refused;
    if (refused.lvmProblems.isEmpty()) {
        const QString why = JobRunner::refusalText(StartRefusal::Reentered, programPath(Program::Lvm)).trimmed();
        refused.lvmProblems.append(why);
        refused.deviceProblems.append(why);
    }
    return refused;
}

// What a scope has read so far. A whole read (discovery) takes every part at the first use; a
// partial one (the refresh after a change) only the parts asked for: the report alone, then
// blkid on the volumes when a volume is read, then lsblk and blkid on its devices for the disks.
struct ScopeState {
    int depth = 0;
    bool whole = false;
    bool haveLvm = false;
    bool haveDevices = false;
    bool haveVolumeTypes = false;
    bool haveDeviceTypes = false;
    QSet<QString> askedBlkid;
    CurrentSnapshot snapshot;

    void reset() { *this = ScopeState(); }

    const CurrentSnapshot& lvm()
    {
        if (whole)
            return all();
        if (!haveLvm) {
            haveLvm = true;
            readLvmPart(snapshot);
        }
        return snapshot;
    }

    const CurrentSnapshot& volumes()
    {
        lvm();
        if (!haveVolumeTypes) {
            haveVolumeTypes = true;
            readTypes(snapshot, askedBlkid, volumeDevices(snapshot));
        }
        return snapshot;
    }

    const CurrentSnapshot& all()
    {
        whole = false;
        lvm();
        if (!haveDevices) {
            haveDevices = true;
            readDevicePart(snapshot);
        }
        if (!haveDeviceTypes || !haveVolumeTypes) {
            haveDeviceTypes = haveVolumeTypes = true;
            readTypes(snapshot, askedBlkid, listedDevices(snapshot) + volumeDevices(snapshot));
        }
        return snapshot;
    }
};

ScopeState& scopeState()
{
    thread_local ScopeState state;
    return state;
}

} // namespace

ToolCommand lvmReportCommand()
{
    return {programPath(Program::Lvm),
            {QStringLiteral("fullreport"), QStringLiteral("--reportformat"), QStringLiteral("json"),
             QStringLiteral("--units"), QStringLiteral("k"), QStringLiteral("--nosuffix")},
            ErrorStream::Discard};
}

ToolCommand lsblkCommand()
{
    return {programPath(Program::Lsblk),
            {QStringLiteral("--json"), QStringLiteral("--bytes"), QStringLiteral("--output"),
             QStringLiteral("NAME,PATH,TYPE,SIZE,PKNAME,PARTTYPE,PARTTYPENAME,FSTYPE,MOUNTPOINT")},
            ErrorStream::Discard};
}

ToolCommand blkidCommand(const QStringList& devices)
{
    return {programPath(Program::Blkid), QStringList{QStringLiteral("-o"), QStringLiteral("export")} + devices,
            ErrorStream::Discard};
}

CurrentSnapshot readCurrentSnapshot()
{
    ScopeState state;
    return state.all();
}

CurrentReadScope::CurrentReadScope(Reading reading)
{
    ScopeState& state = scopeState();
    if (state.depth++ == 0 && reading == Reading::Whole)
        state.whole = true;
}

CurrentReadScope::~CurrentReadScope()
{
    ScopeState& state = scopeState();
    if (--state.depth == 0)
        state.reset();
}

// A read from the event loop while a job waits must not fill (or spoil) the job's reading.
const CurrentSnapshot& CurrentReadScope::snapshot()
{
    return JobRunner::reentered() ? refusedSnapshot() : scopeState().all();
}

const CurrentSnapshot& CurrentReadScope::lvmReport()
{
    return JobRunner::reentered() ? refusedSnapshot() : scopeState().lvm();
}

const CurrentSnapshot& CurrentReadScope::volumes()
{
    return JobRunner::reentered() ? refusedSnapshot() : scopeState().volumes();
}

const ReportVg* findReportVg(const LvmReport& report, const QString& vgName)
{
    for (const ReportVg& vg : report.vgs) {
        if (vg.name == vgName)
            return &vg;
    }
    return nullptr;
}

const ReportLv* findReportLv(const LvmReport& report, const QString& vgName, const QString& lvName)
{
    for (const ReportLv& lv : report.lvs) {
        if (lv.vgName == vgName && lv.name == lvName)
            return &lv;
    }
    return nullptr;
}

const ReportPv* findReportPv(const LvmReport& report, const QString& device)
{
    for (const ReportPv& pv : report.pvs) {
        if (pv.name == device)
            return &pv;
    }
    return nullptr;
}

const BlockDevice* findBlockDevice(const QList<BlockDevice>& devices, const QString& name)
{
    for (const BlockDevice& device : devices) {
        if (device.name == name)
            return &device;
    }
    return nullptr;
}

QString devicePath(const BlockDevice& device)
{
    return device.path.isEmpty() ? QStringLiteral("/dev/") + device.name : device.path;
}

bool isPublicVolume(const ReportLv& lv)
{
    if (lv.name.startsWith(QLatin1Char('[')))
        return false;
    return lv.role.isEmpty() || lv.role.split(QLatin1Char(',')).contains(QStringLiteral("public"));
}
