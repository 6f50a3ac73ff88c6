// Roz: builds the logical and the physical tree and carries every logical change to the partitions.
#include "roz.h"

#include "changehold_p.h"
#include "currentreader_p.h"

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

Roz::Roz(QObject* parent, const char* name) : QObject(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    {
        // On today's tools both trees are built from one reading of the machine.
        CurrentReadScope scope(CurrentReadScope::Reading::Whole);
        lvm = new Lvm(this);
        hard = new Hard(this);
    }

    // Made last, so that no notice reaches the physical tree while either tree is being built.
    connect(lvm, &Lvm::oneVgAdded, this, &Roz::slotOneVgAdded);
    connect(lvm, &Lvm::oneVgRemoved, this, &Roz::slotOneVgRemoved);
    connect(lvm, &Lvm::oneVgRenamed, this, &Roz::slotOneVgRenamed);
    connect(lvm, &Lvm::oneVgExtended, this, &Roz::slotOneVgExtended);
    connect(lvm, &Lvm::oneVgReduced, this, &Roz::slotOneVgReduced);
    connect(lvm, &Lvm::oneLvAdded, this, &Roz::slotOneLvAdded);
    connect(lvm, &Lvm::oneLvRemoved, this, &Roz::slotOneLvRemoved);
    connect(lvm, &Lvm::oneLvRenamed, this, &Roz::slotOneLvRenamed);
    connect(lvm, &Lvm::oneLvResized, this, &Roz::slotOneLvResized);
    connect(lvm, &Lvm::onePvsChanged, this, &Roz::slotOnePvsChanged);
}

// The logical tree first, as before; both go before anything of the facade does.
Roz::~Roz()
{
    delete lvm.data();
    delete hard.data();
}

Lvm* Roz::getLvm()
{
    return lvm;
}

Hard* Roz::getHard()
{
    return hard;
}

QStringList Roz::problems() const
{
    QStringList all;
    if (lvm)
        all += lvm->problems();
    if (hard)
        all += hard->problems();
    return all;
}

// A group made, grown, shrunk or removed: its partitions were physical volumes (pvcreate made them
// so) and stay physical volumes when released, so they are marked as such after the affiliation.
void Roz::slotOneVgAdded(const QString& vgPath, const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->addNewDisks(listPv);
    hard->affiliateVgPv(vgPath, listPv);
    hard->markPhysicalVolumes(listPv);
}

void Roz::slotOneVgRemoved(const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->deaffiliateVgPv(listPv);
    hard->markPhysicalVolumes(listPv);
}

void Roz::slotOneVgRenamed(const QString& vgPath, const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->reaffiliateVgPv(vgPath, listPv);
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
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->affiliateLvPv(lvPath, listPv);
}

void Roz::slotOneLvRemoved(const QString& lvPath, const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->deaffiliateLvPv(lvPath, listPv);
}

void Roz::slotOneLvRenamed(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->reaffiliateLvPv(newLvPath, oldLvPath, listPv);
}

void Roz::slotOneLvResized(const QString& lvPath, const QStringList& newListPv, const QStringList& oldListPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    // Added before released, so a volume moved wholly to other disks is never listed nowhere.
    const QStringList added = entriesNotIn(newListPv, oldListPv);
    const QStringList released = entriesNotIn(oldListPv, newListPv);
    if (!added.isEmpty())
        hard->affiliateLvPv(lvPath, added);
    if (!released.isEmpty())
        hard->deaffiliateLvPv(lvPath, released);
}

void Roz::slotOnePvsChanged(const QStringList& listPv)
{
    if (!hard)
        return;
    HardChangeHold hold(hard);
    hard->addNewDisks(listPv);
    hard->rereadPartitions(listPv);
}
