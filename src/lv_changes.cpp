// Renaming, removing and snapshotting a logical volume, and keeping an origin's snapshot list.
#include "lvmdrive.h"

#include "changehold_p.h"
#include "programs_p.h"
#include "reader_p.h"
#include "utils.h"

#include <algorithm>

namespace {

// createSnapshot's element 1 is a two-character option written together with the snapshot's name.
constexpr int kSnapshotNameOption = 1;
constexpr int kOptionLength = 2;

// The bit of the access code that marks an origin of snapshots.
constexpr int kOriginAccess = 8;

} // namespace

// One LVM step with this volume's transcript: the transcript is the tool's output, announced.
int Lv::runLvmStep(const QStringList& args)
{
    const int result = runcmd(programPath(Program::Lvm), args, m_log);
    emit output(m_log);
    return result;
}

int Lv::rename(const QString& newName)
{
    GroupChangeHold hold(this);
    const QString oldName = m_name;
    const QString simplifiedName = newName.simplified();
    const int result =
        runLvmStep({QStringLiteral("lvrename"), path(), getVgPath() + QLatin1Char('/') + simplifiedName});
    if (result != 0)
        return result;
    m_name = simplifiedName;
    emit renameLv(m_name, oldName);
    emit renamedFrom(oldName, m_name);
    return result;
}

int Lv::remove()
{
    GroupChangeHold hold(this); // lets go of the group only: this volume is gone by then
    const int result = runLvmStep({QStringLiteral("lvremove"), QStringLiteral("-f"), path()});
    if (result != 0)
        return result;
    // The group deletes this object while removeLv is delivered: nothing of it may be used afterwards.
    const QString removedName = m_name;
    emit removeLv(removedName);
    return result;
}

int Lv::createSnapshot(const QStringList& args)
{
    if (args.size() <= kSnapshotNameOption || args.at(kSnapshotNameOption).simplified().size() <= kOptionLength) {
        emit output(QStringLiteral("No snapshot made: the second argument must be a two-character option followed by "
                                   "the snapshot's name.\n"));
        return -1;
    }

    GroupChangeHold hold(this);
    QStringList command{QStringLiteral("lvcreate")};
    command += args;
    command.append(path());
    const int result = runLvmStep(command);
    if (result != 0)
        return result;

    m_access |= kOriginAccess;
    m_bOriginal = true;
    const QString snapName = command.at(kSnapshotNameOption + 1).simplified().mid(kOptionLength);
    addSnapshot(snapName);
    emit newLv(snapName, false, true);
    // The group registers only a snapshot the tools know; without it there is none to report.
    if (!m_snapshots.contains(snapName)) {
        m_log += QStringLiteral("No snapshot made: lvcreate reported success, but %1 does not exist\n")
                     .arg(getVgPath() + QLatin1Char('/') + snapName);
        emit output(m_log);
        return -1;
    }
    return result;
}

void Lv::removeSnapshot(const QString& snapName)
{
    holdChanges();
    m_snapshots.removeAll(snapName);
    if (m_snapshots.isEmpty()) {
        m_bOriginal = false;
        // The tool no longer reports the volume as an origin either.
        m_access &= ~kOriginAccess;
        MyDebug(m_name + QStringLiteral(" is back to normal"));
    }
    releaseChanges();
}

void Lv::renameSnapshot(const QString& newName, const QString& oldName)
{
    holdChanges();
    MyDebug(QStringLiteral("snapshot(s) before rename : ") + m_snapshots.join(QLatin1Char(':')));
    for (QString& snapName : m_snapshots) {
        if (snapName == oldName)
            snapName = newName;
    }
    std::stable_sort(m_snapshots.begin(), m_snapshots.end(), Reader::listedBefore);
    MyDebug(QStringLiteral("snapshot(s) after rename : ") + m_snapshots.join(QLatin1Char(':')));
    releaseChanges();
}
