// Today's LVM reports (fullreport, vgs, lvs, pvs): rows of named fields built from the state, printed
// as LVM2 2.03 prints them in JSON or in columns.
#include "simlvmreport.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace sim {

QString Units::size(qint64 kib) const
{
    const QChar lower = unit.toLower();
    const bool human = lower == QLatin1Char('h') || lower == QLatin1Char('r');
    const bool decimal = unit.isUpper() && !human;
    const double bytes = double(kib) * 1024;
    if (lower == QLatin1Char('b') || lower == QLatin1Char('s')) {
        const qint64 whole = lower == QLatin1Char('b') ? kib * 1024 : kib * 2;
        return QString::number(whole) + (suffix ? QString(lower.toUpper()) : QString());
    }
    if (kib == 0)
        return suffix && human ? QStringLiteral("0 ") : QStringLiteral("0");
    static const QString letters = QStringLiteral("kmgtpe");
    const double base = decimal ? 1000.0 : 1024.0;
    int power = int(letters.indexOf(lower)) + 1;
    if (human) {
        power = 1;
        while (power < 6 && bytes >= std::pow(base, power + 1))
            ++power;
    }
    const double value = bytes / std::pow(base, power);
    const QChar letter = decimal ? letters.at(power - 1).toUpper() : letters.at(power - 1);
    // The default units (r) mark a figure that rounding made larger than the size: "<17.97g".
    const QString figure = QString::number(value, 'f', 2);
    const bool roundedUp = lower == QLatin1Char('r') && figure.toDouble() > value;
    return (roundedUp ? QStringLiteral("<") : QString()) + figure + (suffix ? QString(letter) : QString());
}

