// The volume-group manager: discovers every group, owns them, relays their notices and creates new groups.
#include "lvmdrive.h"

#include "assertsites_p.h"

#include "createpv_p.h"
#include "jobrunner_p.h"
#include "pathlist_p.h"
#include "programs_p.h"
#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"
#include "vgrequest_p.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// Entries 0-2 are vgcreate options, 3 the group's name, 4 onward its devices.
constexpr int kCreateVgNameIndex = 3;
constexpr int kCreateVgFirstDevice = 4;

} // namespace

Lvm::Lvm(QObject* parent, const char* name) : QObject(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    findVg();
    MyDebug(QStringLiteral("=======V=G=S====&======L=V=S============="));
}

Lvm::Lvm(QObject* parent, EmptyTag) : QObject(parent) {}

Lvm::~Lvm()
{
    // First to last, as the groups were added, before anything of the manager goes.
    const QList<Vg*> groups = std::exchange(m_vgList, {});
    qDeleteAll(groups);
}

void Lvm::clear()
{
    while (!m_vgList.isEmpty())
        deleteVg(0);
    m_problems.clear();
    m_errorVgList.clear();
}

void Lvm::findVg()
{
    // The groups and everything read while they are added come from one reading where the tool
    // set allows.
    Reader::Scope scope;
    const GroupListing listing = Reader::readGroupListing();
    m_problems += listing.problems;
    m_errorVgList += listing.unreadable;
    for (const QString& vgName : listing.found) {
        if (!m_errorVgList.contains(vgName))
            addVg(vgName);
    }
}

void Lvm::addVg(const QString& vgName)
{
    Vg* vg = new (std::nothrow) Vg(vgName.simplified(), this);
    if (!vg)
        checkPointerAt(AssertSites::kGroupAllocation);
    connect(vg, &Vg::removed, this, &Lvm::slotRemoveVg);
    connect(vg, &Vg::renamed, this, [this] { Reader::sortAsListed(m_vgList); });
    connect(vg, &Vg::renamed, this, &Lvm::oneVgRenamed);
    connect(vg, &Vg::extended, this, &Lvm::oneVgExtended);
    connect(vg, &Vg::reduced, this, &Lvm::oneVgReduced);
    connect(vg, &Vg::oneLvAdded, this, &Lvm::oneLvAdded);
    connect(vg, &Vg::oneLvRemoved, this, &Lvm::oneLvRemoved);
    connect(vg, &Vg::oneLvRenamed, this, &Lvm::oneLvRenamed);
    connect(vg, &Vg::oneLvResized, this, &Lvm::oneLvResized);
    connect(vg, &Vg::pvsChanged, this, &Lvm::onePvsChanged);
    vg->m_manager = this;
    m_vgList.append(vg);
    // A subtree deleted from outside leaves the registry too.
    connect(vg, &QObject::destroyed, this,
            [this](QObject* gone) { m_vgList.removeIf([gone](Vg* v) { return v == gone; }); });
    vg->findLv();
    JobRunner::breathe();
}

bool Lvm::hasVg(const QString& vgName)
{
    return getVg(vgName) != nullptr;
}

Vg* Lvm::getVg(const QString& vgName)
{
    for (Vg* vg : std::as_const(m_vgList)) {
        if (vg->name() == vgName)
            return vg;
    }
    return nullptr;
}

Vg* Lvm::getVg(uint index)
{
    if (index >= static_cast<uint>(m_vgList.size())) {
        warnAt(AssertSites::kGroupIndex);
        return nullptr;
    }
    return m_vgList[index];
}

bool Lvm::removeVg(uint index)
{
    if (index >= static_cast<uint>(m_vgList.size()))
        return false;
    deleteVg(index);
    return true;
}

bool Lvm::removeVg(const QString& vgName)
{
    Vg* target = getVg(vgName);
    if (!target)
        return false;
    deleteVg(m_vgList.indexOf(target));
    return true;
}

// Announced while still registered and whole; unregistered before it is deleted.
void Lvm::deleteVg(qsizetype index)
{
    Vg* vg = m_vgList.at(index);
    emit vgAboutToBeRemoved(vg);
    m_vgList.removeOne(vg);
    delete vg;
}

QList<Vg*> Lvm::vgs() const
{
    return m_vgList;
}

uint Lvm::vgCount() const
{
    return static_cast<uint>(m_vgList.size());
}

QStringList Lvm::problems() const
{
    QStringList all = m_problems;
    for (const Vg* vg : m_vgList)
        all += vg->m_problems;
    return all;
}

QStringList Lvm::errorVgName() const
{
    return m_errorVgList;
}

int Lvm::createVg(const QStringList& args)
{
    if (args.size() <= kCreateVgFirstDevice) {
        emit output(QStringLiteral("createVg: three vgcreate options, a group name and at least one device are "
                                   "needed, %1 entries given\n")
                        .arg(args.size()));
        return -1;
    }
    const QStringList devices = args.mid(kCreateVgFirstDevice);
    const QString problem = createVgProblem(args);
    if (!problem.isEmpty()) {
        emit output(QStringLiteral("Volume group not created: %1\n").arg(problem));
        return -1;
    }

    QString text;
    bool touched = false;
    int result = createPvTracked(devices, text, touched);
    m_log += text;
    if (result == 0) {
        result = runcmd(programPath(Program::Lvm), QStringList{QStringLiteral("vgcreate")} + args, text);
        m_log += text;
    }
    if (result == 0) {
        Reader::Scope scope;
        addVg(args.at(kCreateVgNameIndex));
        Reader::sortAsListed(m_vgList);
        emit oneVgAdded(QStringLiteral("/dev/") + args.at(kCreateVgNameIndex), devices);
        if (Vg* added = getVg(args.at(kCreateVgNameIndex).simplified()))
            emit vgAdded(added);
    } else if (touched) {
        // Partitions may have been marked or made physical volumes before the failure.
        emit onePvsChanged(devices);
    }
    emit output(m_log);
    return result;
}

// What the tools would refuse only after parted and pvcreate had already changed the partitions.
QString Lvm::createVgProblem(const QStringList& args)
{
    QStringList takenNames = m_errorVgList;
    for (const Vg* vg : m_vgList)
        takenNames.append(vg->name());
    QString problem = groupNameProblem(args.at(kCreateVgNameIndex), takenNames);
    if (problem.isEmpty())
        problem = extentSizeProblem(args.mid(0, kCreateVgNameIndex));
    if (problem.isEmpty())
        problem = devicesProblem(args.mid(kCreateVgFirstDevice), physicalVolumeGroups(), readMountTable());
    return problem;
}

QHash<QString, QString> Lvm::physicalVolumeGroups() const
{
    QHash<QString, QString> groupOfPv;
    for (const Vg* vg : m_vgList) {
        for (const QString& device : splitPathList(vg->pvString()))
            groupOfPv.insert(device, vg->name());
    }
    return groupOfPv;
}

void Lvm::slotRemoveVg(const QString& vgName)
{
    // Copied first: vgName may live in the group that is about to be deleted.
    const QString removedName = vgName;
    const Vg* vg = getVg(removedName);
    if (!vg)
        return;
    const QStringList listPv = splitPathList(vg->pvString());
    if (removeVg(removedName))
        emit oneVgRemoved(listPv);
}
