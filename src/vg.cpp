// The volume-group record (figures and physical volumes) and the registry of its logical volumes.
#include "lvmdrive.h"

#include "assertsites_p.h"

#include "jobrunner_p.h"

#include "changehold_p.h"
#include "pathlist_p.h"
#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// The origin of `snapshot`, by the name it holds or, when it holds none (an inactive snapshot
// does not name it), the volume whose snapshot list holds `listedName`.
Lv* originOf(Vg& vg, const Lv& snapshot, const QString& listedName)
{
    if (!snapshot.getOriginal().isEmpty())
        return vg.getLv(snapshot.getOriginal());
    for (Lv* candidate : vg.lvs()) {
        if (candidate->isOriginal() && candidate->getSnapshot().contains(listedName))
            return candidate;
    }
    return nullptr;
}

constexpr qint64 kMiB = 1024 * 1024;

} // namespace

Vg::Vg(const QString& name, QObject* parent, const char* objName) : QObject(parent), m_vgName(name)
{
    if (objName)
        setObjectName(QString::fromLatin1(objName));
    m_changeHolds = 1; // what the first reads set is no change
    getBasics();
    getPvs();
    m_changeHolds = 0;
    MyDebug(QStringLiteral("==") + path() + QStringLiteral("================================"));
}

Vg::~Vg()
{
    // Before anything of the group goes: every volume holds references into it.
    const QList<Lv*> volumes = std::exchange(m_lvs, {});
    qDeleteAll(volumes);
}

void Vg::holdChanges()
{
    if (m_changeHolds++ == 0)
        m_heldState = observedState();
    for (Lv* lv : std::as_const(m_lvs))
        lv->holdChanges();
}

// Volumes made while the hold lasted were never held and are left alone.
void Vg::releaseChanges()
{
    const QList<Lv*> volumes = m_lvs;
    for (Lv* lv : volumes)
        lv->releaseChanges();
    if (m_changeHolds > 0 && --m_changeHolds == 0 && observedState() != m_heldState)
        emit changed();
}

QStringList Vg::observedState() const
{
    QStringList state{m_vgName, m_vgUuid, m_pvs, lvPaths().join(QLatin1Char(':'))};
    for (int value : m_attr)
        state.append(QString::number(value));
    state.append(QString::number(const_cast<Vg*>(this)->isActive()));
    return state;
}

void Vg::getBasics()
{
    holdChanges();
    applyFigures(Reader::readGroupFigures(m_vgName));
    releaseChanges();
}

void Vg::applyFigures(const GroupRecord& record)
{
    // Element by element: every Lv of the group holds references into m_attr.
    for (int i = 0; i < 16; ++i)
        m_attr[i] = record.attr[i];
    m_vgUuid = record.uuid;
}

void Vg::getPvs()
{
    GroupChangeHold hold(this);
    m_pvs = Reader::readGroupPvs(m_vgName);
    if (!m_pvs.isEmpty())
        MyDebug(path() + QStringLiteral("'s pvstring: ") + m_pvs);
}

int Vg::getAttribute(Vg::Attribute attribute) const
{
    if (attribute < Access || attribute > FreeMb)
        return 0;
    return m_attr[attribute];
}

QString Vg::name() const
{
    return m_vgName;
}

QString Vg::path() const
{
    return QStringLiteral("/dev/") + m_vgName;
}

QString Vg::uuidString() const
{
    return m_vgUuid;
}

QString Vg::pvString() const
{
    return m_pvs;
}

unsigned int Vg::lvCount() const
{
    return static_cast<unsigned int>(m_lvs.size());
}

bool Vg::isResizable() const
{
    return (m_attr[Status] & 4) != 0;
}

qint64 Vg::sizeBytes() const
{
    return m_attr[SizeMb] * kMiB;
}

qint64 Vg::freeBytes() const
{
    return m_attr[FreeMb] * kMiB;
}

QStringList Vg::pvList() const
{
    return splitPathList(m_pvs);
}

QStringList Vg::lvPaths() const
{
    QStringList paths;
    for (const Lv* lv : m_lvs)
        paths.append(lv->path());
    return paths;
}

