// The LVM tool's physical-volume and group changes: pvcreate, vgcreate, vgchange, vgremove,
// vgrename, vgextend, vgreduce, validated like the real tool. One state logic serves both tool sets;
// where LVM2 2.03 words a message differently, `say` picks the wording.
#include "simlvmchange.h"

#include <algorithm>

namespace sim {

namespace {

using namespace lvmchange;

// 2.03 names the volume that keeps a group or volume busy.
void inUse(const Machine& m, const Vg& g, const Lv& v, Output& o)
{
    if (isCurrent(m))
        o.errLine(QStringLiteral("  Logical volume %1/%2 in use.").arg(g.name, v.name));
}

// The closing line of a refused PV in 2.03.
void notInitialized(const Machine& m, const QString& device, Output& o)
{
    if (isCurrent(m))
        o.errLine(QStringLiteral("  %1: physical volume not initialized.").arg(device));
}

bool anyMounted(const Vg& g)
{
    for (const Lv& v : g.lvs)
        if (v.mount.mounted())
            return true;
    return false;
}

// Checks that each device is an orphan PV that can join `vgName`; prints the refusal otherwise.
bool checkJoining(const Machine& m, const QString& vgName, const QStringList& devices, Output& o)
{
    for (const QString& device : devices) {
        const Pv* p = m.pv(device);
        if (!p) {
            o.errLine(QStringLiteral("  No physical volume label read from %1").arg(device));
            o.errLine(QStringLiteral("  %1 not identified as an existing physical volume").arg(device));
        } else if (!p->vg.isEmpty()) {
            o.errLine(QStringLiteral("  Physical volume '%1' is already in volume group '%2'").arg(device, p->vg));
        } else {
            continue;
        }
        // 2.03 names the PV's own group here, not the one it was to join.
        if (isCurrent(m))
            o.errLine(QStringLiteral("  Unable to add physical volume '%1' to volume group '%2'").arg(device, p->vg));
        else
            o.errLine(QStringLiteral("  Unable to add physical volume '%1' to volume group '%2'.").arg(device, vgName));
        notInitialized(m, device, o);
        return false;
    }
    return true;
}

void join(Machine& m, const Vg& g, const QStringList& devices)
{
    for (const QString& device : devices) {
        Pv* p = m.pv(device);
        p->vg = g.name;
        p->peCount = Machine::extentsFor(deviceKiB(m, device), g.extentKiB);
    }
}

bool validMaxNumber(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

// ---- pvcreate ----

// Where a file system keeps the magic that 2.03's pvcreate finds and offers to wipe.
int signatureOffset(const QString& type)
{
    static const QMap<QString, int> offsets{{QStringLiteral("ext2"), 1080},      {QStringLiteral("ext3"), 1080},
                                            {QStringLiteral("reiserfs"), 65588}, {QStringLiteral("swap"), 4086},
                                            {QStringLiteral("vfat"), 82},        {QStringLiteral("ntfs"), 3}};
    return offsets.value(type, 0);
}

// 2.03 refuses a device holding a file system unless told yes (-y); then it wipes the signature.
bool wipeSignature(const Machine& m, const QString& device, bool yes, Output& o)
{
    const QString type = isCurrent(m) && !m.pv(device) ? probedType(m, device) : QString();
    if (type.isEmpty())
        return true;
    if (!yes) {
        o.err(QStringLiteral("WARNING: %1 signature detected on %2 at offset %3. Wipe it? [y/n]: [n]\n")
                  .arg(type, device)
                  .arg(signatureOffset(type)));
        o.errLine(QStringLiteral("  Aborted wiping of %1.").arg(type));
        o.errLine(QStringLiteral("  1 existing signature left on the device."));
        return false;
    }
    o.outLine(QStringLiteral("  Wiping %1 signature on %2.").arg(type, device));
    return true;
}

// Makes `device` an orphan PV with a new UUID, or prints the refusal and returns kFailed.
int createPv(Machine& m, const QString& device, int force, bool yes, Output& o)
{
    const Partition* part = m.partition(device);
    if ((!part && !m.disk(device)) || (part && part->system == QLatin1String("extended")))
        return o.fail(
            kFailed,
            say(m, {"  Device %1 not found (or ignored by filtering).", "  No device found for %1."}).arg(device));
    if (part && part->mount.mounted()) {
        const QString busy = QStringLiteral("  Can't open %1 exclusively.  Mounted filesystem?").arg(device);
        o.errLine(busy);
        // 2.03 tries twice, then fails on the file system it cannot wipe.
        if (isCurrent(m)) {
            o.errLine(busy);
            o.errLine(QStringLiteral("  Error opening device %1 for reading at 0 length 4096.").arg(device));
            o.errLine(QStringLiteral("  Cannot use %1: device has a signature").arg(device));
        }
        return o.exitCode = kFailed;
    }
    Pv* existing = m.pv(device);
    if (existing && !existing->vg.isEmpty()) {
        const Vg* g = m.vg(existing->vg);
        if (force < 2 || (g && m.usedExtents(*g, device) > 0)) {
            o.errLine(QStringLiteral("  Can't initialize physical volume \"%1\" of volume group \"%2\" without -ff")
                          .arg(device, existing->vg));
            notInitialized(m, device, o);
            return o.exitCode = kFailed;
        }
        o.errLine(QStringLiteral("  WARNING: Forcing physical volume creation on %1 of volume group \"%2\"")
                      .arg(device, existing->vg));
    }
    if (!wipeSignature(m, device, yes, o))
        return o.exitCode = kFailed;
    if (!existing) {
        m.pvs << Pv{device, QString(), QString(), 0};
        existing = &m.pvs.last();
    }
    existing->uuid = m.newUuid(QStringLiteral("pv:") + device);
    existing->vg.clear();
    existing->peCount = 0;
    if (Partition* p = m.partition(device)) {
        p->fstype = QStringLiteral("LVM2");
        p->fsUsedKiB = 0;
        p->fsSizeKiB = 0;
        p->damaged = false;
        p->needsRepair = false;
    }
    o.outLine(
        say(m, {"  Physical volume \"%1\" successfully created", "  Physical volume \"%1\" successfully created."})
            .arg(device));
    return 0;
}

int pvcreate(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("uM"), QStringLiteral("fyvdZ"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("pvcreate"), opts, o);
    if (opts.positional.isEmpty())
        return syntaxError(m, QStringLiteral("pvcreate"), QStringLiteral("  Please enter a physical volume path"), o);
    int code = 0;
    for (const QString& device : opts.positional) {
        if (const int refusal = createPv(m, device, opts.count(QLatin1Char('f')), opts.has(QLatin1Char('y')), o))
            code = refusal;
        else
            *changed = true;
    }
    return code;
}

// 2.03's vgcreate and vgextend make PVs of the devices that are none yet; 2.02 refused them.
bool createMissingPvs(Machine& m, const QStringList& devices, const Options& opts, Output& o, bool* changed)
{
    if (!isCurrent(m))
        return true;
    for (const QString& device : devices) {
        if (m.pv(device))
            continue;
        if (createPv(m, device, opts.count(QLatin1Char('f')), opts.has(QLatin1Char('y')), o))
            return false;
        *changed = true;
    }
    return true;
}

// ---- vgcreate ----

int vgcreate(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const QMap<QString, QChar> longNames{{QStringLiteral("physicalextentsize"), QLatin1Char('s')},
                                         {QStringLiteral("maxlogicalvolumes"), QLatin1Char('l')},
                                         {QStringLiteral("maxphysicalvolumes"), QLatin1Char('p')},
                                         {QStringLiteral("autobackup"), QLatin1Char('A')}};
    const QString vgcreateCmd = QStringLiteral("vgcreate");
    const Options opts = parseOptions(args, QStringLiteral("slpAM"),
                                      isCurrent(m) ? QStringLiteral("vdtfy") : QStringLiteral("vdt"), longNames);
    if (!opts.error.isEmpty())
        return parseError(vgcreateCmd, opts, o);
    if (opts.positional.isEmpty())
        return syntaxError(m, vgcreateCmd, QStringLiteral("  Please provide volume group name and physical volumes"),
                           o);
    if (opts.positional.size() < 2)
        return syntaxError(m, vgcreateCmd, QStringLiteral("  Please enter physical volume name(s)"), o);
    const QString name = stripDev(opts.positional.first());
    const QStringList devices = unique(opts.positional.mid(1));
    Vg g;
    g.name = name;
    if (opts.has(QLatin1Char('s'))) {
        const std::optional<qint64> kib = parseSize(opts.value(QLatin1Char('s')), QLatin1Char('M'));
        if (!kib || *kib <= 0)
            return usageError(m, vgcreateCmd, QStringLiteral("  Physical extent size may not be zero"), o);
        // 2.03 also takes multiples of 128 KiB that are no power of two.
        const bool powerOfTwo = (*kib & (*kib - 1)) == 0 && *kib >= 8;
        if (!powerOfTwo && !(isCurrent(m) && *kib % 128 == 0))
            return usageError(m, vgcreateCmd, QStringLiteral("  Physical extent size must be a power of 2."), o);
        g.extentKiB = *kib;
    }
    for (const QChar option : {QLatin1Char('l'), QLatin1Char('p'), QLatin1Char('A')}) {
        const QString value = opts.value(option);
        const bool valid = option == QLatin1Char('A')
                               ? QStringList{"y", "n"}.contains(value)
                               : validMaxNumber(value, option == QLatin1Char('l') ? &g.maxLv : &g.maxPv);
        if (opts.has(option) && !valid)
            return usageError(m, vgcreateCmd, QStringLiteral("  Invalid argument %1").arg(value), o);
    }
    if (!validName(name))
        return usageError(
            m, vgcreateCmd,
            say(m, {"  New volume group name \"%1\" is invalid", "  New volume group name \"%1\" is invalid."})
                .arg(name),
            o);
    if (m.vg(name))
        return o.fail(kFailed, QStringLiteral("  A volume group called %1 already exists.").arg(name));
    if (g.maxPv > 0 && devices.size() > g.maxPv)
        return o.fail(kFailed,
                      QStringLiteral("  No space for '%1' - volume group '%2' holds max %3 physical volume(s).")
                          .arg(devices.at(g.maxPv), name)
                          .arg(g.maxPv));
    if (!createMissingPvs(m, devices, opts, o, changed) || !checkJoining(m, name, devices, o))
        return o.exitCode = kFailed;
    g.uuid = m.newUuid(QStringLiteral("vg:") + name);
    m.vgs << g;
    join(m, g, devices);
    *changed = true;
    o.outLine(QStringLiteral("  Volume group \"%1\" successfully created").arg(name));
    return 0;
}

// ---- vgchange ----

int vgchange(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const QMap<QString, QChar> longNames{{QStringLiteral("available"), QLatin1Char('a')},
                                         {QStringLiteral("resizeable"), QLatin1Char('x')},
                                         {QStringLiteral("resizable"), QLatin1Char('x')}};
    const Options opts = parseOptions(args, QStringLiteral("axA"), QStringLiteral("vd"), longNames);
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgchange"), opts, o);
    const QString activate = opts.value(QLatin1Char('a'));
    const QString resize = opts.value(QLatin1Char('x'));
    if (opts.has(QLatin1Char('a')) == opts.has(QLatin1Char('x')))
        return syntaxError(m, QStringLiteral("vgchange"), QStringLiteral("  One of -a or -x options required"), o);
    const QStringList yesNo{QStringLiteral("y"), QStringLiteral("n"), QStringLiteral("ey"), QStringLiteral("ly")};
    if ((opts.has(QLatin1Char('a')) && !yesNo.contains(activate)) ||
        (opts.has(QLatin1Char('x')) && resize != QLatin1String("y") && resize != QLatin1String("n")))
        return o.fail(kInvalidCommandLine, QStringLiteral("  Invalid argument %1").arg(activate + resize));
    QStringList names = opts.positional;
    if (names.isEmpty())
        names = readableGroupNames(m);
    int code = 0;
    for (const QString& name : names) {
        Vg* g = findGroup(m, name, o);
        if (!g) {
            code = o.exitCode = kFailed;
            continue;
        }
        if (opts.has(QLatin1Char('x'))) {
            g->resizable = resize == QLatin1String("y");
            o.outLine(QStringLiteral("  Volume group \"%1\" successfully changed").arg(g->name));
        } else if (activate != QLatin1String("n")) {
            g->active = true;
            for (Lv& v : g->lvs)
                v.active = true;
            o.outLine(QStringLiteral("  %1 logical volume(s) in volume group \"%2\" now active")
                          .arg(g->lvs.size())
                          .arg(g->name));
        } else {
            int open = 0;
            for (const Lv& v : g->lvs) {
                if (v.mount.mounted() && !open)
                    inUse(m, *g, v, o);
                open += v.mount.mounted() ? 1 : 0;
            }
            if (open) {
                code = o.fail(kFailed,
                              QStringLiteral("  Can't deactivate volume group \"%1\" with %2 open logical volume(s)")
                                  .arg(g->name)
                                  .arg(open));
                continue;
            }
            g->active = false;
            for (Lv& v : g->lvs)
                v.active = false;
            o.outLine(QStringLiteral("  0 logical volume(s) in volume group \"%1\" now active").arg(g->name));
        }
        *changed = true;
    }
    return code;
}

// ---- vgremove, vgrename ----

int vgremove(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("fvd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgremove"), opts, o);
    if (opts.positional.isEmpty())
        return syntaxError(m, QStringLiteral("vgremove"),
                           QStringLiteral("  Please enter one or more volume group paths"), o);
    int code = 0;
    for (const QString& name : opts.positional) {
        Vg* g = findGroup(m, name, o);
        if (!g) {
            code = o.exitCode = kFailed;
            continue;
        }
        if (!g->lvs.isEmpty() && !opts.has(QLatin1Char('f'))) {
            // 2.03 asks; without an answer on its input it declines.
            if (isCurrent(m)) {
                o.err(QStringLiteral("Do you really want to remove volume group \"%1\" containing %2 logical volumes? "
                                     "[y/n]: [n]\n")
                          .arg(g->name)
                          .arg(g->lvs.size()));
                code = o.fail(kFailed, QStringLiteral("  Volume group \"%1\" not removed").arg(g->name));
            } else {
                code = o.fail(kFailed, QStringLiteral("  Volume group \"%1\" still contains %2 logical volume(s)")
                                           .arg(g->name)
                                           .arg(g->lvs.size()));
            }
            continue;
        }
        if (anyMounted(*g)) {
            for (const Lv& v : g->lvs)
                if (v.mount.mounted())
                    inUse(m, *g, v, o);
            code = o.fail(
                kFailed, QStringLiteral("  Can't remove volume group \"%1\" with open logical volume(s)").arg(g->name));
            continue;
        }
        for (const Lv& v : g->lvs)
            o.outLine(say(m, {"  Logical volume \"%1\" successfully removed",
                              "  Logical volume \"%1\" successfully removed."})
                          .arg(v.name));
        const QString removed = g->name;
        for (Pv& p : m.pvs) {
            if (p.vg == removed) {
                p.vg.clear();
                p.peCount = 0;
            }
        }
        m.vgs.removeIf([&](const Vg& x) { return x.name == removed; });
        *changed = true;
        o.outLine(QStringLiteral("  Volume group \"%1\" successfully removed").arg(removed));
    }
    return code;
}

int vgrename(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QString(), QStringLiteral("vd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgrename"), opts, o);
    if (opts.positional.size() != 2)
        return syntaxError(m, QStringLiteral("vgrename"),
                           QStringLiteral("  Old and new volume group names need specifying"), o);
    const QString oldName = stripDev(opts.positional[0]);
    const QString newName = stripDev(opts.positional[1]);
    if (!validName(newName))
        return usageError(
            m, QStringLiteral("vgrename"),
            say(m, {"  New volume group name \"%1\" is invalid", "  New volume group name \"%1\" is invalid."})
                .arg(newName),
            o);
    if (oldName == newName)
        return o.fail(kFailed, say(m, {"  Old and new volume group names need to differ",
                                       "  Old and new volume group names must differ"}));
    Vg* g = findGroup(m, oldName, o);
    if (!g)
        return o.exitCode = kFailed;
    if (m.vg(newName))
        return o.fail(kFailed, QStringLiteral("  New volume group \"%1\" already exists").arg(newName));
    g->name = newName;
    for (Pv& p : m.pvs)
        if (p.vg == oldName)
            p.vg = newName;
    *changed = true;
    o.outLine(QStringLiteral("  Volume group \"%1\" successfully renamed to \"%2\"").arg(oldName, newName));
    return 0;
}

// ---- vgextend, vgreduce ----

// The group named, when it exists and may change its physical volumes; null once the output
// says why not (and the exit code is set).
Vg* findResizableGroup(Machine& m, const QString& name, Output& o)
{
    Vg* g = findGroup(m, name, o);
    if (!g) {
        o.exitCode = kFailed;
        return nullptr;
    }
    if (!g->resizable) {
        o.fail(
            kFailed,
            say(m, {"  Volume group \"%1\" is not resizable.", "  Volume group %1 is not resizeable."}).arg(g->name));
        return nullptr;
    }
    return g;
}

int vgextend(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const QString vgextendCmd = QStringLiteral("vgextend");
    const Options opts =
        parseOptions(args, QStringLiteral("A"), isCurrent(m) ? QStringLiteral("vdfy") : QStringLiteral("vd"));
    if (!opts.error.isEmpty())
        return parseError(vgextendCmd, opts, o);
    if (opts.positional.isEmpty())
        return syntaxError(m, vgextendCmd, QStringLiteral("  Please enter volume group name and physical volume(s)"),
                           o);
    if (opts.positional.size() < 2)
        return syntaxError(m, vgextendCmd, QStringLiteral("  Please enter physical volume(s)"), o);
    Vg* g = findResizableGroup(m, opts.positional.first(), o);
    if (!g)
        return o.exitCode;
    const QStringList devices = unique(opts.positional.mid(1));
    const qsizetype have = m.pvsOf(g->name).size();
    if (g->maxPv > 0 && have + devices.size() > g->maxPv)
        return o.fail(kFailed,
                      QStringLiteral("  No space for '%1' - volume group '%2' holds max %3 physical volume(s).")
                          .arg(devices.at(qMax<qsizetype>(0, g->maxPv - have)), g->name)
                          .arg(g->maxPv));
    if (!createMissingPvs(m, devices, opts, o, changed) || !checkJoining(m, g->name, devices, o))
        return o.exitCode = kFailed;
    join(m, *g, devices);
    *changed = true;
    o.outLine(QStringLiteral("  Volume group \"%1\" successfully extended").arg(g->name));
    return 0;
}

int vgreduce(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("A"), QStringLiteral("vd"));
    if (!opts.error.isEmpty())
        return parseError(QStringLiteral("vgreduce"), opts, o);
    if (opts.positional.size() < 2)
        return syntaxError(m, QStringLiteral("vgreduce"), QStringLiteral("  Please enter physical volume paths"), o);
    Vg* g = findResizableGroup(m, opts.positional.first(), o);
    if (!g)
        return o.exitCode;
    const QStringList devices = unique(opts.positional.mid(1));
    // Everything is checked before anything changes, so a refusal leaves the group as it was.
    for (const QString& device : devices) {
        const Pv* p = m.pv(device);
        if (!p || p->vg != g->name)
            return o.fail(
                kFailed,
                isCurrent(m)
                    ? QStringLiteral("  Failed to find physical volume \"%1\".").arg(device)
                    : QStringLiteral("  Physical Volume \"%1\" not found in Volume Group \"%2\"").arg(device, g->name));
        if (m.usedExtents(*g, device) > 0)
            return o.fail(kFailed, QStringLiteral("  Physical volume \"%1\" still in use").arg(device));
    }
    if (devices.size() >= m.pvsOf(g->name).size())
        return o.fail(kFailed, QStringLiteral("  Can't remove final physical volume \"%1\" from volume group \"%2\"")
                                   .arg(devices.last(), g->name));
    for (const QString& device : devices) {
        Pv* p = m.pv(device);
        p->vg.clear();
        p->peCount = 0;
        o.outLine(QStringLiteral("  Removed \"%1\" from volume group \"%2\"").arg(device, g->name));
    }
    *changed = true;
    return 0;
}

} // namespace

int runLvmGroupChange(const QString& command, Machine& m, const QStringList& args, Output& o, bool* changed)
{
    using Handler = int (*)(Machine&, const QStringList&, Output&, bool*);
    static const QMap<QString, Handler> handlers{
        {QStringLiteral("pvcreate"), pvcreate}, {QStringLiteral("vgcreate"), vgcreate},
        {QStringLiteral("vgchange"), vgchange}, {QStringLiteral("vgremove"), vgremove},
        {QStringLiteral("vgrename"), vgrename}, {QStringLiteral("vgextend"), vgextend},
        {QStringLiteral("vgreduce"), vgreduce}};
    const Handler handler = handlers.value(command);
    return handler ? handler(m, args, o, changed) : -1;
}

} // namespace sim
