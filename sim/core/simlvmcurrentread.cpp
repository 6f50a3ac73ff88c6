// Today's LVM tool's reads (/sbin/lvm, LVM2 2.03): its display and scan commands in 2.03's layout,
// and the JSON reports (simlvmreport.cpp). The change commands are shared with the classic tool.
#include "simlvmreport.h"

namespace sim {

namespace {

constexpr int kInvalidCommandLine = 3;
constexpr int kFailed = 5;

const QString kMetadata = QStringLiteral("lvm2");

int parseError(const QString& command, const Options& opts, Output& o)
{
    return o.fail(kInvalidCommandLine,
                  QStringLiteral("%1: %2\n  Error during parsing of command line.").arg(command, opts.error));
}

const Vg* readableGroup(const Machine& m, const QString& name)
{
    const Vg* g = m.vg(name);
    return g && !g->unreadable ? g : nullptr;
}

QString labelled(const QString& label, const QString& value, int width)
{
    return QStringLiteral("  %1%2").arg(label.leftJustified(width), value);
}

// ---- vgscan, pvscan, lvscan ----

int vgscan(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("vd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgscan"), opts, o);
    for (const Vg& g : m.vgs) {
        if (g.unreadable)
            o.errLine(QStringLiteral("  WARNING: %1: skipping volume group %2").arg(g.readError, g.name));
        else
            o.outLine(QStringLiteral("  Found volume group \"%1\" using metadata type %2").arg(g.name, kMetadata));
    }
    return 0;
}

int pvscan(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("vdsn"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("pvscan"), opts, o);
    QList<const Pv*> members, orphans;
    qsizetype pvWidth = 0, vgWidth = 14; // 2.03 gives group names at least 15 columns
    for (const Pv& p : m.pvs) {
        if (!p.vg.isEmpty() && !readableGroup(m, p.vg))
            continue;
        (p.vg.isEmpty() ? orphans : members) << &p;
        pvWidth = std::max(pvWidth, p.device.size());
        vgWidth = std::max(vgWidth, p.vg.size());
    }
    if (members.isEmpty() && orphans.isEmpty())
        return o.fail(0, QStringLiteral("  No matching physical volumes found"));
    pvWidth += 2;
    vgWidth += 1;
    qint64 inUse = 0, noVg = 0;
    for (const Pv* p : members) {
        const Vg* g = m.vg(p->vg);
        const qint64 size = qint64(p->peCount) * g->extentKiB;
        inUse += size;
        o.outLine(QStringLiteral("  PV %1 VG %2 %3 [%4 / %5 free]")
                      .arg(p->device.leftJustified(pvWidth), p->vg.leftJustified(vgWidth), kMetadata,
                           displaySize(m, size), displaySize(m, qint64(m.freeExtents(*g, p->device)) * g->extentKiB)));
    }
    for (const Pv* p : orphans) {
        const qint64 size = deviceKiB(m, p->device);
        noVg += size;
        o.outLine(QStringLiteral("  PV %1 %2 %3 [%4]")
                      .arg(p->device.leftJustified(pvWidth), QString(vgWidth + 3, QLatin1Char(' ')), kMetadata,
                           displaySize(m, size)));
    }
    o.outLine(QStringLiteral("  Total: %1 [%2] / in use: %3 [%4] / in no VG: %5 [%6]")
                  .arg(members.size() + orphans.size())
                  .arg(displaySize(m, inUse + noVg))
                  .arg(members.size())
                  .arg(displaySize(m, inUse))
                  .arg(orphans.size())
                  .arg(displaySize(m, noVg)));
    return 0;
}

// 2.03 shows a snapshot with its own copy-on-write size, not its origin's.
int lvscan(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("abvd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("lvscan"), opts, o);
    for (const Vg& g : m.vgs) {
        if (g.unreadable)
            continue;
        for (const Lv& v : g.lvs) {
            const QString kind = v.isSnapshot()                     ? QStringLiteral("Snapshot")
                                 : !g.snapshotsOf(v.name).isEmpty() ? QStringLiteral("Original")
                                                                    : QStringLiteral("        ");
            o.outLine(QStringLiteral("  %1%2 '/dev/%3/%4' [%5] inherit")
                          .arg(lvActive(g, v) ? QStringLiteral("ACTIVE   ") : QStringLiteral("inactive "), kind, g.name,
                               v.name, displaySize(m, qint64(v.extents()) * g.extentKiB)));
        }
    }
    return 0;
}

// ---- vgdisplay, lvdisplay, pvdisplay ----

void vgRecord(const Machine& m, const Vg& g, bool colon, Output& o)
{
    const qsizetype pvs = m.pvsOf(g.name).size();
    int total = 0;
    for (const Pv* p : m.pvsOf(g.name))
        total += p->peCount;
    const int free = m.freeExtents(g);
    int open = 0;
    for (const Lv& v : g.lvs)
        open += v.mount.mounted() ? 1 : 0;
    if (colon) {
        // 2.03 no longer marks activation in the status field.
        o.outLine(QStringLiteral("  %1:r/w:%2:-1:%3:%4:%5:-1:%6:%7:%8:%9:%10:%11:%12:%13:%14")
                      .arg(g.name)
                      .arg(0x300 | (g.resizable ? 0x4 : 0))
                      .arg(g.maxLv)
                      .arg(g.lvs.size())
                      .arg(open)
                      .arg(g.maxPv)
                      .arg(pvs)
                      .arg(pvs)
                      .arg(qint64(total) * g.extentKiB)
                      .arg(g.extentKiB)
                      .arg(total)
                      .arg(total - free)
                      .arg(free)
                      .arg(g.uuid));
        return;
    }
    auto line = [&](const QString& label, const QString& value) { o.outLine(labelled(label, value, 22)); };
    auto extents = [&](int count) {
        return QStringLiteral("%1 / %2").arg(count).arg(displaySize(m, qint64(count) * g.extentKiB));
    };
    o.outLine(QStringLiteral("  --- Volume group ---"));
    line(QStringLiteral("VG Name"), g.name);
    line(QStringLiteral("System ID"), QString());
    line(QStringLiteral("Format"), kMetadata);
    line(QStringLiteral("Metadata Areas"), QString::number(pvs));
    line(QStringLiteral("Metadata Sequence No"), QString::number(g.lvs.size() + pvs));
    line(QStringLiteral("VG Access"), QStringLiteral("read/write"));
    line(QStringLiteral("VG Status"), g.resizable ? QStringLiteral("resizable") : QString());
    line(QStringLiteral("MAX LV"), QString::number(g.maxLv));
    line(QStringLiteral("Cur LV"), QString::number(g.lvs.size()));
    line(QStringLiteral("Open LV"), QString::number(open));
    line(QStringLiteral("Max PV"), QString::number(g.maxPv));
    line(QStringLiteral("Cur PV"), QString::number(pvs));
    line(QStringLiteral("Act PV"), QString::number(pvs));
    line(QStringLiteral("VG Size"), displaySize(m, qint64(total) * g.extentKiB));
    line(QStringLiteral("PE Size"), displaySize(m, g.extentKiB));
    line(QStringLiteral("Total PE"), QString::number(total));
    line(QStringLiteral("Alloc PE / Size"), extents(total - free));
    line(QStringLiteral("Free  PE / Size"), extents(free));
    line(QStringLiteral("VG UUID"), g.uuid);
    o.outLine(QStringLiteral("   "));
}

int vgdisplay(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cvsA"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgdisplay"), opts, o);
    QStringList names;
    for (const QString& n : opts.positional)
        names << (n.startsWith(QLatin1String("/dev/")) ? n.mid(5) : n);
    if (names.isEmpty())
        names = readableGroupNames(m);
    int code = 0;
    for (const QString& name : names) {
        const Vg* g = readableGroup(m, name);
        if (!g) {
            o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(name));
            o.errLine(QStringLiteral("  Cannot process volume group %1").arg(name));
            code = kFailed;
            continue;
        }
        vgRecord(m, *g, opts.has(QLatin1Char('c')), o);
    }
    return code;
}