QList<Lv*> Vg::lvs() const
{
    return m_lvs;
}

void Vg::findLv()
{
    // The volumes and everything read while they are added come from one reading where the tool
    // set allows.
    Reader::Scope scope;
    const VolumeListing listing = Reader::readVolumeListing(m_vgName);
    m_problems += listing.problems;
    for (const VolumeEntry& entry : listing.volumes)
        addLv(entry.name, entry.original, entry.snapshot);
}

void Vg::addLv(const QString& lvName, bool bOriginal, bool bSnapshot)
{
    Lv* lv = new (std::nothrow) Lv(lvName, m_vgName, m_attr[PeSizeMb], m_attr[FreeMb], bOriginal, bSnapshot, this);
    if (!lv)
        checkPointerAt(AssertSites::kVolumeAllocation);
    connect(lv, &Lv::newLv, this, &Vg::slotNewLv);
    connect(lv, &Lv::removeLv, this, &Vg::slotRemoveLv);
    connect(lv, &Lv::renameLv, this, &Vg::slotRenameLv);
    connect(lv, &Lv::resizeLv, this, &Vg::slotResizeLv);
    m_lvs.append(lv);
    connect(lv, &QObject::destroyed, this,
            [this](QObject* gone) { m_lvs.removeIf([gone](Lv* v) { return v == gone; }); });
    JobRunner::breathe();
}

bool Vg::hasLv(const QString& lvName)
{
    return getLv(lvName) != nullptr;
}

Lv* Vg::getLv(const QString& lvName)
{
    for (Lv* lv : std::as_const(m_lvs)) {
        if (lv->name() == lvName)
            return lv;
    }
    return nullptr;
}

Lv* Vg::getLv(unsigned int index)
{
    if (index >= static_cast<unsigned int>(m_lvs.size())) {
        warnAt(AssertSites::kVolumeIndex);
        return nullptr;
    }
    return m_lvs[index];
}

bool Vg::removeLv(const QString& lvName)
{
    const auto found =
        std::find_if(m_lvs.begin(), m_lvs.end(), [&lvName](const Lv* lv) { return lv->name() == lvName; });
    if (found == m_lvs.end())
        return false;
    deleteLv(found - m_lvs.begin());
    return true;
}

bool Vg::removeLv(unsigned int index)
{
    if (index >= static_cast<unsigned int>(m_lvs.size()))
        return false;
    deleteLv(index);
    return true;
}

// Announced while still registered and whole; unregistered before it is deleted.
void Vg::deleteLv(qsizetype index)
{
    Lv* lv = m_lvs.at(index);
    emit lvAboutToBeRemoved(lv);
    m_lvs.removeOne(lv);
    delete lv;
}

QString Vg::lvString()
{
    return lvPaths().join(QLatin1Char(':'));
}

bool Vg::isActive()
{
    if ((m_attr[Status] & 0x200) == 0)
        return false;
    return std::all_of(m_lvs.begin(), m_lvs.end(), [](const Lv* lv) { return lv->isActive(); });
}

void Vg::slotNewLv(const QString& lvName, bool bOriginal, bool bSnapshot)
{
    // Called for a snapshot's signal from an Lv, that Lv is the origin that made it.
    registerNewLv(lvName, bOriginal, bSnapshot, bSnapshot ? qobject_cast<Lv*>(sender()) : nullptr);
}

void Vg::registerNewLv(const QString& lvName, bool bOriginal, bool bSnapshot, Lv* origin)
{
    // Copied: the name may come from the sender, which addLv must not be able to disturb.
    const QString newName = lvName;
    Reader::Scope scope;
    getBasics();
    addLv(newName, bOriginal, bSnapshot);
    // Only a volume the tools know is registered: a tool that claimed success without making
    // it must not leave a phantom in the model.
    if (!m_lvs.back()->m_recordFound) {
        delete m_lvs.takeLast(); // never announced
        if (origin)
            origin->removeSnapshot(newName);
        return;
    }

    Lv* snapshot = bSnapshot ? getLv(newName) : nullptr;
    if (origin && snapshot) {
        MyDebug(QStringLiteral("original: (") + origin->name() + QLatin1Char(')'));
        MyDebug(QStringLiteral("snapshot: (") + snapshot->name() + QLatin1Char(')'));
        snapshot->setOriginal(origin->name());
    }

    Reader::sortAsListed(m_lvs);
    Lv* added = getLv(newName);
    if (!added)
        return;
    emit oneLvAdded(added->path(), splitPathList(added->pvString()));
    emit lvAdded(added);
}

