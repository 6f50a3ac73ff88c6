// Hard: discovery of every disk of the machine from the device lister's drive lines.
#include "harddrive.h"

#include "currentreader_p.h"
#include "diskparse_p.h"
#include "toolstream_p.h"
#include "utils.h"

Hard::Hard(QObject* parent, const char* objectName) : QObject(parent)
{
    if (objectName)
        setObjectName(QString::fromLatin1(objectName));
    findDisk();
    MyDebug(QStringLiteral("=====D=I=S=K=S====&=====P=A=R=T=I=T=I=O=N=S======="));
}

Hard::~Hard() = default;

void Hard::findDisk()
{
    if (toolSet() == ToolSet::Current) {
        findDiskCurrent();
        return;
    }
    const CheckedLines listing = readToolLinesChecked(QString::fromLatin1(kDeviceListerCommand));
    if (!listing.problem.isEmpty())
        m_problems.append(listing.problem);
    for (const QByteArray& raw : listing.lines) {
        DriveLine drive;
        if (parseDiskLine(QString::fromLocal8Bit(raw), drive))
            addDisk(drive.name, drive.size);
    }
}

void Hard::addDisk(const QString& name, unsigned long size)
{
    auto disk = std::make_unique<Disk>(name.simplified(), nullptr, nullptr);
    disk->setSize(size);
    Q_CHECK_PTR(disk.get());
    Disk* added = disk.get();
    m_disks.push_back(std::move(disk));
    added->findPartition();
}

Disk* Hard::getDisk(unsigned int index)
{
    if (index >= m_disks.size()) {
        assertWarning("disk != NULL", "harddrive", 361);
        return nullptr;
    }
    return m_disks[index].get();
}

Disk* Hard::getDisk(const QString& name)
{
    for (const auto& disk : m_disks) {
        if (disk->name() == name)
            return disk.get();
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
    for (const auto& disk : m_disks)
        all += disk->m_problems;
    return all;
}

void Hard::rereadPartitions(const QStringList& listPv)
{
    if (listPv.isEmpty())
        return;
    if (toolSet() == ToolSet::Current) {
        CurrentReadScope scope; // one snapshot for every listed partition
        for (const QString& path : listPv) {
            if (Partition* partition = getPv(path))
                partition->reprobe(QString());
        }
        return;
    }
    const QList<QByteArray> lines = readToolLines(QString::fromLatin1(kDeviceListerCommand));
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromLocal8Bit(raw);
        const QStringList fields = splitAtTabs(line);
        if (fieldAt(fields, 0) != QLatin1String("PART"))
            continue;
        const QString path = QStringLiteral("/dev/") + partitionNameOf(fields);
        if (!listPv.contains(path))
            continue;
        if (Partition* partition = getPv(path))
            partition->reprobe(line);
    }
}
