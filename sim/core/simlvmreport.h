// Today's LVM reports: the fields of groups, PVs, volumes and their segments as LVM2 2.03 names and
// formats them, and the JSON and column layouts of fullreport, vgs, lvs and pvs.
#ifndef DOVODODUZU_SIM_SIMLVMREPORT_H
#define DOVODODUZU_SIM_SIMLVMREPORT_H

#include "simtools.h"

namespace sim {

// One report row: field names and values in report order.
using ReportRow = QList<QPair<QString, QString>>;

// How sizes are printed: --units (r, the default: human with "<" on figures rounded up; h: human;
// k/m/g/t: 1024-based; K/M/G/T: 1000-based; b: bytes; s: sectors) and whether the unit letter
// follows (--nosuffix drops it).
struct Units {
    QChar unit = QLatin1Char('r');
    bool suffix = true;
    QString size(qint64 kib) const;
};

// The LVM2 2.03 report commands: fullreport, vgs, lvs, pvs.
int lvmReport(const QString& command, const Machine& m, const QStringList& args, Output& o);

} // namespace sim

#endif
