// The item models: rows copied from a Roz and kept in line with it row by row.
#include "itemmodels.h"

#include "lvmparse_p.h"
#include "roz.h"
#include "toolstream_p.h"

#include <QMetaObject>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 kKiB = 1024;
constexpr qint64 kMiB = 1024 * kKiB;

QString sizeText(qint64 bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    return unit == 0 ? QStringLiteral("%1 B").arg(bytes)
                     : QStringLiteral("%1 %2").arg(value, 0, 'f', 2).arg(QLatin1String(units[unit]));
}

// `mounts` is the mount table, read once for all the rows of a refresh.
StorageRow groupRow(Vg& vg, const QList<MountEntry>& mounts)
{
    const qint64 size = qint64(vg.getAttribute(Vg::SizeMb)) * kMiB;
    const bool active = vg.isActive();
    StorageRow row{vg.name(),
                   {vg.name(), sizeText(size), QString(), QString(),
                    active ? QStringLiteral("active") : QStringLiteral("inactive"), QString()},
                   {{KindRole, QVariant::fromValue(StorageKind::Group)},
                    {NameRole, vg.name()},
                    {PathRole, vg.path()},
                    {SizeBytesRole, size},
                    {FreeBytesRole, qint64(vg.getAttribute(Vg::FreeMb)) * kMiB},
                    {ActiveRole, active}},
                   {}};
    for (unsigned int i = 0; i < vg.lvCount(); ++i) {
        Lv* lv = vg.getLv(i);
        const qint64 lvSize = qint64(lv->getAttribute(Lv::Size)) * kMiB;
        const StorageKind kind = lv->isSnapshot() ? StorageKind::Snapshot : StorageKind::Volume;
        const QString mountPoint = mountPointOf(mounts, vg.name(), lv->name());
        row.children.append(
            {lv->name(),
             {lv->name(), sizeText(lvSize), lv->fstype(), mountPoint,
              lv->isActive() ? QStringLiteral("active") : QStringLiteral("inactive"), lv->getOriginal()},
             {{KindRole, QVariant::fromValue(kind)},
              {NameRole, lv->name()},
              {PathRole, lv->path()},
              {SizeBytesRole, lvSize},
              {FileSystemRole, lv->fstype()},
              {MountPointRole, mountPoint},
              {ActiveRole, lv->isActive()},
              {OriginRole, lv->getOriginal()}},
             {}});
    }
    return row;
}

StorageRow diskRow(Disk& disk)
{
    const qint64 size = disk.getSize().toLongLong() * kKiB;
    StorageRow row{disk.name(),
                   {disk.path(), sizeText(size), QString(), QString(), QString(), QString()},
                   {{KindRole, QVariant::fromValue(StorageKind::Disk)},
                    {NameRole, disk.name()},
                    {PathRole, disk.path()},
                    {SizeBytesRole, size}},
                   {}};
    for (unsigned int i = 0; i < disk.partitionCount(); ++i) {
        Partition* partition = disk.getPartition(i);
        const qint64 partSize = partition->getSize().toLongLong() * kKiB;
        row.children.append({partition->name(),
                             {partition->path(), sizeText(partSize), partition->getSystem(), partition->fstype(),
                              partition->mountPoint(), partition->getVgPath()},
                             {{KindRole, QVariant::fromValue(StorageKind::Partition)},
                              {NameRole, partition->name()},
                              {PathRole, partition->path()},
                              {SizeBytesRole, partSize},
                              {FileSystemRole, partition->fstype()},
                              {MountPointRole, partition->mountPoint()},
                              {GroupPathRole, partition->getVgPath()},
                              {PhysicalVolumeRole, partition->isPv()}},
                             {}});
    }
    return row;
}

} // namespace

struct StorageTreeModel::Node {
    QString key;
    QVariantList columns;
    QHash<int, QVariant> roles;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    int row() const
    {
        if (!parent)
            return 0;
        const auto found = std::find_if(parent->children.begin(), parent->children.end(),
                                        [this](const std::unique_ptr<Node>& child) { return child.get() == this; });
        return static_cast<int>(found - parent->children.begin());
    }

