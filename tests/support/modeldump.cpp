// Dumping both trees of a Roz accessor by accessor, and comparing two dumps.
#include "modeldump.h"

#include "roz.h"

#include <QVariant>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>

namespace {

const char* const kVgAttributes[] = {"Access",    "Status",  "Number", "MaxLv", "CurLv",  "OpenLv",
                                     "MaxLvSize", "MaxPv",   "CurPv",  "ActPv", "SizeMb", "PeSizeMb",
                                     "TotalPe",   "AllocPe", "FreePe", "FreeMb"};
const char* const kLvAttributes[] = {"Access",      "Status",     "Number",     "Size",     "CurrentLe",
                                     "AllocatedLe", "Allocation", "ReadAhead",  "Major",    "Minor",
                                     "LeSize",      "VgFree",     "SizeAtRead", "ZeroValue"};

const QString kAbsent = QStringLiteral("<absent>");

// Every accessor named in `accessors` under "<prefix>/<name>": texts as they are, flags as
// "true"/"false", numbers in decimal.
template <class T>
void put(ModelDump& dump, const QString& prefix, T& object,
         std::initializer_list<std::pair<const char*, std::function<QVariant(T&)>>> accessors)
{
    for (const auto& [name, get] : accessors)
        dump.values.insert(prefix + QLatin1Char('/') + QLatin1String(name), get(object).toString());
}

template <class T, size_t N>
void putAttributes(ModelDump& dump, const QString& prefix, T& object, const char* const (&names)[N])
{
    for (size_t i = 0; i < N; ++i)
        dump.values.insert(prefix + QStringLiteral("/attr/") + QLatin1String(names[i]),
                           QString::number(object.getAttribute(static_cast<typename T::Attribute>(i))));
}

QString names(const QStringList& list)
{
    return list.join(QLatin1Char(','));
}

void dumpVg(ModelDump& dump, Vg& vg)
{
    const QString prefix = QStringLiteral("vg/") + vg.name();
    putAttributes(dump, prefix, vg, kVgAttributes);
    QStringList lvs;
    for (Lv* lv : vg.lvs()) {
        lvs << lv->name();
        const QString lvPrefix = QStringLiteral("lv/") + vg.name() + QLatin1Char('/') + lv->name();
        putAttributes(dump, lvPrefix, *lv, kLvAttributes);
        put<Lv>(dump, lvPrefix, *lv,
                {{"fstype", &Lv::fstype},
                 {"pvString", &Lv::pvString},
                 {"original", &Lv::getOriginal},
                 {"snapshots", [](Lv& l) { return names(l.getSnapshot()); }},
                 {"isOriginal", &Lv::isOriginal},
                 {"isSnapshot", &Lv::isSnapshot},
                 {"isActive", &Lv::isActive},
                 {"proportion", &Lv::proportion},
                 {"vgPath", &Lv::getVgPath},
                 {"path", &Lv::path},
                 {"mountPoint", &Lv::mountPoint}});
    }
    put<Vg>(dump, prefix, vg,
            {{"path", &Vg::path},
             {"uuid", &Vg::uuidString},
             {"pvString", &Vg::pvString},
             {"lvString", &Vg::lvString},
             {"lvCount", &Vg::lvCount},
             {"isActive", &Vg::isActive},
             {"isResizable", &Vg::isResizable}});
    dump.values.insert(prefix + QStringLiteral("/lvs"), names(lvs));
}

void dumpDisk(ModelDump& dump, Disk& disk)
{
    QStringList partitions;
    for (Partition* partition : disk.partitions()) {
        partitions << partition->name();
        put<Partition>(dump, QStringLiteral("part/") + partition->name(), *partition,
                       {{"path", &Partition::path},
                        {"size", &Partition::getSize},
                        {"proportion", &Partition::proportion},
                        {"system", &Partition::getSystem},
                        {"fstype", &Partition::fstype},
                        {"mountPoint", &Partition::mountPoint},
                        {"isPv", &Partition::isPv},
                        {"isAllocatable", &Partition::isAllocatable},
                        {"vgPath", &Partition::getVgPath},
                        {"lvString", &Partition::lvString}});
    }
    const QString prefix = QStringLiteral("disk/") + disk.name();
    put<Disk>(dump, prefix, disk, {{"path", &Disk::path}, {"size", &Disk::getSize}, {"lvString", &Disk::lvString}});
    dump.values.insert(prefix + QStringLiteral("/partitions"), names(partitions));
}

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
    QStringList groups;
    for (Vg* vg : roz.getLvm()->vgs()) {
        groups << vg->name();
        dumpVg(dump, *vg);
    }
    QStringList disks;
    for (unsigned int i = 0; i < roz.getHard()->diskCount(); ++i) {
        Disk* disk = roz.getHard()->getDisk(i);
        disks << disk->name();
        dumpDisk(dump, *disk);
    }
    dump.values.insert(QStringLiteral("lvm/vgs"), names(groups));
    dump.values.insert(QStringLiteral("lvm/errorVgName"), names(roz.getLvm()->errorVgName()));
    dump.values.insert(QStringLiteral("hard/disks"), names(disks));
    return dump;
}

QString ModelDifference::text() const
{
    return key + QStringLiteral(": live \"") + live + QStringLiteral("\", fresh \"") + fresh + QLatin1Char('"');
}

QList<ModelDifference> untoleratedDifferences(const ToleranceContext& context, const ToleranceList& tolerances)
{
    QStringList keys = context.live.values.keys() + context.fresh.values.keys();
    keys.sort();
    keys.removeDuplicates();
    QList<ModelDifference> left;
    for (const QString& key : keys) {
        const ModelDifference difference{key, context.live.values.value(key, kAbsent),
                                         context.fresh.values.value(key, kAbsent)};
        const auto allows = [&](const Tolerance& t) { return t.allows(difference, context); };
        if (difference.live != difference.fresh && std::none_of(tolerances.cbegin(), tolerances.cend(), allows))
            left.append(difference);
    }
    return left;
}

QStringList keyParts(const QString& key)
{
    return key.split(QLatin1Char('/'));
}
