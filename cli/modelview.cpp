// Copying the library's model into plain values.
#include "modelview.h"

#include "roz.h"

namespace roz {

QStringList splitPaths(const QString& joined)
{
    return joined.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

namespace {

PartitionView viewOf(const Partition& partition)
{
    PartitionView view;
    view.name = partition.name();
    view.path = partition.path();
    view.size = partition.getSize().toLongLong();
    view.system = partition.getSystem();
    view.fstype = partition.fstype();
    view.mountPoint = partition.mountPoint();
    view.pv = partition.isPv();
    view.groupPath = partition.getVgPath();
    view.volumes = splitPaths(partition.lvString());
    return view;
}

DiskView viewOf(Disk& disk)
{
    DiskView view;
    view.name = disk.name();
    view.path = disk.path();
    view.size = disk.getSize().toLongLong();
    for (unsigned int i = 0; i < disk.partitionCount(); ++i) {
        if (Partition* partition = disk.getPartition(i))
            view.partitions << viewOf(*partition);
    }
    return view;
}

VolumeView viewOf(const Lv& lv, const QString& group)
{
    VolumeView view;
    view.group = group;
    view.name = lv.name();
    view.path = lv.path();
    view.sizeMiB = lv.getAttribute(Lv::Size);
    view.extents = lv.getAttribute(Lv::CurrentLe);
    view.active = lv.isActive();
    view.snapshot = lv.isSnapshot();
    view.origin = lv.isSnapshot() ? lv.getOriginal() : QString();
    view.snapshots = lv.isOriginal() ? lv.getSnapshot() : QStringList();
    view.fstype = lv.fstype();
    view.pvs = splitPaths(lv.pvString());
    view.mountPoint = lv.mountPoint();
    return view;
}

GroupView viewOf(Vg& vg)
{
    GroupView view;
    view.name = vg.name();
    view.path = vg.path();
    view.uuid = vg.uuidString();
    view.sizeMiB = vg.getAttribute(Vg::SizeMb);
    view.freeMiB = vg.getAttribute(Vg::FreeMb);
    view.extentMiB = vg.getAttribute(Vg::PeSizeMb);
    view.totalExtents = vg.getAttribute(Vg::TotalPe);
    view.allocatedExtents = vg.getAttribute(Vg::AllocPe);
    view.freeExtents = vg.getAttribute(Vg::FreePe);
    view.maxVolumes = vg.getAttribute(Vg::MaxLv);
    view.maxPvs = vg.getAttribute(Vg::MaxPv);
    view.active = vg.isActive();
    view.resizable = vg.isResizable();
    view.pvs = splitPaths(vg.pvString());
    for (unsigned int i = 0; i < vg.lvCount(); ++i) {
        if (Lv* lv = vg.getLv(i))
            view.volumes << viewOf(*lv, view.name);
    }
    return view;
}

} // namespace

ModelView viewOf(Roz& roz)
{
    ModelView model;
    Hard* hard = roz.getHard();
    for (unsigned int i = 0; i < hard->diskCount(); ++i) {
        if (Disk* disk = hard->getDisk(i))
            model.disks << viewOf(*disk);
    }
    Lvm* lvm = roz.getLvm();
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        if (Vg* vg = lvm->getVg(i))
            model.groups << viewOf(*vg);
    }
    model.unreadableGroups = lvm->errorVgName();
    model.problems = roz.problems();
    return model;
}

const GroupView* ModelView::group(const QString& name) const
{
    for (const GroupView& g : groups) {
        if (g.name == name)
            return &g;
    }
    return nullptr;
}

const VolumeView* ModelView::volume(const QString& groupName, const QString& name) const
{
    const GroupView* g = group(groupName);
    if (!g)
        return nullptr;
    for (const VolumeView& v : g->volumes) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

const PartitionView* ModelView::partition(const QString& path) const
{
    for (const DiskView& d : disks) {
        for (const PartitionView& p : d.partitions) {
            if (p.path == path)
                return &p;
        }
    }
    return nullptr;
}

} // namespace roz
