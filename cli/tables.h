// The model as text tables, the way lsblk and lvs/vgs print storage, and the rows a change altered.
#ifndef ROZ_TABLES_H
#define ROZ_TABLES_H

#include "modelview.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace roz {

struct Row {
    QString key; // what the row stands for, stable across a change: "vg:vg0", "part:/dev/sda2"
    QStringList cells;
};

struct Table {
    QString title;
    QStringList headers;
    QList<Row> rows;
};

// Three tables: disks and partitions, volume groups, logical volumes.
QList<Table> tablesOf(const ModelView& model);

// Every table with its title, header and rows, for `roz show`.
QString renderTables(const QList<Table>& tables);

// Only the rows that differ between `before` and `after` (the same tables taken at two moments):
// a vanished row prefixed "-", a new one "+", a changed one as "-" old then "+" new. Empty when
// nothing changed.
QString renderChanges(const QList<Table>& before, const QList<Table>& after);

} // namespace roz

#endif
