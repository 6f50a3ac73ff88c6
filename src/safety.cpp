// Safety queries over the model, answered before any tool runs.
#include "safety.h"

#include "pathlist_p.h"
#include "utils.h"
#include "vgrequest_p.h"

#include <climits>

#include "operations.h"

namespace {

constexpr int kLongestName = 127;

Verdict refuse(const QString& reason)
{
    return {false, reason};
}

// The registries' lookups are not const, yet only read.
Vg& reading(const Vg& group)
{
    return const_cast<Vg&>(group);
}

QStringList volumeNames(const Vg& group)
{
    QStringList names;
    for (unsigned int index = 0; index < group.lvCount(); ++index)
        names.append(reading(group).getLv(index)->name());
    return names;
}

QString volumeNameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("the volume name is empty");
    if (name.startsWith(QLatin1Char('-')))
        return QStringLiteral("the volume name \"%1\" starts with \"-\"").arg(name);
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.size() > kLongestName ||
        QuorVerifyCN(name) != 0)
        return QStringLiteral("\"%1\" is not a valid volume name").arg(name);
    return QString();
}

} // namespace

Verdict canNameGroup(const Lvm& lvm, const QString& name)
{
    QStringList taken = lvm.errorVgName();
    Lvm& registry = const_cast<Lvm&>(lvm);
    for (uint index = 0; index < lvm.vgCount(); ++index)
        taken.append(registry.getVg(index)->name());
    const QString problem = groupNameProblem(name, taken);
    return problem.isEmpty() ? Verdict{} : refuse(problem);
}

Verdict canNameVolume(const Vg& group, const QString& name)
{
    const QString problem = volumeNameProblem(name);
    if (!problem.isEmpty())
        return refuse(problem);
    if (volumeNames(group).contains(name))
        return refuse(QStringLiteral("group \"%1\" already has a volume \"%2\"").arg(group.name(), name));
    return {};
}

Verdict canRemoveGroup(const Vg& group)
{
    if (group.lvCount() == 0)
        return {};
    return refuse(QStringLiteral("volume group \"%1\" still holds volumes (%2)")
                      .arg(group.name(), reading(group).lvString().replace(QLatin1Char(':'), QStringLiteral(", "))));
}

Verdict canRemoveVolume(const Lv& volume)
{
    if (volume.isOriginal() && !volume.getSnapshot().isEmpty())
        return refuse(QStringLiteral("%1 has snapshots (%2); remove them first")
                          .arg(volume.path(), volume.getSnapshot().join(QStringLiteral(", "))));
    if (!volume.mountPoint().isEmpty())
        return refuse(QStringLiteral("%1 is mounted on %2").arg(volume.path(), volume.mountPoint()));
    return {};
}

Verdict isGrowth(const Lv& volume, qint64 newSizeBytes)
{
    const qint64 wantedMiB = bytesToMiB(newSizeBytes);
    const int currentMiB = volume.getAttribute(Lv::Size);
    if (wantedMiB <= currentMiB)
        return refuse(QStringLiteral("%1 is %2 MiB; volumes only grow, so ask for more than that")
                          .arg(volume.path())
                          .arg(currentMiB));
    if (wantedMiB > INT_MAX)
        return refuse(QStringLiteral("%1 MiB is more than a volume can hold").arg(wantedMiB));
    return {};
}

Verdict canGrowVolume(const Lv& volume, qint64 newSizeBytes)
{
    const Verdict growth = isGrowth(volume, newSizeBytes);
    if (!growth.allowed)
        return growth;
    const qint64 neededMiB = bytesToMiB(newSizeBytes) - volume.getAttribute(Lv::Size);
    const int freeMiB = volume.getAttribute(Lv::VgFree);
    if (neededMiB > freeMiB)
        return refuse(QStringLiteral("growing %1 takes %2 MiB more, its group has %3 MiB free")
                          .arg(volume.path())
                          .arg(neededMiB)
                          .arg(freeMiB));
    return {};
}

Verdict canSnapshot(const Vg& group, const Lv& origin, const QString& name)
{
    if (origin.isSnapshot())
        return refuse(QStringLiteral("%1 is itself a snapshot; take the snapshot of its origin").arg(origin.path()));
    return canNameVolume(group, name);
}

Verdict canAddToGroup(const Partition& partition)
{
    if (!partition.mountPoint().isEmpty())
        return refuse(QStringLiteral("%1 is mounted on %2; making it a physical volume would destroy its data")
                          .arg(partition.path(), partition.mountPoint()));
    if (!partition.getVgPath().isEmpty())
        return refuse(QStringLiteral("%1 already belongs to %2").arg(partition.path(), partition.getVgPath()));
    if (partition.getSystem().contains(QLatin1String("Extended"), Qt::CaseInsensitive))
        return refuse(
            QStringLiteral("%1 is an extended partition: it holds partitions, not data").arg(partition.path()));
    return {};
}

Verdict isPvOfGroup(const Vg& group, const QString& device)
{
    if (splitPathList(group.pvString()).contains(device))
        return {};
    return refuse(QStringLiteral("%1 is not a physical volume of \"%2\"").arg(device, group.name()));
}

Verdict canReducePv(const Vg& group, const QString& device)
{
    const Verdict member = isPvOfGroup(group, device);
    if (!member.allowed)
        return member;
    if (splitPathList(group.pvString()).size() == 1)
        return refuse(QStringLiteral("%1 is the last physical volume of \"%2\"; remove the group instead")
                          .arg(device, group.name()));
    for (unsigned int index = 0; index < group.lvCount(); ++index) {
        const Lv* volume = reading(group).getLv(index);
        if (splitPathList(volume->pvString()).contains(device))
            return refuse(QStringLiteral("%1 holds extents of %2; move them away first").arg(device, volume->path()));
    }
    return {};
}
