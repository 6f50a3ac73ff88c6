// Checks on a request to make or extend a volume group, made before any tool runs.
#ifndef DOVODODUZU_VGREQUEST_P_H
#define DOVODODUZU_VGREQUEST_P_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "toolstream_p.h"

// Each check returns a one-line reason naming what is wrong, or an empty string when nothing is.

// A device named twice, mounted, or already a physical volume of a group (`groupOfPv` maps the
// device paths of every group's physical volumes to the group's name).
QString devicesProblem(const QStringList& devices, const QHash<QString, QString>& groupOfPv,
                       const QList<MountEntry>& mounts);

// A name LVM would refuse for a new group, or one already taken.
QString groupNameProblem(const QString& name, const QStringList& takenNames);

// An extent size among vgcreate's options ("-s4M", "-s 4M", "--physicalextentsize 4M") that is no
// power of two of at least 8 KiB. Options without an extent size pass.
QString extentSizeProblem(const QStringList& options);

// Extent sizes as vgcreate reads them: a number and an optional unit k, m (the default), g or t.
// -1 when the text is no size or no whole number of KiB.
qint64 extentSizeKiB(const QString& text);

#endif
