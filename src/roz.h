// The storage facade: builds the logical and the physical tree and keeps the second in step with
// every change made on the first.
#ifndef DOVODODUZU_ROZ_H
#define DOVODODUZU_ROZ_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

#include "dovododuzu_export.h"
#include "harddrive.h"
#include "jobs.h"
#include "lvmdrive.h"
#include "utils.h"

// Owns both trees as QObject children (Roz -> Lvm -> Vg -> Lv, Roz -> Hard -> Disk ->
// Partition, see lvmdrive.h and harddrive.h), so findChildren<Lv*>() on a Roz finds every volume.
// getLvm() and getHard() stay valid as long as the Roz.
class DOVODODUZU_EXPORT Roz : public QObject
{
    Q_OBJECT

public:
    enum class Start {
        Discover, // read the machine now, blocking the caller, as the other constructor does
        Empty     // nothing read: fill it with discover()
    };

    // Reads the machine, blocking the caller until both trees are built.
    explicit Roz(QObject* parent = nullptr, const char* name = nullptr);
    explicit Roz(Start start, QObject* parent = nullptr);
    // May be deleted while one of its jobs runs: the trees then go when that job has ended.
    ~Roz() override;

    // A job that reads the whole machine into this Roz: the trees are emptied (each group
    // announced by Lvm::vgAboutToBeRemoved), then filled (Lvm::vgAdded for each group), then
    // discovered() is emitted. Its result is ok when nothing went wrong reading; else
    // failedStep "read" and the first of problems() as message.
    Job* discover();
    // A job that runs `change` (one of the typed calls of operations.h, or several) on this Roz's
    // objects. `target`, when given, is the object the change is made on: the job is refused
    // when it is gone by the time the job starts. Changes queue behind each other.
    Job* submit(const QString& title, QObject* target, std::function<OperationResult()> change);

    Lvm* getLvm();
    Hard* getHard();
    // Everything that went wrong while the machine was read: the logical tree's problems, then
    // the physical tree's. A model with problems may be incomplete; never take it as the machine.
    QStringList problems() const;

signals:
    // A discovery job has filled the trees anew.
    void discovered();

public slots:
    void slotOneVgAdded(const QString& vgPath, const QStringList& listPv);
    void slotOneVgRemoved(const QStringList& listPv);
    void slotOneVgRenamed(const QString& vgPath, const QStringList& listPv);
    void slotOneVgExtended(const QString& vgPath, const QStringList& listPv);
    void slotOneVgReduced(const QStringList& listPv);
    void slotOneLvAdded(const QString& lvPath, const QStringList& listPv);
    void slotOneLvRemoved(const QString& lvPath, const QStringList& listPv);
    void slotOneLvRenamed(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv);
    void slotOneLvResized(const QString& lvPath, const QStringList& newListPv, const QStringList& oldListPv);
    // Has the physical tree read the listed partitions again (see Lvm::onePvsChanged).
    void slotOnePvsChanged(const QStringList& listPv);

private:
    void followLogicalChanges();
    static OperationResult discoverInto(const QPointer<Roz>& self, Lvm* logical, Hard* physical);

    QPointer<Lvm> m_lvm;
    QPointer<Hard> m_hard;
};

#endif
