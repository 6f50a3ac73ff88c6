// The storage facade: builds the logical and the physical tree and keeps the second in step with
// every change made on the first.
#ifndef DOVODODUZU_ROZ_H
#define DOVODODUZU_ROZ_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "dovododuzu_export.h"
#include "harddrive.h"
#include "lvmdrive.h"
#include "utils.h"

// Owns both trees as QObject children (Roz -> Lvm -> Vg -> Lv, Roz -> Hard -> Disk ->
// Partition, see lvmdrive.h and harddrive.h), so findChildren<Lv*>() on a Roz finds every volume.
// getLvm() and getHard() stay valid as long as the Roz.
class DOVODODUZU_EXPORT Roz : public QObject
{
    Q_OBJECT

public:
    explicit Roz(QObject* parent = nullptr, const char* name = nullptr);
    ~Roz() override;

    Lvm* getLvm();
    Hard* getHard();
    // Everything that went wrong while the machine was read: the logical tree's problems, then
    // the physical tree's. A model with problems may be incomplete; never take it as the machine.
    QStringList problems() const;

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
    QPointer<Lvm> lvm;
    QPointer<Hard> hard;
};

#endif
