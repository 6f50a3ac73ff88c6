// The simulated machine's state: lookups, extent bookkeeping, UUIDs, mount table and JSON form.
#include "simstate.h"

#include <QCryptographicHash>
#include <QJsonArray>
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

// ---- JSON ----

static QJsonObject mountJson(const Mount& m, bool volume)
{
    QJsonObject o{{"dir", m.dir}, {"options", m.options}};
    if (!m.type.isEmpty())
        o["type"] = m.type;
    if (volume)
        o["device"] = m.viaMapper ? QStringLiteral("mapper") : QStringLiteral("path");
    return o;
}

static Mount mountFrom(const QJsonValue& v)
{
    Mount m;
    const QJsonObject o = v.toObject();
    m.dir = o.value("dir").toString();
    m.options = o.value("options").toString(QStringLiteral("rw"));
    m.type = o.value("type").toString();
    m.viaMapper = o.value("device").toString(QStringLiteral("mapper")) != QLatin1String("path");
    return m;
}

QJsonObject toJson(const Machine& machine)
{
    QJsonArray disks;
    for (const Disk& d : machine.disks) {
        QJsonArray parts;
        for (const Partition& p : d.partitions) {
            QJsonObject o{{"number", p.number},
                          {"system", p.system},
                          {"fstype", p.fstype},
                          {"sizeKiB", p.sizeKiB},
                          {"fsUsedKiB", p.fsUsedKiB}};
            if (!p.label.isEmpty())
                o["label"] = p.label;
            if (!p.tag.isEmpty())
                o["tag"] = p.tag;
            if (p.fsSizeKiB)
                o["fsSizeKiB"] = p.fsSizeKiB;
            if (p.damaged)
                o["damaged"] = true;
            if (p.needsRepair)
                o["needsRepair"] = true;
            if (p.mount.mounted())
                o["mount"] = mountJson(p.mount, false);
            parts << o;
        }
        disks << QJsonObject{
            {"name", d.name}, {"kind", d.kind}, {"model", d.model}, {"sizeKiB", d.sizeKiB}, {"partitions", parts}};
    }
    QJsonArray pvs;
    for (const Pv& p : machine.pvs)
        pvs << QJsonObject{{"device", p.device}, {"uuid", p.uuid}, {"vg", p.vg}, {"peCount", p.peCount}};
    QJsonArray vgs;
    for (const Vg& g : machine.vgs) {
        QJsonArray lvs;
        for (const Lv& v : g.lvs) {
            QJsonArray segs;
            for (const Segment& s : v.segments)
                segs << QJsonObject{{"pv", s.pv}, {"start", s.start}, {"count", s.count}};
            QJsonObject o{{"name", v.name}, {"uuid", v.uuid}, {"active", v.active}, {"segments", segs}};
            if (!v.origin.isEmpty())
                o["origin"] = v.origin;
            if (!v.fstype.isEmpty()) {
                o["fstype"] = v.fstype;
                o["fsSizeKiB"] = v.fsSizeKiB;
            }
            if (v.damaged)
                o["damaged"] = true;
            if (v.needsRepair)
                o["needsRepair"] = true;
            if (v.mount.mounted())
                o["mount"] = mountJson(v.mount, true);
            if (v.minor >= 0)
                o["minor"] = v.minor;
            lvs << o;
        }
        QJsonObject o{{"name", g.name},           {"uuid", g.uuid},   {"extentKiB", g.extentKiB}, {"active", g.active},
                      {"resizable", g.resizable}, {"maxLv", g.maxLv}, {"maxPv", g.maxPv},         {"lvs", lvs}};
        if (g.unreadable) {
            o["unreadable"] = true;
            o["readError"] = g.readError;
        }
        vgs << o;
    }
    QJsonArray faults;
    for (const Fault& f : machine.faults) {
        QJsonObject o{{"program", f.program},
                      {"args", QJsonArray::fromStringList(f.args)},
                      {"exact", f.exact},
                      {"exitCode", f.exitCode},
                      {"times", f.times}};
        if (!f.output.isEmpty())
            o["output"] = f.output;
        if (!f.errorOutput.isEmpty())
            o["errorOutput"] = f.errorOutput;
        if (f.signal)
            o["signal"] = f.signal;
        faults << o;
    }
    QJsonObject json{{"format", 1},
                     {"serial", machine.serial},
                     {"disks", disks},
                     {"pvs", pvs},
                     {"vgs", vgs},
                     {"faults", faults},
                     {"mtabExtra", QJsonArray::fromStringList(machine.mtabExtra)}};
    // Written only when they differ from the default, so a classic machine's state stays as it was.
    if (machine.tools != ToolSet::Classic)
        json["tools"] = toolSetName(machine.tools);
    if (machine.udev)
        json["udev"] = true;
    return json;
}

static bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<Machine> fromJson(const QJsonObject& json, QString* error)
{
    Machine m;
    m.serial = json.value("serial").toInt();
    const std::optional<ToolSet> tools = toolSetFromName(json.value("tools").toString(QStringLiteral("classic")));
    if (!tools) {
        fail(error, QStringLiteral("unknown tool set \"%1\"").arg(json.value("tools").toString()));
        return std::nullopt;
    }
    m.tools = *tools;
    m.udev = json.value("udev").toBool();
    for (const QJsonValue& dv : json.value("disks").toArray()) {
        const QJsonObject d = dv.toObject();
        Disk disk;
        disk.name = d.value("name").toString();
        disk.kind = d.value("kind").toString(QStringLiteral("DISK"));
        disk.model = d.value("model").toString(disk.model);
        disk.sizeKiB = d.value("sizeKiB").toInteger();
        if (disk.name.isEmpty()) {
            fail(error, QStringLiteral("a disk without a name"));
            return std::nullopt;
        }
        for (const QJsonValue& pv : d.value("partitions").toArray()) {
            const QJsonObject o = pv.toObject();
            Partition p;
            p.number = o.value("number").toInt();
            p.system = o.value("system").toString(p.system);
            p.fstype = o.value("fstype").toString();
            p.sizeKiB = o.value("sizeKiB").toInteger();
            p.fsUsedKiB = o.value("fsUsedKiB").toInteger();
            p.label = o.value("label").toString();
            p.tag = o.value("tag").toString();
            p.fsSizeKiB = o.value("fsSizeKiB").toInteger();
            p.damaged = o.value("damaged").toBool();
            p.needsRepair = o.value("needsRepair").toBool();
            p.mount = mountFrom(o.value("mount"));
            if (p.number <= 0) {
                fail(error, QStringLiteral("partition of %1 without a number").arg(disk.name));
                return std::nullopt;
            }
            disk.partitions << p;
        }
        m.disks << disk;
    }
    for (const QJsonValue& pv : json.value("pvs").toArray()) {
        const QJsonObject o = pv.toObject();
        m.pvs << Pv{o.value("device").toString(), o.value("uuid").toString(), o.value("vg").toString(),
                    o.value("peCount").toInt()};
    }
    for (const QJsonValue& gv : json.value("vgs").toArray()) {
        const QJsonObject o = gv.toObject();
        Vg g;
        g.name = o.value("name").toString();
        g.uuid = o.value("uuid").toString();
        g.extentKiB = o.value("extentKiB").toInteger(4096);
        g.active = o.value("active").toBool(true);
        g.resizable = o.value("resizable").toBool(true);
        g.unreadable = o.value("unreadable").toBool();
        g.readError = o.value("readError").toString(g.readError);
        g.maxLv = o.value("maxLv").toInt();
        g.maxPv = o.value("maxPv").toInt();
        for (const QJsonValue& lv : o.value("lvs").toArray()) {
            const QJsonObject l = lv.toObject();
            Lv v;
            v.name = l.value("name").toString();
            v.uuid = l.value("uuid").toString();
            v.active = l.value("active").toBool(g.active);
            v.origin = l.value("origin").toString();
            v.fstype = l.value("fstype").toString();
            v.fsSizeKiB = l.value("fsSizeKiB").toInteger();
            v.damaged = l.value("damaged").toBool();
            v.needsRepair = l.value("needsRepair").toBool();
            v.mount = mountFrom(l.value("mount"));
            v.minor = l.value("minor").toInt(-1);
            for (const QJsonValue& sv : l.value("segments").toArray()) {
                const QJsonObject s = sv.toObject();
                v.segments << Segment{s.value("pv").toString(), s.value("start").toInt(-1), s.value("count").toInt()};
            }
            // A description may ask for a size and leave the placement to normalize().
            if (l.contains("sizeMiB") && v.segments.isEmpty()) {
                const qint64 kib = l.value("sizeMiB").toInteger() * 1024;
                v.segments << Segment{QString(), -1, int((kib + g.extentKiB - 1) / g.extentKiB)};
            }
            g.lvs << v;
        }
        m.vgs << g;
    }
    for (const QJsonValue& fv : json.value("faults").toArray()) {
        const QJsonObject o = fv.toObject();
        Fault f;
        f.program = o.value("program").toString();
        for (const QJsonValue& a : o.value("args").toArray())
            f.args << a.toString();
        f.exact = o.value("exact").toBool();
        f.exitCode = o.value("exitCode").toInt(1);
        f.output = o.value("output").toString();
        f.errorOutput = o.value("errorOutput").toString();
        f.signal = o.value("signal").toInt();
        f.times = o.value("times").toInt(-1);
        m.faults << f;
    }
    for (const QJsonValue& line : json.value("mtabExtra").toArray())
        m.mtabExtra << line.toString();
    return m;
}

