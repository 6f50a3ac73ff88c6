// Changes to a volume group through the LVM tool, and creation of a logical volume with its file system.
#include "lvmdrive.h"

#include "changehold_p.h"
#include "createpv_p.h"
#include "pathlist_p.h"
#include "programs_p.h"
#include "reader_p.h"
#include "utils.h"
#include "vgrequest_p.h"

namespace {

const QString kMakeFsManually =
    QStringLiteral("You need to make an file system on the newly created Dynamic Partition manually!");

int runLvmTool(const QStringList& args, QString& output)
{
    return runcmd(programPath(Program::Lvm), args, output);
}

struct FileSystemMaker {
    QString program; // empty: nothing to run
    QStringList options;
    bool makesFileSystem = true;
};

// The first requested file system wins; without one, "/bin/ls" merely checks the device is there.
FileSystemMaker chooseFileSystemMaker(const QString& fsRequest)
{
    if (fsRequest.contains(QLatin1String("ext2"))) {
        MyDebug(QStringLiteral("we are making ext2 FS"));
        return {programPath(Program::MakeExt), {}};
    }
    if (fsRequest.contains(QLatin1String("ext3"))) {
        MyDebug(QStringLiteral("we are making ext3 FS"));
        return {programPath(Program::MakeExt), {QStringLiteral("-j")}};
    }
    if (fsRequest.contains(QLatin1String("reiser"))) {
        MyDebug(QStringLiteral("we are making reiser FS"));
        return {programPath(Program::MakeReiser), {QStringLiteral("-ff")}};
    }
    MyDebug(QStringLiteral("we are doing nothing about FS on LV"));
    return {programPath(Program::List), {}, false};
}

// An empty file-system request, or "none", asks for no file system.
bool isNoFileSystem(const QString& fsRequest)
{
    const QString request = fsRequest.trimmed();
    return request.isEmpty() || request.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

// The request's element 3 is a two-character option written together with the volume's name.
QString newLvName(const QString& nameOption)
{
    const QString simplified = nameOption.simplified();
    if (simplified.length() < 2)
        return simplified;
    return simplified.right(simplified.length() - 2);
}

// The name ends up in a device path handed to a file-system maker, so it must not be able to
// point anywhere but at a volume of this group.
bool isUsableLvName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && QuorVerifyCN(name) == 0;
}

// An inactive snapshot's listing does not name its origin, but the origin's listing names its
// snapshots: once the group is active, the links are completed from that side.
void completeSnapshotLinks(Vg& vg)
{
    for (Lv* origin : vg.lvs()) {
        if (!origin->isOriginal())
            continue;
        for (const QString& snapName : origin->getSnapshot()) {
            Lv* snapshot = vg.getLv(snapName);
            if (snapshot && snapshot->getOriginal().isEmpty())
                snapshot->setOriginal(origin->name());
        }
    }
}

} // namespace

int Vg::activate()
{
    GroupChangeHold hold(this);
    const int result = changeActivation(QStringLiteral("-ay"), 1);
    if (result == 0)
        emit activationChanged(true);
    return result;
}

int Vg::deactivate()
{
    GroupChangeHold hold(this);
    const int result = changeActivation(QStringLiteral("-an"), 0);
    if (result == 0)
        emit activationChanged(false);
    return result;
}

// vgchange's activation option, then, after success, every volume marked with `lvStatus` and
// shown as the tools show it in that state, without reading it again.
int Vg::changeActivation(const QString& option, int lvStatus)
{
    const int result = runLvmTool({QStringLiteral("vgchange"), option, m_vgName}, m_log);
    if (result == 0 && toolSet() == ToolSet::Current)
        return verifyActivation(lvStatus == 1);
    emit output(m_log);
    if (result != 0)
        return result;
    getBasics();
    for (unsigned int index = 0; index < lvCount(); ++index) {
        Lv* lv = getLv(index);
        lv->setStatus(lvStatus);
        lv->followActivation(lvStatus == 1);
    }
    if (lvStatus == 1)
        completeSnapshotLinks(*this);
    return result;
}

// Today's vgchange exits 0 when it activated nothing (volumes flagged to skip activation, no
// device-mapper), so every volume is read again and one left in the wrong state fails the change.
int Vg::verifyActivation(bool active)
{
    {
        Reader::Scope scope;
        getBasics();
        for (unsigned int index = 0; index < lvCount(); ++index)
            getLv(index)->getBasics();
    }
    QStringList wrong;
    for (unsigned int index = 0; index < lvCount(); ++index) {
        if (getLv(index)->isActive() != active)
            wrong.append(getLv(index)->name());
    }
    if (!wrong.isEmpty()) {
        m_log += active ? QStringLiteral("Volume group %1 not activated: %2 stayed inactive\n")
                              .arg(m_vgName, wrong.join(QStringLiteral(", ")))
                        : QStringLiteral("Volume group %1 not deactivated: %2 stayed active\n")
                              .arg(m_vgName, wrong.join(QStringLiteral(", ")));
    }
    emit output(m_log);
    return wrong.isEmpty() ? 0 : -1;
}

int Vg::freeze()
{
    return changeResizability(QStringLiteral("-xn"));
}

int Vg::defreeze()
{
    return changeResizability(QStringLiteral("-xy"));
}

// One LVM step with this group's transcript: the transcript is the tool's output, announced.
int Vg::runLvmStep(const QStringList& args)
{
    const int result = runLvmTool(args, m_log);
    emit output(m_log);
    return result;
}

