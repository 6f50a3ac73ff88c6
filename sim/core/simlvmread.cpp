// The LVM tool's read commands: vgscan, vgdisplay, pvscan, lvscan, lvdisplay, pvdisplay, version,
// printed in the shape of LVM2 2.02-era output; and the LVM tool itself (runLvm), which hands a
// command to the reads of the machine's tool set or to the changes both sets share.
#include "simtools.h"

#include <algorithm>

namespace sim {

namespace {

const QString kMetadata = QStringLiteral("lvm2");

// Volumes that are open count as mounted ones.
int openCount(const Lv& v)
{
    return v.mount.mounted() ? 1 : 0;
}

// A snapshot shows its origin's size; its own extents are its copy-on-write table.
const Lv& sizeSource(const Vg& g, const Lv& v)
{
    const Lv* origin = v.isSnapshot() ? g.lv(v.origin) : nullptr;
    return origin ? *origin : v;
}

QString field(const QString& label, const QString& value, int width)
{
    return QStringLiteral("  %1%2").arg(label.leftJustified(width), value);
}

QString lvLine(const QString& label, const QString& value)
{
    return field(label, value, 23);
}

QString pvLine(const QString& label, const QString& value)
{
    return field(label, value, 22);
}

int vgStatus(const Vg& g)
{
    // 0x100 readable always; the library takes 0x200 as "active" and 0x4 as "resizable".
    return 0x100 | (g.active ? 0x200 : 0) | (g.resizable ? 0x4 : 0);
}

int lvAccess(const Vg& g, const Lv& v)
{
    // read/write; 8 marks an origin of snapshots as the library sets it after lvcreate -s.
    return 3 | (g.snapshotsOf(v.name).isEmpty() ? 0 : 8);
}

// ---- vgscan ----

int vgscan(Machine& m, Output& o)
{
    o.outLine(QStringLiteral("  Reading all physical volumes.  This may take a while..."));
    if (m.vgs.isEmpty())
        return o.fail(0, QStringLiteral("  No volume groups found"));
    for (const Vg& g : m.vgs) {
        if (g.unreadable)
            o.errLine(
                QStringLiteral("vgscan -- ERROR \"%1\" can't get data of volume group \"%2\" from physical volume(s)")
                    .arg(g.readError, g.name));
        o.outLine(QStringLiteral("  Found volume group \"%1\" using metadata type %2").arg(g.name, kMetadata));
    }
    return 0;
}

// ---- vgdisplay ----

void vgRecord(const Machine& m, const Vg& g, bool colon, Output& o)
{
    const QList<const Pv*> pvs = m.pvsOf(g.name);
    int total = 0;
    for (const Pv* p : pvs)
        total += p->peCount;
    const int free = m.freeExtents(g);
    const int alloc = total - free;
    int open = 0;
    for (const Lv& v : g.lvs)
        open += openCount(v);
    if (colon) {
        o.outLine(QStringLiteral("  %1:r/w:%2:-1:%3:%4:%5:-1:%6:%7:%8:%9:%10:%11:%12:%13:%14")
                      .arg(g.name)
                      .arg(vgStatus(g))
                      .arg(g.maxLv)
                      .arg(g.lvs.size())
                      .arg(open)
                      .arg(g.maxPv)
                      .arg(pvs.size())
                      .arg(pvs.size())
                      .arg(qint64(total) * g.extentKiB)
                      .arg(g.extentKiB)
                      .arg(total)
                      .arg(alloc)
                      .arg(free)
                      .arg(g.uuid));
        return;
    }
    auto line = [&](const QString& label, const QString& value) { o.outLine(field(label, value, 22)); };
    o.outLine(QStringLiteral("  --- Volume group ---"));
    line(QStringLiteral("VG Name"), g.name);
    line(QStringLiteral("System ID"), QString());
    line(QStringLiteral("Format"), kMetadata);
    line(QStringLiteral("Metadata Areas"), QString::number(pvs.size()));
    line(QStringLiteral("Metadata Sequence No"), QString::number(g.lvs.size() + pvs.size()));
    line(QStringLiteral("VG Access"), QStringLiteral("read/write"));
    line(QStringLiteral("VG Status"), g.resizable ? QStringLiteral("resizable") : QString());
    line(QStringLiteral("MAX LV"), QString::number(g.maxLv));
    line(QStringLiteral("Cur LV"), QString::number(g.lvs.size()));
    line(QStringLiteral("Open LV"), QString::number(open));
    line(QStringLiteral("Max PV"), QString::number(g.maxPv));
    line(QStringLiteral("Cur PV"), QString::number(pvs.size()));
    line(QStringLiteral("Act PV"), QString::number(pvs.size()));
    line(QStringLiteral("VG Size"), displaySize(qint64(total) * g.extentKiB));
    line(QStringLiteral("PE Size"), displaySize(g.extentKiB));
    line(QStringLiteral("Total PE"), QString::number(total));
    line(QStringLiteral("Alloc PE / Size"),
         QStringLiteral("%1 / %2").arg(alloc).arg(displaySize(qint64(alloc) * g.extentKiB)));
    line(QStringLiteral("Free  PE / Size"),
         QStringLiteral("%1 / %2").arg(free).arg(displaySize(qint64(free) * g.extentKiB)));
    line(QStringLiteral("VG UUID"), g.uuid);
    o.outLine(QStringLiteral("   "));
}

int vgdisplay(Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cDvsA"));
    if (!opts.error.isEmpty())
        return o.fail(3, QStringLiteral("vgdisplay: %1\n  Error during parsing of command line.").arg(opts.error));
    QStringList names = opts.positional;
    for (QString& n : names)
        if (n.startsWith(QLatin1String("/dev/")))
            n = n.mid(5);
    if (names.isEmpty())
        for (const Vg& g : m.vgs)
            names << g.name;
    int code = 0;
    for (const QString& name : names) {
        const Vg* g = m.vg(name);
        if (!g || g->unreadable) {
            o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(name));
            code = 5;
            continue;
        }
        if (!g->active && !opts.has(QLatin1Char('D'))) {
            o.outLine(QStringLiteral("vgdisplay -- \"%1\" is NOT active; try -D").arg(name));
            code = 5;
            continue;
        }
        vgRecord(m, *g, opts.has(QLatin1Char('c')), o);
    }
    return code;
}

// ---- pvscan ----

int pvscan(Machine& m, Output& o)
{
    if (m.pvs.isEmpty())
        return o.fail(5, QStringLiteral("  No matching physical volumes found"));
    qsizetype pvWidth = 0, vgWidth = 0;
    for (const Pv& p : m.pvs) {
        pvWidth = std::max(pvWidth, p.device.size());
        vgWidth = std::max(vgWidth, p.vg.size());
    }
    pvWidth += 2;
    vgWidth += 2;
    qint64 all = 0, inUse = 0, noVg = 0;
    int allCount = 0, inUseCount = 0, noVgCount = 0;
    for (const Pv& p : m.pvs) {
        const Vg* g = m.vg(p.vg);
        if (!g) {
            const qint64 size = deviceKiB(m, p.device);
            o.outLine(QStringLiteral("  PV %1 %2 %3 [%4]")
                          .arg(p.device.leftJustified(pvWidth), QString(vgWidth + 3, QLatin1Char(' ')), kMetadata,
                               displaySize(size)));
            all += size;
            noVg += size;
            ++noVgCount;
        } else {
            const qint64 size = qint64(p.peCount) * g->extentKiB;
            const qint64 free = qint64(m.freeExtents(*g, p.device)) * g->extentKiB;
            o.outLine(QStringLiteral("  PV %1 VG %2 %3 [%4 / %5 free]")
                          .arg(p.device.leftJustified(pvWidth), p.vg.leftJustified(vgWidth), kMetadata,
                               displaySize(size), displaySize(free)));
            all += size;
            inUse += size;
            ++inUseCount;
        }
        ++allCount;
    }
    o.outLine(QStringLiteral("  Total: %1 [%2] / in use: %3 [%4] / in no VG: %5 [%6]")
                  .arg(allCount)
                  .arg(displaySize(all))
                  .arg(inUseCount)
                  .arg(displaySize(inUse))
                  .arg(noVgCount)
                  .arg(displaySize(noVg)));
    return 0;
}

// ---- lvscan ----

int lvscan(Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("Dvab"));
    if (!opts.error.isEmpty())
        return o.fail(3, QStringLiteral("lvscan: %1\n  Error during parsing of command line.").arg(opts.error));
    bool any = false;
    for (const Vg& g : m.vgs) {
        if (g.unreadable)
            continue;
        for (const Lv& v : g.lvs) {
            any = true;
            const QString kind = v.isSnapshot()                     ? QStringLiteral("Snapshot")
                                 : !g.snapshotsOf(v.name).isEmpty() ? QStringLiteral("Original")
                                                                    : QStringLiteral("        ");
            const Lv& shown = sizeSource(g, v);
            o.outLine(QStringLiteral("  %1%2 '/dev/%3/%4' [%5] inherit")
                          .arg(lvActive(g, v) ? QStringLiteral("ACTIVE   ") : QStringLiteral("inactive "), kind, g.name,
                               v.name, displaySize(qint64(shown.extents()) * g.extentKiB)));
        }
    }
    if (!any)
        o.outLine(QStringLiteral("  No volume groups found"));
    return 0;
}