void lvRecord(const Machine& m, const Vg& g, const Lv& v, bool colon, bool maps, Output& o)
{
    const bool active = lvActive(g, v);
    const qint64 ownKiB = qint64(v.extents()) * g.extentKiB;
    if (colon) {
        // A snapshot shows its own size here; the allocated-extents field is always -1.
        o.outLine(QStringLiteral("  /dev/%1/%2:%1:3:%3:-1:%4:%5:%6:-1:0:-1:%7:%8")
                      .arg(g.name, v.name)
                      .arg(active ? 1 : 0)
                      .arg(v.mount.mounted() ? 1 : 0)
                      .arg(ownKiB * 2)
                      .arg(v.extents())
                      .arg(active ? 253 : -1)
                      .arg(active ? minorOf(m, g, v) : -1));
        return;
    }
    const Lv* origin = v.isSnapshot() ? g.lv(v.origin) : nullptr;
    const Lv& shown = origin ? *origin : v;
    auto line = [&](const QString& label, const QString& value) { o.outLine(labelled(label, value, 23)); };
    o.outLine(QStringLiteral("  --- Logical volume ---"));
    line(QStringLiteral("LV Path"), QStringLiteral("/dev/%1/%2").arg(g.name, v.name));
    line(QStringLiteral("LV Name"), v.name);
    line(QStringLiteral("VG Name"), g.name);
    line(QStringLiteral("LV UUID"), v.uuid);
    line(QStringLiteral("LV Write Access"), QStringLiteral("read/write"));
    const QStringList snapshots = g.snapshotsOf(v.name);
    if (!snapshots.isEmpty()) {
        line(QStringLiteral("LV snapshot status"), QStringLiteral("source of"));
        for (const QString& s : snapshots)
            o.outLine(QStringLiteral("%1%2 [%3]")
                          .arg(QString(25, QLatin1Char(' ')), s,
                               lvActive(g, *g.lv(s)) ? QStringLiteral("active") : QStringLiteral("INACTIVE")));
    } else if (origin) {
        line(QStringLiteral("LV snapshot status"),
             QStringLiteral("%1 destination for %2")
                 .arg(active ? QStringLiteral("active") : QStringLiteral("INACTIVE"), v.origin));
    }
    line(QStringLiteral("LV Status"), active ? QStringLiteral("available") : QStringLiteral("NOT available"));
    if (active)
        line(QStringLiteral("# open"), QString::number(v.mount.mounted() ? 1 : 0));
    line(QStringLiteral("LV Size"), displaySize(m, qint64(shown.extents()) * g.extentKiB));
    line(QStringLiteral("Current LE"), QString::number(shown.extents()));
    if (origin) {
        line(QStringLiteral("COW-table size"), displaySize(m, ownKiB));
        line(QStringLiteral("COW-table LE"), QString::number(v.extents()));
        if (active)
            line(QStringLiteral("Allocated to snapshot"), QStringLiteral("0.00%"));
        line(QStringLiteral("Snapshot chunk size"), displaySize(m, 4));
    }
    line(QStringLiteral("Segments"), QString::number(v.segments.size()));
    line(QStringLiteral("Allocation"), QStringLiteral("inherit"));
    line(QStringLiteral("Read ahead sectors"), QStringLiteral("auto"));
    if (active) {
        line(QStringLiteral("- currently set to"), QStringLiteral("256"));
        line(QStringLiteral("Block device"), QStringLiteral("253:%1").arg(minorOf(m, g, v)));
    }
    o.outLine(QStringLiteral("   "));
    if (maps)
        lvSegmentMap(m, v, o);
}

