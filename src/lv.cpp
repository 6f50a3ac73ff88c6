// The logical-volume record: applying what a read gives, its accessors, paths, placement and mount point.
#include "lvmdrive.h"

#include "assertsites_p.h"

#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <algorithm>

namespace {

// Line of the extent-size check in proportion(), as the warning names it.

constexpr qint64 kMiB = 1024 * 1024;

} // namespace

Lv::Lv(const QString& lvName, const QString& vgName, const int& leSize, const int& vgFree, bool bOriginal,
       bool bSnapshot, QObject* parent, const char* name)
    : QObject(parent), m_name(lvName), m_vgName(vgName), m_leSize(leSize), m_vgFree(vgFree), m_bOriginal(bOriginal),
      m_bSnapshot(bSnapshot)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_changeHolds = 1; // what the first reads set is no change
    getBasics();
    getPvs();
    m_changeHolds = 0;
    MyDebug(QStringLiteral("============") + m_name + QStringLiteral("======================"));
}

Lv::~Lv() = default;

void Lv::holdChanges()
{
    if (m_changeHolds++ == 0)
        m_heldState = observedState();
}

void Lv::releaseChanges()
{
    if (m_changeHolds > 0 && --m_changeHolds == 0 && observedState() != m_heldState)
        emit changed();
}

// Every accessor's value but the mount point, which is read anew on each call.
QStringList Lv::observedState() const
{
    QStringList state{m_name,
                      getVgPath(),
                      m_fstype,
                      m_pvString,
                      m_original,
                      m_snapshots.join(QLatin1Char(':')),
                      QString::number(m_bOriginal),
                      QString::number(m_bSnapshot)};
    for (int attribute = Access; attribute <= ZeroValue; ++attribute)
        state.append(QString::number(getAttribute(static_cast<Attribute>(attribute))));
    return state;
}

void Lv::getBasics()
{
    holdChanges();
    applyVolume(Reader::readVolume(m_vgName, m_name, m_bOriginal, m_bSnapshot));
    releaseChanges();
}

void Lv::applyVolume(const VolumeRecord& record)
{
    const LvRecord& figures = record.figures;
    m_access = figures.access;
    m_status = figures.status;
    m_number = figures.number;
    m_size = figures.size;
    m_currentLe = figures.currentLe;
    m_allocatedLe = figures.allocatedLe;
    m_allocation = figures.allocation;
    m_readAhead = figures.readAhead;
    m_major = figures.major;
    m_minor = figures.minor;
    m_recordFound = figures.found;
    m_cowLe = record.cowLe;
    m_bOriginal = record.isOrigin.value_or(m_bOriginal);
    m_bSnapshot = record.isSnapshot.value_or(m_bSnapshot);
    m_snapshots = record.snapshots;
    m_original = record.origin.value_or(m_original);
    m_fstype = record.fstype;
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
        warnAt(AssertSites::kExtentSize);
        return 0;
    }
    return m_size / m_leSize;
}

void Lv::setStatus(int status)
{
    holdChanges();
    m_status = status;
    releaseChanges();
}

void Lv::setSize(int size)
{
    holdChanges();
    m_size = size;
    releaseChanges();
}

void Lv::setLe(int allocated, int current)
{
    holdChanges();
    m_allocatedLe = allocated;
    m_currentLe = current;
    releaseChanges();
}

void Lv::setSizeAtRead(int size)
{
    holdChanges();
    m_sizeAtRead = size;
    releaseChanges();
}

void Lv::setOriginal(const QString& original)
{
    holdChanges();
    m_original = original;
    releaseChanges();
}

void Lv::addSnapshot(const QString& snapName)
{
    holdChanges();
    m_snapshots.append(snapName);
    std::stable_sort(m_snapshots.begin(), m_snapshots.end(), Reader::listedBefore);
    releaseChanges();
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
    holdChanges();
    applyActivation(active);
    releaseChanges();
}

void Lv::applyActivation(bool active)
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

qint64 Lv::sizeBytes() const
{
    return m_size * kMiB;
}

void Lv::getPvs()
{
    holdChanges();
    m_pvString = Reader::readVolumePvs(m_vgName, m_name);
    releaseChanges();
    if (!m_pvString.isEmpty())
        MyDebug(path() + QStringLiteral("'s pvstring: ") + m_pvString);
}

QString Lv::mountPoint() const
{
    return Reader::readVolumeMountPoint(m_vgName, m_name);
}