// ---- lvdisplay ----

void lvRecord(const Machine& m, const Vg& g, const Lv& v, bool colon, bool maps, Output& o)
{
    const QString path = QStringLiteral("/dev/%1/%2").arg(g.name, v.name);
    const bool active = lvActive(g, v);
    const Lv& shown = sizeSource(g, v);
    const int le = shown.extents();
    const qint64 sizeKiB = qint64(le) * g.extentKiB;
    if (colon) {
        o.outLine(QStringLiteral("  %1:%2:%3:%4:-1:%5:%6:%7:%8:0:-1:%9:%10")
                      .arg(path, g.name)
                      .arg(lvAccess(g, v))
                      .arg(active ? 1 : 0)
                      .arg(openCount(v))
                      .arg(sizeKiB * 2)
                      .arg(le)
                      .arg(le)
                      .arg(active ? QStringLiteral("253") : QStringLiteral("-1"))
                      .arg(active ? QString::number(v.minor) : QStringLiteral("-1")));
        return;
    }
    o.outLine(QStringLiteral("  --- Logical volume ---"));
    o.outLine(lvLine(QStringLiteral("LV Name"), path));
    o.outLine(lvLine(QStringLiteral("VG Name"), g.name));
    o.outLine(lvLine(QStringLiteral("LV UUID"), v.uuid));
    o.outLine(lvLine(QStringLiteral("LV Write Access"), QStringLiteral("read/write")));
    const QStringList snapshots = g.snapshotsOf(v.name);
    if (!snapshots.isEmpty()) {
        o.outLine(lvLine(QStringLiteral("LV snapshot status"), QStringLiteral("source of")));
        for (const QString& s : snapshots)
            o.outLine(QStringLiteral("%1/dev/%2/%3 [%4]")
                          .arg(QString(25, QLatin1Char(' ')), g.name, s,
                               lvActive(g, *g.lv(s)) ? QStringLiteral("active") : QStringLiteral("INACTIVE")));
    } else if (v.isSnapshot()) {
        o.outLine(lvLine(QStringLiteral("LV snapshot status"),
                         QStringLiteral("%1 destination for /dev/%2/%3")
                             .arg(active ? QStringLiteral("active") : QStringLiteral("INACTIVE"), g.name, v.origin)));
    }
    o.outLine(
        lvLine(QStringLiteral("LV Status"), active ? QStringLiteral("available") : QStringLiteral("NOT available")));
    if (active)
        o.outLine(lvLine(QStringLiteral("# open"), QString::number(openCount(v))));
    o.outLine(lvLine(QStringLiteral("LV Size"), displaySize(sizeKiB)));
    o.outLine(lvLine(QStringLiteral("Current LE"), QString::number(le)));
    if (v.isSnapshot()) {
        o.outLine(lvLine(QStringLiteral("COW-table size"), displaySize(qint64(v.extents()) * g.extentKiB)));
        o.outLine(lvLine(QStringLiteral("COW-table LE"), QString::number(v.extents())));
        o.outLine(lvLine(QStringLiteral("Allocated to snapshot"), QStringLiteral("0.00%")));
        o.outLine(lvLine(QStringLiteral("Snapshot chunk size"), displaySize(4)));
    }
    o.outLine(lvLine(QStringLiteral("Segments"), QString::number(v.segments.size())));
    o.outLine(lvLine(QStringLiteral("Allocation"), QStringLiteral("inherit")));
    o.outLine(lvLine(QStringLiteral("Read ahead sectors"), QStringLiteral("auto")));
    if (active) {
        o.outLine(lvLine(QStringLiteral("- currently set to"), QStringLiteral("256")));
        o.outLine(lvLine(QStringLiteral("Block device"), QStringLiteral("253:%1").arg(v.minor)));
    }
    o.outLine(QStringLiteral("   "));
    if (maps)
        lvSegmentMap(m, v, o);
}

