// roz lv ...: the logical-volume operations, each checked first and then run through the library.
#include "checks.h"
#include "commands.h"
#include "roz.h"
#include "session.h"

namespace roz {

namespace {

const QStringList fileSystems{QStringLiteral("ext3"), QStringLiteral("ext2"), QStringLiteral("reiser"),
                              QStringLiteral("none")};

Vg* requireGroup(Session& session, const QString& name)
{
    Vg* vg = session.model().getLvm()->getVg(name);
    if (!vg)
        stop(Refused, QStringLiteral("there is no volume group \"%1\" (see roz show)").arg(name));
    return vg;
}

// Splits GROUP/NAME (checking both names before anything runs); the volume is looked up later.
QPair<QString, QString> requireVolumeName(const QString& text)
{
    QString group;
    QString volume;
    QString error;
    if (!splitVolume(text, &group, &volume, &error))
        stop(Refused, error);
    return {group, volume};
}

Lv* requireVolume(Session& session, const QPair<QString, QString>& names)
{
    Lv* lv = requireGroup(session, names.first)->getLv(names.second);
    if (!lv)
        stop(Refused,
             QStringLiteral("there is no volume \"%1\" in group \"%2\" (see roz show)").arg(names.second, names.first));
    return lv;
}

void showOutputOf(Session& session, Vg* vg)
{
    QObject::connect(vg, &Vg::output, [&session](const QString& text) { session.transcript().show(text); });
}

void showOutputOf(Session& session, Lv* lv)
{
    QObject::connect(lv, &Lv::output, [&session](const QString& text) { session.transcript().show(text); });
}

QString lvmLine(const QStringList& args)
{
    return QStringLiteral("lvm.static ") + args.join(QLatin1Char(' '));
}

QString fileSystemStep(const QString& fs, const QString& path)
{
    if (fs == QLatin1String("ext2"))
        return QStringLiteral("mke2fs ") + path;
    if (fs == QLatin1String("ext3"))
        return QStringLiteral("mke2fs -j ") + path;
    if (fs == QLatin1String("reiser"))
        return QStringLiteral("mkreiserfs -ff ") + path;
    return QStringLiteral("ls ") + path;
}

// The size a resize asks for, checked for its form only: it is compared with the volume later.
RequestedSize requireResizeSize(const Invocation& invocation)
{
    if (!invocation.hasValue(QStringLiteral("size")))
        stop(Refused, QStringLiteral("lv resize needs --size, such as --size 2048M or --size +512M"));
    QString error;
    const std::optional<RequestedSize> size = parseSize(invocation.value(QStringLiteral("size")), true, &error);
    if (!size)
        stop(Refused, error);
    return *size;
}

} // namespace

int lvCreate(Session& session, const QStringList& operands)
{
    const Invocation& invocation = session.invocation();
    const QString group = operands.at(0);
    const QString name = operands.at(1);
    requireName(group, QStringLiteral("group name"));
    requireName(name, QStringLiteral("volume name"));
    const qint64 sizeMiB = requireSizeMiB(invocation, QStringLiteral("lv create"));
    const QString fs =
        invocation.hasValue(QStringLiteral("fs")) ? invocation.value(QStringLiteral("fs")) : QStringLiteral("ext3");
    if (!fileSystems.contains(fs))
        stop(Refused, QStringLiteral("--fs \"%1\": choose one of %2").arg(fs, fileSystems.join(QStringLiteral(", "))));

    Vg* vg = requireGroup(session, group);
    requireAllowed(canNameVolume(*vg, name));
    // Element 0 asks for the file system; the rest go to lvcreate, element 3 carrying the name.
    const QStringList request{fs, QStringLiteral("-L"), QStringLiteral("%1M").arg(sizeMiB), QStringLiteral("-n") + name,
                              group};
    showOutputOf(session, vg);
    const QString running = QStringLiteral("%1, then %2")
                                .arg(lvmLine(QStringList{QStringLiteral("lvcreate")} + request.mid(1)),
                                     fileSystemStep(fs, vg->path() + QLatin1Char('/') + name));
    const auto judge = [](int result) {
        if (result == 0)
            return Verdict{};
        if (result == kVolumeWithoutFileSystem)
            return Verdict{QStringLiteral("the volume was made, but its file system was not")};
        return Verdict{QStringLiteral("the tool failed")};
    };
    return session.carryOut(
        {QStringLiteral("lv create"), running, [vg, request] { return vg->createLv(request); }, judge});
}

int lvRename(Session& session, const QStringList& operands)
{
    const auto names = requireVolumeName(operands.at(0));
    const QString newName = operands.at(1);
    requireName(newName, QStringLiteral("new volume name"));
    Lv* lv = requireVolume(session, names);
    requireAllowed(canNameVolume(*requireGroup(session, names.first), newName));
    showOutputOf(session, lv);
    const QString running =
        lvmLine({QStringLiteral("lvrename"), lv->path(), lv->getVgPath() + QLatin1Char('/') + newName});
    return session.carryOut({QStringLiteral("lv rename"), running, [lv, newName] { return lv->rename(newName); }, {}});
}

int lvRemove(Session& session, const QStringList& operands)
{
    const auto names = requireVolumeName(operands.at(0));
    Lv* lv = requireVolume(session, names);
    // lvremove would take the snapshots along, and the model would keep them: refuse instead.
    requireAllowed(canRemoveVolume(*lv));
    showOutputOf(session, lv);
    return session.carryOut({QStringLiteral("lv remove"),
                             lvmLine({QStringLiteral("lvremove"), QStringLiteral("-f"), lv->path()}),
                             [lv] { return lv->remove(); },
                             {}});
}

int lvSnapshot(Session& session, const QStringList& operands)
{
    const auto names = requireVolumeName(operands.at(0));
    const QString snapshotName = operands.at(1);
    requireName(snapshotName, QStringLiteral("snapshot name"));
    const qint64 sizeMiB = requireSizeMiB(session.invocation(), QStringLiteral("lv snapshot"));
    Lv* lv = requireVolume(session, names);
    requireAllowed(canSnapshot(*requireGroup(session, names.first), *lv, snapshotName));
    // Element 1 carries the snapshot's name; the origin's path is added by the library.
    const QStringList args{QStringLiteral("-s"), QStringLiteral("-n") + snapshotName, QStringLiteral("-L"),
                           QStringLiteral("%1M").arg(sizeMiB)};
    showOutputOf(session, lv);
    const QString running = lvmLine(QStringList{QStringLiteral("lvcreate")} + args + QStringList{lv->path()});
    return session.carryOut(
        {QStringLiteral("lv snapshot"), running, [lv, args] { return lv->createSnapshot(args); }, {}});
}

int lvResize(Session& session, const QStringList& operands)
{
    const auto names = requireVolumeName(operands.at(0));
    const RequestedSize size = requireResizeSize(session.invocation());
    Lv* lv = requireVolume(session, names);
    const int currentMiB = lv->getAttribute(Lv::Size);
    const qint64 targetMiB = size.relative ? currentMiB + size.mib : size.mib;
    // Free space is left to lvextend, which reports a shortage itself.
    requireAllowed(isGrowth(*lv, targetMiB * 1024 * 1024));

    const QStringList args{QStringLiteral("-L%1").arg(targetMiB)};
    showOutputOf(session, lv);
    const QString running = QStringLiteral("%1, then the file-system tools for %2")
                                .arg(lvmLine({QStringLiteral("lvextend"), args.at(0), lv->path()}), lv->fstype());
    // resize's result speaks of the file-system step; whether the volume grew is read from the
    // model, so a failed lvextend is reported even when the result is 0. The library answers 0
    // for a file system of unknown type that it left alone and -1 for one it cannot grow: after
    // a volume that grew, both are partly done.
    const auto judge = [lv, targetMiB](int result) {
        const int grownMiB = lv->getAttribute(Lv::Size);
        if (grownMiB < targetMiB)
            return Verdict{QStringLiteral("the volume was not grown: it is still %1 MiB").arg(grownMiB)};
        const QString notGrown =
            QStringLiteral("the volume grew to %1 MiB but its file system was not grown: ").arg(grownMiB);
        if (result == 0 && lv->fstype().contains(QLatin1String("unknown")))
            return Verdict{notGrown + QStringLiteral("its type is unknown"), PartlyDone};
        if (result == -1)
            return Verdict{notGrown +
                               QStringLiteral("the library cannot grow a file system of type \"%1\"").arg(lv->fstype()),
                           PartlyDone};
        if (result != 0)
            return Verdict{QStringLiteral("the volume was grown, but its file system was not")};
        return Verdict{};
    };
    return session.carryOut({QStringLiteral("lv resize"), running, [lv, args] { return lv->resize(args); }, judge});
}

} // namespace roz