void Vg::slotRemoveLv(const QString& lvName)
{
    // Copied first: lvName may live in the volume that is about to be deleted.
    const QString removedName = lvName;
    Reader::Scope scope;
    getBasics();
    // Today's lvremove takes an origin's snapshots with it: whatever the report no longer lists
    // goes too, each announced (snapshots first, as the tool removes them).
    if (toolSet() == ToolSet::Current) {
        const VolumeListing listing = Reader::readVolumeListing(m_vgName);
        QStringList gone;
        for (const Lv* lv : std::as_const(m_lvs)) {
            const bool listed = std::any_of(listing.volumes.begin(), listing.volumes.end(),
                                            [lv](const VolumeEntry& entry) { return entry.name == lv->name(); });
            if (!listed && lv->name() != removedName)
                gone.append(lv->name());
        }
        for (const QString& name : gone)
            dropLv(name);
    }
    dropLv(removedName);
}

// Unregisters a volume the tools no longer have and announces it with the partitions it was on.
void Vg::dropLv(const QString& lvName)
{
    Lv* lv = getLv(lvName);
    if (!lv)
        return;
    if (lv->isSnapshot()) {
        if (Lv* original = originOf(*this, *lv, lv->name()))
            original->removeSnapshot(lv->name());
    }
    const QString lvPath = lv->path();
    const QStringList listPv = splitPathList(lv->pvString());
    if (removeLv(lvName))
        emit oneLvRemoved(lvPath, listPv);
}

void Vg::slotRenameLv(const QString& newLvName, const QString& oldLvName)
{
    Reader::Scope scope;
    Reader::sortAsListed(m_lvs);
    Lv* lv = getLv(newLvName);
    if (!lv)
        return;
    const QString newPath = path() + QLatin1Char('/') + newLvName;
    const QString oldPath = path() + QLatin1Char('/') + oldLvName;
    emit oneLvRenamed(newPath, oldPath, splitPathList(lv->pvString()));

    if (lv->isOriginal()) {
        for (const QString& snapName : lv->getSnapshot()) {
            if (Lv* snapshot = getLv(snapName))
                snapshot->setOriginal(newLvName);
        }
    }
    if (lv->isSnapshot()) {
        if (Lv* original = originOf(*this, *lv, oldLvName))
            original->renameSnapshot(newLvName, oldLvName);
    }
}

void Vg::slotResizeLv(const QString& lvName, const QStringList& oldListPv)
{
    getBasics();
    Lv* lv = getLv(lvName);
    if (!lv)
        return;
    emit oneLvResized(lv->path(), splitPathList(lv->pvString()), oldListPv);

    if (!lv->isOriginal())
        return;
    for (const QString& snapName : lv->getSnapshot()) {
        Lv* snapshot = getLv(snapName);
        if (!snapshot)
            continue;
        snapshot->setSize(lv->getAttribute(Lv::Size));
        snapshot->setLe(lv->getAttribute(Lv::AllocatedLe), lv->getAttribute(Lv::CurrentLe));
        // A snapshot reads as its origin's size, so a read now would give that size too.
        snapshot->setSizeAtRead(lv->getAttribute(Lv::Size));
    }
}

GroupChangeHold::GroupChangeHold(Vg* vg) : m_vg(vg)
{
    vg->holdChanges();
}

GroupChangeHold::GroupChangeHold(Lv* lv) : m_vg(qobject_cast<Vg*>(lv->parent())), m_lv(lv)
{
    if (m_vg)
        m_vg->holdChanges();
    else
        lv->holdChanges();
}

GroupChangeHold::~GroupChangeHold()
{
    if (m_vg)
        m_vg->releaseChanges();
    else if (m_lv)
        m_lv->releaseChanges();
}
