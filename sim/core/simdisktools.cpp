// The simulated disk tools that show partition tables: parted ("set N lvm on|off", and today's
// parted 3.5 "print") and the device lister veziva.cli. Both lay partitions out the same way.
#include "simtools.h"

namespace sim {

namespace {

// Where each partition starts, in 512-byte sectors: primaries one after another from sector 63,
// logical ones inside the extended partition, each 63 sectors after the previous one's end.
QList<qint64> startSectors(const Disk& d)
{
    QList<qint64> starts;
    qint64 cursor = 63, logicalCursor = 0;
    for (const Partition& p : d.partitions) {
        qint64 start = 0;
        if (p.number <= 4) {
            start = cursor;
            cursor = start + p.sizeKiB * 2;
            if (p.system == QLatin1String("extended"))
                logicalCursor = start;
        } else {
            start = logicalCursor + 63;
            logicalCursor = start + p.sizeKiB * 2;
        }
        starts << start;
    }
    return starts;
}

// parted's compact unit: three significant figures in the largest SI unit of which there are ten.
QString compactSize(qint64 bytes)
{
    static const QList<QPair<qint64, const char*>> units{
        {1000LL * 1000 * 1000 * 1000, "TB"}, {1000LL * 1000 * 1000, "GB"}, {1000LL * 1000, "MB"}, {1000, "kB"}};
    for (const auto& [size, name] : units) {
        if (bytes >= 10 * size) {
            const double value = double(bytes) / double(size);
            return QString::number(value, 'f', value < 100 ? 1 : 0) + QLatin1String(name);
        }
    }
    return QString::number(bytes) + QLatin1Char('B');
}

QString partedFilesystem(const QString& fstype)
{
    const QString lower = fstype.toLower();
    if (lower.startsWith(QLatin1String("fat")))
        return lower;
    if (lower.contains(QLatin1String("swap")))
        return QStringLiteral("linux-swap(v1)");
    return lower == QLatin1String("lvm2") ? QString() : lower;
}

// parted 3.5's "print" of an msdos disk.
int partedPrint(const Disk& disk, Output& o)
{
    const QString path = QStringLiteral("/dev/") + disk.name;
    if (disk.kind != QLatin1String("DISK") || disk.partitions.isEmpty())
        return o.fail(1, QStringLiteral("Error: %1: unrecognised disk label").arg(path));
    o.outLine(QStringLiteral("Model: %1 (scsi)").arg(disk.model));
    o.outLine(QStringLiteral("Disk %1: %2").arg(path, compactSize(disk.sizeKiB * 1024)));
    o.outLine(QStringLiteral("Sector size (logical/physical): 512B/512B"));
    o.outLine(QStringLiteral("Partition Table: msdos"));
    o.outLine(QStringLiteral("Disk Flags: "));
    o.outLine(QString());
    QList<QStringList> rows{{"Number", "Start", "End", "Size", "Type", "File system", "Flags"}};
    const QList<qint64> starts = startSectors(disk);
    for (int i = 0; i < disk.partitions.size(); ++i) {
        const Partition& p = disk.partitions[i];
        const bool extended = p.system == QLatin1String("extended");
        const qint64 start = starts[i] * 512, size = p.sizeKiB * 1024;
        rows << QStringList{QString::number(p.number).rightJustified(2),
                            compactSize(start),
                            compactSize(start + size - 1),
                            compactSize(size),
                            extended       ? QStringLiteral("extended")
                            : p.number > 4 ? QStringLiteral("logical")
                                           : QStringLiteral("primary"),
                            extended ? QString() : partedFilesystem(p.fstype),
                            p.tag == QLatin1String("LVM") ? QStringLiteral("lvm") : QString()};
    }
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    for (const QStringList& row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += row[c].leftJustified(widths[c]) + QStringLiteral("  ");
        o.outLine(line.trimmed().prepend(line.startsWith(QLatin1Char(' ')) ? QStringLiteral(" ") : QString()));
    }
    o.outLine(QString());
    return 0;
}

QString typeId(const QString& system)
{
    static const QMap<QString, QString> ids{
        {"Linux", "0x83"},     {"Linux swap", "0x82"}, {"extended", "0x05"},        {"Linux LVM", "0x8e"},
        {"HPFS/NTFS", "0x07"}, {"W95 FAT32", "0x0b"},  {"W95 FAT32 (LBA)", "0x0c"}, {"W95 FAT16 (LBA)", "0x0e"}};
    return ids.value(system, QStringLiteral("0x83"));
}

} // namespace

int runLister(Machine& m, const QStringList& args, Output& o, bool*)
{
    const QStringList expected{"dev", "lsdev"};
    if (args.mid(0, 2) != expected)
        return o.fail(2, QStringLiteral("veziva.cli: usage: veziva.cli dev lsdev [-C] [-c CLASS]"));
    const Options opts = parseOptions(args.mid(2), QStringLiteral("c"), QStringLiteral("C"));
    if (!opts.error.isEmpty())
        return o.fail(2, QStringLiteral("veziva.cli: %1").arg(opts.error));
    if (opts.has(QLatin1Char('c')) && opts.value(QLatin1Char('c')) != QLatin1String("storage"))
        return 0;
    o.outLine(QStringLiteral("CTRL\tIDE\tide0\tIntel Corporation 82801G (ICH7 Family) IDE Controller\t0000:00:1f.1"));
    o.outLine(QStringLiteral(
        "CTRL\tSATA\tscsi0\tIntel Corporation 82801GR/GH (ICH7 Family) SATA AHCI Controller\t0000:00:1f.2"));
    for (const Disk& d : m.disks) {
        o.outLine(QStringLiteral("DRIVE\t%1\t%2\t%3\t/dev/%2\t%4\t512").arg(d.kind, d.name, d.model).arg(d.sizeKiB));
        const QList<qint64> starts = startSectors(d);
        for (int i = 0; i < d.partitions.size(); ++i) {
            const Partition& p = d.partitions[i];
            const qint64 start = starts[i];
            QString line = QStringLiteral("PART\t/dev/%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t%10")
                               .arg(d.name)
                               .arg(p.number)
                               .arg(start)
                               .arg(start + p.sizeKiB * 2 - 1)
                               .arg(typeId(p.system), p.system, p.fstype)
                               .arg(p.sizeKiB)
                               .arg(p.fsUsedKiB)
                               .arg(p.label);
            if (!p.tag.isEmpty())
                line += QLatin1Char('\t') + p.tag;
            o.outLine(line);
        }
    }
    return 0;
}

int runParted(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    QStringList words;
    bool script = false;
    for (const QString& a : args) {
        if (a == QLatin1String("-s") || a == QLatin1String("--script"))
            script = true;
        else
            words << a;
    }
    if (words.isEmpty())
        return o.fail(1, QStringLiteral("Error: No device given."));
    const QString diskPath = words.takeFirst();
    const Disk* disk = m.disk(diskPath);
    if (!disk)
        return o.fail(1, QStringLiteral("Error: Could not stat device %1 - No such file or directory.").arg(diskPath));
    // "lvm on" may come as one entry or two.
    QStringList rest;
    for (const QString& w : words)
        rest += w.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (isCurrent(m) && rest == QStringList{QStringLiteral("print")})
        return partedPrint(*disk, o);
    if (rest.isEmpty() || rest.first() != QLatin1String("set"))
        return o.fail(1, QStringLiteral("Error: Unknown command \"%1\".").arg(rest.value(0)));
    const bool stateGiven = rest.size() == 4 && (rest[3] == QLatin1String("on") || rest[3] == QLatin1String("off"));
    if (!stateGiven && !(isCurrent(m) && rest.size() == 3))
        return o.fail(1, QStringLiteral("Error: Expecting a partition number, a flag and a state (on/off)."));
    bool ok = false;
    const int number = rest[1].toInt(&ok);
    Partition* part = ok ? m.partition(QStringLiteral("%1%2").arg(diskPath).arg(number)) : nullptr;
    if (!part)
        return o.fail(1, QStringLiteral("Error: Partition doesn't exist."));
    const QString flag = rest[2];
    static const QStringList known{"boot", "lba", "root", "swap", "hidden", "raid", "lvm", "hp-service"};
    if (!known.contains(flag))
        return o.fail(1, say(m, {"Error: Unknown flag \"%1\".", "parted: invalid token: %1"}).arg(flag));
    // parted 3.5 takes the flag on an extended partition without a word and leaves it unchanged.
    if (part->system == QLatin1String("extended"))
        return isCurrent(m)
                   ? 0
                   : o.fail(1,
                            QStringLiteral("Error: The flag '%1' is not available for extended partitions.").arg(flag));
    if (flag != QLatin1String("lvm"))
        return 0;
    // Without a state parted 3.5 toggles the flag.
    const bool on = rest.size() == 3 ? part->tag.isEmpty() : rest[3] == QLatin1String("on");
    if (isCurrent(m) && !script)
        o.err(QStringLiteral("Information: You may need to update /etc/fstab.\n\n"));
    part->system = on ? QStringLiteral("Linux LVM") : QStringLiteral("Linux");
    part->tag = on ? QStringLiteral("LVM") : QString();
    *changed = true;
    return 0;
}

} // namespace sim
