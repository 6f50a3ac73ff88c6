// The LVM tool's change commands: pvcreate, vgcreate, vgchange, vgremove, vgrename, vgextend,
// vgreduce, lvcreate, lvrename, lvremove, lvextend, validated like the real tool. One state logic
// serves both tool sets; where LVM2 2.03 words a message differently, `say` picks the wording.
#include "simtools.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int kInvalidCommandLine = 3;
constexpr int kFailed = 5;

QString stripDev(const QString& name)
{
    return name.startsWith(QLatin1String("/dev/")) ? name.mid(5) : name;
}

int parseError(const QString& command, const Options& opts, Output& o)
{
    return o.fail(kInvalidCommandLine,
                  QStringLiteral("%1: %2\n  Error during parsing of command line.").arg(command, opts.error));
}

// A refusal of the command line; today's tool points at its help after it.
int usageError(const Machine& m, const QString& command, const QString& text, Output& o)
{
    o.errLine(text);
    if (isCurrent(m))
        o.errLine(QStringLiteral("  Run `%1 --help' for more information.").arg(command));
    return o.exitCode = kInvalidCommandLine;
}

// A command line that fits none of the command's forms: 2.02 named what was missing, 2.03 does not.
int syntaxError(const Machine& m, const QString& command, const QString& classicText, Output& o)
{
    return o.fail(kInvalidCommandLine,
                  isCurrent(m) ? QStringLiteral("  No command with matching syntax recognised.  Run '%1 --help' for "
                                                "more information.")
                                     .arg(command)
                               : classicText);
}

// A readable group of that name, or null after printing the tool's complaint.
Vg* findGroup(Machine& m, const QString& name, Output& o)
{
    Vg* g = m.vg(stripDev(name));
    if (!g || g->unreadable) {
        o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(stripDev(name)));
        if (isCurrent(m))
            o.errLine(QStringLiteral("  Cannot process volume group %1").arg(stripDev(name)));
        return nullptr;
    }
    return g;
}

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

QStringList unique(const QStringList& list)
{
    QStringList out;
    for (const QString& s : list)
        if (!out.contains(s))
            out << s;
    return out;
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
    Vg* g = findGroup(m, opts.positional.first(), o);
    if (!g)
        return o.exitCode = kFailed;
    if (!g->resizable)
        return o.fail(
            kFailed,
            say(m, {"  Volume group \"%1\" is not resizable.", "  Volume group %1 is not resizeable."}).arg(g->name));
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
    Vg* g = findGroup(m, opts.positional.first(), o);
    if (!g)
        return o.exitCode = kFailed;
    if (!g->resizable)
        return o.fail(
            kFailed,
            say(m, {"  Volume group \"%1\" is not resizable.", "  Volume group %1 is not resizeable."}).arg(g->name));
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

// ---- logical volumes ----

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

int runLvmChange(const QString& command, Machine& m, const QStringList& args, Output& o, bool* changed)
{
    using Handler = int (*)(Machine&, const QStringList&, Output&, bool*);
    static const QMap<QString, Handler> handlers{
        {QStringLiteral("pvcreate"), pvcreate}, {QStringLiteral("vgcreate"), vgcreate},
        {QStringLiteral("vgchange"), vgchange}, {QStringLiteral("vgremove"), vgremove},
        {QStringLiteral("vgrename"), vgrename}, {QStringLiteral("vgextend"), vgextend},
        {QStringLiteral("vgreduce"), vgreduce}, {QStringLiteral("lvcreate"), lvcreate},
        {QStringLiteral("lvrename"), lvrename}, {QStringLiteral("lvremove"), lvremove},
        {QStringLiteral("lvextend"), lvextend}};
    const Handler handler = handlers.value(command);
    return handler ? handler(m, args, o, changed) : -1;
}

} // namespace sim
