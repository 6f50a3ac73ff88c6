// The simulated machine's state: disks, partitions, physical volumes, groups, volumes, faults,
// with the extent bookkeeping every change command relies on (its JSON form: simjson.h).
#ifndef DOVODODUZU_SIM_SIMSTATE_H
#define DOVODODUZU_SIM_SIMSTATE_H

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace sim {

// Which generation of tools the machine answers as: the 2.02-era set (lvm.static, the device lister)
// or today's (lvm with JSON reports, lsblk, blkid). Both share one state.
enum class ToolSet { Classic, Current };
QString toolSetName(ToolSet tools);
std::optional<ToolSet> toolSetFromName(const QString& name);

// Where and how a volume or partition is mounted; an empty dir means not mounted.
struct Mount {
    QString dir;
    QString options = QStringLiteral("rw");
    QString type;          // mtab type; empty: derived from the file system
    bool viaMapper = true; // volumes only: mtab names /dev/mapper/<vg>-<lv> rather than /dev/<vg>/<lv>
    bool mounted() const { return !dir.isEmpty(); }
};

struct Partition {
    int number = 0;
    QString system = QStringLiteral("Linux"); // field 6 of the lister line
    QString fstype;                           // field 7: the lister's name for the file system
    qint64 sizeKiB = 0;                       // field 8
    qint64 fsUsedKiB = 0;                     // field 9: negative when the lister could not read the file system
    QString label;                            // field 10
    QString tag;                              // field 11, optional ("LVM")
    qint64 fsSizeKiB = 0;                     // size the file system believes it has (0: whole partition)
    bool damaged = false;
    bool needsRepair = false; // e2fsck finds and corrects errors once
    Mount mount;
};

struct Disk {
    QString name;
    QString kind = QStringLiteral("DISK");
    QString model = QStringLiteral("ATA VIRTUAL DISK");
    qint64 sizeKiB = 0;
    QList<Partition> partitions;
};

struct Pv {
    QString device; // /dev/sda2
    QString uuid;
    QString vg;      // empty: orphan
    int peCount = 0; // extents, when in a group
};

struct Segment {
    QString pv;
    int start = 0;
    int count = 0;
};

struct Lv {
    QString name;
    QString uuid;
    bool active = true;
    QString origin;       // for a snapshot: the origin's name in the same group
    QString fstype;       // as mount --guess-fstype names it; empty: none
    qint64 fsSizeKiB = 0; // size the file system believes it has
    bool damaged = false;
    bool needsRepair = false;
    QList<Segment> segments; // for a snapshot: its copy-on-write area
    Mount mount;
    int minor = -1; // device-mapper minor while active, kept until deactivation; -1 when inactive

    int extents() const;
    bool isSnapshot() const { return !origin.isEmpty(); }
};

struct Vg {
    QString name;
    QString uuid;
    qint64 extentKiB = 4096;
    bool active = true;
    bool resizable = true;
    bool unreadable = false;
    QString readError = QStringLiteral("vg_read(): bad metadata");
    int maxLv = 0; // 0: unlimited
    int maxPv = 0;
    QList<Lv> lvs;

    Lv* lv(const QString& lvName);
    const Lv* lv(const QString& lvName) const;
    QStringList snapshotsOf(const QString& originName) const;
};

struct Fault {
    QString program;
    QStringList args;
    bool exact = false;
    int exitCode = 1;
    QString output;      // written to standard output
    QString errorOutput; // written to standard error
    int signal = 0;      // when set, the run dies by this signal after its output
    int times = -1;      // runs left; -1: every run

    bool matches(const QString& prog, const QStringList& argv) const;
};

struct Machine {
    QList<Disk> disks;
    QList<Pv> pvs;
    QList<Vg> vgs;
    QList<Fault> faults;
    QStringList mtabExtra; // mount table lines of things outside the storage model (proc, sysfs, ...)
    int serial = 0;        // feeds the UUIDs of objects made at run time
    ToolSet tools = ToolSet::Classic;
    bool udev = false; // today's lsblk fills FSTYPE and PARTTYPENAME only from udev's database

    // Lookups by device path (/dev/sda2) or name.
    Partition* partition(const QString& device, Disk** disk = nullptr);
    const Partition* partition(const QString& device) const;
    const Disk* disk(const QString& device) const;
    Pv* pv(const QString& device);
    const Pv* pv(const QString& device) const;
    Vg* vg(const QString& name);
    const Vg* vg(const QString& name) const;

    QList<const Pv*> pvsOf(const QString& vgName) const;
    // Extents of a group's PV taken by volumes; free ones are peCount minus this.
    int usedExtents(const Vg& group, const QString& device) const;
    int freeExtents(const Vg& group) const;
    int freeExtents(const Vg& group, const QString& device) const;
    // Takes `count` free extents of the group (only on `onlyPvs` when not empty), lowest first, and
    // appends them to `segments`, merging with the last segment where they follow on.
    bool allocate(const Vg& group, int count, const QStringList& onlyPvs, QList<Segment>& segments) const;
    // Extents of a partition that a PV of `extentKiB` extents can use (label and metadata area off).
    static int extentsFor(qint64 sizeKiB, qint64 extentKiB);

    QString newUuid(const QString& seed);
    QString mtab() const;
};

// Gives every active volume without a device-mapper minor the lowest free one (in listed order,
// as device-mapper hands them out at activation) and takes it from every inactive volume.
void assignDeviceMinors(Machine& machine);

// "/dev/<vg>/<lv>" → (vg, lv), also "vg/lv" and "/dev/mapper/<dm name>".
bool splitLvPath(const QString& path, QString* vgName, QString* lvName);
QString dmName(const QString& vgName, const QString& lvName);
// Names LVM accepts for groups and volumes.
bool validName(const QString& name);

} // namespace sim

#endif
