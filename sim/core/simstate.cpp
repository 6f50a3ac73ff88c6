// The simulated machine's state: lookups, extent bookkeeping, UUIDs and the mount table.
#include "simstate.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace sim {

QString toolSetName(ToolSet tools)
{
    return tools == ToolSet::Current ? QStringLiteral("current") : QStringLiteral("classic");
}

std::optional<ToolSet> toolSetFromName(const QString& name)
{
    if (name == QLatin1String("classic"))
        return ToolSet::Classic;
    if (name == QLatin1String("current"))
        return ToolSet::Current;
    return std::nullopt;
}

int Lv::extents() const
{
    int total = 0;
    for (const Segment& s : segments)
        total += s.count;
    return total;
}

Lv* Vg::lv(const QString& lvName)
{
    for (Lv& v : lvs)
        if (v.name == lvName)
            return &v;
    return nullptr;
}

const Lv* Vg::lv(const QString& lvName) const
{
    return const_cast<Vg*>(this)->lv(lvName);
}

QStringList Vg::snapshotsOf(const QString& originName) const
{
    QStringList names;
    for (const Lv& v : lvs)
        if (v.origin == originName)
            names << v.name;
    return names;
}

bool Fault::matches(const QString& prog, const QStringList& argv) const
{
    if (prog != program || times == 0)
        return false;
    if (exact)
        return argv == args;
    if (argv.size() < args.size())
        return false;
    return std::equal(args.begin(), args.end(), argv.begin());
}

Partition* Machine::partition(const QString& device, Disk** diskOut)
{
    for (Disk& d : disks) {
        for (Partition& p : d.partitions) {
            if (QStringLiteral("/dev/%1%2").arg(d.name).arg(p.number) == device) {
                if (diskOut)
                    *diskOut = &d;
                return &p;
            }
        }
    }
    return nullptr;
}

const Partition* Machine::partition(const QString& device) const
{
    return const_cast<Machine*>(this)->partition(device);
}

const Disk* Machine::disk(const QString& device) const
{
    for (const Disk& d : disks)
        if (QStringLiteral("/dev/") + d.name == device)
            return &d;
    return nullptr;
}

Pv* Machine::pv(const QString& device)
{
    for (Pv& p : pvs)
        if (p.device == device)
            return &p;
    return nullptr;
}

const Pv* Machine::pv(const QString& device) const
{
    return const_cast<Machine*>(this)->pv(device);
}

Vg* Machine::vg(const QString& name)
{
    for (Vg& g : vgs)
        if (g.name == name)
            return &g;
    return nullptr;
}

const Vg* Machine::vg(const QString& name) const
{
    return const_cast<Machine*>(this)->vg(name);
}

QList<const Pv*> Machine::pvsOf(const QString& vgName) const
{
    QList<const Pv*> list;
    for (const Pv& p : pvs)
        if (p.vg == vgName)
            list << &p;
    return list;
}

int Machine::usedExtents(const Vg& group, const QString& device) const
{
    int used = 0;
    for (const Lv& v : group.lvs)
        for (const Segment& s : v.segments)
            if (s.pv == device)
                used += s.count;
    return used;
}

int Machine::freeExtents(const Vg& group, const QString& device) const
{
    const Pv* p = pv(device);
    return p ? p->peCount - usedExtents(group, device) : 0;
}

int Machine::freeExtents(const Vg& group) const
{
    int total = 0;
    for (const Pv* p : pvsOf(group.name))
        total += freeExtents(group, p->device);
    return total;
}

bool Machine::allocate(const Vg& group, int count, const QStringList& onlyPvs, QList<Segment>& segments) const
{
    for (const Pv* p : pvsOf(group.name)) {
        if (count == 0)
            break;
        if (!onlyPvs.isEmpty() && !onlyPvs.contains(p->device))
            continue;
        // Taken runs on this PV, sorted, including what this allocation has already added.
        QList<Segment> taken;
        for (const Lv& v : group.lvs)
            for (const Segment& s : v.segments)
                if (s.pv == p->device)
                    taken << s;
        for (const Segment& s : segments)
            if (s.pv == p->device)
                taken << s;
        std::sort(taken.begin(), taken.end(), [](const Segment& a, const Segment& b) { return a.start < b.start; });
        int next = 0;
        taken << Segment{p->device, p->peCount, 0};
        for (const Segment& t : taken) {
            if (count == 0)
                break;
            const int gap = std::min(t.start - next, count);
            if (gap > 0) {
                if (!segments.isEmpty() && segments.last().pv == p->device &&
                    segments.last().start + segments.last().count == next)
                    segments.last().count += gap;
                else
                    segments << Segment{p->device, next, gap};
                count -= gap;
            }
            next = std::max(next, t.start + t.count);
        }
    }
    return count == 0;
}

