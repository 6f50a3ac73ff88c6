// Item models over a Roz for Qt views: the logical tree (volume groups → logical volumes) and the
// physical tree (disks → partitions), kept up to date with row inserts, removals, moves and
// dataChanged as the library announces changes, never with a reset for a single change.
#ifndef DOVODODUZU_ITEMMODELS_H
#define DOVODODUZU_ITEMMODELS_H

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

#include "dovododuzu_export.h"

class Roz;

// Roles every row answers besides Qt::DisplayRole (column text) and Qt::ToolTipRole (the path).
enum StorageRole {
    KindRole = Qt::UserRole + 1, // StorageKind
    NameRole,                    // QString: "my-vg", "home", "sda", "sda5"
    PathRole,                    // QString: "/dev/my-vg", "/dev/my-vg/home", "/dev/sda", "/dev/sda5"
    SizeBytesRole,               // qint64
    FreeBytesRole,               // qint64, groups only
    FileSystemRole,              // QString as the library reads it ("ext3", "unknown", ...)
    MountPointRole,              // QString, empty when not mounted
    ActiveRole,                  // bool: a group all of whose volumes are active, an active volume
    OriginRole,                  // QString: a snapshot's origin volume name, else empty
    GroupPathRole,               // QString: a partition's group ("/dev/my-vg"), else empty
    PhysicalVolumeRole           // bool: the partition is an LVM physical volume
};

enum class StorageKind { Group, Volume, Snapshot, Disk, Partition };

// One row as a model shows it: a key that identifies it among its siblings, the column texts, the
// role values and the rows under it.
struct StorageRow {
    QString key;
    QVariantList columns;
    QHash<int, QVariant> roles;
    QList<StorageRow> children;
};

// What both trees share: rows mirrored from the library's objects and brought in line with them by
// refresh(), which inserts, removes, moves and updates single rows. A row whose key vanished while
// exactly one new key appeared beside it is taken as renamed and updated in place. The model never
// holds a pointer into the library: what a view reads is the copy made at the last refresh.
// Refreshes are posted to the model's thread after each announced change, so they see the change
// complete; call refresh() to bring the rows in line at once.
class DOVODODUZU_EXPORT StorageTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    ~StorageTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void refresh();

protected:
    StorageTreeModel(Roz* roz, const QStringList& headers, QObject* parent);
    // The rows the library's objects give now.
    virtual QList<StorageRow> currentRows() const = 0;

    Roz* roz() const { return m_roz; }

private:
    struct Node;
    void scheduleRefresh();
    void followChanges();
    void sync(Node* node, const QModelIndex& parentIndex, const QList<StorageRow>& wanted);
    QModelIndex indexOf(Node* node, int column) const;

    Roz* m_roz;
    QStringList m_headers;
    std::unique_ptr<Node> m_root;
    bool m_refreshPosted = false;
};

// Groups at the top level, their volumes (snapshots beside their origin, OriginRole naming it) as
// children. Columns: Name, Size, File system, Mount point, State, Origin.
class DOVODODUZU_EXPORT LogicalTreeModel : public StorageTreeModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, FileSystemColumn, MountPointColumn, StateColumn, OriginColumn };

    // `roz` must outlive the model; the rows are read at once and follow every change.
    explicit LogicalTreeModel(Roz* roz, QObject* parent = nullptr);

protected:
    QList<StorageRow> currentRows() const override;
};

// Disks at the top level, their partitions as children. Columns: Device, Size, System,
// File system, Mount point, Group.
class DOVODODUZU_EXPORT PhysicalTreeModel : public StorageTreeModel
{
    Q_OBJECT

public:
    enum Column { DeviceColumn, SizeColumn, SystemColumn, FileSystemColumn, MountPointColumn, GroupColumn };

    explicit PhysicalTreeModel(Roz* roz, QObject* parent = nullptr);

protected:
    QList<StorageRow> currentRows() const override;
};

#endif
