// The typed calls: each builds the positional request, runs it and names the step that failed
// from the programs it started.
#include "operations.h"

#include "jobrunner_p.h"
#include "runlog_p.h"
#include "safety.h"
#include "utils.h"
#include "vgrequest_p.h"

#include <QFileInfo>

#include <climits>
#include <functional>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kKiB = 1024;

// The step a program run stands for; empty for a run that only read (mount --guess-fstype).
QString stepOf(const ProgramRun& run)
{
    const QString program = QFileInfo(run.program).fileName();
    if (program.startsWith(QLatin1String("lvm")))
        return run.args.value(0);
    if (program.startsWith(QLatin1String("mke2fs")) || program.startsWith(QLatin1String("mkreiserfs")) ||
        program == QLatin1String("ls"))
        return QStringLiteral("mkfs");
    if (program == QLatin1String("mount"))
        return QString();
    return program;
}

QList<ProgramRun> changeRuns(const QList<ProgramRun>& runs)
{
    QList<ProgramRun> kept;
    for (const ProgramRun& run : runs) {
        if (!stepOf(run).isEmpty())
            kept.append(run);
    }
    return kept;
}

// The run that gave `code`; for -1 (the library's own failure after the tools ran) the last that
// failed, else the first, whose result the library did not find.
QString failedStep(int code, const QList<ProgramRun>& runs)
{
    if (code == kVolumeWithoutFileSystem)
        return QStringLiteral("mkfs");
    for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
        if (run->result == code)
            return stepOf(*run);
    }
    for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
        if (run->result != 0)
            return stepOf(*run);
    }
    return stepOf(runs.first());
}

QString lastMeaningfulLine(const QString& transcript)
{
    const QStringList lines = prettify_run_result(transcript).split(QLatin1Char('\n'));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->trimmed().isEmpty())
            return line->trimmed();
    }
    return QString();
}

OperationResult refusal(const QString& reason)
{
    return {false, QString(), -1, reason};
}

// Runs `call` with `sender`'s transcript and the programs it starts recorded. `firstStep` names
// the step of a failure that started no program (today's lsblk lookup before parted).
template <class Sender>
OperationResult carryOut(Sender& sender, const std::function<int()>& call, const QString& firstStep)
{
    if (JobRunner::mayStart(QString(), true) == StartRefusal::Reentered)
        return refusal(QStringLiteral("A job is running: ask for this change as a job"));
    QString transcript;
    const QMetaObject::Connection connection =
        QObject::connect(&sender, &Sender::output, [&transcript](const QString& text) { transcript = text; });
    RunLog log;
    const int code = call();
    QObject::disconnect(connection);

    OperationResult result{code == 0, QString(), code, lastMeaningfulLine(transcript)};
    const QList<ProgramRun> runs = changeRuns(log.runs());
    if (result.ok || (runs.isEmpty() && code == -1))
        return result;
    result.failedStep = runs.isEmpty() ? firstStep : failedStep(code, runs);
    if (result.message.isEmpty())
        result.message = QStringLiteral("%1 failed with exit code %2").arg(result.failedStep).arg(code);
    return result;
}

bool isPowerOfTwo(qint64 value)
{
    return value > 0 && (value & (value - 1)) == 0;
}

// vgcreate's extent-size option: MiB when the size is whole MiB, else KiB.
QString extentOption(qint64 extentBytes)
{
    if (extentBytes % kMiB == 0)
        return QStringLiteral("-s%1M").arg(extentBytes / kMiB);
    return QStringLiteral("-s%1k").arg(extentBytes / kKiB);
}

// A size in bytes as the positional calls take it, or the refusal of one they cannot.
QString sizeProblem(qint64 bytes)
{
    const qint64 mib = bytesToMiB(bytes);
    if (mib < 0)
        return QStringLiteral("a size must be more than 0 bytes, not %1").arg(bytes);
    if (mib > INT_MAX)
        return QStringLiteral("%1 MiB is more than a volume can hold").arg(mib);
    return QString();
}

QString fileSystemRequest(FileSystem fs)
{
    switch (fs) {
    case FileSystem::Ext2:
        return QStringLiteral("ext2");
    case FileSystem::Ext3:
        return QStringLiteral("ext3");
    case FileSystem::Reiserfs:
        return QStringLiteral("reiserfs");
    case FileSystem::None:
        break;
    }
    return QStringLiteral("none");
}

OperationResult vgChange(Vg& group, int (Vg::*change)())
{
    return carryOut(
        group, [&group, change] { return (group.*change)(); }, QStringLiteral("vgchange"));
}

} // namespace

qint64 bytesToMiB(qint64 bytes)
{
    if (bytes <= 0)
        return -1;
    return bytes / kMiB + (bytes % kMiB != 0 ? 1 : 0);
}

