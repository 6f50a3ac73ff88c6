// Today's device tools (util-linux 2.38): lsblk's tree of disks, partitions and active volumes, and
// blkid's probe of file systems and PV labels.
#include "simtools.h"

#include <QCryptographicHash>
#include <QVariant>

#include <functional>

namespace sim {

namespace {

// ---- what is on a device ----

// A block device as lsblk and blkid see it: a disk, a partition or an active volume.
struct BlockDevice {
    const Disk* disk = nullptr;
    const Partition* partition = nullptr;
    const Vg* vg = nullptr;
    const Lv* lv = nullptr;

    bool exists() const { return disk || (lv && lvActive(*vg, *lv)); }
    QString name() const
    {
        return lv          ? dmName(vg->name, lv->name)
               : partition ? disk->name + QString::number(partition->number)
                           : disk->name;
    }
    QString path() const { return lv ? QStringLiteral("/dev/mapper/") + name() : QStringLiteral("/dev/") + name(); }
};

BlockDevice findDevice(const Machine& m, const QString& path)
{
    BlockDevice d;
    for (const Disk& disk : m.disks) {
        if (QStringLiteral("/dev/") + disk.name == path) {
            d.disk = &disk;
            return d;
        }
        for (const Partition& p : disk.partitions) {
            if (partitionPath(disk, p) == path) {
                d.disk = &disk;
                d.partition = &p;
                return d;
            }
        }
    }
    QString vgName, lvName;
    const Vg* g = splitLvPath(path, &vgName, &lvName) ? m.vg(vgName) : nullptr;
    const Lv* v = g && !g->unreadable ? g->lv(lvName) : nullptr;
    if (v) {
        d.vg = g;
        d.lv = v;
    }
    return d;
}

// blkid's name for the file system the state records ("FAT32" → "vfat", "LINUX-SWAP" → "swap").
QString blkidName(const QString& fstype)
{
    const QString lower = fstype.toLower();
    if (lower.startsWith(QLatin1String("fat")) || lower == QLatin1String("vfat"))
        return QStringLiteral("vfat");
    if (lower.contains(QLatin1String("swap")))
        return QStringLiteral("swap");
    static const QStringList kept = {"ntfs", "reiserfs", "xfs", "btrfs", "jfs"};
    if (lower.startsWith(QLatin1String("ext")) || kept.contains(lower))
        return lower;
    return QString();
}

QString probed(const Machine& m, const BlockDevice& d)
{
    if (!d.exists())
        return QString();
    if (d.lv)
        return blkidName(d.lv->fstype);
    if (!d.partition)
        return QString();
    const QString path = d.path();
    if (m.pv(path))
        return QStringLiteral("LVM2_member");
    return blkidName(d.partition->fstype);
}

QByteArray digest(const QString& seed)
{
    return QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Sha256).toHex();
}

// A file system's UUID in the shape its type uses, stable for the device and type.
QString fsUuid(const Machine& m, const BlockDevice& d, const QString& type)
{
    if (type == QLatin1String("LVM2_member"))
        return m.pv(d.path())->uuid;
    // A snapshot is a block copy of its origin, file-system UUID included.
    const Lv* source = d.lv && d.lv->isSnapshot() && d.vg->lv(d.lv->origin) ? d.vg->lv(d.lv->origin) : d.lv;
    const QString hex = QString::fromLatin1(digest((source ? source->uuid : d.path()) + QLatin1Char(':') + type));
    if (type == QLatin1String("vfat"))
        return (hex.left(4) + QLatin1Char('-') + hex.mid(4, 4)).toUpper();
    if (type == QLatin1String("ntfs"))
        return hex.left(16).toUpper();
    return QStringLiteral("%1-%2-%3-%4-%5")
        .arg(hex.left(8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12));
}

QString diskId(const Disk& d)
{
    return QString::fromLatin1(digest(QStringLiteral("disk:") + d.name).left(8));
}

// ---- blkid ----

// The tags blkid prints for a device, in its order; empty when it finds nothing.
QList<QPair<QString, QString>> blkidTags(const Machine& m, const BlockDevice& d)
{
    QList<QPair<QString, QString>> tags;
    if (!d.exists() || (d.disk && d.disk->kind != QLatin1String("DISK")))
        return tags;
    if (d.disk && !d.partition) {
        if (!d.disk->partitions.isEmpty())
            tags << qMakePair(QStringLiteral("PTUUID"), diskId(*d.disk)) << qMakePair(QStringLiteral("PTTYPE"), "dos");
        return tags;
    }
    const QString type = probed(m, d);
    if (d.partition && d.partition->system == QLatin1String("extended"))
        tags << qMakePair(QStringLiteral("PTTYPE"), QStringLiteral("dos"));
    if (!type.isEmpty()) {
        if (d.partition && !d.partition->label.isEmpty() && type != QLatin1String("LVM2_member"))
            tags << qMakePair(QStringLiteral("LABEL"), d.partition->label);
        tags << qMakePair(QStringLiteral("UUID"), fsUuid(m, d, type));
        if (type == QLatin1String("ext3"))
            tags << qMakePair(QStringLiteral("SEC_TYPE"), QStringLiteral("ext2"));
        if (type.startsWith(QLatin1String("ext")) || type == QLatin1String("reiserfs"))
            tags << qMakePair(QStringLiteral("BLOCK_SIZE"), QStringLiteral("4096"));
        if (type == QLatin1String("vfat") || type == QLatin1String("ntfs"))
            tags << qMakePair(QStringLiteral("BLOCK_SIZE"), QStringLiteral("512"));
        tags << qMakePair(QStringLiteral("TYPE"), type);
    }
    if (d.partition)
        tags << qMakePair(
            QStringLiteral("PARTUUID"),
            QStringLiteral("%1-%2").arg(diskId(*d.disk)).arg(d.partition->number, 2, 10, QLatin1Char('0')));
    return tags;
}

// Every device blkid lists without arguments, in the kernel's order: disks, partitions, volumes.
QStringList allDevicePaths(const Machine& m)
{
    QStringList paths;
    for (const Disk& d : m.disks) {
        paths << QStringLiteral("/dev/") + d.name;
        for (const Partition& p : d.partitions)
            paths << partitionPath(d, p);
    }
    for (const Vg& g : m.vgs)
        if (!g.unreadable)
            for (const Lv& v : g.lvs)
                if (lvActive(g, v))
                    paths << QStringLiteral("/dev/mapper/") + dmName(g.name, v.name);
    return paths;
}

} // namespace

