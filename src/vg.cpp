// The volume-group record (figures and physical volumes) and the registry of its logical volumes.
#include "lvmdrive.h"

#include "pathlist_p.h"
#include "reader_p.h"
#include "toolstream_p.h"
#include "utils.h"

#include <algorithm>
#include <new>

namespace {

constexpr int kGetLvAssertLine = 715;
constexpr int kAddLvCheckLine = 1320;

// The origin of `snapshot`, by the name it holds or, when it holds none (an inactive snapshot
// does not name it), the volume whose snapshot list holds `listedName`.
Lv* originOf(Vg& vg, const Lv& snapshot, const QString& listedName)
{
    if (!snapshot.getOriginal().isEmpty())
        return vg.getLv(snapshot.getOriginal());
    for (unsigned int index = 0; index < vg.lvCount(); ++index) {
        Lv* candidate = vg.getLv(index);
        if (candidate->isOriginal() && candidate->getSnapshot().contains(listedName))
            return candidate;
    }
    return nullptr;
}

// Today's report lists a group's volumes by name; a volume made or renamed takes the place a
// discovery would give it.
void sortAsReported(std::vector<std::unique_ptr<Lv>>& lvs)
{
    std::stable_sort(lvs.begin(), lvs.end(), [](const std::unique_ptr<Lv>& a, const std::unique_ptr<Lv>& b) {
        return Reader::listedBefore(a->name(), b->name());
    });
}

} // namespace

Vg::Vg(const QString& name, QObject* parent, const char* objName) : QObject(parent), vgName(name)
{
    if (objName)
        setObjectName(QString::fromLatin1(objName));
    getBasics();
    getPvs();
    MyDebug(QStringLiteral("==") + path() + QStringLiteral("================================"));
}

Vg::~Vg()
{
    lvs.clear();
}

void Vg::getBasics()
{
    applyFigures(Reader::readGroupFigures(vgName));
}

void Vg::applyFigures(const GroupRecord& record)
{
    // Element by element: every Lv of the group holds references into attr.
    for (int i = 0; i < 16; ++i)
        attr[i] = record.attr[i];
    vgUuid = record.uuid;
}

void Vg::getPvs()
{
    pvs = Reader::readGroupPvs(vgName);
    if (!pvs.isEmpty())
        MyDebug(path() + QStringLiteral("'s pvstring: ") + pvs);
}

int Vg::getAttribute(Vg::Attribute attribute) const
{
    if (attribute < Access || attribute > FreeMb)
        return 0;
    return attr[attribute];
}

QString Vg::name() const
{
    return vgName;
}

QString Vg::path() const
{
    return QStringLiteral("/dev/") + vgName;
}

QString Vg::uuidString() const
{
    return vgUuid;
}

QString Vg::pvString() const
{
    return pvs;
}

unsigned int Vg::lvCount() const
{
    return static_cast<unsigned int>(lvs.size());
}

bool Vg::isResizable() const
{
    return (attr[Status] & 4) != 0;
}

void Vg::findLv()
{
    // The volumes and everything read while they are added come from one reading where the tool
    // set allows.
    Reader::Scope scope;
    const VolumeListing listing = Reader::readVolumeListing(vgName);
    m_problems += listing.problems;
    for (const VolumeEntry& entry : listing.volumes)
        addLv(entry.name, entry.original, entry.snapshot);
}

void Vg::addLv(const QString& lvName, bool bOriginal, bool bSnapshot)
{
    Lv* lv = new (std::nothrow) Lv(lvName, vgName, attr[PeSizeMb], attr[FreeMb], bOriginal, bSnapshot);
    if (!lv)
        qt_check_pointer("lvmdrive", kAddLvCheckLine);
    connect(lv, &Lv::newLv, this, &Vg::slotNewLv);
    connect(lv, &Lv::removeLv, this, &Vg::slotRemoveLv);
    connect(lv, &Lv::renameLv, this, &Vg::slotRenameLv);
    connect(lv, &Lv::resizeLv, this, &Vg::slotResizeLv);
    lvs.emplace_back(lv);
}

bool Vg::hasLv(const QString& lvName)
{
    return getLv(lvName) != nullptr;
}

Lv* Vg::getLv(const QString& lvName)
{
    for (const auto& lv : lvs) {
        if (lv->name() == lvName)
            return lv.get();
    }
    return nullptr;
}

Lv* Vg::getLv(unsigned int index)
{
    if (index >= lvs.size()) {
        assertWarning("lv != NULL", "lvmdrive", kGetLvAssertLine);
        return nullptr;
    }
    return lvs[index].get();
}

bool Vg::removeLv(const QString& lvName)
{
    const auto found =
        std::find_if(lvs.begin(), lvs.end(), [&lvName](const std::unique_ptr<Lv>& lv) { return lv->name() == lvName; });
    if (found == lvs.end())
        return false;
    lvs.erase(found);
    return true;
}

bool Vg::removeLv(unsigned int index)
{
    if (index >= lvs.size())
        return false;
    lvs.erase(lvs.begin() + index);
    return true;
}

QString Vg::lvString()
{
    QStringList paths;
    for (const auto& lv : lvs)
        paths.append(lv->path());
    return paths.join(QLatin1Char(':'));
}

bool Vg::isActive()
{
    if ((attr[Status] & 0x200) == 0)
        return false;
    return std::all_of(lvs.begin(), lvs.end(), [](const std::unique_ptr<Lv>& lv) { return lv->isActive(); });
}

void Vg::slotNewLv(const QString& lvName, bool bOriginal, bool bSnapshot)
{
    // Copied: the name may come from the sender, which addLv must not be able to disturb.
    const QString newName = lvName;
    Reader::Scope scope;
    getBasics();
    addLv(newName, bOriginal, bSnapshot);
    // Only a volume the tools know is registered: a tool that claimed success without making
    // it must not leave a phantom in the model.
    if (!lvs.back()->m_recordFound) {
        lvs.pop_back();
        if (Lv* original = bSnapshot ? qobject_cast<Lv*>(sender()) : nullptr)
            original->removeSnapshot(newName);
        return;
    }

    if (bSnapshot) {
        // Called for a signal from an Lv, that Lv is the origin that made the snapshot.
        Lv* original = qobject_cast<Lv*>(sender());
        Lv* snapshot = getLv(newName);
        if (original && snapshot) {
            MyDebug(QStringLiteral("original: (") + original->name() + QLatin1Char(')'));
            MyDebug(QStringLiteral("snapshot: (") + snapshot->name() + QLatin1Char(')'));
            snapshot->setOriginal(original->name());
        }
    }

    sortAsReported(lvs);
    Lv* added = getLv(newName);
    if (!added)
        return;
    emit oneLvAdded(added->path(), splitPathList(added->pvString()));
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
        const VolumeListing listing = Reader::readVolumeListing(vgName);
        QStringList gone;
        for (const auto& lv : lvs) {
            const bool listed = std::any_of(listing.volumes.begin(), listing.volumes.end(),
                                            [&lv](const VolumeEntry& entry) { return entry.name == lv->name(); });
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
    sortAsReported(lvs);
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
