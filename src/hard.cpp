// Hard: discovery of every disk of the machine and the re-reading of partitions after a change.
#include "harddrive.h"

#include "assertsites_p.h"

#include "changehold_p.h"
#include "jobrunner_p.h"
#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <utility>

Hard::Hard(QObject* parent, const char* objectName) : QObject(parent)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    findDisk();
    MyDebug(QStringLiteral("=====D=I=S=K=S====&=====P=A=R=T=I=T=I=O=N=S======="));
}

Hard::Hard(QObject* parent, EmptyTag) : QObject(parent) {}

void Hard::clear()
{
    const QList<Disk*> disks = std::exchange(m_disks, {});
    qDeleteAll(disks);
    m_problems.clear();
}

Hard::~Hard()
{
    clear();
}

void Hard::findDisk()
{
    // The disks and everything read while they are added come from one reading where the tool
    // set allows.
    Reader::Scope scope;
    const DiskListing listing = Reader::readDisks();
    m_problems += listing.problems;
    for (const DiskEntry& disk : listing.disks)
        addDisk(disk.name, disk.size);
}

void Hard::addDisk(const QString& name, unsigned long size)
{
    auto* disk = new Disk(name.simplified(), this);
    disk->setSize(size);
    m_disks.append(disk);
    forgetWhenDestroyed(disk);
    disk->findPartition();
    JobRunner::breathe();
}

// A subtree deleted from outside leaves the registry too.
void Hard::forgetWhenDestroyed(Disk* disk)
{
    connect(disk, &QObject::destroyed, this,
            [this](QObject* gone) { m_disks.removeIf([gone](Disk* d) { return d == gone; }); });
}

Disk* Hard::getDisk(unsigned int index)
{
    if (index >= static_cast<unsigned int>(m_disks.size())) {
        warnAt(AssertSites::kDiskIndex);
        return nullptr;
    }
    return m_disks[index];
}

Disk* Hard::getDisk(const QString& name)
{
    for (Disk* disk : std::as_const(m_disks)) {
        if (disk->name() == name)
            return disk;
    }
    return nullptr;
}

unsigned int Hard::diskCount() const
{
    return static_cast<unsigned int>(m_disks.size());
}

QStringList Hard::problems() const
{
    QStringList all = m_problems;
    for (const Disk* disk : m_disks)
        all += disk->m_problems;
    return all;
}

void Hard::rereadPartitions(const QStringList& listPv)
{
    if (listPv.isEmpty())
        return;
    HardChangeHold hold(this);
    Reader::Scope scope; // one reading for every listed partition where the tool set allows
    for (const PartitionLine& line : Reader::readPartitionLines(listPv)) {
        if (Partition* partition = getPv(line.path))
            partition->reprobe(line.deviceLine);
    }
}
