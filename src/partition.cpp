// Partition: one partition's record as a probe of the tool set in use gives it, with the list of
// logical volumes on it.
#include "harddrive.h"

#include "pathlist_p.h"
#include "reader_p.h"
#include "utils.h"

Partition::Partition(const QString& name, const QString& deviceLine, bool pv, QObject* parent, const char* objectName)
    : QObject(parent), m_name(name), m_deviceLine(deviceLine), m_pv(pv)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    m_changeHolds = 1; // what the first probe sets is no change
    getBasics();
    getLvs();
    m_changeHolds = 0;
    MyDebug(QStringLiteral("============") + m_name + QStringLiteral("======================"));
}

Partition::~Partition() = default;

void Partition::holdChanges()
{
    if (m_changeHolds++ == 0)
        m_heldState = observedState();
}

void Partition::releaseChanges()
{
    if (m_changeHolds > 0 && --m_changeHolds == 0 && observedState() != m_heldState)
        emit changed();
}

QStringList Partition::observedState() const
{
    return {m_name,   QString::number(m_size), m_systemTag, m_system, m_mountPoint,
            m_fstype, QString::number(m_pv),   m_vgPath,    m_lvs};
}

void Partition::getBasics()
{
    holdChanges();
    applyProbe(Reader::probePartition(m_name, m_deviceLine));
    releaseChanges();
}

void Partition::applyProbe(const PartitionRecord& record)
{
    m_size = record.size;
    m_systemTag = record.systemTag;
    m_pv = record.pv;
    m_system = record.system;
    if (record.membership) {
        m_vgPath = record.membership->vgPath;
        m_uuid = record.membership->uuid;
    }
    m_mountPoint = record.mountPoint;
    m_fstype = record.fstype;
}

void Partition::getLvs()
{
    holdChanges();
    m_lvs = m_pv ? Reader::readPartitionLvs(m_name) : QString();
    if (m_lvs.isEmpty())
        m_lvs = QStringLiteral("");
    else
        MyDebug(m_name + QStringLiteral("'s lvstring: ") + m_lvs);
    releaseChanges();
}

QString Partition::name() const
{
    return m_name;
}

QString Partition::path() const
{
    return QStringLiteral("/dev/") + m_name;
}

QString Partition::getSize() const
{
    return QString::number(m_size);
}

qint64 Partition::sizeBytes() const
{
    return static_cast<qint64>(m_size) * 1024;
}

int Partition::proportion() const
{
    return m_size / 1024;
}

QString Partition::getSystem() const
{
    return m_system;
}

void Partition::setSystem(QString systemTag, QString system)
{
    holdChanges();
    m_systemTag = systemTag;
    m_system = system;
    releaseChanges();
}

QString Partition::fstype() const
{
    return m_fstype;
}

QString Partition::mountPoint() const
{
    return m_mountPoint;
}

bool Partition::isPv() const
{
    return m_pv;
}

bool Partition::isAllocatable() const
{
    return m_vgPath.isEmpty();
}

QString Partition::getVgPath() const
{
    return m_vgPath;
}

void Partition::setVgPath(const QString& vgPath)
{
    holdChanges();
    m_vgPath = vgPath.simplified();
    releaseChanges();
}

QString Partition::lvString() const
{
    return m_lvs;
}

QStringList Partition::lvList() const
{
    return splitPathList(m_lvs);
}

void Partition::setLvs(const QString& lvs)
{
    holdChanges();
    m_lvs = lvs.simplified();
    releaseChanges();
}

void Partition::reprobe(const QString& deviceLine)
{
    holdChanges();
    m_deviceLine = deviceLine;
    getBasics();
    getLvs();
    releaseChanges();
}

void Partition::setPv(bool pv)
{
    holdChanges();
    m_pv = pv;
    releaseChanges();
}

void Partition::setFstype(const QString& fstype)
{
    holdChanges();
    m_fstype = fstype;
    releaseChanges();
}