int runBlkid(Machine& m, const QStringList& args, Output& o, bool*)
{
    const QMap<QString, QChar> longNames{{"output", QLatin1Char('o')},
                                         {"match-tag", QLatin1Char('s')},
                                         {"cache-file", QLatin1Char('c')},
                                         {"probe", QLatin1Char('p')}};
    const Options opts = parseOptions(args, QStringLiteral("osc"), QStringLiteral("pw"), longNames);
    if (!opts.error.isEmpty())
        return o.fail(4, QStringLiteral("blkid: %1\nTry 'blkid --help' for more information.").arg(opts.error));
    const QString format = opts.has(QLatin1Char('o')) ? opts.value(QLatin1Char('o')) : QStringLiteral("full");
    if (!QStringList{"full", "export", "value"}.contains(format))
        return o.fail(4, QStringLiteral("blkid: unsupported output format %1").arg(format));
    const QStringList only = opts.values.value(QLatin1Char('s'));
    const QStringList devices = opts.positional.isEmpty() ? allDevicePaths(m) : opts.positional;
    QStringList blocks;
    for (const QString& path : devices) {
        QList<QPair<QString, QString>> tags;
        for (const auto& tag : blkidTags(m, findDevice(m, path)))
            if (only.isEmpty() || only.contains(tag.first))
                tags << tag;
        if (tags.isEmpty())
            continue;
        QStringList parts;
        for (const auto& [key, value] : tags)
            parts << (format == QLatin1String("value")    ? value
                      : format == QLatin1String("export") ? key + QLatin1Char('=') + value
                                                          : QStringLiteral("%1=\"%2\"").arg(key, value));
        if (format == QLatin1String("full"))
            blocks << path + QStringLiteral(": ") + parts.join(QLatin1Char(' ')) + QLatin1Char('\n');
        else if (format == QLatin1String("export"))
            blocks << QStringLiteral("DEVNAME=") + path + QLatin1Char('\n') + parts.join(QLatin1Char('\n')) +
                          QLatin1Char('\n');
        else
            blocks << parts.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    // Exported devices are set apart by an empty line.
    o.out(blocks.join(format == QLatin1String("export") ? QStringLiteral("\n") : QString()));
    return blocks.isEmpty() ? 2 : 0;
}

namespace {

// ---- lsblk ----

QPair<QString, QString> partitionType(const QString& system)
{
    static const QMap<QString, QPair<QString, QString>> types{{"Linux", {"0x83", "Linux"}},
                                                              {"Linux swap", {"0x82", "Linux swap / Solaris"}},
                                                              {"extended", {"0x5", "Extended"}},
                                                              {"Linux LVM", {"0x8e", "Linux LVM"}},
                                                              {"HPFS/NTFS", {"0x7", "HPFS/NTFS/exFAT"}},
                                                              {"W95 FAT32", {"0xb", "W95 FAT32"}},
                                                              {"W95 FAT32 (LBA)", {"0xc", "W95 FAT32 (LBA)"}},
                                                              {"W95 FAT16 (LBA)", {"0xe", "W95 FAT16 (LBA)"}}};
    return types.value(system, qMakePair(QStringLiteral("0x83"), QStringLiteral("Linux")));
}

// util-linux's short human sizes: "80G", "29.3G", "1K".
QString humanSize(qint64 bytes)
{
    static const char letters[] = "BKMGTPE";
    int exp = 0;
    while (exp < 60 && quint64(bytes) >= (quint64(1) << (exp + 10)))
        exp += 10;
    qint64 whole = exp ? bytes >> exp : bytes;
    quint64 frac = exp ? quint64(bytes) & ((quint64(1) << exp) - 1) : 0;
    if (frac) {
        frac = (frac * 1000) / (quint64(1) << exp);
        frac = (frac + 50) / 100;
        if (frac == 10) {
            ++whole;
            frac = 0;
        }
    }
    const QChar letter = QLatin1Char(letters[exp / 10]);
    return frac ? QStringLiteral("%1.%2%3").arg(whole).arg(frac).arg(letter)
                : QStringLiteral("%1%2").arg(whole).arg(letter);
}

struct LsblkOptions {
    QStringList columns{"NAME", "MAJ:MIN", "RM", "SIZE", "RO", "TYPE", "MOUNTPOINTS"};
    bool json = false;
    bool bytes = false;
    bool list = false;
    bool pairs = false;
    bool headings = true;
    bool paths = false;
    bool nodeps = false;
};

// A node of lsblk's tree: a device and the parent it is shown under.
struct Node {
    BlockDevice device;
    QString parent;
    QList<Node> children;
};

QList<Node> childrenOf(const Machine& m, const BlockDevice& d)
{
    QList<Node> children;
    if (d.disk && !d.partition) {
        for (const Partition& p : d.disk->partitions) {
            BlockDevice part;
            part.disk = d.disk;
            part.partition = &p;
            children << Node{part, d.name(), childrenOf(m, part)};
        }
        return children;
    }
    if (!d.partition || !m.pv(d.path()))
        return children;
    const Pv* pv = m.pv(d.path());
    const Vg* g = m.vg(pv->vg);
    if (!g || g->unreadable)
        return children;
    for (const Lv& v : g->lvs) {
        const bool onPv =
            std::any_of(v.segments.begin(), v.segments.end(), [&](const Segment& s) { return s.pv == pv->device; });
        if (!onPv || !lvActive(*g, v))
            continue;
        BlockDevice volume;
        volume.vg = g;
        volume.lv = &v;
        children << Node{volume, d.name(), {}};
    }
    return children;
}

// The name of the device a volume is shown under when it is listed on its own: its first PV.
QString firstParent(const BlockDevice& d)
{
    if (d.partition)
        return d.disk->name;
    if (!d.lv || d.lv->segments.isEmpty())
        return QString();
    return d.lv->segments.first().pv.mid(5);
}

qint64 sizeBytes(const BlockDevice& d)
{
    if (d.lv) {
        // A snapshot's device is as large as its origin.
        const Lv* origin = d.lv->isSnapshot() ? d.vg->lv(d.lv->origin) : nullptr;
        return qint64((origin ? origin : d.lv)->extents()) * d.vg->extentKiB * 1024;
    }
    if (d.partition)
        return d.partition->system == QLatin1String("extended") ? 1024 : d.partition->sizeKiB * 1024;
    return d.disk->sizeKiB * 1024;
}

QString majorMinor(const Machine& m, const BlockDevice& d)
{
    if (d.lv)
        return QStringLiteral("253:%1").arg(minorOf(m, *d.vg, *d.lv));
    if (d.disk->kind != QLatin1String("DISK"))
        return QStringLiteral("11:0");
    const qsizetype index =
        std::find_if(m.disks.begin(), m.disks.end(), [&](const Disk& x) { return &x == d.disk; }) - m.disks.begin();
    return QStringLiteral("8:%1").arg(index * 16 + (d.partition ? d.partition->number : 0));
}

// A cell: a string, a number (bytes), a boolean, or null (an unset QVariant).
QVariant cell(const Machine& m, const BlockDevice& d, const QString& parent, const QString& column,
              const LsblkOptions& opts)
{
    const QString mountDir = d.lv ? d.lv->mount.dir : d.partition ? d.partition->mount.dir : QString();
    const QString type = probed(m, d);
    const bool udev = m.udev;
    if (column == QLatin1String("NAME"))
        return opts.paths ? d.path() : d.name();
    if (column == QLatin1String("KNAME"))
        return d.lv ? QStringLiteral("dm-%1").arg(minorOf(m, *d.vg, *d.lv)) : d.name();
    if (column == QLatin1String("PATH"))
        return d.path();
    if (column == QLatin1String("MAJ:MIN"))
        return majorMinor(m, d);
    if (column == QLatin1String("RM"))
        return d.disk && d.disk->kind != QLatin1String("DISK");
    if (column == QLatin1String("RO"))
        return false;
    if (column == QLatin1String("SIZE"))
        return opts.bytes ? QVariant(sizeBytes(d)) : QVariant(humanSize(sizeBytes(d)));
    if (column == QLatin1String("TYPE"))
        return d.lv                                    ? QStringLiteral("lvm")
               : d.partition                           ? QStringLiteral("part")
               : d.disk->kind == QLatin1String("DISK") ? QStringLiteral("disk")
                                                       : QStringLiteral("rom");
    if (column == QLatin1String("MOUNTPOINT") || column == QLatin1String("MOUNTPOINTS"))
        return mountDir.isEmpty() ? QVariant() : QVariant(mountDir);
    if (column == QLatin1String("PKNAME"))
        return parent.isEmpty() ? QVariant() : QVariant(opts.paths ? QStringLiteral("/dev/") + parent : parent);
    if (column == QLatin1String("MODEL"))
        return d.disk && !d.partition ? QVariant(d.disk->model) : QVariant();
    // What follows comes from udev's database, which a container lacks.
    if (!udev)
        return QVariant();
    if (column == QLatin1String("FSTYPE"))
        return type.isEmpty() ? QVariant() : QVariant(type);
    if (column == QLatin1String("UUID"))
        return type.isEmpty() ? QVariant() : QVariant(fsUuid(m, d, type));
    if (column == QLatin1String("LABEL"))
        return d.partition && !d.partition->label.isEmpty() && !type.isEmpty() && type != QLatin1String("LVM2_member")
                   ? QVariant(d.partition->label)
                   : QVariant();
    if (!d.partition)
        return QVariant();
    if (column == QLatin1String("PARTTYPE"))
        return partitionType(d.partition->system).first;
    if (column == QLatin1String("PARTTYPENAME"))
        return partitionType(d.partition->system).second;
    return QVariant();
}

const QStringList& knownColumns()
{
    static const QStringList columns{"NAME",   "KNAME", "PATH",       "MAJ:MIN",     "RM",          "RO",
                                     "SIZE",   "TYPE",  "MOUNTPOINT", "MOUNTPOINTS", "PKNAME",      "MODEL",
                                     "FSTYPE", "UUID",  "LABEL",      "PARTTYPE",    "PARTTYPENAME"};
    return columns;
}

QString jsonValue(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("null");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.typeId() == QMetaType::LongLong)
        return QString::number(value.toLongLong());
    QString text = value.toString();
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString jsonNodes(const Machine& m, const QList<Node>& nodes, const LsblkOptions& opts, int depth)
{
    const QString pad(3 * depth, QLatin1Char(' '));
    QStringList objects;
    for (const Node& node : nodes) {
        QStringList members;
        for (const QString& column : opts.columns)
            members << QStringLiteral("%1   \"%2\": %3")
                           .arg(pad, column.toLower(), jsonValue(cell(m, node.device, node.parent, column, opts)));
        if (!node.children.isEmpty())
            members << QStringLiteral("%1   \"children\": [\n%2\n%1   ]")
                           .arg(pad, jsonNodes(m, node.children, opts, depth + 2));
        objects << members.join(QStringLiteral(",\n"));
    }
    return pad + QStringLiteral("{\n") + objects.join(QStringLiteral("\n") + pad + QStringLiteral("},{\n")) +
           QLatin1Char('\n') + pad + QLatin1Char('}');
}

QString textValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString();
}

// Lines of the table or of --pairs: one per node, depth first, names drawn as a tree unless listed.
void textRows(const Machine& m, const QList<Node>& nodes, const LsblkOptions& opts, const QString& prefix,
              QList<QStringList>* rows)
{
    for (int i = 0; i < nodes.size(); ++i) {
        const bool last = i + 1 == nodes.size();
        QStringList row;
        for (const QString& column : opts.columns) {
            QString value = textValue(cell(m, nodes[i].device, nodes[i].parent, column, opts));
            if (column == QLatin1String("NAME") && !opts.list && !opts.pairs && !prefix.isNull())
                value = prefix + (last ? QStringLiteral("└─") : QStringLiteral("├─")) + value;
            row << value;
        }
        *rows << row;
        const QString childPrefix =
            prefix.isNull() ? QStringLiteral("") : prefix + (last ? QStringLiteral("  ") : QStringLiteral("│ "));
        textRows(m, nodes[i].children, opts, childPrefix, rows);
    }
}

QString table(const Machine& m, const QList<Node>& nodes, const LsblkOptions& opts)
{
    QList<QStringList> rows;
    textRows(m, nodes, opts, QString(), &rows);
    if (opts.pairs) {
        QString text;
        for (const QStringList& row : rows) {
            QStringList pairs;
            for (int i = 0; i < row.size(); ++i)
                pairs << QStringLiteral("%1=\"%2\"").arg(opts.columns[i], row[i]);
            text += pairs.join(QLatin1Char(' ')) + QLatin1Char('\n');
        }
        return text;
    }
    if (opts.headings)
        rows.prepend(opts.columns);
    QList<qsizetype> widths(opts.columns.size(), 0);
    for (const QStringList& row : rows)
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString text;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (int i = 0; i < row.size(); ++i) {
            const bool right = QStringList{"SIZE", "MAJ:MIN", "RM", "RO"}.contains(opts.columns[i]);
            cells << (right                 ? row[i].rightJustified(widths[i])
                      : i + 1 == row.size() ? row[i]
                                            : row[i].leftJustified(widths[i]));
        }
        text += cells.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return text;
}

// --list shows every device once, in the tree's order, each under the first parent it met.
QList<Node> flattened(const QList<Node>& nodes)
{
    QList<Node> flat;
    QStringList seen;
    std::function<void(const QList<Node>&)> walk = [&](const QList<Node>& level) {
        for (const Node& node : level) {
            if (seen.contains(node.device.name()))
                continue;
            seen << node.device.name();
            flat << Node{node.device, node.parent, {}};
            walk(node.children);
        }
    };
    walk(nodes);
    return flat;
}

} // namespace

