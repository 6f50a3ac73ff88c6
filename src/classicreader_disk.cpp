// The classic reader's physical tree: disks and partitions from the device lister, physical
// volumes from "/sbin/lvm.static pvdisplay", mount points from the mount table.
#include "classicreader_p.h"

#include "diskparse_p.h"
#include "programs_p.h"
#include "toolstream_p.h"
#include "utils.h"

namespace {

QStringList decodeLines(const QList<QByteArray>& raw)
{
    QStringList lines;
    lines.reserve(raw.size());
    for (const QByteArray& line : raw)
        lines.append(QString::fromLocal8Bit(line));
    return lines;
}

} // namespace

namespace ClassicReader {

DiskListing readDisks()
{
    DiskListing listing;
    const CheckedLines lines = readToolLinesChecked(QString::fromLatin1(kDeviceListerCommand));
    if (!lines.problem.isEmpty())
        listing.problems.append(lines.problem);
    for (const QByteArray& raw : lines.lines) {
        DriveLine drive;
        if (parseDiskLine(QString::fromLocal8Bit(raw), drive))
            listing.disks.append({drive.name, drive.size});
    }
    return listing;
}

PartitionListing readPartitions(const QString& diskName)
{
    PartitionListing listing;
    const CheckedLines lines = readToolLinesChecked(QString::fromLatin1(kDeviceListerCommand));
    if (!lines.problem.isEmpty())
        listing.problems.append(lines.problem);
    for (const QByteArray& raw : lines.lines) {
        const QString line = QString::fromLocal8Bit(raw);
        QString partitionName;
        if (takePartitionLine(line, diskName, partitionName))
            listing.partitions.append({partitionName, line});
    }
    return listing;
}

QList<PartitionLine> readPartitionLines(const QStringList& paths)
{
    QList<PartitionLine> found;
    const QList<QByteArray> lines = readToolLines(QString::fromLatin1(kDeviceListerCommand));
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromLocal8Bit(raw);
        const QStringList fields = splitAtTabs(line);
        if (fieldAt(fields, 0) != QLatin1String("PART"))
            continue;
        const QString path = partitionPathOf(partitionNameOf(fields));
        if (paths.contains(path))
            found.append({path, line});
    }
    return found;
}

PartitionRecord probePartition(const QString& name, const QString& deviceLine)
{
    PartitionRecord record;
    const PartitionBasics basics = parsePartitionBasics(deviceLine);
    record.size = basics.size;
    record.systemTag = basics.systemTag;
    record.pv = basics.pvCandidate;
    record.system = basics.system;
    MyDebug(QStringLiteral("Partition ") + name + QStringLiteral("'s system is: ") + record.system);

    if (record.pv) {
        const PvRecord pv = parsePvDisplayColon(
            decodeLines(readToolLines(classicLvmCommand("pvdisplay -c %1 2>&1").arg(partitionPathOf(name)))));
        // An orphan physical volume says nothing about a group: what the partition had stays.
        if (pv.noLabel)
            record.pv = false;
        else if (!pv.vgName.isEmpty())
            record.membership = PvMembership{QStringLiteral("/dev/") + pv.vgName, pv.uuid};
    }

    record.mountPoint = QStringLiteral("");
    record.fstype = basics.fstype;
    const QList<MountEntry> table = readMountTable();
    if (const MountEntry* entry = findMountEntry(table, name)) {
        record.mountPoint = entry->directory;
        record.fstype = entry->type;
    }
    return record;
}

QString readPartitionLvs(const QString& name)
{
    // Only the table is wanted: stop reading once it has ended.
    ToolStream stream(classicLvmCommand("pvdisplay -v %1 2>&1").arg(partitionPathOf(name)));
    LvTableScanner scanner;
    QByteArray line;
    while (stream.readLine(line) && scanner.addLine(QString::fromLocal8Bit(line))) {
    }
    stream.close();
    return scanner.paths().join(QLatin1Char(':'));
}

} // namespace ClassicReader
