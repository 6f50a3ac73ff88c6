// Plain-text parsers for today's tool set: LVM2's JSON full report, lsblk's JSON listing and blkid's output.
#ifndef DOVODODUZU_CURRENTPARSE_P_H
#define DOVODODUZU_CURRENTPARSE_P_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// Sizes are whole KiB and counts plain figures; a field that is missing, empty or unreadable reads 0
// unless its comment says otherwise. An unreadable field also adds a line to the report's problems.

// One volume group of the report.
struct ReportVg {
    QString name;
    QString uuid;
    QString attr;
    qint64 sizeKiB = 0;
    qint64 freeKiB = 0;
    qint64 extentKiB = 0;
    qint64 extentCount = 0;
    qint64 freeCount = 0;
    int pvCount = 0;
    int lvCount = 0;
    int snapCount = 0;
    int maxLv = 0; // 0: no limit
    int maxPv = 0; // 0: no limit
    qint64 seqno = 0;
};

// One physical volume; `vgName` is empty for a physical volume outside every group.
struct ReportPv {
    QString name; // the device path
    QString vgName;
    QString uuid;
    qint64 sizeKiB = 0;
    qint64 devSizeKiB = 0;
    qint64 peCount = 0;
    qint64 peAllocCount = 0;
};

// One logical volume, hidden ones (mirror images, pool parts) included.
struct ReportLv {
    QString vgName; // empty only when the report gave the volume no group (a problem is reported)
    QString name;
    QString uuid;
    QString path;
    QString dmPath;
    QString attr;
    QString role;   // "public,origin,thickorigin" and the like
    QString origin; // the origin's name for a snapshot, else empty
    QString allocationPolicy;
    qint64 sizeKiB = 0;
    qint64 originSizeKiB = 0;
    bool active = false;
    int kernelMajor = -1; // -1: no device in the kernel (also when missing)
    int kernelMinor = -1;
    qint64 readAheadSectors = -1; // -1: "auto" (also when missing)
    int segCount = 0;
    bool skipActivation = false;
    // The devices of the physical volumes holding the volume, each once: in the order of the volume's
    // own extents where the report's segments tell it, then any others its extents lie on.
    QStringList pvPaths;
};

// One run of extents on a physical volume; `lvUuid` is empty for free extents.
struct ReportPvSegment {
    QString pvUuid;
    QString lvUuid;
    qint64 start = 0; // first extent on the physical volume
    qint64 size = 0;  // extents
};

// One segment of a logical volume: a run of its own extents and the device ranges behind it.
struct ReportLvSegment {
    QString lvUuid;
    QString type;           // "linear", "striped", "snapshot", ...
    qint64 startExtent = 0; // first extent of the volume the segment holds
    qint64 extentCount = 0;
    QStringList devices; // the device of each range of "seg_pe_ranges", in order ("/dev/loop0:0-9" -> "/dev/loop0")
};

// What "lvm fullreport --reportformat json" said, in the report's order.
struct LvmReport {
    QList<ReportVg> vgs;
    QList<ReportPv> pvs;
    QList<ReportLv> lvs;
    QList<ReportPvSegment> pvSegments;
    QList<ReportLvSegment> lvSegments;
    QStringList problems; // one readable line each, "lvm fullreport: ..."
};

// Reads the standard output of "lvm fullreport --reportformat json", with or without "--units k
// --nosuffix". Text around the JSON document is passed over; whatever could be read is returned even
// when the document is broken, and every fault becomes one line of `problems`.
LvmReport parseLvmFullReport(const QByteArray& json);

// The devices of the physical volumes holding the volume `lvUuid` (see ReportLv::pvPaths).
QStringList pvPathsOf(const LvmReport& report, const QString& lvUuid);

// A size as LVM prints it, in whole KiB: a bare number is KiB ("303104.00"); a number with a unit
// letter is converted ("296.00m", "0 ", "512b"). Lower-case units are powers of 1024, upper-case ones
// powers of 1000 as LVM's "--units" uses them ("B" and "S" are bytes and sectors either way); a value
// that is not a whole KiB is rounded to the nearest. Nothing for empty text or text that is no size.
std::optional<qint64> parseSizeKiB(const QString& text);

// One device of lsblk's listing.
struct BlockDevice {
    QString name;
    QString path;
    QString type;       // "disk", "part", "loop", "lvm", ...
    QString parentName; // "PKNAME", else the device it is nested in; empty for a top-level device
    QString partType;
    QString partTypeName; // empty without udev, as are fsType and the other udev columns
    QString fsType;
    QString mountPoint;
    qint64 sizeBytes = 0;
    int partitionNumber = -1; // for a partition whose name is its parent's plus a number, else -1
};

// Reads the standard output of "lsblk --json --bytes --output NAME,PATH,TYPE,SIZE,PKNAME,...", nested
// or "--list", into one list in document order (a child right after its parent). A device with two
// parents (a volume across two disks) appears once under each. Faults become lines of `problems`
// ("lsblk: ..."), which may be null.
QList<BlockDevice> parseLsblkJson(const QByteArray& json, QStringList* problems);

// The number of partition `name` of device `parentName`: the parent's name, an optional "p", then
// digits ("sda5" of "sda" -> 5, "nvme0n1p3" of "nvme0n1" -> 3); -1 when the names do not fit that.
int partitionNumberFromNames(const QString& name, const QString& parentName);

// A device path cut before its trailing number: "/dev/sdb12" -> ("/dev/sdb", 12). A "p" before the
// number goes too when the text before it ends in a digit ("/dev/nvme0n1p3" -> ("/dev/nvme0n1", 3));
// a path without trailing digits gives (path, -1).
QPair<QString, int> splitTrailingNumber(const QString& devicePath);

// The file-system type blkid found on each device ("TYPE"), by device path, from "blkid -o export"
// or blkid's default form ("/dev/x: UUID=\"...\" TYPE=\"ext4\""). Devices without a type are absent.
QHash<QString, QString> parseBlkidTypes(const QByteArray& text);

#endif