int Machine::extentsFor(qint64 sizeKiB, qint64 extentKiB)
{
    // The label and the metadata area take the first 192 KiB, as LVM2 lays out a PV by default.
    if (extentKiB <= 0 || sizeKiB <= 192)
        return 0;
    return int((sizeKiB - 192) / extentKiB);
}

QString Machine::newUuid(const QString& seed)
{
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const QByteArray digest = QCryptographicHash::hash((seed + QLatin1Char('#') + QString::number(serial++)).toUtf8(),
                                                       QCryptographicHash::Sha256);
    QString plain;
    for (int i = 0; i < 32; ++i)
        plain += QLatin1Char(alphabet[uchar(digest.at(i)) % 62]);
    // LVM writes its 32 characters in groups of 6-4-4-4-4-4-6.
    static const int groups[] = {6, 4, 4, 4, 4, 4, 6};
    QStringList parts;
    int at = 0;
    for (int g : groups) {
        parts << plain.mid(at, g);
        at += g;
    }
    return parts.join(QLatin1Char('-'));
}

static QString mtabType(const QString& fstype)
{
    const QString lower = fstype.toLower();
    if (lower.startsWith(QLatin1String("fat")) || lower == QLatin1String("vfat"))
        return QStringLiteral("vfat");
    if (lower.isEmpty())
        return QStringLiteral("auto");
    return lower;
}

static QString mtabLine(const QString& device, const Mount& m, const QString& fstype)
{
    return QStringLiteral("%1 %2 %3 %4 0 0\n")
        .arg(device, m.dir, m.type.isEmpty() ? mtabType(fstype) : m.type, m.options);
}

QString Machine::mtab() const
{
    QString text;
    for (const Disk& d : disks)
        for (const Partition& p : d.partitions)
            if (p.mount.mounted())
                text += mtabLine(QStringLiteral("/dev/%1%2").arg(d.name).arg(p.number), p.mount, p.fstype);
    for (const QString& line : mtabExtra)
        text += line + QLatin1Char('\n');
    for (const Vg& g : vgs) {
        for (const Lv& v : g.lvs) {
            if (!v.mount.mounted())
                continue;
            const QString device = v.mount.viaMapper ? QStringLiteral("/dev/mapper/") + dmName(g.name, v.name)
                                                     : QStringLiteral("/dev/%1/%2").arg(g.name, v.name);
            text += mtabLine(device, v.mount, v.fstype);
        }
    }
    return text;
}

QString dmName(const QString& vgName, const QString& lvName)
{
    // device-mapper doubles every "-" inside a name so that the single "-" between them stays unique.
    QString v = vgName, l = lvName;
    return v.replace(QLatin1Char('-'), QLatin1String("--")) + QLatin1Char('-') +
           l.replace(QLatin1Char('-'), QLatin1String("--"));
}

bool splitLvPath(const QString& path, QString* vgName, QString* lvName)
{
    if (path.startsWith(QLatin1String("/dev/mapper/"))) {
        const QString dm = path.mid(12);
        QString first;
        for (int i = 0; i < dm.size(); ++i) {
            if (dm.at(i) != QLatin1Char('-')) {
                first += dm.at(i);
                continue;
            }
            if (i + 1 < dm.size() && dm.at(i + 1) == QLatin1Char('-')) {
                first += QLatin1Char('-');
                ++i;
                continue;
            }
            *vgName = first;
            *lvName = dm.mid(i + 1).replace(QLatin1String("--"), QLatin1String("-"));
            return !vgName->isEmpty() && !lvName->isEmpty();
        }
        return false;
    }
    QString rest = path;
    if (rest.startsWith(QLatin1String("/dev/")))
        rest = rest.mid(5);
    const QStringList parts = rest.split(QLatin1Char('/'));
    if (parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty())
        return false;
    *vgName = parts[0];
    *lvName = parts[1];
    return true;
}

bool validName(const QString& name)
{
    static const QRegularExpression allowed(QStringLiteral("^[0-9a-zA-Z._+-]+$"));
    if (name.isEmpty() || name.size() > 127 || name.startsWith(QLatin1Char('-')))
        return false;
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return allowed.match(name).hasMatch();
}

void assignDeviceMinors(Machine& m)
{
    QSet<int> taken;
    for (Vg& g : m.vgs) {
        for (Lv& v : g.lvs) {
            if (!g.active || !v.active)
                v.minor = -1;
            else if (v.minor >= 0)
                taken.insert(v.minor);
        }
    }
    int next = 0;
    for (Vg& g : m.vgs) {
        for (Lv& v : g.lvs) {
            if (!g.active || !v.active || v.minor >= 0)
                continue;
            while (taken.contains(next))
                ++next;
            v.minor = next;
            taken.insert(next);
        }
    }
}

} // namespace sim
