// roz vg ...: the volume-group operations, each checked first and then run through the library.
#include "checks.h"
#include "commands.h"
#include "roz.h"
#include "session.h"

namespace roz {

namespace {

Vg* requireGroup(Session& session, const QString& name)
{
    Vg* vg = session.model().getLvm()->getVg(name);
    if (!vg)
        stop(Refused, QStringLiteral("there is no volume group \"%1\" (see roz show)").arg(name));
    return vg;
}

QStringList requireDevices(const QStringList& texts)
{
    QStringList devices;
    for (const QString& text : texts) {
        const QString device = requireDevice(text);
        if (devices.contains(device))
            stop(Refused, QStringLiteral("%1 is given twice").arg(device));
        devices << device;
    }
    return devices;
}

// A partition that may become a physical volume: making one wipes what is on it, so a mounted
// partition or one of a group is refused before anything runs.
void requireFreePartitions(Session& session, const QStringList& devices)
{
    for (const QString& device : devices) {
        const Partition* partition = session.model().getHard()->getPv(device);
        if (!partition)
            stop(Refused, QStringLiteral("%1 is not a partition of this machine (see roz show)").arg(device));
        requireAllowed(canAddToGroup(*partition));
    }
}

// LVM2 keeps a physical volume's label and metadata area in its first 192 KiB and cuts the rest
// into extents, as the simulator does; partition sizes are in the device lister's unit, KiB.
constexpr qint64 kPvMetadataKiB = 192;

// vgcreate refuses a group that would hold no extent at all: refuse it before anything runs.
void requireSomeExtent(const ModelView& model, const QStringList& devices, qint64 extentMiB)
{
    const qint64 extentKiB = extentMiB * 1024;
    qint64 usableKiB = 0;
    qint64 extents = 0;
    for (const QString& device : devices) {
        const qint64 usable = qMax<qint64>(0, model.partition(device)->size - kPvMetadataKiB);
        usableKiB += usable;
        extents += usable / extentKiB;
    }
    if (extents < 1)
        stop(Refused, QStringLiteral("an extent size of %1 MiB leaves the group without a single extent: no "
                                     "partition among %2 holds one after LVM's %4 KiB of metadata (%3 MiB in all)")
                          .arg(extentMiB)
                          .arg(devices.join(QStringLiteral(", ")))
                          .arg(usableKiB / 1024)
                          .arg(kPvMetadataKiB));
}

int optionalCount(const Invocation& invocation, const QString& option)
{
    if (!invocation.hasValue(option))
        return 0;
    QString error;
    const std::optional<int> count = parseCount(invocation.value(option), &error);
    if (!count)
        stop(Refused, QStringLiteral("--%1: %2").arg(option, error));
    return *count;
}

qint64 extentSizeMiB(const Invocation& invocation)
{
    if (!invocation.hasValue(QStringLiteral("extent-size")))
        return 4;
    QString error;
    const std::optional<qint64> size = parseExtentSize(invocation.value(QStringLiteral("extent-size")), &error);
    if (!size)
        stop(Refused, error);
    return *size;
}

void connectOutput(Session& session, Vg* vg)
{
    QObject::connect(vg, &Vg::output, [&session](const QString& text) { session.transcript().show(text); });
}

QString lvmLine(const QStringList& args)
{
    return QStringLiteral("lvm.static ") + args.join(QLatin1Char(' '));
}

// The vgchange-style operations: one group, one tool run.
int simpleGroupChange(Session& session, const QStringList& operands, const QString& what, const QString& option,
                      int (Vg::*operation)())
{
    const QString name = operands.at(0);
    requireName(name, QStringLiteral("group name"));
    Vg* vg = requireGroup(session, name);
    connectOutput(session, vg);
    return session.carryOut({what,
                             lvmLine({QStringLiteral("vgchange"), option, name}),
                             [vg, operation] { return (vg->*operation)(); },
                             {}});
}

} // namespace

int vgCreate(Session& session, const QStringList& operands)
{
    const Invocation& invocation = session.invocation();
    const QString name = operands.at(0);
    requireName(name, QStringLiteral("group name"));
    const QStringList devices = requireDevices(operands.mid(1));
    const qint64 extentMiB = extentSizeMiB(invocation);
    const int maxLv = optionalCount(invocation, QStringLiteral("max-lv"));
    const int maxPv = optionalCount(invocation, QStringLiteral("max-pv"));

    requireAllowed(canNameGroup(*session.model().getLvm(), name));
    requireFreePartitions(session, devices);
    requireSomeExtent(session.view(), devices, extentMiB);

    // createVg hands its first three entries to vgcreate ahead of the name.
    const QStringList args = QStringList{QStringLiteral("-s%1M").arg(extentMiB), QStringLiteral("-l%1").arg(maxLv),
                                         QStringLiteral("-p%1").arg(maxPv), name} +
                             devices;
    Lvm* lvm = session.model().getLvm();
    QObject::connect(lvm, &Lvm::output, [&session](const QString& text) { session.transcript().show(text); });
    const QString running =
        QStringLiteral("parted and pvcreate on %1, then %2")
            .arg(devices.join(QLatin1Char(' ')), lvmLine(QStringList{QStringLiteral("vgcreate")} + args));
    return session.carryOut({QStringLiteral("vg create"), running, [lvm, args] { return lvm->createVg(args); }, {}});
}

int vgActivate(Session& session, const QStringList& operands)
{
    return simpleGroupChange(session, operands, QStringLiteral("vg activate"), QStringLiteral("-ay"), &Vg::activate);
}

int vgDeactivate(Session& session, const QStringList& operands)
{
    return simpleGroupChange(session, operands, QStringLiteral("vg deactivate"), QStringLiteral("-an"),
                             &Vg::deactivate);
}

int vgFreeze(Session& session, const QStringList& operands)
{
    return simpleGroupChange(session, operands, QStringLiteral("vg freeze"), QStringLiteral("-xn"), &Vg::freeze);
}

int vgDefreeze(Session& session, const QStringList& operands)
{
    return simpleGroupChange(session, operands, QStringLiteral("vg defreeze"), QStringLiteral("-xy"), &Vg::defreeze);
}

int vgRemove(Session& session, const QStringList& operands)
{
    const QString name = operands.at(0);
    requireName(name, QStringLiteral("group name"));
    Vg* vg = requireGroup(session, name);
    // vgremove would ask on the terminal before removing volumes; roz never lets it get that far.
    requireAllowed(canRemoveGroup(*vg), QStringLiteral("; remove them first with roz lv remove"));
    connectOutput(session, vg);
    return session.carryOut(
        {QStringLiteral("vg remove"), lvmLine({QStringLiteral("vgremove"), name}), [vg] { return vg->remove(); }, {}});
}

int vgRename(Session& session, const QStringList& operands)
{
    const QString name = operands.at(0);
    const QString newName = operands.at(1);
    requireName(name, QStringLiteral("group name"));
    requireName(newName, QStringLiteral("new group name"));
    Vg* vg = requireGroup(session, name);
    requireAllowed(canNameGroup(*session.model().getLvm(), newName));
    connectOutput(session, vg);
    return session.carryOut({QStringLiteral("vg rename"),
                             lvmLine({QStringLiteral("vgrename"), name, newName}),
                             [vg, newName] { return vg->rename(newName); },
                             {}});
}

int vgExtend(Session& session, const QStringList& operands)
{
    const QString name = operands.at(0);
    requireName(name, QStringLiteral("group name"));
    const QStringList devices = requireDevices(operands.mid(1));
    Vg* vg = requireGroup(session, name);
    requireFreePartitions(session, devices);
    connectOutput(session, vg);
    const QString running =
        QStringLiteral("parted and pvcreate on %1, then %2")
            .arg(devices.join(QLatin1Char(' ')), lvmLine(QStringList{QStringLiteral("vgextend"), name} + devices));
    return session.carryOut({QStringLiteral("vg extend"), running, [vg, devices] { return vg->extend(devices); }, {}});
}

int vgReduce(Session& session, const QStringList& operands)
{
    const QString name = operands.at(0);
    requireName(name, QStringLiteral("group name"));
    const QStringList devices = requireDevices(operands.mid(1));
    Vg* vg = requireGroup(session, name);
    // Whether the volume is in use is left to vgreduce, which says so itself.
    for (const QString& device : devices)
        requireAllowed(isPvOfGroup(*vg, device));
    connectOutput(session, vg);
    return session.carryOut({QStringLiteral("vg reduce"),
                             lvmLine(QStringList{QStringLiteral("vgreduce"), name} + devices),
                             [vg, devices] { return vg->reduce(devices); },
                             {}});
}

} // namespace roz
