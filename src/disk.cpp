// Disk: one disk of the machine and the partitions the device lister lists for it.
#include "harddrive.h"

#include "assertsites_p.h"

#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <utility>

Disk::Disk(const QString& name, QObject* parent, const char* objectName) : QObject(parent), m_name(name)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    MyDebug(QStringLiteral("==") + path() + QStringLiteral("================================"));
}

Disk::~Disk()
{
    const QList<Partition*> partitions = std::exchange(m_partitions, {});
    qDeleteAll(partitions);
}

void Disk::findPartition()
{
    // The partitions and everything read while they are added come from one reading where the
    // tool set allows.
    Reader::Scope scope;
    const PartitionListing listing = Reader::readPartitions(m_name);
    m_problems += listing.problems;
    for (const PartitionEntry& partition : listing.partitions)
        addPartition(partition.name, partition.deviceLine);
}

void Disk::addPartition(const QString& name, const QString& deviceLine)
{
    auto* partition = new Partition(name.simplified(), deviceLine, false, this);
    m_partitions.append(partition);
    // A partition deleted from outside leaves the registry too.
    connect(partition, &QObject::destroyed, this,
            [this](QObject* gone) { m_partitions.removeIf([gone](Partition* p) { return p == gone; }); });
}

Partition* Disk::getPartition(unsigned int index)
{
    if (index >= static_cast<unsigned int>(m_partitions.size())) {
        warnAt(AssertSites::kPartitionIndex);
        return nullptr;
    }
    return m_partitions[index];
}

Partition* Disk::getPartition(const QString& name)
{
    for (Partition* partition : std::as_const(m_partitions)) {
        if (partition->name() == name)
            return partition;
    }
    return nullptr;
}

unsigned int Disk::partitionCount() const
{
    return static_cast<unsigned int>(m_partitions.size());
}

QList<Partition*> Disk::partitions() const
{
    return m_partitions;
}

QString Disk::getSize()
{
    return QString::number(m_size);
}

qint64 Disk::sizeBytes() const
{
    return static_cast<qint64>(m_size) * 1024;
}

void Disk::setSize(unsigned long size)
{
    if (size == m_size)
        return;
    m_size = size;
    emit changed();
}

QString Disk::name() const
{
    return m_name;
}

QString Disk::path() const
{
    return QStringLiteral("/dev/") + m_name;
}

QString Disk::lvString() const
{
    return QStringLiteral("");
}
