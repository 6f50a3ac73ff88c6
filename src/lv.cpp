// The logical-volume record: reading it from the tools, its accessors, paths, placement and mount point.
#include "lvmdrive.h"

#include "lvmparse_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <memory>

namespace {

// Line of the extent-size check in proportion(), as the warning names it.
constexpr int kProportionAssertLine = 1042;

QString lvdisplayCommand(const char* form, const QString& opt, const QString& path)
{
    return QString::fromLatin1(form).arg(opt, path);
}

// The first line of the colon form; a volume that "is not active" is asked again with "-D".
LvRecord readColonRecord(const QString& volumePath, bool& retried)
{
    QByteArray line;
    {
        ToolStream colon(lvdisplayCommand("/sbin/lvm.static lvdisplay -c %1 %2 2>/dev/null", QString(), volumePath));
        colon.readLine(line);
    }
    retried = isLvNotActiveLine(line);
    if (retried) {
        line.clear();
        ToolStream colon(
            lvdisplayCommand("/sbin/lvm.static lvdisplay -c %1 %2 2>&1", QStringLiteral("-D"), volumePath));
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
    ToolStream plain(lvdisplayCommand("/sbin/lvm.static lvdisplay %1 %2 2>&1", opt, volumePath));
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

Lv::Lv(const QString& lvName, const QString& vgName, const int& leSize, const int& vgFree, bool bOriginal,
       bool bSnapshot, QObject* parent, const char* name)
    : QObject(parent), m_name(lvName), m_vgName(vgName), m_leSize(leSize), m_vgFree(vgFree), m_bOriginal(bOriginal),
      m_bSnapshot(bSnapshot)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    getBasics();
    getPvs();
    MyDebug(QStringLiteral("============") + m_name + QStringLiteral("======================"));
}

Lv::~Lv() = default;

void Lv::getBasics()
{
    if (toolSet() == ToolSet::Current) {
        getBasicsCurrent();
        return;
    }
    m_snapshots.clear();
    const QString volumePath = path();

    bool retried = false;
    const LvRecord record = readColonRecord(volumePath, retried);
    m_access = record.access;
    m_status = record.status;
    m_number = record.number;
    m_size = record.size;
    m_currentLe = record.currentLe;
    m_allocatedLe = record.allocatedLe;
    m_allocation = record.allocation;
    m_readAhead = record.readAhead;
    m_major = record.major;
    m_minor = record.minor;
    m_recordFound = record.found;
    // An inactive volume is read with "-D" from then on.
    const QString opt = retried ? QStringLiteral("-D") : QString();

    const PlainListing listing = readPlainListing(volumePath, opt, m_status);
    m_status = listing.status;
    m_cowLe = listing.cowLe;

    ToolStream verbose(lvdisplayCommand("/sbin/lvm.static lvdisplay -v %1 %2 2>&1", opt, volumePath));
    QByteArray statusLine;
    const bool statusLineFound = findSnapshotStatusLine(verbose, statusLine);
    if (statusLineFound) {
        m_bOriginal = snapshotStatusMeansOrigin(statusLine);
        m_bSnapshot = !m_bOriginal;
    }
    // Without a status line there is nothing to read the links from: they stay as they were.
    const bool linksListed = statusLineFound && !isInactiveSnapshotLine(statusLine);
    if (m_bOriginal) {
        MyDebug(volumePath + QStringLiteral(" is an Original LV"));
        if (linksListed)
            m_snapshots = readSnapshotListing(verbose);
    } else if (!m_bSnapshot) {
        MyDebug(volumePath + QStringLiteral(" is a Normal LV"));
    } else {
        MyDebug(volumePath + QStringLiteral(" is a Snapshot LV"));
        if (linksListed)
            m_original = originFromSnapshotStatusLine(statusLine);
    }

    // The verbose stream stays open across the file-system probe.
    runcmd(QStringLiteral("/bin/mount"), {QStringLiteral("--guess-fstype"), volumePath}, m_fstype);
    m_fstype = m_fstype.trimmed();
    verbose.close();
    m_zeroValue = 0;
    m_sizeAtRead = m_size;
    if (isActive())
        rememberActiveDevice();
}

int Lv::getAttribute(Lv::Attribute attribute) const
{
    switch (attribute) {
    case Access:
        return m_access;
    case Status:
        return m_status;
    case Number:
        return m_number;
    case Size:
        return m_size;
    case CurrentLe:
        return m_currentLe;
    case AllocatedLe:
        return m_allocatedLe;
    case Allocation:
        return m_allocation;
    case ReadAhead:
        return m_readAhead;
    case Major:
        return m_major;
    case Minor:
        return m_minor;
    case LeSize:
        return m_leSize;
    case VgFree:
        return m_vgFree;
    case SizeAtRead:
        return m_sizeAtRead;
    case ZeroValue:
        return m_zeroValue;
    }
    return 0;
}

QString Lv::name() const
{
    return m_name;
}

QString Lv::fstype() const
{
    return m_fstype;
}

QString Lv::pvString() const
{
    return m_pvString;
}

QString Lv::getOriginal() const
{
    return m_original;
}

QStringList Lv::getSnapshot() const
{
    return m_snapshots;
}

bool Lv::isOriginal() const
{
    return m_bOriginal;
}

bool Lv::isSnapshot() const
{
    return m_bSnapshot;
}

bool Lv::isActive() const
{
    return m_status == 1;
}

int Lv::proportion() const
{
    if (m_leSize == 0) {
        assertWarning("leSize != 0", "lvmdrive", kProportionAssertLine);
        return 0;
    }
    return m_size / m_leSize;
}

void Lv::setStatus(int status)
{
    m_status = status;
}

void Lv::setSize(int size)
{
    m_size = size;
}

void Lv::setLe(int allocated, int current)
{
    m_allocatedLe = allocated;
    m_currentLe = current;
}

void Lv::setSizeAtRead(int size)
{
    m_sizeAtRead = size;
}

void Lv::setOriginal(const QString& original)
{
    m_original = original;
}

void Lv::addSnapshot(const QString& snapName)
{
    m_snapshots.append(snapName);
}

void Lv::rememberActiveDevice()
{
    m_readActive = true;
    m_activeMajor = m_major;
    m_activeMinor = m_minor;
    m_activeFstype = m_fstype;
}

void Lv::followActivation(bool active)
{
    if (!active) {
        // What the colon listing and the file-system probe give for a volume without a device node.
        m_major = -1;
        m_minor = -1;
        m_fstype = QStringLiteral("unknown");
        return;
    }
    if (!m_readActive)
        return;
    m_major = m_activeMajor;
    m_minor = m_activeMinor;
    m_fstype = m_activeFstype;
}

QString Lv::getVgPath() const
{
    return QStringLiteral("/dev/") + m_vgName;
}

QString Lv::path() const
{
    return getVgPath() + QLatin1Char('/') + m_name;
}

void Lv::getPvs()
{
    if (toolSet() == ToolSet::Current) {
        getPvsCurrent();
        return;
    }
    m_pvString = QStringLiteral("");
    const QString volumePath = path();
    auto map = std::make_unique<ToolStream>(
        lvdisplayCommand("/sbin/lvm.static lvdisplay -m %1 %2 2>&1", QString(), volumePath));
    QByteArray firstLine;
    map->readLine(firstLine);
    if (isLvNotActiveLine(firstLine)) {
        // An inactive volume's extents come from the verbose form; its first line is skipped too.
        map.reset();
        map = std::make_unique<ToolStream>(
            lvdisplayCommand("/sbin/lvm.static lvdisplay -v %1 %2 2>&1", QStringLiteral("-D"), volumePath));
        map->readLine(firstLine);
    }
    m_pvString = collectPhysicalVolumes(*map);
    if (m_pvString.isEmpty())
        return;
    MyDebug(volumePath + QStringLiteral("'s pvstring: ") + m_pvString);
}

QString Lv::mountPoint() const
{
    return mountPointOf(readMountTable(), m_vgName, m_name);
}
