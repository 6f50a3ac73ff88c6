// The dispatch of every read the model makes to the classic or the current reader.
#include "reader_p.h"

#include "classicreader_p.h"
#include "lvmparse_p.h"
#include "toolstream_p.h"
#include "utils.h"

namespace {

bool classic()
{
    return toolSet() != ToolSet::Current;
}

} // namespace

namespace Reader {

bool listedBefore(const QString& a, const QString& b)
{
    return !classic() && a.toUtf8() < b.toUtf8();
}

GroupListing readGroupListing()
{
    if (classic())
        return ClassicReader::readGroupListing();
    CurrentReadScope scope;
    return CurrentReader::readGroupListing(scope.snapshot());
}

GroupRecord readGroupFigures(const QString& vgName)
{
    if (classic())
        return ClassicReader::readGroupFigures(vgName);
    CurrentReadScope scope;
    return CurrentReader::readGroupFigures(scope.lvmReport().report, vgName);
}

QString readGroupPvs(const QString& vgName)
{
    if (classic())
        return ClassicReader::readGroupPvs(vgName);
    CurrentReadScope scope;
    return CurrentReader::readGroupPvs(scope.lvmReport().report, vgName);
}

VolumeListing readVolumeListing(const QString& vgName)
{
    if (classic())
        return ClassicReader::readVolumeListing(vgName);
    CurrentReadScope scope;
    return CurrentReader::readVolumeListing(scope.lvmReport().report, vgName);
}

VolumeRecord readVolume(const QString& vgName, const QString& lvName, bool wasOrigin, bool wasSnapshot)
{
    if (classic())
        return ClassicReader::readVolume(vgName, lvName, wasOrigin, wasSnapshot);
    CurrentReadScope scope;
    return CurrentReader::readVolume(scope.volumes(), vgName, lvName);
}

QString readVolumePvs(const QString& vgName, const QString& lvName)
{
    if (classic())
        return ClassicReader::readVolumePvs(vgName, lvName);
    CurrentReadScope scope;
    return CurrentReader::readVolumePvs(scope.lvmReport().report, vgName, lvName);
}

QString readVolumeMountPoint(const QString& vgName, const QString& lvName)
{
    // The mount table is the same file for either tool set.
    return mountPointOf(readMountTable(), vgName, lvName);
}

DiskListing readDisks()
{
    if (classic())
        return ClassicReader::readDisks();
    CurrentReadScope scope;
    return CurrentReader::readDisks(scope.snapshot());
}

PartitionListing readPartitions(const QString& diskName)
{
    if (classic())
        return ClassicReader::readPartitions(diskName);
    CurrentReadScope scope;
    return CurrentReader::readPartitions(scope.snapshot(), diskName);
}

QList<PartitionLine> readPartitionLines(const QStringList& paths)
{
    if (classic())
        return ClassicReader::readPartitionLines(paths);
    // The current reader probes from its snapshot: no line is needed, the order is the caller's.
    QList<PartitionLine> lines;
    for (const QString& path : paths)
        lines.append({path, QString()});
    return lines;
}

PartitionRecord probePartition(const QString& name, const QString& deviceLine)
{
    if (classic())
        return ClassicReader::probePartition(name, deviceLine);
    CurrentReadScope scope;
    return CurrentReader::probePartition(scope.snapshot(), name);
}

QString readPartitionLvs(const QString& name)
{
    if (classic())
        return ClassicReader::readPartitionLvs(name);
    CurrentReadScope scope;
    return CurrentReader::readPartitionLvs(scope.lvmReport().report, name);
}

} // namespace Reader
