// Hard's affiliation operations: partitions' group paths, system texts and LV lists rewritten
// after changes on the logical side.
#include "harddrive.h"

#include "changehold_p.h"
#include "reader_p.h"
#include "utils.h"

#include <algorithm>
#include <functional>

namespace {

void storeLvs(Partition* partition, const QStringList& parts)
{
    partition->setLvs(parts.join(QLatin1Char(':')));
    MyDebug(partition->path() + QStringLiteral("'s lvs: ") + partition->lvString());
}

// Today's report lists a partition's volumes in extent order, which a list kept by hand cannot
// know; the refresh of the change has read that report already, so the list is taken from it.
void followReportedLvs(Partition* partition)
{
    if (toolSet() == ToolSet::Current)
        partition->getLvs();
}

} // namespace

Partition* Hard::findPv(const QString& path) const
{
    for (Disk* disk : m_disks) {
        for (unsigned int i = 0; i < disk->partitionCount(); ++i) {
            Partition* partition = disk->getPartition(i);
            if (partition->path() == path)
                return partition;
        }
    }
    return nullptr;
}

Partition* Hard::getPv(const QString& path)
{
    if (Partition* partition = findPv(path))
        return partition;
    MyDebug(QStringLiteral("Hard::getPv finding Partition failed!"));
    return nullptr;
}

// Applies `change` to each partition of `listPv` the tree holds (getPv notes the others), with
// the tree's notices held until all are done.
void Hard::changeEachPv(const QStringList& listPv, const std::function<void(Partition&)>& change)
{
    HardChangeHold hold(this);
    for (const QString& pvPath : listPv) {
        if (Partition* partition = getPv(pvPath))
            change(*partition);
    }
}

void Hard::affiliateVgPv(const QString& vgPath, const QStringList& listPv)
{
    changeEachPv(listPv, [&vgPath](Partition& partition) {
        partition.setSystem(QStringLiteral("8e"), QStringLiteral("Linux LVM"));
        partition.setVgPath(vgPath);
    });
}

void Hard::deaffiliateVgPv(const QStringList& listPv)
{
    affiliateVgPv(QStringLiteral(""), listPv);
}

void Hard::reaffiliateVgPv(const QString& vgPath, const QStringList& listPv)
{
    changeEachPv(listPv, [&vgPath](Partition& partition) {
        partition.setVgPath(vgPath);
        QStringList parts = partition.lvList();
        for (QString& part : parts)
            part = vgPath + QLatin1Char('/') + part.section(QLatin1Char('/'), 3, 3);
        partition.setLvs(parts.join(QLatin1Char(':')));
    });
}

void Hard::affiliateLvPv(const QString& lvPath, const QStringList& listPv)
{
    changeEachPv(listPv, [&lvPath](Partition& partition) {
        partition.setLvs(partition.lvString() + QLatin1Char(':') + lvPath);
        MyDebug(partition.path() + QStringLiteral("'s lvs: ") + partition.lvString());
        followReportedLvs(&partition);
    });
}

void Hard::deaffiliateLvPv(const QString& lvPath, const QStringList& listPv)
{
    changeEachPv(listPv, [&lvPath](Partition& partition) {
        QStringList parts = partition.lvList();
        parts.removeAll(lvPath);
        storeLvs(&partition, parts);
        followReportedLvs(&partition);
    });
}

void Hard::reaffiliateLvPv(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv)
{
    changeEachPv(listPv, [&newLvPath, &oldLvPath](Partition& partition) {
        QStringList parts = partition.lvList();
        const qsizetype first = parts.indexOf(oldLvPath);
        if (first != -1)
            parts[first] = newLvPath;
        storeLvs(&partition, parts);
        followReportedLvs(&partition);
    });
}

void Hard::markPhysicalVolumes(const QStringList& listPv)
{
    HardChangeHold hold(this);
    // The device lister names the type "Linux LVM" and adds the tag; the probe joins them.
    for (const QString& pvPath : listPv) {
        Partition* partition = findPv(pvPath);
        if (!partition)
            continue;
        partition->setSystem(QStringLiteral("LVM"), QStringLiteral("Linux LVM, LVM"));
        partition->setPv(true);
        // A probe takes a mounted partition's type from the mount table.
        if (partition->mountPoint().isEmpty())
            partition->setFstype(QStringLiteral("LVM2"));
    }
}

void Hard::addNewDisks(const QStringList& devices)
{
    if (toolSet() != ToolSet::Current)
        return;
    QStringList unknown;
    for (const QString& device : devices) {
        const QString name = device.section(QLatin1Char('/'), 2);
        if (!findPv(device) && !getDisk(name))
            unknown.append(name);
    }
    if (unknown.isEmpty())
        return;

    // Each new disk takes its place in the listing's order, as a discovery would give it.
    Reader::Scope scope;
    QList<Disk*> ordered;
    for (const DiskEntry& entry : Reader::readDisks().disks) {
        if (Disk* known = getDisk(entry.name); known && !ordered.contains(known)) {
            ordered.append(known);
        } else if (unknown.contains(entry.name)) {
            Disk* disk = new Disk(entry.name.simplified(), this);
            disk->setSize(entry.size);
            disk->findPartition();
            forgetWhenDestroyed(disk);
            ordered.append(disk);
        }
    }
    for (Disk* disk : std::as_const(m_disks)) {
        if (!ordered.contains(disk))
            ordered.append(disk);
    }
    m_disks = ordered;
}

void Hard::holdChanges()
{
    for (const Disk* disk : std::as_const(m_disks)) {
        for (Partition* partition : disk->m_partitions)
            partition->holdChanges();
    }
}

// Partitions of disks added while the hold lasted were never held and are left alone.
void Hard::releaseChanges()
{
    const QList<Disk*> disks = m_disks;
    for (const Disk* disk : disks) {
        const QList<Partition*> partitions = disk->m_partitions;
        for (Partition* partition : partitions)
            partition->releaseChanges();
    }
}
