// Roz: builds the logical and the physical tree and carries every logical change to the partitions.
#include "roz.h"

#include "changehold_p.h"
#include "currentreader_p.h"
#include "jobrunner_p.h"

namespace {

// Entries of `from`, in order and with repeats, that `other` does not hold.
QStringList entriesNotIn(const QStringList& from, const QStringList& other)
{
    QStringList missing;
    for (const QString& entry : from) {
        if (!other.contains(entry))
            missing.append(entry);
    }
    return missing;
}

} // namespace

Roz::Roz(QObject* parent, const char* name) : Roz(Start::Discover, parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
}

Roz::Roz(Start start, QObject* parent) : QObject(parent)
{
    if (start == Start::Discover) {
        // On today's tools both trees are built from one reading of the machine.
        CurrentReadScope scope(CurrentReadScope::Reading::Whole);
        m_lvm = new Lvm(this);
        m_hard = new Hard(this);
    } else {
        m_lvm = new Lvm(this, Lvm::EmptyTag::Empty);
        m_hard = new Hard(this, Hard::EmptyTag::Empty);
    }
    followLogicalChanges();
}

void Roz::followLogicalChanges()
{
    connect(m_lvm, &Lvm::oneVgAdded, this, &Roz::slotOneVgAdded);
    connect(m_lvm, &Lvm::oneVgRemoved, this, &Roz::slotOneVgRemoved);
    connect(m_lvm, &Lvm::oneVgRenamed, this, &Roz::slotOneVgRenamed);
    connect(m_lvm, &Lvm::oneVgExtended, this, &Roz::slotOneVgExtended);
    connect(m_lvm, &Lvm::oneVgReduced, this, &Roz::slotOneVgReduced);
    connect(m_lvm, &Lvm::oneLvAdded, this, &Roz::slotOneLvAdded);
    connect(m_lvm, &Lvm::oneLvRemoved, this, &Roz::slotOneLvRemoved);
    connect(m_lvm, &Lvm::oneLvRenamed, this, &Roz::slotOneLvRenamed);
    connect(m_lvm, &Lvm::oneLvResized, this, &Roz::slotOneLvResized);
    connect(m_lvm, &Lvm::onePvsChanged, this, &Roz::slotOnePvsChanged);
}

// The logical tree first, as before; both go before anything of the facade does. A job running
// on this thread may be inside either tree: they then go when it has ended.
Roz::~Roz()
{
    for (QObject* tree : {static_cast<QObject*>(m_lvm.data()), static_cast<QObject*>(m_hard.data())}) {
        if (!tree)
            continue;
        if (JobRunner::busy()) {
            tree->disconnect(this);
            tree->setParent(nullptr);
        }
        JobRunner::deleteWhenIdle(tree);
    }
}

Job* Roz::discover()
{
    return JobRunner::enqueue(
        tr("Discovery"), this, nullptr,
        [self = QPointer<Roz>(this), logical = m_lvm.data(), physical = m_hard.data()] {
            return discoverInto(self, logical, physical);
        },
        true);
}

Job* Roz::submit(const QString& title, QObject* target, std::function<OperationResult()> change)
{
    return JobRunner::enqueue(title, this, target, std::move(change), false);
}

// Runs across waits for programs, during which the Roz may be deleted: the trees then live on
// until the job has ended, and nothing of the Roz is touched once `self` is null.
OperationResult Roz::discoverInto(const QPointer<Roz>& self, Lvm* logical, Hard* physical)
{
    logical->clear();
    physical->clear();
    {
        CurrentReadScope scope(CurrentReadScope::Reading::Whole);
        logical->findVg();
        physical->findDisk();
    }
    for (Vg* vg : logical->vgs()) {
        if (self)
            emit logical->vgAdded(vg);
    }
    if (!self)
        return {};
    emit self->discovered();
    const QStringList found = logical->problems() + physical->problems();
    if (found.isEmpty())
        return {true, QString(), 0, QString()};
    return {false, QStringLiteral("read"), -1, found.first()};
}

Lvm* Roz::getLvm()
{
    return m_lvm;
}

Hard* Roz::getHard()
{
    return m_hard;
}

QStringList Roz::problems() const
{
    QStringList all;
    if (m_lvm)
        all += m_lvm->problems();
    if (m_hard)
        all += m_hard->problems();
    return all;
}

// A group made, grown, shrunk or removed: its partitions were physical volumes (pvcreate made them
// so) and stay physical volumes when released, so they are marked as such after the affiliation.
void Roz::slotOneVgAdded(const QString& vgPath, const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->addNewDisks(listPv);
    m_hard->affiliateVgPv(vgPath, listPv);
    m_hard->markPhysicalVolumes(listPv);
}

void Roz::slotOneVgRemoved(const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->deaffiliateVgPv(listPv);
    m_hard->markPhysicalVolumes(listPv);
}

void Roz::slotOneVgRenamed(const QString& vgPath, const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->reaffiliateVgPv(vgPath, listPv);
}

// Partitions joining or leaving a group are handled as those of a new or a removed group.
void Roz::slotOneVgExtended(const QString& vgPath, const QStringList& listPv)
{
    slotOneVgAdded(vgPath, listPv);
}

void Roz::slotOneVgReduced(const QStringList& listPv)
{
    slotOneVgRemoved(listPv);
}

void Roz::slotOneLvAdded(const QString& lvPath, const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->affiliateLvPv(lvPath, listPv);
}

void Roz::slotOneLvRemoved(const QString& lvPath, const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->deaffiliateLvPv(lvPath, listPv);
}

void Roz::slotOneLvRenamed(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->reaffiliateLvPv(newLvPath, oldLvPath, listPv);
}

void Roz::slotOneLvResized(const QString& lvPath, const QStringList& newListPv, const QStringList& oldListPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    // Added before released, so a volume moved wholly to other disks is never listed nowhere.
    // A grow announces itself after each of its steps, every time against the list from before
    // the first: a partition that lists the volume already is not given it a second time.
    QStringList added;
    for (const QString& pvPath : entriesNotIn(newListPv, oldListPv)) {
        const Partition* partition = m_hard->findPv(pvPath);
        if (!partition || !partition->lvList().contains(lvPath))
            added.append(pvPath);
    }
    const QStringList released = entriesNotIn(oldListPv, newListPv);
    if (!added.isEmpty())
        m_hard->affiliateLvPv(lvPath, added);
    if (!released.isEmpty())
        m_hard->deaffiliateLvPv(lvPath, released);
}

void Roz::slotOnePvsChanged(const QStringList& listPv)
{
    if (!m_hard)
        return;
    HardChangeHold hold(m_hard);
    m_hard->addNewDisks(listPv);
    m_hard->rereadPartitions(listPv);
}
