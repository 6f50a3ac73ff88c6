// Colon-joined path strings ("/dev/hda3:/dev/hdb1"), as groups, volumes and partitions keep them.
#ifndef DOVODODUZU_PATHLIST_P_H
#define DOVODODUZU_PATHLIST_P_H

#include <QString>
#include <QStringList>

// The paths of a colon-joined string; a leading, trailing or doubled ":" leaves no empty entry.
inline QStringList splitPathList(const QString& joined)
{
    return joined.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

#endif