    void take(const StorageRow& row)
    {
        key = row.key;
        columns = row.columns;
        roles = row.roles;
    }
};

StorageTreeModel::StorageTreeModel(Roz* roz, const QStringList& headers, QObject* parent)
    : QAbstractItemModel(parent), m_roz(roz), m_headers(headers), m_root(std::make_unique<Node>())
{}

StorageTreeModel::~StorageTreeModel() = default;

QModelIndex StorageTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    Node* node = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : m_root.get();
    return createIndex(row, column, node->children[static_cast<size_t>(row)].get());
}

QModelIndex StorageTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    Node* parentNode = static_cast<Node*>(child.internalPointer())->parent;
    if (!parentNode || parentNode == m_root.get())
        return {};
    return createIndex(parentNode->row(), 0, parentNode);
}

int StorageTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node* node = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : m_root.get();
    return static_cast<int>(node->children.size());
}

int StorageTreeModel::columnCount(const QModelIndex&) const
{
    return static_cast<int>(m_headers.size());
}

QVariant StorageTreeModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Node* node = static_cast<Node*>(index.internalPointer());
    if (role == Qt::DisplayRole)
        return node->columns.value(index.column());
    if (role == Qt::ToolTipRole)
        return node->roles.value(PathRole);
    return node->roles.value(role);
}

QVariant StorageTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return {};
    return m_headers.at(section);
}

QHash<int, QByteArray> StorageTreeModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert({{KindRole, "kind"},
                  {NameRole, "name"},
                  {PathRole, "path"},
                  {SizeBytesRole, "sizeBytes"},
                  {FreeBytesRole, "freeBytes"},
                  {FileSystemRole, "fileSystem"},
                  {MountPointRole, "mountPoint"},
                  {ActiveRole, "active"},
                  {OriginRole, "origin"},
                  {GroupPathRole, "groupPath"},
                  {PhysicalVolumeRole, "physicalVolume"}});
    return names;
}

void StorageTreeModel::refresh()
{
    m_refreshPosted = false;
    sync(m_root.get(), QModelIndex(), currentRows());
    followChanges();
}

QModelIndex StorageTreeModel::indexOf(Node* node, int column) const
{
    return createIndex(node->row(), column, node);
}

void StorageTreeModel::scheduleRefresh()
{
    if (m_refreshPosted)
        return;
    m_refreshPosted = true;
    QMetaObject::invokeMethod(this, &StorageTreeModel::refresh, Qt::QueuedConnection);
}

// Every announcement of a change posts one refresh: the facade's discovery, each notice of the
// group manager, and each object's transcript and changed(). A change made by a job is announced
// while its reads still run (the event loop runs meanwhile), so a refresh may see it half done: the
// object's changed() at the end of the change posts the one that sees it whole. Connections are
// unique, so each refresh can take in the objects that came since the last one.
void StorageTreeModel::followChanges()
{
    constexpr auto unique = Qt::UniqueConnection;
    const auto follow = [this](const auto* sender, auto signal) {
        connect(sender, signal, this, &StorageTreeModel::scheduleRefresh, unique);
    };
    follow(m_roz, &Roz::discovered);
    Lvm* lvm = m_roz->getLvm();
    follow(lvm, &Lvm::output);
    follow(lvm, &Lvm::oneVgAdded);
    follow(lvm, &Lvm::oneVgRemoved);
    follow(lvm, &Lvm::oneVgRenamed);
    follow(lvm, &Lvm::oneVgExtended);
    follow(lvm, &Lvm::oneVgReduced);
    follow(lvm, &Lvm::oneLvAdded);
    follow(lvm, &Lvm::oneLvRemoved);
    follow(lvm, &Lvm::onePvsChanged);
    for (Vg* vg : lvm->vgs()) {
        follow(vg, &Vg::output);
        follow(vg, &Vg::changed);
        for (Lv* lv : vg->lvs()) {
            follow(lv, &Lv::output);
            follow(lv, &Lv::changed);
        }
    }
    Hard* hard = m_roz->getHard();
    for (uint i = 0; i < hard->diskCount(); ++i) {
        Disk* disk = hard->getDisk(i);
        follow(disk, &Disk::changed);
        for (Partition* partition : disk->partitions())
            follow(partition, &Partition::changed);
    }
}

