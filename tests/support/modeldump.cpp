// Dumping both trees of a Roz accessor by accessor, and comparing two dumps.
#include "modeldump.h"

#include "roz.h"

#include <algorithm>

namespace {

const char* const kVgAttributes[] = {"Access",    "Status",  "Number", "MaxLv", "CurLv",  "OpenLv",
                                     "MaxLvSize", "MaxPv",   "CurPv",  "ActPv", "SizeMb", "PeSizeMb",
                                     "TotalPe",   "AllocPe", "FreePe", "FreeMb"};
const char* const kLvAttributes[] = {"Access",      "Status",     "Number",     "Size",     "CurrentLe",
                                     "AllocatedLe", "Allocation", "ReadAhead",  "Major",    "Minor",
                                     "LeSize",      "VgFree",     "SizeAtRead", "ZeroValue"};

const QString kAbsent = QStringLiteral("<absent>");

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

class Dumper
{
public:
    explicit Dumper(ModelDump& dump) : m_dump(dump) {}

    void put(const QString& prefix, const char* accessor, const QString& value)
    {
        m_dump.values.insert(prefix + QLatin1Char('/') + QLatin1String(accessor), value);
    }
    void put(const QString& prefix, const char* accessor, bool value) { put(prefix, accessor, flag(value)); }
    void put(const QString& prefix, const char* accessor, long long value)
    {
        put(prefix, accessor, QString::number(value));
    }

    void dumpLv(const QString& vgName, Lv& lv)
    {
        const QString prefix = QStringLiteral("lv/") + vgName + QLatin1Char('/') + lv.name();
        for (int i = 0; i < int(std::size(kLvAttributes)); ++i)
            put(prefix + QStringLiteral("/attr"), kLvAttributes[i],
                static_cast<long long>(lv.getAttribute(static_cast<Lv::Attribute>(i))));
        put(prefix, "fstype", lv.fstype());
        put(prefix, "pvString", lv.pvString());
        put(prefix, "original", lv.getOriginal());
        put(prefix, "snapshots", lv.getSnapshot().join(QLatin1Char(',')));
        put(prefix, "isOriginal", lv.isOriginal());
        put(prefix, "isSnapshot", lv.isSnapshot());
        put(prefix, "isActive", lv.isActive());
        put(prefix, "proportion", static_cast<long long>(lv.proportion()));
        put(prefix, "vgPath", lv.getVgPath());
        put(prefix, "path", lv.path());
        put(prefix, "mountPoint", lv.mountPoint());
    }

    void dumpVg(Vg& vg)
    {
        const QString prefix = QStringLiteral("vg/") + vg.name();
        for (int i = 0; i < int(std::size(kVgAttributes)); ++i)
            put(prefix + QStringLiteral("/attr"), kVgAttributes[i],
                static_cast<long long>(vg.getAttribute(static_cast<Vg::Attribute>(i))));
        put(prefix, "path", vg.path());
        put(prefix, "uuid", vg.uuidString());
        put(prefix, "pvString", vg.pvString());
        put(prefix, "lvString", vg.lvString());
        put(prefix, "lvCount", static_cast<long long>(vg.lvCount()));
        put(prefix, "isActive", vg.isActive());
        put(prefix, "isResizable", vg.isResizable());
        QStringList names;
        for (unsigned int i = 0; i < vg.lvCount(); ++i) {
            Lv* lv = vg.getLv(i);
            names << lv->name();
            dumpLv(vg.name(), *lv);
        }
        put(prefix, "lvs", names.join(QLatin1Char(',')));
    }

    void dumpPartition(Partition& partition)
    {
        const QString prefix = QStringLiteral("part/") + partition.name();
        put(prefix, "path", partition.path());
        put(prefix, "size", partition.getSize());
        put(prefix, "proportion", static_cast<long long>(partition.proportion()));
        put(prefix, "system", partition.getSystem());
        put(prefix, "fstype", partition.fstype());
        put(prefix, "mountPoint", partition.mountPoint());
        put(prefix, "isPv", partition.isPv());
        put(prefix, "isAllocatable", partition.isAllocatable());
        put(prefix, "vgPath", partition.getVgPath());
        put(prefix, "lvString", partition.lvString());
    }

    void dumpDisk(Disk& disk)
    {
        const QString prefix = QStringLiteral("disk/") + disk.name();
        put(prefix, "path", disk.path());
        put(prefix, "size", disk.getSize());
        put(prefix, "lvString", disk.lvString());
        QStringList names;
        for (unsigned int i = 0; i < disk.partitionCount(); ++i) {
            Partition* partition = disk.getPartition(i);
            names << partition->name();
            dumpPartition(*partition);
        }
        put(prefix, "partitions", names.join(QLatin1Char(',')));
    }

private:
    ModelDump& m_dump;
};

} // namespace

QString ModelDump::text() const
{
    QString out;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        out += it.key() + QStringLiteral(" = ") + it.value() + QLatin1Char('\n');
    return out;
}

ModelDump dumpModel(Roz& roz)
{
    ModelDump dump;
    Dumper dumper(dump);
    Lvm* lvm = roz.getLvm();
    QStringList groups;
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        groups << vg->name();
        dumper.dumpVg(*vg);
    }
    dumper.put(QStringLiteral("lvm"), "vgs", groups.join(QLatin1Char(',')));
    dumper.put(QStringLiteral("lvm"), "errorVgName", lvm->errorVgName().join(QLatin1Char(',')));

    Hard* hard = roz.getHard();
    QStringList disks;
    for (unsigned int i = 0; i < hard->diskCount(); ++i) {
        Disk* disk = hard->getDisk(i);
        disks << disk->name();
        dumper.dumpDisk(*disk);
    }
    dumper.put(QStringLiteral("hard"), "disks", disks.join(QLatin1Char(',')));
    return dump;
}

QString ModelDifference::text() const
{
    return key + QStringLiteral(": live \"") + live + QStringLiteral("\", fresh \"") + fresh + QLatin1Char('"');
}

QList<ModelDifference> compareDumps(const ModelDump& live, const ModelDump& fresh)
{
    QStringList keys = live.values.keys() + fresh.values.keys();
    keys.sort();
    keys.removeDuplicates();
    QList<ModelDifference> differences;
    for (const QString& key : keys) {
        const QString liveValue = live.has(key) ? live.value(key) : kAbsent;
        const QString freshValue = fresh.has(key) ? fresh.value(key) : kAbsent;
        if (liveValue != freshValue)
            differences.append({key, liveValue, freshValue});
    }
    return differences;
}

QList<QPair<ModelDifference, QString>> classifyDifferences(const ToleranceContext& context,
                                                           const ToleranceList& tolerances)
{
    QList<QPair<ModelDifference, QString>> classified;
    for (const ModelDifference& difference : compareDumps(context.live, context.fresh)) {
        const auto tolerance = std::find_if(tolerances.cbegin(), tolerances.cend(),
                                            [&](const Tolerance& t) { return t.allows(difference, context); });
        classified.append({difference, tolerance == tolerances.cend() ? QString() : tolerance->reason});
    }
    return classified;
}

QList<ModelDifference> untoleratedDifferences(const ToleranceContext& context, const ToleranceList& tolerances)
{
    QList<ModelDifference> left;
    for (const auto& [difference, reason] : classifyDifferences(context, tolerances)) {
        if (reason.isEmpty())
            left.append(difference);
    }
    return left;
}

QStringList keyParts(const QString& key)
{
    return key.split(QLatin1Char('/'));
}

QStringList sortedPaths(const QString& colonJoined)
{
    QStringList paths = colonJoined.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    paths.sort();
    return paths;
}
