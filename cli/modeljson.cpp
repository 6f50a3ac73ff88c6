// The model as JSON.
#include "modeljson.h"

#include <QJsonArray>

namespace roz {

namespace {

// Absent texts are null rather than "", so that consumers can test for them plainly.
QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString groupName(const QString& groupPath)
{
    return groupPath.startsWith(QLatin1String("/dev/")) ? groupPath.mid(5) : groupPath;
}

QJsonObject jsonOf(const PartitionView& p)
{
    return QJsonObject{{"name", p.name},
                       {"path", p.path},
                       {"size", p.size},
                       {"system", p.system},
                       {"fstype", textOrNull(p.fstype)},
                       {"mountPoint", textOrNull(p.mountPoint)},
                       {"pv", p.pv},
                       {"group", textOrNull(groupName(p.groupPath))},
                       {"volumes", QJsonArray::fromStringList(p.volumes)}};
}

QJsonObject jsonOf(const DiskView& d)
{
    QJsonArray partitions;
    for (const PartitionView& p : d.partitions)
        partitions << jsonOf(p);
    return QJsonObject{{"name", d.name}, {"path", d.path}, {"size", d.size}, {"partitions", partitions}};
}

QJsonObject jsonOf(const VolumeView& v)
{
    return QJsonObject{{"name", v.name},
                       {"path", v.path},
                       {"group", v.group},
                       {"sizeMiB", v.sizeMiB},
                       {"extents", v.extents},
                       {"active", v.active},
                       {"snapshot", v.snapshot},
                       {"origin", textOrNull(v.origin)},
                       {"snapshots", QJsonArray::fromStringList(v.snapshots)},
                       {"fstype", textOrNull(v.fstype)},
                       {"pvs", QJsonArray::fromStringList(v.pvs)},
                       {"mountPoint", textOrNull(v.mountPoint)}};
}

QJsonObject jsonOf(const GroupView& g)
{
    QJsonArray volumes;
    for (const VolumeView& v : g.volumes)
        volumes << jsonOf(v);
    const QJsonObject extents{{"sizeMiB", g.extentMiB},
                              {"total", g.totalExtents},
                              {"allocated", g.allocatedExtents},
                              {"free", g.freeExtents}};
    return QJsonObject{{"name", g.name},
                       {"path", g.path},
                       {"uuid", g.uuid},
                       {"sizeMiB", g.sizeMiB},
                       {"freeMiB", g.freeMiB},
                       {"extents", extents},
                       {"maxVolumes", g.maxVolumes},
                       {"maxPvs", g.maxPvs},
                       {"active", g.active},
                       {"resizable", g.resizable},
                       {"pvs", QJsonArray::fromStringList(g.pvs)},
                       {"volumes", volumes}};
}

} // namespace

QJsonObject jsonOf(const ModelView& model, const QString& root)
{
    QJsonArray disks;
    for (const DiskView& d : model.disks)
        disks << jsonOf(d);
    QJsonArray groups;
    for (const GroupView& g : model.groups)
        groups << jsonOf(g);
    return QJsonObject{{"schema", jsonSchemaVersion},
                       {"machine", root.isEmpty() ? QStringLiteral("system") : QStringLiteral("simulated")},
                       {"root", textOrNull(root)},
                       {"disks", disks},
                       {"groups", groups},
                       {"unreadableGroups", QJsonArray::fromStringList(model.unreadableGroups)},
                       {"problems", QJsonArray::fromStringList(model.problems)}};
}

} // namespace roz
