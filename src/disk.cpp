// Disk: one disk of the machine and the partitions the device lister lists for it.
#include "harddrive.h"

#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

Disk::Disk(const QString& name, QObject* parent, const char* objectName) : QObject(parent), m_name(name)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    MyDebug(QStringLiteral("==") + path() + QStringLiteral("================================"));
}

Disk::~Disk() = default;

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
    auto partition = std::make_unique<Partition>(name.simplified(), deviceLine, false, nullptr, nullptr);
    Q_CHECK_PTR(partition.get());
    m_partitions.push_back(std::move(partition));
}

Partition* Disk::getPartition(unsigned int index)
{
    if (index >= m_partitions.size()) {
        assertWarning("partition != NULL", "harddrive", 402);
        return nullptr;
    }
    return m_partitions[index].get();
}

Partition* Disk::getPartition(const QString& name)
{
    for (const auto& partition : m_partitions) {
        if (partition->name() == name)
            return partition.get();
    }
    return nullptr;
}

unsigned int Disk::partitionCount() const
{
    return static_cast<unsigned int>(m_partitions.size());
}

QString Disk::getSize()
{
    return QString::number(m_size);
}

void Disk::setSize(unsigned long size)
{
    m_size = size;
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
