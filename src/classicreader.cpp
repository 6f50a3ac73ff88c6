// The classic reader's logical tree: groups, their physical volumes and volumes, each read with
// its own runs of "/sbin/lvm.static" (volumes also with "/bin/mount --guess-fstype").
#include "classicreader_p.h"

#include "jobrunner_p.h"

#include "lvmparse_p.h"
#include "programs_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <memory>

namespace {

QByteArray firstLineOf(const QString& commandLine)
{
    ToolStream stream(commandLine);
    QByteArray line;
    stream.readLine(line);
    return line;
}

QString vgdisplayCommand(const QString& opt, const QString& vgName)
{
    return classicLvmCommand("vgdisplay -c %1 %2 2>/dev/null").arg(opt, vgName);
}

QString lvdisplayCommand(const char* form, const QString& opt, const QString& path)
{
    return classicLvmCommand(form).arg(opt, path);
}

// The first line of the colon form; a volume that "is not active" is asked again with "-D".
LvRecord readColonRecord(const QString& volumePath, bool& retried)
{
    QByteArray line;
    {
        ToolStream colon(lvdisplayCommand("lvdisplay -c %1 %2 2>/dev/null", QString(), volumePath));
        colon.readLine(line);
    }
    retried = isLvNotActiveLine(line);
    if (retried) {
        line.clear();
        ToolStream colon(lvdisplayCommand("lvdisplay -c %1 %2 2>&1", QStringLiteral("-D"), volumePath));
        colon.readLine(line);
    }
    return parseLvdisplayRecord(line);
}

struct PlainListing {
    int status = 0;
    int cowLe = 0; // a snapshot's copy-on-write extents; 0 for any other volume
};

// The plain listing's "LV Status" lines decide whether the volume is active (the last one wins);
// a snapshot's "COW-table LE" line gives the size of its copy-on-write area.
PlainListing readPlainListing(const QString& volumePath, const QString& opt, int status)
{
    ToolStream plain(lvdisplayCommand("lvdisplay %1 %2 2>&1", opt, volumePath));
    PlainListing listing;
    listing.status = status;
    QByteArray line;
    QString statusText;
    while (plain.readLine(line)) {
        if (parseCowTableLeLine(line, listing.cowLe))
            continue;
        if (!parseLvStatusLine(line, statusText))
            continue;
        MyDebug(volumePath + QStringLiteral(" is ") + statusText);
        listing.status = lvStatusValue(statusText);
    }
    return listing;
}

bool findSnapshotStatusLine(ToolStream& verbose, QByteArray& line)
{
    while (verbose.readLine(line)) {
        if (isSnapshotStatusLine(line))
            return true;
    }
    return false;
}

// An origin names each snapshot on a line of its own, up to the "Status" line.
QStringList readSnapshotListing(ToolStream& verbose)
{
    QStringList snapshots;
    QByteArray line;
    while (verbose.readLine(line)) {
        if (isSnapshotListingEnd(line))
            break;
        const QString snapName = snapshotNameFromListingLine(line);
        if (!snapName.isEmpty())
            snapshots.append(snapName);
    }
    return snapshots;
}

// The snapshot links of the verbose form, read on from `verbose`. Without a status line there is
// nothing to read the role or the links from: the record leaves them as they were.
void readSnapshotLinks(ToolStream& verbose, const QString& volumePath, bool wasOrigin, bool wasSnapshot,
                       VolumeRecord& record)
{
    QByteArray statusLine;
    const bool statusLineFound = findSnapshotStatusLine(verbose, statusLine);
    bool origin = wasOrigin;
    bool snapshot = wasSnapshot;
    if (statusLineFound) {
        origin = snapshotStatusMeansOrigin(statusLine);
        snapshot = !origin;
        record.isOrigin = origin;
        record.isSnapshot = snapshot;
    }
    const bool linksListed = statusLineFound && !isInactiveSnapshotLine(statusLine);
    if (origin) {
        MyDebug(volumePath + QStringLiteral(" is an Original LV"));
        if (linksListed)
            record.snapshots = readSnapshotListing(verbose);
    } else if (!snapshot) {
        MyDebug(volumePath + QStringLiteral(" is a Normal LV"));
    } else {
        MyDebug(volumePath + QStringLiteral(" is a Snapshot LV"));
        if (linksListed)
            record.origin = originFromSnapshotStatusLine(statusLine);
    }
}

// Every "Physical volume" of a map listing, each once.
QString collectPhysicalVolumes(ToolStream& map)
{
    QString pvString = QStringLiteral("");
    QByteArray line;
    QString device;
    while (map.readLine(line)) {
        if (parsePhysicalVolumeLine(line, device))
            appendPvOnce(pvString, device);
    }
    dropTrailingSeparator(pvString);
    return pvString;
}

} // namespace

