// Partition: one partition's record, probed once from the device lister's line, the LVM tool
// and the mount table, with the list of logical volumes on it.
#include "harddrive.h"

#include "diskparse_p.h"
#include "toolstream_p.h"
#include "utils.h"

namespace {

QStringList decodeLines(const QList<QByteArray>& raw)
{
    QStringList lines;
    lines.reserve(raw.size());
    for (const QByteArray& line : raw)
        lines.append(QString::fromLocal8Bit(line));
    return lines;
}

} // namespace

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
    if (toolSet() == ToolSet::Current) {
        getBasicsCurrent();
        return;
    }
    const PartitionBasics basics = parsePartitionBasics(m_deviceLine);
    m_size = basics.size;
    m_systemTag = basics.systemTag;
    m_pv = basics.pvCandidate;
    m_system = basics.system;
    MyDebug(QStringLiteral("Partition ") + m_name + QStringLiteral("'s system is: ") + m_system);

    if (m_pv) {
        const PvRecord record = parsePvDisplayColon(
            decodeLines(readToolLines(QStringLiteral("/sbin/lvm.static pvdisplay -c %1 2>&1").arg(path()))));
        if (record.noLabel) {
            m_pv = false;
        } else if (!record.vgName.isEmpty()) {
            m_vgPath = QStringLiteral("/dev/") + record.vgName;
            m_uuid = record.uuid;
        }
    }

    m_mountPoint = QStringLiteral("");
    m_fstype = basics.fstype;
    const QList<MountEntry> table = readMountTable();
    if (const MountEntry* entry = findMountEntry(table, m_name)) {
        m_mountPoint = entry->directory;
        m_fstype = entry->type;
    }
}

void Partition::getLvs()
{
    if (toolSet() == ToolSet::Current) {
        getLvsCurrent();
        return;
    }
    m_lvs = QStringLiteral("");
    if (!m_pv)
        return;

    // Only the table is wanted: stop reading once it has ended.
    ToolStream stream(QStringLiteral("/sbin/lvm.static pvdisplay -v %1 2>&1").arg(path()));
    LvTableScanner scanner;
    QByteArray line;
    while (stream.readLine(line) && scanner.addLine(QString::fromLocal8Bit(line))) {
    }
    stream.close();

    m_lvs = scanner.paths().join(QLatin1Char(':'));
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