int lvdisplay(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cvmad"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("lvdisplay"), opts, o);
    QList<QPair<const Vg*, const Lv*>> wanted;
    int code = 0;
    for (const Vg& g : m.vgs)
        if (!g.unreadable && opts.positional.isEmpty())
            for (const Lv& v : g.lvs)
                wanted << qMakePair(&g, &v);
    for (const QString& arg : opts.positional) {
        QString vgName, lvName;
        if (!splitLvPath(arg, &vgName, &lvName))
            vgName = arg.startsWith(QLatin1String("/dev/")) ? arg.mid(5) : arg;
        const Vg* g = readableGroup(m, vgName);
        if (!g) {
            o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(vgName));
            o.errLine(QStringLiteral("  Cannot process volume group %1").arg(vgName));
            code = kFailed;
            continue;
        }
        if (lvName.isEmpty()) {
            for (const Lv& v : g->lvs)
                wanted << qMakePair(g, &v);
        } else if (const Lv* v = g->lv(lvName)) {
            wanted << qMakePair(g, v);
        } else {
            o.errLine(QStringLiteral("  Failed to find logical volume \"%1/%2\"").arg(vgName, lvName));
            code = kFailed;
        }
    }
    const bool colon = opts.has(QLatin1Char('c'));
    for (const auto& [g, v] : wanted)
        lvRecord(m, *g, *v, colon, opts.has(QLatin1Char('m')) && !colon, o);
    return code;
}

