// Physical-volume creation as the group operations use it: also says whether any tool changed the machine.
#ifndef DOVODODUZU_CREATEPV_P_H
#define DOVODODUZU_CREATEPV_P_H

#include <QString>
#include <QStringList>

// createPv, telling through `touched` whether a partition was marked or pvcreate ran, so that a
// caller whose operation then fails knows the partitions must be read again.
int createPvTracked(const QStringList& devices, QString& output, bool& touched);

#endif
