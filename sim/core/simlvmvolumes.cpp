// The LVM tool's volume changes: lvcreate, lvrename, lvremove, lvextend, validated like the real
// tool. One state logic serves both tool sets; where LVM2 2.03 words a message differently, `say`
// picks the wording.
#include "simlvmchange.h"

#include <algorithm>

namespace sim {

namespace {

using namespace lvmchange;

// Extents for -L (size, MB by default) or -l (extents, "N%FREE", "N%VG"); 0 after a refusal.
int requestedExtents(const Machine& m, const Vg& g, const Options& opts, int current, Output& o)
{
    if (opts.has(QLatin1Char('L'))) {
        QChar sign;
        const std::optional<qint64> kib = parseSize(opts.value(QLatin1Char('L')), QLatin1Char('M'), &sign);
        if (!kib) {
            o.fail(kInvalidCommandLine, QStringLiteral("  Invalid argument %1").arg(opts.value(QLatin1Char('L'))));
            return 0;
        }
        if (sign == QLatin1Char('-')) {
            o.fail(kInvalidCommandLine, QStringLiteral("  Negative argument not permitted - use lvreduce"));
            return 0;
        }
        const qint64 wanted = *kib + (sign == QLatin1Char('+') ? qint64(current) * g.extentKiB : 0);
        const int extents = int((wanted + g.extentKiB - 1) / g.extentKiB);
        if (qint64(extents) * g.extentKiB != wanted && wanted > 0)
            o.outLine(QStringLiteral("  Rounding up size to full physical extent %1")
                          .arg(displaySize(m, qint64(extents) * g.extentKiB)));
        return extents;
    }
    QString text = opts.value(QLatin1Char('l'));
    const bool relative = text.startsWith(QLatin1Char('+'));
    if (relative)
        text = text.mid(1);
    bool ok = false;
    int extents = 0;
    if (text.endsWith(QLatin1String("%FREE")) || text.endsWith(QLatin1String("%VG"))) {
        const bool ofFree = text.endsWith(QLatin1String("%FREE"));
        const int percent = text.left(text.indexOf(QLatin1Char('%'))).toInt(&ok);
        int base = ofFree ? m.freeExtents(g) : 0;
        if (!ofFree)
            for (const Pv* p : m.pvsOf(g.name))
                base += p->peCount;
        extents = int(qint64(base) * percent / 100);
    } else {
        extents = text.toInt(&ok);
    }
    if (!ok || extents < 0) {
        o.fail(kInvalidCommandLine, QStringLiteral("  Invalid argument %1").arg(opts.value(QLatin1Char('l'))));
        return 0;
    }
    return extents + (relative ? current : 0);
}

QString firstFreeName(const Vg& g)
{
    for (int i = 0;; ++i) {
        const QString name = QStringLiteral("lvol%1").arg(i);
        if (!g.lv(name))
            return name;
    }
}

bool checkPvRestriction(const Machine& m, const Vg& g, const QStringList& pvs, Output& o)
{
    for (const QString& device : pvs) {
        const Pv* p = m.pv(device);
        if (!p || p->vg != g.name) {
            o.fail(kFailed,
                   QStringLiteral("  Physical Volume \"%1\" not found in Volume Group \"%2\"").arg(device, g.name));
            return false;
        }
    }
    return true;
}

int lvcreate(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const QMap<QString, QChar> longNames{
        {QStringLiteral("size"), QLatin1Char('L')},      {QStringLiteral("extents"), QLatin1Char('l')},
        {QStringLiteral("name"), QLatin1Char('n')},      {QStringLiteral("snapshot"), QLatin1Char('s')},
        {QStringLiteral("stripes"), QLatin1Char('i')},   {QStringLiteral("stripesize"), QLatin1Char('I')},
        {QStringLiteral("chunksize"), QLatin1Char('c')}, {QStringLiteral("permission"), QLatin1Char('p')},
        {QStringLiteral("readahead"), QLatin1Char('r')}, {QStringLiteral("contiguous"), QLatin1Char('C')},
        {QStringLiteral("zero"), QLatin1Char('Z')},      {QStringLiteral("autobackup"), QLatin1Char('A')}};
    const QString lvcreateCmd = QStringLiteral("lvcreate");
    const Options opts = parseOptions(args, QStringLiteral("LlniIcprCZAM"),
                                      isCurrent(m) ? QStringLiteral("svdy") : QStringLiteral("svd"), longNames);
    if (!opts.error.isEmpty())
        return parseError(lvcreateCmd, opts, o);
    if (opts.has(QLatin1Char('L')) == opts.has(QLatin1Char('l')))
        return syntaxError(m, lvcreateCmd, QStringLiteral("  Please specify either size or extents (not both)"), o);
    const bool snapshot = opts.has(QLatin1Char('s'));
    if (opts.positional.isEmpty())
        return syntaxError(m, lvcreateCmd,
                           snapshot ? QStringLiteral("  Please specify a logical volume to act as the snapshot origin.")
                                    : QStringLiteral("  Please provide a volume group name"),
                           o);
    const QString stripes = opts.value(QLatin1Char('i'));
    if (opts.has(QLatin1Char('i')) && stripes != QLatin1String("1")) {
        const Vg* target =
            isCurrent(m) ? m.vg(stripDev(opts.positional.first()).section(QLatin1Char('/'), 0, 0)) : nullptr;
        if (target && stripes.toInt() > m.pvsOf(target->name).size())
            return o.fail(kFailed,
                          QStringLiteral("  Number of stripes (%1) must not exceed number of physical volumes (%2)")
                              .arg(stripes)
                              .arg(m.pvsOf(target->name).size()));
        return o.fail(kInvalidCommandLine,
                      QStringLiteral("  Striped volumes are not available on this machine: use -i 1"));
    }
    QString vgName = stripDev(opts.positional.first()), originName;
    if (snapshot && !splitLvPath(opts.positional.first(), &vgName, &originName))
        return o.fail(kInvalidCommandLine,
                      QStringLiteral("  Please specify a logical volume to act as the snapshot origin."));
    if (!snapshot && vgName.contains(QLatin1Char('/')))
        return o.fail(kInvalidCommandLine, QStringLiteral("  Please provide a volume group name"));
    Vg* g = findGroup(m, vgName, o);
    if (!g)
        return o.exitCode = kFailed;
    const Lv* origin = nullptr;
    if (snapshot) {
        origin = g->lv(originName);
        if (!origin)
            return o.fail(kFailed, say(m, {"  Logical volume \"%1\" not found in volume group \"%2\"",
                                           "  Snapshot origin LV %1 not found in Volume group %2."})
                                       .arg(originName, g->name));
        if (origin->isSnapshot())
            return o.fail(kFailed, say(m, {"  Snapshots of snapshots are not supported yet.",
                                           "  Snapshots of snapshots are not supported."}));
    }
    const QString name = opts.has(QLatin1Char('n')) ? opts.value(QLatin1Char('n')) : firstFreeName(*g);
    if (!validName(name))
        return usageError(
            m, lvcreateCmd,
            say(m, {"  Logical volume name \"%1\" is invalid", "  Logical volume name \"%1\" is invalid."}).arg(name),
            o);
    if (name.startsWith(QLatin1String("snapshot")) || name.startsWith(QLatin1String("pvmove"))) {
        const QString reserved =
            QStringLiteral("  Names starting \"%1\" are reserved. Please choose a different LV name.")
                .arg(name.startsWith(QLatin1String("snapshot")) ? QStringLiteral("snapshot")
                                                                : QStringLiteral("pvmove"));
        return isCurrent(m) ? usageError(m, lvcreateCmd, reserved, o) : o.fail(kFailed, reserved);
    }
    if (g->lv(name))
        return o.fail(kFailed, say(m, {"  Logical volume \"%1\" already exists in volume group \"%2\"",
                                       "  Logical Volume \"%1\" already exists in volume group \"%2\""})
                                   .arg(name, g->name));
    if (g->maxLv > 0 && g->lvs.size() >= g->maxLv)
        return o.fail(kFailed, QStringLiteral("  Maximum number of logical volumes (%1) reached in volume group %2")
                                   .arg(g->maxLv)
                                   .arg(g->name));
    const QStringList onlyPvs = unique(opts.positional.mid(1));
    if (!checkPvRestriction(m, *g, onlyPvs, o))
        return o.exitCode;
    const int extents = requestedExtents(m, *g, opts, 0, o);
    if (o.exitCode)
        return o.exitCode;
    if (extents <= 0)
        return o.fail(kFailed, QStringLiteral("  Unable to create new logical volume with no extents"));
    QList<Segment> segments;
    if (!m.allocate(*g, extents, onlyPvs, segments))
        return o.fail(kFailed, isCurrent(m)
                                   ? QStringLiteral(
                                         "  Volume group \"%1\" has insufficient free space (%2 extents): %3 required.")
                                         .arg(g->name)
                                         .arg(m.freeExtents(*g))
                                         .arg(extents)
                                   : QStringLiteral("  Insufficient free extents (%1) in volume group %2: %3 required")
                                         .arg(m.freeExtents(*g))
                                         .arg(g->name)
                                         .arg(extents));
    Lv v;
    v.name = name;
    v.uuid = m.newUuid(QStringLiteral("lv:") + g->name + QLatin1Char('/') + name);
    v.active = g->active;
    v.segments = segments;
    if (origin) {
        v.origin = origin->name;
        v.fstype = origin->fstype;
        v.fsSizeKiB = origin->fsSizeKiB;
        v.damaged = origin->damaged;
        v.needsRepair = origin->needsRepair;
    }
    g->lvs << v;
    *changed = true;
    o.outLine(say(m, {"  Logical volume \"%1\" created", "  Logical volume \"%1\" created."}).arg(name));
    return 0;
}

// Resolves a volume path to its group and volume, printing the refusal when there is none
// (`notFound`: %1 the volume, %2 the group).
bool findVolume(Machine& m, const QString& path, Vg** g, Lv** v, Output& o, const Phrase& notFound)
{
    QString vgName, lvName;
    if (!splitLvPath(path, &vgName, &lvName)) {
        o.fail(kInvalidCommandLine, QStringLiteral("  Please specify a logical volume path"));
        return false;
    }
    *g = findGroup(m, vgName, o);
    if (!*g) {
        o.exitCode = kFailed;
        return false;
    }
    *v = (*g)->lv(lvName);
    if (!*v) {
        o.fail(kFailed, say(m, notFound).arg(lvName, vgName));
        return false;
    }
    return true;
}

int lvrename(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("A"), QStringLiteral("vdf"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("lvrename"), opts, o);
    QString vgName, oldName, newName, newVg;
    const QStringList& p = opts.positional;
    if (p.size() == 3) {
        vgName = newVg = stripDev(p[0]);
        oldName = p[1];
        newName = p[2];
    } else if (p.size() == 2) {
        if (!splitLvPath(p[0], &vgName, &oldName))
            return o.fail(kInvalidCommandLine, QStringLiteral("  Please specify a logical volume path"));
        if (!splitLvPath(p[1], &newVg, &newName)) {
            newVg = vgName;
            newName = p[1];
        }
    } else {
        return syntaxError(m, QStringLiteral("lvrename"), QStringLiteral("  Old and new logical volume names required"),
                           o);
    }
    if (newVg != vgName)
        return o.fail(kInvalidCommandLine,
                      QStringLiteral("  Logical volume names must have the same volume group (\"%1\" or \"%2\")")
                          .arg(vgName, newVg));
    if (!validName(newName))
        return o.fail(kInvalidCommandLine, QStringLiteral("  New logical volume name \"%1\" is invalid").arg(newName));
    if (oldName == newName)
        return o.fail(kInvalidCommandLine, QStringLiteral("  Old and new logical volume names must differ"));
    Vg* g = findGroup(m, vgName, o);
    if (!g)
        return o.exitCode = kFailed;
    Lv* v = g->lv(oldName);
    if (!v)
        return o.fail(
            kFailed,
            QStringLiteral("  Existing logical volume \"%1\" not found in volume group \"%2\"").arg(oldName, g->name));
    if (g->lv(newName))
        return o.fail(kFailed, say(m, {"  Logical volume \"%1\" already exists in volume group \"%2\"",
                                       "  Logical Volume \"%1\" already exists in volume group \"%2\""})
                                   .arg(newName, g->name));
    v->name = newName;
    for (Lv& other : g->lvs)
        if (other.origin == oldName)
            other.origin = newName;
    *changed = true;
    o.outLine(QStringLiteral("  Renamed \"%1\" to \"%2\" in volume group \"%3\"").arg(oldName, newName, g->name));
    return 0;
}

// Why `v` cannot go now (printed), or true when it can.
bool removable(const Machine& m, const Vg& g, const Lv& v, bool force, Output& o)
{
    if (v.mount.mounted()) {
        o.fail(kFailed, isCurrent(m)
                            ? QStringLiteral("  Logical volume %1/%2 contains a filesystem in use.").arg(g.name, v.name)
                            : QStringLiteral("  Can't remove open logical volume \"%1\"").arg(v.name));
        return false;
    }
    if (g.active && v.active && !force) {
        // The tool asks; without an answer on its input it declines.
        if (isCurrent(m))
            o.err(QStringLiteral("Do you really want to remove active logical volume %1/%2? [y/n]: [n]\n")
                      .arg(g.name, v.name));
        else
            o.out(QStringLiteral("Do you really want to remove active logical volume \"%1\"? [y/n]: ").arg(v.name));
        o.fail(kFailed,
               say(m, {"  Logical volume \"%1\" not removed", "  Logical volume \"%1\" not removed."}).arg(v.name));
        return false;
    }
    return true;
}

int lvremove(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("A"), QStringLiteral("fvd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("lvremove"), opts, o);
    if (opts.positional.isEmpty())
        return syntaxError(m, QStringLiteral("lvremove"),
                           QStringLiteral("  Please enter one or more logical volume paths"), o);
    const bool force = opts.has(QLatin1Char('f'));
    int code = 0;
    for (const QString& path : opts.positional) {
        Vg* g = nullptr;
        Lv* v = nullptr;
        if (!findVolume(m, path, &g, &v, o,
                        {"  Logical volume \"%1\" not found in volume group \"%2\"",
                         "  Failed to find logical volume \"%2/%1\""})) {
            code = o.exitCode;
            continue;
        }
        const QStringList snapshots = g->snapshotsOf(v->name);
        // LVM2 2.02 refuses to drop an origin together with its snapshots; 2.03 asks and, forced, drops them too.
        if (!snapshots.isEmpty() && !isCurrent(m)) {
            code = o.fail(kFailed, QStringLiteral("  Can't remove logical volume \"%1\" under snapshot").arg(v->name));
            continue;
        }
        if (!snapshots.isEmpty() && !force) {
            o.err(QStringLiteral("Removing origin %1 will also remove %2 snapshots(s). Proceed? [y/n]: [n]\n")
                      .arg(v->name)
                      .arg(snapshots.size()));
            code = o.fail(kFailed, QStringLiteral("  Logical volume \"%1\" not removed.").arg(v->name));
            continue;
        }
        const QStringList doomed = snapshots + QStringList{v->name};
        if (!std::all_of(doomed.begin(), doomed.end(),
                         [&](const QString& name) { return removable(m, *g, *g->lv(name), force, o); })) {
            code = o.exitCode;
            continue;
        }
        for (const QString& name : doomed) {
            g->lvs.removeIf([&](const Lv& x) { return x.name == name; });
            o.outLine(say(m, {"  Logical volume \"%1\" successfully removed",
                              "  Logical volume \"%1\" successfully removed."})
                          .arg(name));
        }
        *changed = true;
    }
    return code;
}

int lvextend(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const QMap<QString, QChar> longNames{{QStringLiteral("size"), QLatin1Char('L')},
                                         {QStringLiteral("extents"), QLatin1Char('l')}};
    const Options opts = parseOptions(args, QStringLiteral("LliIA"), QStringLiteral("vdfnr"), longNames);
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("lvextend"), opts, o);
    const QString lvextendCmd = QStringLiteral("lvextend");
    if (opts.has(QLatin1Char('L')) == opts.has(QLatin1Char('l')))
        return syntaxError(m, lvextendCmd, QStringLiteral("  Please specify either size or extents (not both)"), o);
    if (opts.positional.isEmpty())
        return syntaxError(m, lvextendCmd, QStringLiteral("  Please provide the logical volume name"), o);
    Vg* g = nullptr;
    Lv* v = nullptr;
    if (!findVolume(m, opts.positional.first(), &g, &v, o,
                    {"  Logical volume \"%1\" not found in volume group \"%2\"",
                     "  Logical volume %1 not found in volume group %2."}))
        return o.exitCode;
    const QStringList onlyPvs = unique(opts.positional.mid(1));
    if (!checkPvRestriction(m, *g, onlyPvs, o))
        return o.exitCode;
    const int current = v->extents();
    const int wanted = requestedExtents(m, *g, opts, current, o);
    if (o.exitCode)
        return o.exitCode;
    if (wanted == current)
        return o.fail(kFailed, say(m, {"  New size (%1 extents) matches existing size (%2 extents)",
                                       "  New size (%1 extents) matches existing size (%2 extents)."})
                                   .arg(wanted)
                                   .arg(current));
    if (wanted < current)
        return o.fail(kFailed,
                      QStringLiteral("  New size given (%1 extents) not larger than existing size (%2 extents)")
                          .arg(wanted)
                          .arg(current));
    QList<Segment> segments = v->segments;
    if (!m.allocate(*g, wanted - current, onlyPvs, segments))
        return o.fail(kFailed, QStringLiteral("  Insufficient free space: %1 extents needed, but only %2 available")
                                   .arg(wanted - current)
                                   .arg(m.freeExtents(*g)));
    v->segments = segments;
    *changed = true;
    if (isCurrent(m)) {
        o.outLine(QStringLiteral("  Size of logical volume %1/%2 changed from %3 (%4 extents) to %5 (%6 extents).")
                      .arg(g->name, v->name, displaySize(m, qint64(current) * g->extentKiB))
                      .arg(current)
                      .arg(displaySize(m, qint64(wanted) * g->extentKiB))
                      .arg(wanted));
        o.outLine(QStringLiteral("  Logical volume %1/%2 successfully resized.").arg(g->name, v->name));
        return 0;
    }
    o.outLine(
        QStringLiteral("  Extending logical volume %1 to %2").arg(v->name, displaySize(qint64(wanted) * g->extentKiB)));
    o.outLine(QStringLiteral("  Logical volume %1 successfully resized").arg(v->name));
    return 0;
}

} // namespace

int runLvmVolumeChange(const QString& command, Machine& m, const QStringList& args, Output& o, bool* changed)
{
    using Handler = int (*)(Machine&, const QStringList&, Output&, bool*);
    static const QMap<QString, Handler> handlers{{QStringLiteral("lvcreate"), lvcreate},
                                                 {QStringLiteral("lvrename"), lvrename},
                                                 {QStringLiteral("lvremove"), lvremove},
                                                 {QStringLiteral("lvextend"), lvextend}};
    const Handler handler = handlers.value(command);
    return handler ? handler(m, args, o, changed) : -1;
}

} // namespace sim