void pvRecord(const Machine& m, const Pv& p, bool colon, bool maps, Output& o)
{
    const Vg* g = readableGroup(m, p.vg);
    const qint64 sizeKiB = deviceKiB(m, p.device);
    if (!g)
        o.outLine(QStringLiteral("  \"%1\" is a new physical volume of \"%2\"").arg(p.device, displaySize(m, sizeKiB)));
    const int total = g ? p.peCount : 0;
    const int free = g ? m.freeExtents(*g, p.device) : 0;
    const qint64 extentKiB = g ? g->extentKiB : 0;
    if (colon) {
        // 2.03 leaves the group field of an orphan empty and its allocation fields 0.
        o.outLine(g ? QStringLiteral("  %1:%2:%3:-1:8:8:-1:%4:%5:%6:%7:%8")
                          .arg(p.device, g->name)
                          .arg(sizeKiB * 2)
                          .arg(extentKiB)
                          .arg(total)
                          .arg(free)
                          .arg(total - free)
                          .arg(p.uuid)
                    : QStringLiteral("  %1::%2:-1:0:0:-1:0:0:0:0:%3").arg(p.device).arg(sizeKiB * 2).arg(p.uuid));
        return;
    }
    auto line = [&](const QString& label, const QString& value) { o.outLine(labelled(label, value, 22)); };
    o.outLine(g ? QStringLiteral("  --- Physical volume ---") : QStringLiteral("  --- NEW Physical volume ---"));
    line(QStringLiteral("PV Name"), p.device);
    line(QStringLiteral("VG Name"), g ? g->name : QString());
    const qint64 unusable = g ? sizeKiB - qint64(total) * extentKiB : 0;
    line(QStringLiteral("PV Size"),
         unusable > 0 ? QStringLiteral("%1 / not usable %2").arg(displaySize(m, sizeKiB), displaySize(m, unusable))
                      : displaySize(m, sizeKiB));
    line(QStringLiteral("Allocatable"), !g          ? QStringLiteral("NO")
                                        : free == 0 ? QStringLiteral("yes (but full)")
                                                    : QStringLiteral("yes "));
    line(QStringLiteral("PE Size"), g ? displaySize(m, extentKiB) : displaySize(0));
    line(QStringLiteral("Total PE"), QString::number(total));
    line(QStringLiteral("Free PE"), QString::number(free));
    line(QStringLiteral("Allocated PE"), QString::number(total - free));
    line(QStringLiteral("PV UUID"), p.uuid);
    o.outLine(QStringLiteral("   "));
    if (maps && g)
        pvSegmentMap(*g, p, o);
    else if (maps)
        o.outLine(QStringLiteral("   "));
}

int pvdisplay(const Machine& m, const QStringList& args, Output& o)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("cmsvd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("pvdisplay"), opts, o);
    QStringList devices = opts.positional;
    if (devices.isEmpty())
        for (const Pv& p : m.pvs)
            if (p.vg.isEmpty() || readableGroup(m, p.vg))
                devices << p.device;
    int code = 0;
    for (const QString& device : devices) {
        const Pv* p = m.pv(device);
        if (!p || (!p->vg.isEmpty() && !readableGroup(m, p->vg))) {
            code = o.fail(kFailed, QStringLiteral("  Failed to find physical volume \"%1\".").arg(device));
            continue;
        }
        pvRecord(m, *p, opts.has(QLatin1Char('c')), opts.has(QLatin1Char('m')), o);
    }
    return code;
}

void version(Output& o)
{
    o.outLine(QStringLiteral("  LVM version:     2.03.16(2) (2022-05-18)"));
    o.outLine(QStringLiteral("  Library version: 1.02.185 (2022-05-18)"));
    o.outLine(QStringLiteral("  Driver version:  4.47.0"));
}

} // namespace

int runLvmCurrentRead(const QString& command, Machine& m, const QStringList& args, Output& o)
{
    using Handler = int (*)(const Machine&, const QStringList&, Output&);
    static const QMap<QString, Handler> handlers{
        {QStringLiteral("vgscan"), vgscan},       {QStringLiteral("pvscan"), pvscan},
        {QStringLiteral("lvscan"), lvscan},       {QStringLiteral("vgdisplay"), vgdisplay},
        {QStringLiteral("lvdisplay"), lvdisplay}, {QStringLiteral("pvdisplay"), pvdisplay}};
    if (const Handler handler = handlers.value(command))
        return handler(m, args, o);
    if (command == QLatin1String("version")) {
        version(o);
        return 0;
    }
    return lvmReport(command, m, args, o);
}

} // namespace sim