int lvdisplay(Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cDvma"));
    if (!opts.error.isEmpty())
        return o.fail(3, QStringLiteral("lvdisplay: %1\n  Error during parsing of command line.").arg(opts.error));
    const bool colon = opts.has(QLatin1Char('c'));
    const bool verbose = opts.has(QLatin1Char('v'));
    // The verbose form prints the segment map too, so a caller can learn an inactive volume's PVs from it.
    const bool maps = opts.has(QLatin1Char('m')) || verbose;
    if (verbose)
        o.errLine(opts.positional.isEmpty() ? QStringLiteral("    Finding all logical volumes")
                                            : QStringLiteral("    Using logical volume(s) on command line"));
    QList<QPair<const Vg*, const Lv*>> wanted;
    int code = 0;
    if (opts.positional.isEmpty()) {
        for (const Vg& g : m.vgs)
            if (!g.unreadable)
                for (const Lv& v : g.lvs)
                    wanted << qMakePair(&g, &v);
    }
    for (const QString& arg : opts.positional) {
        QString vgName, lvName;
        if (!splitLvPath(arg, &vgName, &lvName)) {
            vgName = arg.startsWith(QLatin1String("/dev/")) ? arg.mid(5) : arg;
            const Vg* g = m.vg(vgName);
            if (!g || g->unreadable) {
                o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(vgName));
                code = 5;
                continue;
            }
            for (const Lv& v : g->lvs)
                wanted << qMakePair(g, &v);
            continue;
        }
        const Vg* g = m.vg(vgName);
        const Lv* v = g && !g->unreadable ? g->lv(lvName) : nullptr;
        if (!v) {
            o.errLine(g ? QStringLiteral("  One or more specified logical volume(s) not found.")
                        : QStringLiteral("  Volume group \"%1\" not found").arg(vgName));
            code = 5;
            continue;
        }
        wanted << qMakePair(g, v);
    }
    for (const auto& [g, v] : wanted) {
        if (!g->active && !opts.has(QLatin1Char('D'))) {
            o.outLine(QStringLiteral(
                          "lvdisplay -- volume group \"%1\" of logical volume \"/dev/%1/%2\" is not active; try -D")
                          .arg(g->name, v->name));
            code = 5;
            continue;
        }
        lvRecord(m, *g, *v, colon, maps && !colon, o);
    }
    return code;
}

