// Text tables of the model and of what a change altered.
#include "tables.h"

#include <algorithm>

namespace roz {

namespace {

const QString none = QStringLiteral("-");

QString orNone(const QString& text)
{
    return text.isEmpty() ? none : text;
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString withoutDev(const QString& path)
{
    return path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
}

// Paths joined with ",", each without its "/dev/".
QString shortList(const QStringList& paths)
{
    QStringList shortened;
    for (const QString& path : paths)
        shortened << withoutDev(path);
    return orNone(shortened.join(QLatin1Char(',')));
}

Table diskTable(const ModelView& model)
{
    Table table{QStringLiteral("DISKS AND PARTITIONS"),
                {QStringLiteral("NAME"), QStringLiteral("SIZE"), QStringLiteral("SYSTEM"), QStringLiteral("FSTYPE"),
                 QStringLiteral("MOUNTPOINT"), QStringLiteral("PV"), QStringLiteral("GROUP"),
                 QStringLiteral("VOLUMES")},
                {}};
    for (const DiskView& disk : model.disks) {
        table.rows << Row{QStringLiteral("disk:") + disk.path,
                          {disk.name, QString::number(disk.size), none, none, none, none, none, none}};
        for (qsizetype i = 0; i < disk.partitions.size(); ++i) {
            const PartitionView& p = disk.partitions.at(i);
            const QString branch = i + 1 == disk.partitions.size() ? QStringLiteral("└─") : QStringLiteral("├─");
            table.rows << Row{QStringLiteral("part:") + p.path,
                              {branch + p.name, QString::number(p.size), orNone(p.system), orNone(p.fstype),
                               orNone(p.mountPoint), yesNo(p.pv), orNone(withoutDev(p.groupPath)),
                               shortList(p.volumes)}};
        }
    }
    return table;
}

Table groupTable(const ModelView& model)
{
    Table table{QStringLiteral("VOLUME GROUPS"),
                {QStringLiteral("GROUP"), QStringLiteral("SIZE(MiB)"), QStringLiteral("FREE(MiB)"),
                 QStringLiteral("EXTENT(MiB)"), QStringLiteral("EXTENTS(total/used/free)"), QStringLiteral("PVS"),
                 QStringLiteral("LVS"), QStringLiteral("ACTIVE"), QStringLiteral("RESIZABLE")},
                {}};
    for (const GroupView& g : model.groups) {
        const QString extents =
            QStringLiteral("%1/%2/%3").arg(g.totalExtents).arg(g.allocatedExtents).arg(g.freeExtents);
        table.rows << Row{QStringLiteral("vg:") + g.name,
                          {g.name, QString::number(g.sizeMiB), QString::number(g.freeMiB), QString::number(g.extentMiB),
                           extents, shortList(g.pvs), QString::number(g.volumes.size()), yesNo(g.active),
                           yesNo(g.resizable)}};
    }
    return table;
}

QString snapshotLinks(const VolumeView& v)
{
    if (v.snapshot)
        return QStringLiteral("snapshot of ") + orNone(v.origin);
    if (!v.snapshots.isEmpty())
        return QStringLiteral("origin of ") + v.snapshots.join(QLatin1Char(','));
    return none;
}

Table volumeTable(const ModelView& model)
{
    Table table{QStringLiteral("LOGICAL VOLUMES"),
                {QStringLiteral("VOLUME"), QStringLiteral("SIZE(MiB)"), QStringLiteral("EXTENTS"),
                 QStringLiteral("STATUS"), QStringLiteral("SNAPSHOTS"), QStringLiteral("FSTYPE"), QStringLiteral("PVS"),
                 QStringLiteral("MOUNTPOINT")},
                {}};
    for (const GroupView& g : model.groups) {
        for (const VolumeView& v : g.volumes) {
            table.rows << Row{QStringLiteral("lv:") + v.path,
                              {g.name + QLatin1Char('/') + v.name, QString::number(v.sizeMiB),
                               QString::number(v.extents),
                               v.active ? QStringLiteral("active") : QStringLiteral("inactive"), snapshotLinks(v),
                               orNone(v.fstype), shortList(v.pvs), orNone(v.mountPoint)}};
        }
    }
    return table;
}

// A row printed after `prefix`; every cell but the last padded to its column's width.
QString formatRow(const QString& prefix, const QStringList& cells, const QList<qsizetype>& widths)
{
    QString line = prefix;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const bool last = i + 1 == cells.size();
        line += last ? cells.at(i) : cells.at(i).leftJustified(widths.at(i)) + QStringLiteral("  ");
    }
    return line + QLatin1Char('\n');
}

QList<qsizetype> columnWidths(const QStringList& headers, const QList<Row>& rows)
{
    QList<qsizetype> widths;
    for (const QString& header : headers)
        widths << header.size();
    for (const Row& row : rows) {
        for (qsizetype i = 0; i < row.cells.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths.at(i), row.cells.at(i).size());
    }
    return widths;
}

const Row* findRow(const QList<Row>& rows, const QString& key)
{
    for (const Row& row : rows) {
        if (row.key == key)
            return &row;
    }
    return nullptr;
}

// The changed rows of one table, each with its "-" or "+" mark: vanished and altered rows in the
// old order (an altered row's new form right after its old one), then the new rows.
QList<QPair<QString, Row>> changedRows(const Table& before, const Table& after)
{
    QList<QPair<QString, Row>> changed;
    for (const Row& old : before.rows) {
        const Row* now = findRow(after.rows, old.key);
        if (now && now->cells == old.cells)
            continue;
        changed << qMakePair(QStringLiteral("- "), old);
        if (now)
            changed << qMakePair(QStringLiteral("+ "), *now);
    }
    for (const Row& now : after.rows) {
        if (!findRow(before.rows, now.key))
            changed << qMakePair(QStringLiteral("+ "), now);
    }
    return changed;
}

} // namespace

QList<Table> tablesOf(const ModelView& model)
{
    return {diskTable(model), groupTable(model), volumeTable(model)};
}

QString renderTables(const QList<Table>& tables)
{
    QString text;
    for (const Table& table : tables) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += table.title + QLatin1Char('\n');
        if (table.rows.isEmpty()) {
            text += QStringLiteral("(none)\n");
            continue;
        }
        const QList<qsizetype> widths = columnWidths(table.headers, table.rows);
        text += formatRow(QString(), table.headers, widths);
        for (const Row& row : table.rows)
            text += formatRow(QString(), row.cells, widths);
    }
    return text;
}

QString renderChanges(const QList<Table>& before, const QList<Table>& after)
{
    QString text;
    for (qsizetype t = 0; t < before.size() && t < after.size(); ++t) {
        const QList<QPair<QString, Row>> changed = changedRows(before.at(t), after.at(t));
        if (changed.isEmpty())
            continue;
        QList<Row> rows;
        for (const auto& entry : changed)
            rows << entry.second;
        const QList<qsizetype> widths = columnWidths(after.at(t).headers, rows);
        text += after.at(t).title + QLatin1Char('\n');
        text += formatRow(QStringLiteral("  "), after.at(t).headers, widths);
        for (const auto& entry : changed)
            text += formatRow(entry.first, entry.second.cells, widths);
    }
    return text;
}

} // namespace roz