int runLsblk(Machine& m, const QStringList& args, Output& o, bool*)
{
    const QMap<QString, QChar> longNames{
        {"json", QLatin1Char('J')},  {"bytes", QLatin1Char('b')},  {"output", QLatin1Char('o')},
        {"list", QLatin1Char('l')},  {"pairs", QLatin1Char('P')},  {"noheadings", QLatin1Char('n')},
        {"paths", QLatin1Char('p')}, {"nodeps", QLatin1Char('d')}, {"all", QLatin1Char('a')}};
    const Options parsed = parseOptions(args, QStringLiteral("o"), QStringLiteral("JblPnpda"), longNames);
    if (!parsed.error.isEmpty())
        return o.fail(1, QStringLiteral("lsblk: %1\nTry 'lsblk --help' for more information.").arg(parsed.error));
    LsblkOptions opts;
    if (parsed.has(QLatin1Char('o'))) {
        opts.columns.clear();
        for (const QString& list : parsed.values.value(QLatin1Char('o')))
            opts.columns += list.toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    for (const QString& column : opts.columns)
        if (!knownColumns().contains(column))
            return o.fail(1, QStringLiteral("lsblk: unknown column: %1").arg(column));
    opts.json = parsed.has(QLatin1Char('J'));
    opts.bytes = parsed.has(QLatin1Char('b'));
    opts.list = parsed.has(QLatin1Char('l'));
    opts.pairs = parsed.has(QLatin1Char('P'));
    opts.headings = !parsed.has(QLatin1Char('n'));
    opts.paths = parsed.has(QLatin1Char('p'));
    opts.nodeps = parsed.has(QLatin1Char('d'));
    QList<Node> roots;
    int missing = 0;
    for (const QString& path : parsed.positional) {
        const BlockDevice d = findDevice(m, path);
        if (!d.exists()) {
            o.errLine(QStringLiteral("lsblk: %1: not a block device").arg(path));
            ++missing;
            continue;
        }
        roots << Node{d, firstParent(d), childrenOf(m, d)};
    }
    if (parsed.positional.isEmpty()) {
        for (const Disk& disk : m.disks) {
            BlockDevice d;
            d.disk = &disk;
            roots << Node{d, QString(), childrenOf(m, d)};
        }
    }
    if (opts.nodeps)
        for (Node& node : roots)
            node.children.clear();
    if (opts.list || opts.pairs)
        roots = flattened(roots);
    if (opts.json)
        o.out(QStringLiteral("{\n   \"blockdevices\": [\n%1\n   ]\n}\n")
                  .arg(roots.isEmpty() ? QString() : jsonNodes(m, roots, opts, 2)));
    else if (!roots.isEmpty())
        o.out(table(m, roots, opts));
    // 32: none of the devices asked for was found; 64: some were not.
    return missing == 0 ? 0 : roots.isEmpty() ? 32 : 64;
}

QString probedType(const Machine& m, const QString& device)
{
    return probed(m, findDevice(m, device));
}

QString probedUuid(const Machine& m, const QString& device)
{
    const BlockDevice d = findDevice(m, device);
    const QString type = probed(m, d);
    return type.isEmpty() ? QString() : fsUuid(m, d, type);
}

} // namespace sim