// ---- pvdisplay ----

void pvDistribution(const Vg& g, const Pv& p, Output& o)
{
    QList<QPair<const Lv*, int>> rows;
    for (const Lv& v : g.lvs) {
        int onPv = 0;
        for (const Segment& s : v.segments)
            if (s.pv == p.device)
                onPv += s.count;
        if (onPv)
            rows << qMakePair(&v, onPv);
    }
    if (rows.isEmpty())
        return;
    o.outLine(QStringLiteral("   --- Distribution of physical volume ---"));
    o.outLine(QStringLiteral("   LV Name                   LE of LV  PE for LV"));
    for (const auto& [v, onPv] : rows)
        o.outLine(QStringLiteral("   %1 %2  %3")
                      .arg(QStringLiteral("/dev/%1/%2").arg(g.name, v->name).leftJustified(25))
                      .arg(QString::number(v->extents()).leftJustified(8))
                      .arg(onPv));
    // The table ends at an empty line.
    o.outLine(QString());
}

void pvRecord(const Machine& m, const Pv& p, bool colon, bool verbose, bool maps, Output& o)
{
    const Vg* g = m.vg(p.vg);
    const qint64 sizeKiB = deviceKiB(m, p.device);
    if (!g)
        o.outLine(QStringLiteral("  \"%1\" is a new physical volume of \"%2\"").arg(p.device, displaySize(sizeKiB)));
    const int total = g ? p.peCount : 0;
    const int free = g ? m.freeExtents(*g, p.device) : 0;
    const qint64 extentKiB = g ? g->extentKiB : 0;
    if (colon) {
        o.outLine(QStringLiteral("  %1:%2:%3:-1:8:8:-1:%4:%5:%6:%7:%8")
                      .arg(p.device, g ? g->name : QStringLiteral("#orphans_lvm2"))
                      .arg(sizeKiB * 2)
                      .arg(extentKiB)
                      .arg(total)
                      .arg(free)
                      .arg(total - free)
                      .arg(p.uuid));
        return;
    }
    o.outLine(g ? QStringLiteral("  --- Physical volume ---") : QStringLiteral("  --- NEW Physical volume ---"));
    o.outLine(pvLine(QStringLiteral("PV Name"), p.device));
    o.outLine(pvLine(QStringLiteral("VG Name"), g ? g->name : QString()));
    const qint64 unusable = g ? sizeKiB - qint64(total) * extentKiB : 0;
    o.outLine(pvLine(QStringLiteral("PV Size"),
                     unusable > 0
                         ? QStringLiteral("%1 / not usable %2").arg(displaySize(sizeKiB), displaySize(unusable))
                         : displaySize(sizeKiB)));
    o.outLine(pvLine(QStringLiteral("Allocatable"), !g          ? QStringLiteral("NO")
                                                    : free == 0 ? QStringLiteral("yes (but full)")
                                                                : QStringLiteral("yes")));
    o.outLine(pvLine(QStringLiteral("PE Size"), g ? displaySize(extentKiB) : QStringLiteral("0")));
    o.outLine(pvLine(QStringLiteral("Total PE"), QString::number(total)));
    o.outLine(pvLine(QStringLiteral("Free PE"), QString::number(free)));
    o.outLine(pvLine(QStringLiteral("Allocated PE"), QString::number(total - free)));
    o.outLine(pvLine(QStringLiteral("PV UUID"), p.uuid));
    o.outLine(QStringLiteral("   "));
    if (g && verbose)
        pvDistribution(*g, p, o);
    if (g && (maps || verbose))
        pvSegmentMap(*g, p, o);
}