int Vg::changeResizability(const QString& option)
{
    GroupChangeHold hold(this);
    const int result = runLvmStep({QStringLiteral("vgchange"), option, m_vgName});
    if (result == 0) {
        getBasics();
        emit resizabilityChanged(isResizable());
    }
    return result;
}

int Vg::remove()
{
    GroupChangeHold hold(this); // lets go of nothing once the group is gone
    const int result = runLvmStep({QStringLiteral("vgremove"), m_vgName});
    if (result != 0)
        return result;
    // The receiver deletes this group while `removed` is delivered: hand it a copy of the name
    // and touch no member afterwards.
    const QString removedName = name();
    emit removed(removedName);
    return result;
}

int Vg::rename(const QString& newName)
{
    GroupChangeHold hold(this);
    const QString oldName = m_vgName;
    const QString simplifiedName = newName.simplified();
    const int result = runLvmStep({QStringLiteral("vgrename"), m_vgName, simplifiedName});
    if (result != 0)
        return result;
    // Assigned in place: every Lv of the group holds a reference to this very string.
    m_vgName = simplifiedName;
    emit renamed(path(), splitPathList(pvString()));
    emit renamedFrom(oldName, m_vgName);
    return result;
}

int Vg::extend(const QStringList& pvList)
{
    GroupChangeHold hold(this);
    const QString problem = devicesProblem(pvList, physicalVolumeGroups(), readMountTable());
    if (!problem.isEmpty()) {
        emit output(QStringLiteral("Volume group %1 not extended: %2\n").arg(m_vgName, problem));
        return -1;
    }

    // Unlike the other operations, extend keeps the previous transcript in front of its own.
    QString text;
    bool touched = false;
    const int prepared = createPvTracked(pvList, text, touched);
    m_log += text;
    if (prepared != 0) {
        if (touched)
            emit pvsChanged(pvList);
        emit output(m_log);
        return prepared;
    }

    const int result = runLvmTool(QStringList{QStringLiteral("vgextend"), m_vgName} + pvList, text);
    m_log += text;
    if (result == 0) {
        Reader::Scope scope;
        getBasics();
        getPvs();
        emit extended(path(), pvList);
    } else {
        emit pvsChanged(pvList);
    }
    emit output(m_log);
    return result;
}

// Every group's physical volumes, as far as this group knows the others.
QHash<QString, QString> Vg::physicalVolumeGroups() const
{
    if (m_manager)
        return m_manager->physicalVolumeGroups();
    QHash<QString, QString> groupOfPv;
    for (const QString& device : splitPathList(m_pvs))
        groupOfPv.insert(device, m_vgName);
    return groupOfPv;
}

int Vg::reduce(const QStringList& pvList)
{
    GroupChangeHold hold(this);
    const int result = runLvmStep(QStringList{QStringLiteral("vgreduce"), m_vgName} + pvList);
    if (result != 0)
        return result;
    Reader::Scope scope;
    getBasics();
    getPvs();
    emit reduced(pvList);
    return result;
}

int Vg::createLv(const QStringList& request)
{
    // Element 0 is the file-system request and element 3 names the new volume.
    if (request.size() < 4) {
        emit output(QStringLiteral("Dynamic Partition not created: the request needs a file system entry and at "
                                   "least three lvcreate arguments\n"));
        return -1;
    }
    // Element 3 names the volume the file system is made on and the registry learns: it must be
    // "-n" written together with a usable name, or the new volume could not be found again.
    GroupChangeHold hold(this);
    const QString lvName = newLvName(request.at(3));
    if (!request.at(3).simplified().startsWith(QLatin1String("-n")) || !isUsableLvName(lvName)) {
        emit output(QStringLiteral("Dynamic Partition not created: element 3 of the request must be -n followed by "
                                   "the volume's name, not \"%1\"\n")
                        .arg(request.at(3)));
        return -1;
    }
    // A name that is already registered cannot be the volume lvcreate makes: that device must
    // not be handed to a file-system maker.
    const bool nameWasTaken = hasLv(lvName);

    const QStringList args = QStringList{QStringLiteral("lvcreate")} + request.mid(1);
    const int result = runLvmTool(args, m_log);
    if (result != 0) {
        emit output(m_log);
        return result;
    }

    if (nameWasTaken) {
        m_log += kMakeFsManually;
        // The group has one more volume whose name is unknown here; at least its figures are current.
        getBasics();
        emit output(m_log);
        return kVolumeWithoutFileSystem;
    }

    const FileSystemMaker maker = chooseFileSystemMaker(request.at(0));
    int made = 0;
    // Today's tools have no device check to run: the re-read below tells whether the volume is there.
    if (!maker.program.isEmpty()) {
        QString text;
        made = runcmd(maker.program, maker.options + QStringList{path() + QLatin1Char('/') + lvName}, text);
        m_log += text;
    }
    int code = 0;
    // A file system asked for but not made (failed, or of a kind there is no maker for) is
    // never reported as done.
    if (made != 0 || (!maker.makesFileSystem && !isNoFileSystem(request.at(0)))) {
        m_log += kMakeFsManually;
        code = kVolumeWithoutFileSystem;
    }

    registerNewLv(lvName, false, false, nullptr);
    if (!hasLv(lvName)) {
        m_log += QStringLiteral("\nDynamic Partition not created: lvcreate reported success, but %1 does not exist\n")
                     .arg(path() + QLatin1Char('/') + lvName);
        code = -1;
    }
    emit output(m_log);
    return code;
}
