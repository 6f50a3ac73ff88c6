// Parsers of the device lister's lines, of pvdisplay's output and of the mount-table lookup.
#include "diskparse_p.h"

#include "utils.h"

namespace {

const QString kDriveMarker = QStringLiteral("DRIVE");
const QString kDiskKind = QStringLiteral("DISK");
const QString kPartMarker = QStringLiteral("PART");
const QString kExtendedKind = QStringLiteral("extended");
const QString kNoLabel = QStringLiteral("No physical volume label");

// Field 7 names a file system the lister always gets right, whatever field 9 says.
bool isTrustedListerFsType(const QString& type)
{
    return type == QLatin1String("NTFS") || type.startsWith(QLatin1String("FAT")) ||
           type.contains(QLatin1String("SWAP"));
}

} // namespace

QStringList splitAtTabs(const QString& line)
{
    return line.split(QLatin1Char('\t'));
}

QString fieldAt(const QStringList& fields, int index)
{
    if (index < 0 || index >= fields.size())
        return QString();
    return fields.at(index);
}

bool parseDiskLine(const QString& line, DriveLine& drive)
{
    const QStringList fields = splitAtTabs(line);
    if (fieldAt(fields, 0) != kDriveMarker || fieldAt(fields, 1) != kDiskKind)
        return false;
    bool ok = false;
    const unsigned long size = fieldAt(fields, 5).toULong(&ok, 10);
    drive.name = fieldAt(fields, 2);
    drive.size = ok ? size : 0;
    return true;
}

QString partitionNameOf(const QStringList& fields)
{
    const QString device = fieldAt(fields, 1);
    return device.mid(device.lastIndexOf(QLatin1Char('/')) + 1) + fieldAt(fields, 2);
}

bool takePartitionLine(const QString& line, const QString& diskName, QString& partitionName)
{
    const QStringList fields = splitAtTabs(line);
    if (fieldAt(fields, 0) != kPartMarker)
        return false;
    // A line without a partition number would name the whole disk as one of its partitions.
    if (fieldAt(fields, 2).trimmed().isEmpty())
        return false;
    const QString name = partitionNameOf(fields);
    if (!name.contains(diskName) || fieldAt(fields, 6) == kExtendedKind)
        return false;
    partitionName = name;
    return true;
}

PartitionBasics parsePartitionBasics(const QString& deviceLine)
{
    const QStringList fields = splitAtTabs(deviceLine);
    PartitionBasics basics;

    bool ok = false;
    basics.size = fieldAt(fields, 8).toInt(&ok, 10);
    if (!ok)
        basics.size = 0;

    const QString tag = fieldAt(fields, 11);
    if (!tag.isEmpty())
        basics.systemTag = tag;
    basics.pvCandidate = basics.systemTag.contains(QLatin1String("LVM"));

    basics.system = fieldAt(fields, 6);
    if (!basics.systemTag.isEmpty())
        basics.system += QStringLiteral(", ") + basics.systemTag;

    const QString listerType = fieldAt(fields, 7);
    if (isTrustedListerFsType(listerType)) {
        basics.fstype = listerType;
        return basics;
    }
    const qlonglong trust = fieldAt(fields, 9).toLongLong(&ok, 10);
    if (!ok || trust >= 0)
        basics.fstype = listerType;
    return basics;
}

PvRecord parsePvDisplayColon(const QStringList& lines)
{
    PvRecord record;
    for (const QString& line : lines) {
        if (line.contains(kNoLabel)) {
            record.noLabel = true;
            return record;
        }
        const QStringList fields = line.split(QLatin1Char(':'));
        if (!fieldAt(fields, 0).trimmed().startsWith(QLatin1String("/dev/")))
            continue;
        const QString vgName = fieldAt(fields, 1);
        // LVM2 names the set of physical volumes outside every group "#orphans_lvm2".
        if (vgName.isEmpty() || vgName.startsWith(QLatin1Char('#')))
            return record;
        record.vgName = vgName;
        record.uuid = fieldAt(fields, 11);
        return record;
    }
    return record;
}

QString lvPathOfTableRow(const QString& row)
{
    // A full path keeps names holding "-" or "." whole; only rows without one are rebuilt from words.
    const QString firstToken = row.simplified().section(QLatin1Char(' '), 0, 0);
    if (firstToken.startsWith(QLatin1String("/dev/")))
        return firstToken;
    return QStringLiteral("/dev/") + findWord(row, 1) + QLatin1Char('/') + findWord(row, 2);
}

bool LvTableScanner::addLine(const QString& line)
{
    switch (m_state) {
    case State::BeforeHeader:
        if (line.contains(QLatin1String(kLvTableHeader)))
            m_state = State::InTable;
        return true;
    case State::InTable:
        // A row of blanks ends the table as an empty one does; it names no volume.
        if (line.trimmed().isEmpty()) {
            m_state = State::Done;
            return false;
        }
        m_paths.append(lvPathOfTableRow(line));
        return true;
    case State::Done:
        return false;
    }
    return false;
}

QStringList lvPathsOfPvDisplay(const QStringList& lines)
{
    LvTableScanner scanner;
    for (const QString& line : lines) {
        if (!scanner.addLine(line))
            break;
    }
    return scanner.paths();
}

const MountEntry* findMountEntry(const QList<MountEntry>& table, const QString& name)
{
    for (const MountEntry& entry : table) {
        if (entry.device.section(QLatin1Char('/'), 2, 2) == name)
            return &entry;
    }
    return nullptr;
}