int pvdisplay(Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cvmsD"));
    if (!opts.error.isEmpty())
        return o.fail(3, QStringLiteral("pvdisplay: %1\n  Error during parsing of command line.").arg(opts.error));
    const bool verbose = opts.has(QLatin1Char('v'));
    if (verbose)
        o.errLine(opts.positional.isEmpty() ? QStringLiteral("    Scanning for physical volume names")
                                            : QStringLiteral("    Using physical volume(s) on command line"));
    QStringList devices = opts.positional;
    if (devices.isEmpty())
        for (const Pv& p : m.pvs)
            devices << p.device;
    int code = 0;
    for (const QString& device : devices) {
        const Pv* p = m.pv(device);
        if (!p) {
            if (m.partition(device) || m.disk(device))
                o.errLine(QStringLiteral("  No physical volume label read from %1").arg(device));
            o.errLine(QStringLiteral("  Failed to read physical volume \"%1\"").arg(device));
            code = 5;
            continue;
        }
        pvRecord(m, *p, opts.has(QLatin1Char('c')), verbose, opts.has(QLatin1Char('m')), o);
    }
    return code;
}

} // namespace

void lvSegmentMap(const Machine& m, const Lv& v, Output& o)
{
    o.outLine(QStringLiteral("  --- Segments ---"));
    int le = 0;
    for (const Segment& s : v.segments) {
        o.outLine(say(m, {"  Logical extent %1 to %2:", "  Logical extents %1 to %2:"}).arg(le).arg(le + s.count - 1));
        o.outLine(QStringLiteral("    Type\t\tlinear"));
        o.outLine(QStringLiteral("    Physical volume\t%1").arg(s.pv));
        o.outLine(QStringLiteral("    Physical extents\t%1 to %2").arg(s.start).arg(s.start + s.count - 1));
        o.outLine(QStringLiteral("   "));
        le += s.count;
    }
    // LVM2 2.03 closes the map with one more blank line.
    if (isCurrent(m))
        o.outLine(QStringLiteral("   "));
}