OperationResult createGroup(Lvm& lvm, const QString& name, const QStringList& partitions, qint64 extentBytes, int maxLv,
                            int maxPv)
{
    if (extentBytes < 8 * kKiB || !isPowerOfTwo(extentBytes))
        return refusal(QStringLiteral("extent size %1 bytes is not a power of two of at least 8 KiB").arg(extentBytes));
    if (maxLv < 0 || maxPv < 0)
        return refusal(QStringLiteral("the volume and physical-volume limits must be 0 (none) or more"));
    const QStringList args = QStringList{extentOption(extentBytes), QStringLiteral("-l%1").arg(maxLv),
                                         QStringLiteral("-p%1").arg(maxPv), name} +
                             partitions;
    return carryOut(
        lvm, [&lvm, args] { return lvm.createVg(args); }, QStringLiteral("pvcreate"));
}

OperationResult createVolume(Vg& group, const QString& name, qint64 sizeBytes, FileSystem fs)
{
    const QString problem = sizeProblem(sizeBytes);
    if (!problem.isEmpty())
        return refusal(problem);
    const Verdict naming = canNameVolume(group, name);
    if (!naming.allowed)
        return refusal(naming.reason);
    const QStringList request{fileSystemRequest(fs), QStringLiteral("-L"),
                              QStringLiteral("%1M").arg(bytesToMiB(sizeBytes)), QStringLiteral("-n") + name,
                              group.name()};
    return carryOut(
        group, [&group, request] { return group.createLv(request); }, QStringLiteral("lvcreate"));
}

OperationResult growVolume(Lv& volume, qint64 newSizeBytes)
{
    const Verdict growth = isGrowth(volume, newSizeBytes);
    if (!growth.allowed)
        return refusal(growth.reason);
    const qint64 wantedMiB = bytesToMiB(newSizeBytes);
    const QStringList args{QStringLiteral("-L%1").arg(wantedMiB)};
    OperationResult result = carryOut(
        volume, [&volume, args] { return volume.resize(args); }, QStringLiteral("lvextend"));
    // -1 after a volume that did grow, with no later tool failed (or left unstarted): the file
    // system was left as it was.
    if (result.exitCode == -1 && result.failedStep == QLatin1String("lvextend") &&
        volume.getAttribute(Lv::Size) >= wantedMiB)
        result.failedStep = QStringLiteral("resizefs");
    return result;
}

OperationResult snapshotVolume(Lv& origin, const QString& name, qint64 sizeBytes)
{
    const QString problem = sizeProblem(sizeBytes);
    if (!problem.isEmpty())
        return refusal(problem);
    if (origin.isSnapshot())
        return refusal(QStringLiteral("%1 is itself a snapshot; take the snapshot of its origin").arg(origin.path()));
    const QStringList args{QStringLiteral("-s"), QStringLiteral("-n") + name, QStringLiteral("-L"),
                           QStringLiteral("%1M").arg(bytesToMiB(sizeBytes))};
    return carryOut(
        origin, [&origin, args] { return origin.createSnapshot(args); }, QStringLiteral("lvcreate"));
}

OperationResult renameVolume(Lv& volume, const QString& newName)
{
    return carryOut(
        volume, [&volume, newName] { return volume.rename(newName); }, QStringLiteral("lvrename"));
}

OperationResult removeVolume(Lv& volume)
{
    const Verdict removal = canRemoveVolume(volume);
    if (!removal.allowed)
        return refusal(removal.reason);
    return carryOut(
        volume, [&volume] { return volume.remove(); }, QStringLiteral("lvremove"));
}

OperationResult renameGroup(Vg& group, const QString& newName)
{
    const QString problem = groupNameProblem(newName.simplified(), {});
    if (!problem.isEmpty())
        return refusal(problem);
    return carryOut(
        group, [&group, newName] { return group.rename(newName); }, QStringLiteral("vgrename"));
}

OperationResult removeGroup(Vg& group)
{
    const Verdict removal = canRemoveGroup(group);
    if (!removal.allowed)
        return refusal(removal.reason);
    return carryOut(
        group, [&group] { return group.remove(); }, QStringLiteral("vgremove"));
}

OperationResult activateGroup(Vg& group)
{
    return vgChange(group, &Vg::activate);
}

OperationResult deactivateGroup(Vg& group)
{
    return vgChange(group, &Vg::deactivate);
}

OperationResult freezeGroup(Vg& group)
{
    return vgChange(group, &Vg::freeze);
}

OperationResult defreezeGroup(Vg& group)
{
    return vgChange(group, &Vg::defreeze);
}

OperationResult extendGroup(Vg& group, const QStringList& partitions)
{
    return carryOut(
        group, [&group, partitions] { return group.extend(partitions); }, QStringLiteral("pvcreate"));
}

OperationResult reduceGroup(Vg& group, const QStringList& partitions)
{
    return carryOut(
        group, [&group, partitions] { return group.reduce(partitions); }, QStringLiteral("vgreduce"));
}