namespace {

using Row = ReportRow;

// ---- the state's figures ----

const Vg* readableGroup(const Machine& m, const QString& name)
{
    const Vg* g = m.vg(name);
    return g && !g->unreadable ? g : nullptr;
}

int totalExtents(const Machine& m, const Vg& g)
{
    int total = 0;
    for (const Pv* p : m.pvsOf(g.name))
        total += p->peCount;
    return total;
}

QString num(qint64 n)
{
    return QString::number(n);
}

// Block-device numbers: sd disks take 16 minors each, partitions follow their disk's.
QPair<int, int> deviceNumbers(const Machine& m, const QString& device)
{
    for (int i = 0; i < m.disks.size(); ++i) {
        const Disk& d = m.disks[i];
        if (QStringLiteral("/dev/") + d.name == device)
            return {8, i * 16};
        for (const Partition& p : d.partitions)
            if (partitionPath(d, p) == device)
                return {8, i * 16 + p.number};
    }
    return {-1, -1};
}

// ---- rows ----

Row vgRow(const Machine& m, const Vg& g, const Units& u)
{
    const int total = totalExtents(m, g);
    const int free = m.freeExtents(g);
    const qsizetype pvs = m.pvsOf(g.name).size();
    int snapshots = 0;
    for (const Lv& v : g.lvs)
        snapshots += v.isSnapshot() ? 1 : 0;
    return {{"vg_fmt", "lvm2"},
            {"vg_uuid", g.uuid},
            {"vg_name", g.name},
            {"vg_attr", QStringLiteral("w%1--n-").arg(g.resizable ? QLatin1Char('z') : QLatin1Char('-'))},
            {"vg_permissions", "writeable"},
            {"vg_extendable", g.resizable ? QStringLiteral("extendable") : QString()},
            {"vg_exported", ""},
            {"vg_autoactivation", "enabled"},
            {"vg_partial", ""},
            {"vg_allocation_policy", "normal"},
            {"vg_clustered", ""},
            {"vg_shared", ""},
            {"vg_size", u.size(qint64(total) * g.extentKiB)},
            {"vg_free", u.size(qint64(free) * g.extentKiB)},
            {"vg_sysid", ""},
            {"vg_systemid", ""},
            {"vg_lock_type", ""},
            {"vg_lock_args", ""},
            {"vg_extent_size", u.size(g.extentKiB)},
            {"vg_extent_count", num(total)},
            {"vg_free_count", num(free)},
            {"max_lv", num(g.maxLv)},
            {"max_pv", num(g.maxPv)},
            {"pv_count", num(pvs)},
            {"vg_missing_pv_count", "0"},
            {"lv_count", num(g.lvs.size())},
            {"snap_count", num(snapshots)},
            {"vg_seqno", num(g.lvs.size() + pvs)},
            {"vg_tags", ""},
            {"vg_profile", ""},
            {"vg_mda_count", num(pvs)},
            {"vg_mda_used_count", num(pvs)},
            {"vg_mda_copies", "unmanaged"}};
}

Row pvRow(const Machine& m, const Pv& p, const Units& u)
{
    const Vg* g = readableGroup(m, p.vg);
    const qint64 deviceSize = deviceKiB(m, p.device);
    const qint64 extent = g ? g->extentKiB : 0;
    const int used = g ? m.usedExtents(*g, p.device) : 0;
    const qint64 size = g ? qint64(p.peCount) * extent : deviceSize;
    const QPair<int, int> numbers = deviceNumbers(m, p.device);
    return {{"pv_fmt", "lvm2"},
            {"pv_uuid", p.uuid},
            {"dev_size", u.size(deviceSize)},
            {"pv_name", p.device},
            {"pv_major", num(numbers.first)},
            {"pv_minor", num(numbers.second)},
            {"pv_ext_vsn", "2"},
            {"pe_start", u.size(192)},
            {"pv_size", u.size(size)},
            {"pv_free", u.size(size - qint64(used) * extent)},
            {"pv_used", u.size(qint64(used) * extent)},
            {"pv_attr", g ? QStringLiteral("a--") : QStringLiteral("---")},
            {"pv_allocatable", g ? QStringLiteral("allocatable") : QString()},
            {"pv_exported", ""},
            {"pv_missing", ""},
            {"pv_pe_count", num(g ? p.peCount : 0)},
            {"pv_pe_alloc_count", num(used)},
            {"pv_tags", ""},
            {"pv_mda_count", "1"},
            {"pv_mda_used_count", "1"},
            {"pv_ba_start", u.size(0)},
            {"pv_ba_size", u.size(0)},
            {"pv_in_use", g ? QStringLiteral("used") : QString()},
            {"pv_duplicate", ""},
            {"pv_device_id", ""},
            {"pv_device_id_type", ""}};
}

QString lvAttr(const Vg& g, const Lv& v)
{
    const bool origin = !g.snapshotsOf(v.name).isEmpty();
    QString attr = QStringLiteral("-wi-------");
    if (v.isSnapshot() || origin) {
        attr[0] = v.isSnapshot() ? QLatin1Char('s') : QLatin1Char('o');
        attr[6] = QLatin1Char('s');
    }
    if (lvActive(g, v)) {
        attr[4] = QLatin1Char('a');
        attr[5] = v.mount.mounted() ? QLatin1Char('o') : QLatin1Char('-');
    }
    return attr;
}

Row lvRow(const Machine& m, const Vg& g, const Lv& v, const Units& u)
{
    const bool active = lvActive(g, v);
    const Lv* origin = v.isSnapshot() ? g.lv(v.origin) : nullptr;
    const QStringList snapshots = g.snapshotsOf(v.name);
    const Lv* sizeOfOrigin = origin ? origin : !snapshots.isEmpty() ? &v : nullptr;
    const QString minor = active ? num(minorOf(m, g, v)) : QStringLiteral("-1");
    const QString role = v.isSnapshot()         ? QStringLiteral("public,snapshot,thicksnapshot")
                         : !snapshots.isEmpty() ? QStringLiteral("public,origin,thickorigin")
                                                : QStringLiteral("public");
    const QString unknownWhenInactive = active ? QString() : QStringLiteral("unknown");
    return {{"lv_uuid", v.uuid},
            {"lv_name", v.name},
            {"lv_full_name", g.name + QLatin1Char('/') + v.name},
            {"lv_path", QStringLiteral("/dev/%1/%2").arg(g.name, v.name)},
            {"lv_dm_path", QStringLiteral("/dev/mapper/") + dmName(g.name, v.name)},
            {"lv_parent", ""},
            {"lv_layout", "linear"},
            {"lv_role", role},
            {"lv_allocation_policy", "inherit"},
            {"lv_allocation_locked", ""},
            {"lv_fixed_minor", ""},
            {"lv_skip_activation", ""},
            {"lv_autoactivation", "enabled"},
            {"lv_active", active ? QStringLiteral("active") : QString()},
            {"lv_active_locally", active ? QStringLiteral("active locally") : QString()},
            {"lv_active_remotely", ""},
            {"lv_active_exclusively", active ? QStringLiteral("active exclusively") : QString()},
            {"lv_major", "-1"},
            {"lv_minor", "-1"},
            {"lv_read_ahead", "auto"},
            {"lv_size", u.size(qint64(v.extents()) * g.extentKiB)},
            {"lv_metadata_size", ""},
            {"seg_count", num(v.segments.size())},
            {"origin", v.origin},
            {"origin_uuid", origin ? origin->uuid : QString()},
            {"origin_size", sizeOfOrigin ? u.size(qint64(sizeOfOrigin->extents()) * g.extentKiB) : QString()},
            {"lv_ancestors", v.origin},
            {"lv_full_ancestors", v.origin},
            {"lv_descendants", snapshots.join(QLatin1Char(','))},
            {"lv_full_descendants", snapshots.join(QLatin1Char(','))},
            {"move_pv", ""},
            {"convert_lv", ""},
            {"mirror_log", ""},
            {"data_lv", ""},
            {"metadata_lv", ""},
            {"pool_lv", ""},
            {"lv_tags", ""},
            {"lv_profile", ""},
            {"lv_modules", v.isSnapshot() || !snapshots.isEmpty() ? QStringLiteral("snapshot") : QString()},
            {"lv_historical", ""},
            {"lv_kernel_major", active ? QStringLiteral("253") : QStringLiteral("-1")},
            {"lv_kernel_minor", minor},
            {"lv_kernel_read_ahead", active ? u.size(128) : QStringLiteral("-1")},
            {"lv_permissions", active ? QStringLiteral("writeable") : QStringLiteral("unknown")},
            {"lv_suspended", unknownWhenInactive},
            {"lv_live_table", active ? QStringLiteral("live table present") : QStringLiteral("unknown")},
            {"lv_inactive_table", unknownWhenInactive},
            {"lv_device_open",
             active ? (v.mount.mounted() ? QStringLiteral("open") : QString()) : QStringLiteral("unknown")},
            {"data_percent", active && v.isSnapshot() ? QStringLiteral("0.00") : QString()},
            {"snap_percent", active && v.isSnapshot() ? QStringLiteral("0.00") : QString()},
            {"metadata_percent", ""},
            {"copy_percent", ""},
            {"sync_percent", ""},
            {"lv_health_status", ""},
            {"lv_attr", lvAttr(g, v)}};
}

Row segRow(const Vg& g, const Lv& v, int index, const Units& u)
{
    int le = 0;
    for (int i = 0; i < index; ++i)
        le += v.segments[i].count;
    const Segment& s = v.segments[index];
    const QString range = QStringLiteral("%1:%2-%3").arg(s.pv).arg(s.start).arg(s.start + s.count - 1);
    return {{"segtype", "linear"},
            {"stripes", "1"},
            {"data_stripes", "1"},
            {"data_copies", "1"},
            {"stripe_size", u.size(0)},
            {"region_size", u.size(0)},
            {"chunk_size", u.size(v.isSnapshot() ? 4 : 0)},
            {"zero", "unknown"},
            {"seg_start", u.size(qint64(le) * g.extentKiB)},
            {"seg_start_pe", num(le)},
            {"seg_size", u.size(qint64(s.count) * g.extentKiB)},
            {"seg_size_pe", num(s.count)},
            {"seg_tags", ""},
            {"seg_pe_ranges", range},
            {"seg_le_ranges", range},
            {"devices", QStringLiteral("%1(%2)").arg(s.pv).arg(s.start)},
            {"seg_monitor", ""},
            {"lv_uuid", v.uuid}};
}

// A PV's extents in order: runs of a volume and free runs between them.
struct PvSegment {
    int start = 0;
    int size = 0;
    const Lv* lv = nullptr;
};

QList<PvSegment> pvSegments(const Machine& m, const Pv& p)
{
    const Vg* g = readableGroup(m, p.vg);
    if (!g)
        return {PvSegment{}};
    QList<PvSegment> taken;
    for (const Lv& v : g->lvs)
        for (const Segment& s : v.segments)
            if (s.pv == p.device)
                taken << PvSegment{s.start, s.count, &v};
    std::sort(taken.begin(), taken.end(), [](const PvSegment& a, const PvSegment& b) { return a.start < b.start; });
    QList<PvSegment> all;
    int next = 0;
    for (const PvSegment& s : taken) {
        if (s.start > next)
            all << PvSegment{next, s.start - next, nullptr};
        all << s;
        next = s.start + s.size;
    }
    if (next < p.peCount)
        all << PvSegment{next, p.peCount - next, nullptr};
    return all;
}

Row pvsegRow(const Pv& p, const PvSegment& s)
{
    return {{"pvseg_start", num(s.start)},
            {"pvseg_size", num(s.size)},
            {"pv_uuid", p.uuid},
            {"lv_uuid", s.lv ? s.lv->uuid : QString()}};
}

// ---- what a report covers ----

// By name, as LVM2 processes groups.
QList<const Vg*> readableGroups(const Machine& m)
{
    QList<const Vg*> groups;
    for (const Vg& g : m.vgs)
        if (!g.unreadable)
            groups << &g;
    std::sort(groups.begin(), groups.end(), [](const Vg* a, const Vg* b) { return a->name < b->name; });
    return groups;
}

QList<const Lv*> sortedVolumes(const Vg& g)
{
    QList<const Lv*> volumes;
    for (const Lv& v : g.lvs)
        volumes << &v;
    std::sort(volumes.begin(), volumes.end(), [](const Lv* a, const Lv* b) { return a->name < b->name; });
    return volumes;
}

// PVs of readable groups and orphans; those of an unreadable group cannot be reported.
bool reportable(const Machine& m, const Pv& p)
{
    return p.vg.isEmpty() || readableGroup(m, p.vg);
}

void warnUnreadable(const Machine& m, Output& o)
{
    for (const Vg& g : m.vgs)
        if (g.unreadable)
            o.errLine(QStringLiteral("  WARNING: %1: skipping volume group %2").arg(g.readError, g.name));
}

// ---- printing ----

QString jsonText(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString jsonArray(const QString& key, const QList<Row>& rows)
{
    QStringList lines;
    for (const Row& row : rows) {
        QStringList pairs;
        for (const auto& [name, value] : row)
            pairs << jsonText(name) + QLatin1Char(':') + jsonText(value);
        lines << QStringLiteral("                  {") + pairs.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    QString text = QStringLiteral("              %1: [\n").arg(jsonText(key));
    if (!lines.isEmpty())
        text += lines.join(QStringLiteral(",\n")) + QLatin1Char('\n');
    return text + QStringLiteral("              ]");
}

// One report element per entry, each a list of (key, rows) arrays.
using Element = QList<QPair<QString, QList<Row>>>;

QString jsonReport(const QList<Element>& elements)
{
    QStringList texts;
    for (const Element& element : elements) {
        QStringList arrays;
        for (const auto& [key, rows] : element)
            arrays << jsonArray(key, rows);
        texts << QStringLiteral("          {\n") + arrays.join(QStringLiteral("\n              ,\n")) +
                     QStringLiteral("\n          }");
    }
    QString text = QStringLiteral("  {\n      \"report\": [\n");
    if (!texts.isEmpty())
        text += texts.join(QStringLiteral("\n          ,\n")) + QLatin1Char('\n');
    return text + QStringLiteral("      ]\n  }\n");
}

QString heading(const QString& field)
{
    static const QMap<QString, QString> headings{{"vg_name", "VG"},
                                                 {"pv_count", "#PV"},
                                                 {"lv_count", "#LV"},
                                                 {"snap_count", "#SN"},
                                                 {"vg_attr", "Attr"},
                                                 {"vg_size", "VSize"},
                                                 {"vg_free", "VFree"},
                                                 {"vg_uuid", "VG UUID"},
                                                 {"vg_extent_size", "Ext"},
                                                 {"vg_extent_count", "#Ext"},
                                                 {"vg_free_count", "Free"},
                                                 {"max_lv", "MaxLV"},
                                                 {"max_pv", "MaxPV"},
                                                 {"vg_seqno", "Seq"},
                                                 {"pv_name", "PV"},
                                                 {"pv_fmt", "Fmt"},
                                                 {"pv_attr", "Attr"},
                                                 {"pv_size", "PSize"},
                                                 {"pv_free", "PFree"},
                                                 {"pv_uuid", "PV UUID"},
                                                 {"dev_size", "DevSize"},
                                                 {"pv_used", "Used"},
                                                 {"pv_pe_count", "PE"},
                                                 {"pv_pe_alloc_count", "Alloc"},
                                                 {"pvseg_start", "Start"},
                                                 {"pvseg_size", "SSize"},
                                                 {"lv_name", "LV"},
                                                 {"lv_attr", "Attr"},
                                                 {"lv_size", "LSize"},
                                                 {"pool_lv", "Pool"},
                                                 {"origin", "Origin"},
                                                 {"data_percent", "Data%"},
                                                 {"metadata_percent", "Meta%"},
                                                 {"move_pv", "Move"},
                                                 {"mirror_log", "Log"},
                                                 {"copy_percent", "Cpy%Sync"},
                                                 {"convert_lv", "Convert"},
                                                 {"lv_uuid", "LV UUID"},
                                                 {"lv_path", "Path"},
                                                 {"lv_dm_path", "DMPath"},
                                                 {"lv_active", "Active"},
                                                 {"lv_kernel_major", "KMaj"},
                                                 {"lv_kernel_minor", "KMin"},
                                                 {"origin_size", "OSize"},
                                                 {"stripes", "#Str"},
                                                 {"segtype", "Type"},
                                                 {"seg_size", "SSize"},
                                                 {"devices", "Devices"},
                                                 {"seg_pe_ranges", "PE Ranges"},
                                                 {"seg_count", "#Seg"},
                                                 {"lv_role", "Role"}};
    return headings.value(field, field);
}

bool rightAligned(const QString& field)
{
    static const QSet<QString> numeric{
        "pv_count",        "lv_count",       "snap_count",  "vg_size",     "vg_free",           "vg_extent_size",
        "vg_extent_count", "vg_free_count",  "max_lv",      "max_pv",      "vg_seqno",          "pv_size",
        "pv_free",         "dev_size",       "pv_used",     "pv_pe_count", "pv_pe_alloc_count", "pvseg_start",
        "pvseg_size",      "lv_size",        "origin_size", "stripes",     "seg_size",          "seg_count",
        "lv_kernel_major", "lv_kernel_minor"};
    return numeric.contains(field);
}

QString columns(const QList<Row>& rows, const QStringList& fields, bool headings, const QString& separator)
{
    QList<qsizetype> widths;
    for (int i = 0; i < fields.size(); ++i) {
        qsizetype width = headings ? heading(fields[i]).size() : 0;
        for (const Row& row : rows)
            width = std::max(width, row[i].second.size());
        widths << width;
    }
    const bool aligned = separator.isNull();
    auto line = [&](const QStringList& cells, bool isHeading) {
        QStringList padded;
        for (int i = 0; i < cells.size(); ++i)
            padded << (!aligned                                ? cells[i]
                       : rightAligned(fields[i]) && !isHeading ? cells[i].rightJustified(widths[i])
                                                               : cells[i].leftJustified(widths[i]));
        return QStringLiteral("  ") + padded.join(aligned ? QStringLiteral(" ") : separator) + QLatin1Char('\n');
    };
    QString text;
    if (headings) {
        QStringList names;
        for (const QString& f : fields)
            names << heading(f);
        text += line(names, true);
    }
    for (const Row& row : rows) {
        QStringList cells;
        for (const auto& cell : row)
            cells << cell.second;
        text += line(cells, false);
    }
    return text;
}

// ---- the report commands ----

enum class Kind { Vg, Lv, Pv };

struct ReportOptions {
    Units units;
    bool json = false;
    bool segments = false;
    bool headings = true;
    QString separator;
    QStringList fields; // empty entries never; "+x" already merged
    QStringList names;  // positional arguments
};

QStringList defaultFields(Kind kind, bool segments)
{
    switch (kind) {
    case Kind::Vg:
        return {"vg_name", "pv_count", "lv_count", "snap_count", "vg_attr", "vg_size", "vg_free"};
    case Kind::Lv:
        return segments ? QStringList{"lv_name", "vg_name", "lv_attr", "stripes", "segtype", "seg_size"}
                        : QStringList{"lv_name", "vg_name",    "lv_attr",      "lv_size",
                                      "pool_lv", "origin",     "data_percent", "metadata_percent",
                                      "move_pv", "mirror_log", "copy_percent", "convert_lv"};
    case Kind::Pv:
        break;
    }
    QStringList fields{"pv_name", "vg_name", "pv_fmt", "pv_attr", "pv_size", "pv_free"};
    if (segments)
        fields << "pvseg_start"
               << "pvseg_size";
    return fields;
}

// Parses a report command line; an empty `error` on success, else the text for stderr (exit 3).
ReportOptions parseReport(const QString& command, Kind kind, const QStringList& args, QString* error)
{
    const QMap<QString, QChar> longNames{
        {"options", QLatin1Char('o')},      {"sort", QLatin1Char('O')},       {"all", QLatin1Char('a')},
        {"reportformat", QLatin1Char('1')}, {"units", QLatin1Char('2')},      {"nosuffix", QLatin1Char('3')},
        {"segments", QLatin1Char('4')},     {"noheadings", QLatin1Char('5')}, {"separator", QLatin1Char('6')},
        {"unbuffered", QLatin1Char('7')},   {"aligned", QLatin1Char('8')},    {"readonly", QLatin1Char('9')},
        {"verbose", QLatin1Char('v')},      {"debug", QLatin1Char('d')}};
    const Options opts = parseOptions(args, QStringLiteral("oO126"), QStringLiteral("a345789vd"), longNames);
    ReportOptions r;
    if (!opts.error.isEmpty()) {
        *error = QStringLiteral("%1: %2\n  Error during parsing of command line.").arg(command, opts.error);
        return r;
    }
    const QString format = opts.value(QLatin1Char('1'));
    if (opts.has(QLatin1Char('1')) && format != QLatin1String("json") && format != QLatin1String("basic")) {
        *error = QStringLiteral("  Invalid argument for --reportformat: %1\n  Error during parsing of command line.")
                     .arg(format);
        return r;
    }
    const QString units = opts.value(QLatin1Char('2'));
    if (opts.has(QLatin1Char('2'))) {
        if (units.size() != 1 || !QStringLiteral("rRhHbBsSkKmMgGtTpPeE").contains(units)) {
            *error = QStringLiteral("  Invalid argument for --units: %1\n  Error during parsing of command line.")
                         .arg(units);
            return r;
        }
        r.units.unit = units.at(0);
    }
    r.units.suffix = !opts.has(QLatin1Char('3'));
    r.json = format == QLatin1String("json");
    r.segments = opts.has(QLatin1Char('4'));
    r.headings = !opts.has(QLatin1Char('5'));
    if (opts.has(QLatin1Char('6')))
        r.separator = opts.value(QLatin1Char('6'));
    const QStringList defaults = defaultFields(kind, r.segments);
    for (const QString& list : opts.values.value(QLatin1Char('o'))) {
        QString fieldList = list;
        if (fieldList.startsWith(QLatin1Char('+'))) {
            r.fields = r.fields.isEmpty() ? defaults : r.fields;
            fieldList = fieldList.mid(1);
        }
        r.fields += fieldList.split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    if (r.fields.isEmpty())
        r.fields = defaults;
    r.names = opts.positional;
    return r;
}

// The field a report names, as LVM resolves a name without its prefix ("size" in vgs: vg_size).
QString resolveField(const QString& name, Kind kind, const QSet<QString>& known)
{
    const QString field = name.trimmed();
    if (known.contains(field))
        return field;
    const QString prefix = kind == Kind::Vg   ? QStringLiteral("vg_")
                           : kind == Kind::Lv ? QStringLiteral("lv_")
                                              : QStringLiteral("pv_");
    return known.contains(prefix + field) ? prefix + field : QString();
}

Row merged(const QList<Row>& parts)
{
    Row all;
    for (const Row& part : parts)
        all += part;
    return all;
}

QString valueOf(const Row& row, const QString& field)
{
    for (const auto& [name, value] : row)
        if (name == field)
            return value;
    return QString();
}

// Rows of every field for one report kind; `perSegment` splits volumes by segment and PVs by run.
QList<Row> fullRows(const Machine& m, Kind kind, bool perSegment, const QStringList& names, const Units& u, Output& o,
                    int* code)
{
    QList<Row> rows;
    if (kind == Kind::Pv) {
        QList<const Pv*> pvs;
        for (const Pv& p : m.pvs)
            if (reportable(m, p) && (names.isEmpty() || names.contains(p.device)))
                pvs << &p;
        for (const QString& name : names) {
            if (std::none_of(pvs.begin(), pvs.end(), [&](const Pv* p) { return p->device == name; })) {
                o.errLine(QStringLiteral("  Failed to find physical volume \"%1\".").arg(name));
                *code = 5;
            }
        }
        std::sort(pvs.begin(), pvs.end(), [](const Pv* a, const Pv* b) { return a->device < b->device; });
        for (const Pv* p : pvs) {
            const Vg* g = readableGroup(m, p->vg);
            const Row base = merged({pvRow(m, *p, u), g ? vgRow(m, *g, u) : Row{{"vg_name", ""}}});
            if (!perSegment) {
                rows << base;
                continue;
            }
            for (const PvSegment& s : pvSegments(m, *p)) {
                Row row = merged({base, pvsegRow(*p, s)});
                if (s.lv)
                    row = merged({row, lvRow(m, *g, *s.lv, u)});
                else
                    row << qMakePair(QStringLiteral("lv_name"), QString());
                rows << row;
            }
        }
        return rows;
    }
    QList<const Vg*> groups;
    QStringList wantedVolumes;
    for (const QString& name : names) {
        QString vgName = name, lvName;
        if (kind == Kind::Lv && splitLvPath(name, &vgName, &lvName))
            wantedVolumes << vgName + QLatin1Char('/') + lvName;
        const Vg* g = readableGroup(m, vgName.startsWith(QLatin1String("/dev/")) ? vgName.mid(5) : vgName);
        if (!g) {
            o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(vgName));
            o.errLine(QStringLiteral("  Cannot process volume group %1").arg(vgName));
            *code = 5;
        } else if (!lvName.isEmpty() && !g->lv(lvName)) {
            o.errLine(QStringLiteral("  Failed to find logical volume \"%1/%2\"").arg(vgName, lvName));
            *code = 5;
        } else if (!groups.contains(g)) {
            groups << g;
        }
    }
    if (names.isEmpty())
        groups = readableGroups(m);
    std::sort(groups.begin(), groups.end(), [](const Vg* a, const Vg* b) { return a->name < b->name; });
    for (const Vg* g : groups) {
        const Row vg = vgRow(m, *g, u);
        if (kind == Kind::Vg) {
            rows << vg;
            continue;
        }
        for (const Lv* v : sortedVolumes(*g)) {
            const bool named = wantedVolumes.contains(g->name + QLatin1Char('/') + v->name);
            if (!names.contains(g->name) && !names.isEmpty() && !named)
                continue;
            const Row lv = merged({lvRow(m, *g, *v, u), vg});
            if (!perSegment)
                rows << lv;
            for (int i = 0; perSegment && i < v->segments.size(); ++i)
                rows << merged({segRow(*g, *v, i, u), lv});
        }
    }
    return rows;
}

QSet<QString> knownFields(const Machine& m, Kind kind)
{
    // The names of every field a row of this kind can carry, taken from sample rows.
    const Units u;
    Vg g;
    Lv v;
    v.segments << Segment{};
    Pv p;
    QSet<QString> known;
    QList<Row> samples{vgRow(m, g, u), lvRow(m, g, v, u), segRow(g, v, 0, u), pvRow(m, p, u), pvsegRow(p, PvSegment{})};
    if (kind == Kind::Vg)
        samples = {vgRow(m, g, u)};
    for (const Row& row : samples)
        for (const auto& cell : row)
            known << cell.first;
    return known;
}

QSet<QString> fieldsOf(const Row& row)
{
    QSet<QString> names;
    for (const auto& cell : row)
        names << cell.first;
    return names;
}

int report(const QString& command, Kind kind, const Machine& m, const QStringList& args, Output& o)
{
    QString error;
    const ReportOptions r = parseReport(command, kind, args, &error);
    if (!error.isEmpty())
        return o.fail(3, error);
    const QSet<QString> known = knownFields(m, kind);
    QStringList fields;
    for (const QString& name : r.fields) {
        const QString field = resolveField(name, kind, known);
        if (field.isEmpty()) {
            if (r.json)
                o.out(jsonReport({}));
            return o.fail(5, QStringLiteral("  Unrecognised field: %1").arg(name.trimmed()));
        }
        fields << field;
    }
    // A field of a segment makes the report one row per segment, as LVM does.
    const Vg sampleGroup;
    Lv sampleVolume;
    sampleVolume.segments << Segment{};
    // pvs also splits by run for a volume's fields: each run names its volume.
    const QSet<QString> segmentFields = kind == Kind::Lv ? fieldsOf(segRow(sampleGroup, sampleVolume, 0, Units()))
                                                         : fieldsOf(pvsegRow(Pv(), PvSegment{})) +
                                                               fieldsOf(lvRow(m, sampleGroup, sampleVolume, Units()));
    const bool perSegment =
        r.segments ||
        (kind != Kind::Vg && std::any_of(fields.begin(), fields.end(), [&](const QString& f) {
             return segmentFields.contains(f) && f != QLatin1String("lv_uuid") && f != QLatin1String("pv_uuid");
         }));
    warnUnreadable(m, o);
    int code = 0;
    QList<Row> rows;
    for (const Row& full : fullRows(m, kind, perSegment, r.names, r.units, o, &code)) {
        Row row;
        for (const QString& f : fields)
            row << qMakePair(f, valueOf(full, f));
        rows << row;
    }
    if (r.json) {
        const QString key = kind == Kind::Vg   ? QStringLiteral("vg")
                            : kind == Kind::Lv ? (r.segments ? QStringLiteral("seg") : QStringLiteral("lv"))
                                               : (r.segments ? QStringLiteral("pvseg") : QStringLiteral("pv"));
        o.out(jsonReport({Element{qMakePair(key, rows)}}));
    } else if (!rows.isEmpty()) {
        o.out(columns(rows, fields, r.headings, r.separator));
    }
    return code;
}

// fullreport prints every field of every object, one element per group and one for the orphan PVs.
int fullreport(const Machine& m, const QStringList& args, Output& o)
{
    QString error;
    const ReportOptions r = parseReport(QStringLiteral("fullreport"), Kind::Vg, args, &error);
    if (!error.isEmpty())
        return o.fail(3, error);
    const Units& u = r.units;
    warnUnreadable(m, o);
    QList<Element> elements;
    for (const Vg* g : readableGroups(m)) {
        if (!r.names.isEmpty() && !r.names.contains(g->name))
            continue;
        QList<Row> pvs, lvs, pvsegs, segs;
        for (const Pv* p : m.pvsOf(g->name)) {
            pvs << pvRow(m, *p, u);
            for (const PvSegment& s : pvSegments(m, *p))
                pvsegs << pvsegRow(*p, s);
        }
        for (const Lv* v : sortedVolumes(*g)) {
            lvs << lvRow(m, *g, *v, u);
            for (int i = 0; i < v->segments.size(); ++i)
                segs << segRow(*g, *v, i, u);
        }
        elements << Element{{"vg", {vgRow(m, *g, u)}}, {"pv", pvs}, {"lv", lvs}, {"pvseg", pvsegs}, {"seg", segs}};
    }
    QList<Row> orphans, orphanSegs;
    for (const Pv& p : m.pvs) {
        if (!p.vg.isEmpty() || !r.names.isEmpty())
            continue;
        orphans << pvRow(m, p, u);
        orphanSegs << pvsegRow(p, PvSegment{});
    }
    if (!orphans.isEmpty())
        elements << Element{{"pv", orphans}, {"pvseg", orphanSegs}};
    if (r.json) {
        o.out(jsonReport(elements));
        return 0;
    }
    for (const Element& element : elements)
        for (const auto& [key, rows] : element)
            if (!rows.isEmpty()) {
                QStringList fields;
                for (const auto& cell : rows.first())
                    fields << cell.first;
                o.out(columns(rows, fields, r.headings, r.separator));
            }
    return 0;
}

} // namespace

int lvmReport(const QString& command, const Machine& m, const QStringList& args, Output& o)
{
    if (command == QLatin1String("fullreport"))
        return fullreport(m, args, o);
    if (command == QLatin1String("vgs"))
        return report(command, Kind::Vg, m, args, o);
    if (command == QLatin1String("lvs"))
        return report(command, Kind::Lv, m, args, o);
    if (command == QLatin1String("pvs"))
        return report(command, Kind::Pv, m, args, o);
    return -1;
}

} // namespace sim