QStringList readableGroupNames(const Machine& m)
{
    QStringList names;
    for (const Vg& g : m.vgs) {
        if (!g.unreadable)
            names << g.name;
    }
    return names;
}

void pvSegmentMap(const Vg& g, const Pv& p, Output& o)
{
    struct Run {
        int start;
        int count;
        QString lv;
        int le;
    };
    QList<Run> runs;
    for (const Lv& v : g.lvs) {
        int le = 0;
        for (const Segment& s : v.segments) {
            if (s.pv == p.device)
                runs << Run{s.start, s.count, QStringLiteral("/dev/%1/%2").arg(g.name, v.name), le};
            le += s.count;
        }
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.start < b.start; });
    o.outLine(QStringLiteral("  --- Physical Segments ---"));
    int next = 0;
    auto freeRun = [&](int from, int to) {
        o.outLine(QStringLiteral("  Physical extent %1 to %2:").arg(from).arg(to));
        o.outLine(QStringLiteral("    FREE"));
    };
    for (const Run& r : runs) {
        if (r.start > next)
            freeRun(next, r.start - 1);
        o.outLine(QStringLiteral("  Physical extent %1 to %2:").arg(r.start).arg(r.start + r.count - 1));
        o.outLine(QStringLiteral("    Logical volume\t%1").arg(r.lv));
        o.outLine(QStringLiteral("    Logical extents\t%1 to %2").arg(r.le).arg(r.le + r.count - 1));
        next = r.start + r.count;
    }
    if (next < p.peCount)
        freeRun(next, p.peCount - 1);
    o.outLine(QStringLiteral("   "));
}

bool lvActive(const Vg& g, const Lv& v)
{
    return g.active && v.active;
}

int minorOf(const Machine&, const Vg&, const Lv& volume)
{
    return volume.minor;
}

int runLvmRead(const QString& command, Machine& m, const QStringList& args, Output& o)
{
    if (command == QLatin1String("vgscan"))
        return vgscan(m, o);
    if (command == QLatin1String("vgdisplay"))
        return vgdisplay(m, args, o);
    if (command == QLatin1String("pvscan"))
        return pvscan(m, o);
    if (command == QLatin1String("lvscan"))
        return lvscan(m, args, o);
    if (command == QLatin1String("lvdisplay"))
        return lvdisplay(m, args, o);
    if (command == QLatin1String("pvdisplay"))
        return pvdisplay(m, args, o);
    if (command == QLatin1String("version")) {
        o.outLine(QStringLiteral("  LVM version:     2.02.06 (2006-05-12)"));
        o.outLine(QStringLiteral("  Library version: 1.02.07 (2006-05-11)"));
        o.outLine(QStringLiteral("  Driver version:  4.6.0"));
        return 0;
    }
    return -1;
}

// Both tool sets' LVM tool: reads as the machine's set prints them, changes shared by both.
int runLvm(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    if (args.isEmpty())
        return o.fail(3, say(m, {"  No command given.  Try 'help'.", "  No command given.  Try 'lvm help'."}));
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    const int read = isCurrent(m) ? runLvmCurrentRead(command, m, rest, o) : runLvmRead(command, m, rest, o);
    if (read >= 0)
        return read;
    const int groupChange = runLvmGroupChange(command, m, rest, o, changed);
    if (groupChange >= 0)
        return groupChange;
    const int volumeChange = runLvmVolumeChange(command, m, rest, o, changed);
    if (volumeChange >= 0)
        return volumeChange;
    if (isCurrent(m))
        return o.fail(2, QStringLiteral("  No such command.  Try 'lvm help'."));
    return o.fail(3, QStringLiteral("  No such command '%1'.  Try 'help'.").arg(command));
}

} // namespace sim