namespace ClassicReader {

GroupListing readGroupListing()
{
    GroupListing listing;
    const CheckedLines scan = readToolLinesChecked(classicLvmCommand("vgscan 2>&1"));
    if (!scan.problem.isEmpty())
        listing.problems.append(scan.problem);
    for (const QByteArray& line : scan.lines) {
        MyDebug(QString::fromLocal8Bit(line));
        const VgscanLine parsed = parseVgscanLine(line);
        if (parsed.isFound)
            listing.found.append(parsed.found);
        if (parsed.isUnreadable)
            listing.unreadable.append(parsed.unreadable);
    }
    return listing;
}

GroupRecord readGroupFigures(const QString& vgName)
{
    QByteArray line = firstLineOf(vgdisplayCommand(QString(), vgName));
    if (isVgNotActiveLine(line))
        line = firstLineOf(vgdisplayCommand(QStringLiteral("-D"), vgName));
    return parseVgdisplayRecord(line);
}

QString readGroupPvs(const QString& vgName)
{
    QString pvs = QStringLiteral("");
    ToolStream pvscan(classicLvmCommand("pvscan 2>&1"));
    QByteArray line;
    while (pvscan.readLine(line)) {
        const PvscanEntry entry = parsePvscanLine(line);
        if (entry.valid && entry.group == vgName)
            pvs += entry.device + QLatin1Char(':');
    }
    dropTrailingSeparator(pvs);
    return pvs;
}

VolumeListing readVolumeListing(const QString& vgName)
{
    VolumeListing listing;
    const CheckedLines scan = readToolLinesChecked(classicLvmCommand("lvscan -D 2>&1"));
    if (!scan.problem.isEmpty())
        listing.problems.append(scan.problem);
    for (const QByteArray& line : scan.lines) {
        const LvscanEntry entry = parseLvscanLine(line);
        if (entry.valid && entry.group == vgName)
            listing.volumes.append({entry.name, entry.original, entry.snapshot});
    }
    return listing;
}

VolumeRecord readVolume(const QString& vgName, const QString& lvName, bool wasOrigin, bool wasSnapshot)
{
    const QString volumePath = volumePathOf(vgName, lvName);
    VolumeRecord record;
    bool retried = false;
    record.figures = readColonRecord(volumePath, retried);
    // An inactive volume is read with "-D" from then on.
    const QString opt = retried ? QStringLiteral("-D") : QString();

    const PlainListing listing = readPlainListing(volumePath, opt, record.figures.status);
    record.figures.status = listing.status;
    record.cowLe = listing.cowLe;

    ToolStream verbose(lvdisplayCommand("lvdisplay -v %1 %2 2>&1", opt, volumePath));
    readSnapshotLinks(verbose, volumePath, wasOrigin, wasSnapshot, record);
    // The verbose stream stays open across the file-system probe.
    {
        ReadingStep reading;
        runcmd(QStringLiteral("/bin/mount"), {QStringLiteral("--guess-fstype"), volumePath}, record.fstype);
    }
    record.fstype = record.fstype.trimmed();
    verbose.close();
    return record;
}

QString readVolumePvs(const QString& vgName, const QString& lvName)
{
    const QString volumePath = volumePathOf(vgName, lvName);
    auto map = std::make_unique<ToolStream>(lvdisplayCommand("lvdisplay -m %1 %2 2>&1", QString(), volumePath));
    QByteArray firstLine;
    map->readLine(firstLine);
    if (isLvNotActiveLine(firstLine)) {
        // An inactive volume's extents come from the verbose form; its first line is skipped too.
        map.reset();
        map =
            std::make_unique<ToolStream>(lvdisplayCommand("lvdisplay -v %1 %2 2>&1", QStringLiteral("-D"), volumePath));
        map->readLine(firstLine);
    }
    return collectPhysicalVolumes(*map);
}

} // namespace ClassicReader
