// Partition: one partition's record as a probe of the tool set in use gives it, with the list of
// logical volumes on it.
#include "harddrive.h"

#include "reader_p.h"
#include "utils.h"

Partition::Partition(const QString& name, const QString& deviceLine, bool pv, QObject* parent, const char* objectName)
    : QObject(parent), m_name(name), m_deviceLine(deviceLine), m_pv(pv)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    getBasics();
    getLvs();
    MyDebug(QStringLiteral("============") + m_name + QStringLiteral("======================"));
}

Partition::~Partition() = default;

void Partition::getBasics()
{
    applyProbe(Reader::probePartition(m_name, m_deviceLine));
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
    m_lvs = m_pv ? Reader::readPartitionLvs(m_name) : QString();
    if (m_lvs.isEmpty()) {
        m_lvs = QStringLiteral("");
        return;
    }
    MyDebug(m_name + QStringLiteral("'s lvstring: ") + m_lvs);
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
    m_systemTag = systemTag;
    m_system = system;
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
    m_vgPath = vgPath.simplified();
}

QString Partition::lvString() const
{
    return m_lvs;
}

void Partition::setLvs(const QString& lvs)
{
    m_lvs = lvs.simplified();
}

void Partition::reprobe(const QString& deviceLine)
{
    m_deviceLine = deviceLine;
    getBasics();
    getLvs();
}

void Partition::setPv(bool pv)
{
    m_pv = pv;
}

void Partition::setFstype(const QString& fstype)
{
    m_fstype = fstype;
}