bool normalize(Machine& m, QString* error)
{
    for (Pv& p : m.pvs) {
        if (!m.partition(p.device) && !m.disk(p.device))
            return fail(error, QStringLiteral("PV %1 names no partition").arg(p.device));
        if (p.uuid.isEmpty())
            p.uuid = m.newUuid(QStringLiteral("pv:") + p.device);
        const Vg* g = m.vg(p.vg);
        if (!p.vg.isEmpty() && !g)
            return fail(error, QStringLiteral("PV %1 names the unknown group %2").arg(p.device, p.vg));
        if (g && p.peCount == 0) {
            const Partition* part = m.partition(p.device);
            const qint64 size = part ? part->sizeKiB : m.disk(p.device)->sizeKiB;
            p.peCount = Machine::extentsFor(size, g->extentKiB);
        }
    }
    for (int gi = 0; gi < m.vgs.size(); ++gi) {
        Vg& g = m.vgs[gi];
        if (!validName(g.name))
            return fail(error, QStringLiteral("invalid group name \"%1\"").arg(g.name));
        if (g.uuid.isEmpty())
            g.uuid = m.newUuid(QStringLiteral("vg:") + g.name);
        for (int li = 0; li < g.lvs.size(); ++li) {
            Lv& v = g.lvs[li];
            if (!validName(v.name))
                return fail(error, QStringLiteral("invalid volume name \"%1\"").arg(v.name));
            if (v.uuid.isEmpty())
                v.uuid = m.newUuid(QStringLiteral("lv:") + g.name + QLatin1Char('/') + v.name);
            if (!v.origin.isEmpty() && (!g.lv(v.origin) || g.lv(v.origin)->isSnapshot()))
                return fail(error, QStringLiteral("snapshot %1 has no origin %2").arg(v.name, v.origin));
            // Place segments given without a start (or without a PV) now.
            QList<Segment> placed;
            for (const Segment& s : std::as_const(v.segments))
                if (s.start >= 0)
                    placed << s;
            const QList<Segment> wanted = v.segments;
            v.segments = placed;
            for (const Segment& s : wanted) {
                if (s.start >= 0)
                    continue;
                QList<Segment> extra;
                const QStringList only = s.pv.isEmpty() ? QStringList() : QStringList{s.pv};
                if (!m.allocate(g, s.count, only, extra))
                    return fail(error, QStringLiteral("no room for %1/%2").arg(g.name, v.name));
                v.segments += extra;
            }
            if (!v.fstype.isEmpty() && v.fsSizeKiB == 0)
                v.fsSizeKiB = qint64(v.extents()) * g.extentKiB;
        }
        // A snapshot carries the file system its origin had when it was taken.
        for (Lv& v : g.lvs) {
            const Lv* origin = v.isSnapshot() ? g.lv(v.origin) : nullptr;
            if (origin && v.fstype.isEmpty()) {
                v.fstype = origin->fstype;
                v.fsSizeKiB = origin->fsSizeKiB;
            }
        }
        // Every segment must lie inside a PV of the group and overlap no other.
        for (const Pv* p : m.pvsOf(g.name)) {
            QList<QPair<int, int>> runs;
            for (const Lv& v : g.lvs)
                for (const Segment& s : v.segments)
                    if (s.pv == p->device)
                        runs << qMakePair(s.start, s.start + s.count);
            std::sort(runs.begin(), runs.end());
            for (int i = 0; i < runs.size(); ++i) {
                if (runs[i].second > p->peCount || (i > 0 && runs[i].first < runs[i - 1].second))
                    return fail(error, QStringLiteral("overlapping or oversized segments on %1").arg(p->device));
            }
        }
        for (const Lv& v : g.lvs)
            for (const Segment& s : v.segments)
                if (!m.pv(s.pv) || m.pv(s.pv)->vg != g.name || s.count <= 0)
                    return fail(error,
                                QStringLiteral("segment of %1/%2 on %3 outside the group").arg(g.name, v.name, s.pv));
    }
    for (Disk& d : m.disks)
        for (Partition& p : d.partitions)
            if (p.fsSizeKiB == 0 && !p.fstype.isEmpty())
                p.fsSizeKiB = p.sizeKiB;
    assignDeviceMinors(m);
    return true;
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
