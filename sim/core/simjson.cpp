// The JSON form of the simulated machine's state: writing it, reading it, and normalising a
// description (UUIDs, PV extent counts and segment placement filled in, everything checked).
#include "simjson.h"

#include <QJsonArray>

#include <algorithm>

namespace sim {

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

} // namespace sim