void StorageTreeModel::sync(Node* node, const QModelIndex& parentIndex, const QList<StorageRow>& wanted)
{
    QSet<QString> wantedKeys;
    for (const StorageRow& row : wanted)
        wantedKeys.insert(row.key);
    QSet<QString> knownKeys;
    for (const auto& child : node->children)
        knownKeys.insert(child->key);

    // One row gone and one new beside it: a rename, kept in place.
    std::vector<Node*> gone;
    for (const auto& child : node->children) {
        if (!wantedKeys.contains(child->key))
            gone.push_back(child.get());
    }
    QStringList arrived;
    for (const StorageRow& row : wanted) {
        if (!knownKeys.contains(row.key))
            arrived.append(row.key);
    }
    if (gone.size() == 1 && arrived.size() == 1) {
        gone.front()->key = arrived.front();
        gone.clear();
    }

    for (Node* removed : gone) {
        const int row = removed->row();
        beginRemoveRows(parentIndex, row, row);
        node->children.erase(node->children.begin() + row);
        endRemoveRows();
    }

    for (int i = 0; i < wanted.size(); ++i) {
        const StorageRow& row = wanted.at(i);
        const auto at = std::find_if(node->children.begin() + i, node->children.end(),
                                     [&row](const std::unique_ptr<Node>& child) { return child->key == row.key; });
        if (at == node->children.end()) {
            auto added = std::make_unique<Node>();
            added->take(row);
            added->parent = node;
            beginInsertRows(parentIndex, i, i);
            node->children.insert(node->children.begin() + i, std::move(added));
            endInsertRows();
        } else if (at != node->children.begin() + i) {
            const int from = static_cast<int>(at - node->children.begin());
            beginMoveRows(parentIndex, from, from, parentIndex, i);
            std::unique_ptr<Node> moved = std::move(*at);
            node->children.erase(at);
            node->children.insert(node->children.begin() + i, std::move(moved));
            endMoveRows();
        }
        Node* child = node->children[static_cast<size_t>(i)].get();
        if (child->columns != row.columns || child->roles != row.roles) {
            child->take(row);
            emit dataChanged(indexOf(child, 0), indexOf(child, columnCount() - 1));
        }
        sync(child, indexOf(child, 0), row.children);
    }
}

LogicalTreeModel::LogicalTreeModel(Roz* roz, QObject* parent)
    : StorageTreeModel(roz, {tr("Name"), tr("Size"), tr("File system"), tr("Mount point"), tr("State"), tr("Origin")},
                       parent)
{
    refresh();
}

QList<StorageRow> LogicalTreeModel::currentRows() const
{
    QList<StorageRow> rows;
    Lvm* lvm = roz()->getLvm();
    const QList<MountEntry> mounts = readMountTable();
    for (uint i = 0; i < lvm->vgCount(); ++i)
        rows.append(groupRow(*lvm->getVg(i), mounts));
    return rows;
}

PhysicalTreeModel::PhysicalTreeModel(Roz* roz, QObject* parent)
    : StorageTreeModel(roz, {tr("Device"), tr("Size"), tr("System"), tr("File system"), tr("Mount point"), tr("Group")},
                       parent)
{
    refresh();
}

QList<StorageRow> PhysicalTreeModel::currentRows() const
{
    QList<StorageRow> rows;
    Hard* hard = roz()->getHard();
    for (uint i = 0; i < hard->diskCount(); ++i)
        rows.append(diskRow(*hard->getDisk(i)));
    return rows;
}
