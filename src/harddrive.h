// The physical tree: disks (Hard, Disk) and partitions (Partition) as the device lister reports
// them, and the bookkeeping that follows changes on the logical side.
#ifndef DOVODODUZU_HARDDRIVE_H
#define DOVODODUZU_HARDDRIVE_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "dovododuzu_export.h"

struct PartitionRecord;

// Ownership: the QObject tree is the only owner. Hard's parent is the caller's (Roz: the Roz), a
// Disk's parent is its Hard and a Partition's parent is its Disk; the registries are ordered,
// non-owning lists of those children. Do not re-parent one; one deleted from outside leaves its
// registry. Disks and partitions stay valid as long as the Hard: a change never removes one.
// Sizes: the device lister gives KiB; sizeBytes() gives bytes.

// One partition of one disk: size, system, file-system type, mount point, physical-volume state,
// group path and the logical volumes on it. Probes itself once, at construction.
class DOVODODUZU_EXPORT Partition : public QObject
{
    Q_OBJECT

public:
    Partition(const QString& name, const QString& deviceLine, bool pv, QObject* parent = nullptr,
              const char* objectName = nullptr);
    ~Partition() override;

    void getBasics();
    void getLvs();

    QString name() const;
    QString path() const;
    QString getSize() const;
    int proportion() const;
    QString getSystem() const;
    void setSystem(QString systemTag, QString system);
    QString fstype() const;
    QString mountPoint() const;
    bool isPv() const;
    bool isAllocatable() const;
    QString getVgPath() const;
    void setVgPath(const QString& vgPath);
    QString lvString() const;
    QStringList lvList() const; // lvString split at ':', empty entries dropped
    void setLvs(const QString& lvs);
    qint64 sizeBytes() const;
    // Set what a change on the machine established without a new probe.
    void setPv(bool pv);
    void setFstype(const QString& fstype);

signals:
    // An accessor value changed after construction (a setter, the affiliation, a new probe);
    // once at the end of the operation that changed it.
    void changed();

private:
    void holdChanges();
    void releaseChanges();
    QStringList observedState() const;
    // Probes the partition again from a new device line, as at construction.
    void reprobe(const QString& deviceLine);
    void applyProbe(const PartitionRecord& record);

    friend class Hard;

    QString m_name;
    QString m_deviceLine;
    int m_size = 0;
    QString m_systemTag;
    QString m_system;
    QString m_mountPoint;
    QString m_fstype;
    bool m_pv = false;
    QString m_uuid;
    QString m_lvs;
    QString m_vgPath;
    int m_changeHolds = 0;
    QStringList m_heldState;
};

// One disk and its partitions.
class DOVODODUZU_EXPORT Disk : public QObject
{
    Q_OBJECT

public:
    explicit Disk(const QString& name, QObject* parent = nullptr, const char* objectName = nullptr);
    ~Disk() override;

    void findPartition();
    void addPartition(const QString& name, const QString& deviceLine);
    Partition* getPartition(unsigned int index);
    Partition* getPartition(const QString& name);
    unsigned int partitionCount() const;
    QList<Partition*> partitions() const;
    QString getSize();
    qint64 sizeBytes() const;
    void setSize(unsigned long size);
    QString name() const;
    QString path() const;
    QString lvString() const;

signals:
    void changed(); // see Partition::changed

private:
    friend class Hard;

    unsigned long m_size = 0;
    QStringList m_problems; // failed reads of the partition listing
    QString m_name;
    QList<Partition*> m_partitions; // children, in listing order
};

// Every disk of the machine, found at construction.
class DOVODODUZU_EXPORT Hard : public QObject
{
    Q_OBJECT

public:
    explicit Hard(QObject* parent = nullptr, const char* objectName = nullptr);
    ~Hard() override;

    void findDisk();
    void addDisk(const QString& name, unsigned long size);
    Disk* getDisk(unsigned int index);
    Disk* getDisk(const QString& name);
    unsigned int diskCount() const;
    // What went wrong while the disks and partitions were read, one line each; empty when the
    // model is complete.
    QStringList problems() const;

    // Physical-volume affiliation: rewrites partitions' group paths, system texts and LV lists.
    Partition* getPv(const QString& path);
    void affiliateVgPv(const QString& vgPath, const QStringList& listPv);
    void deaffiliateVgPv(const QStringList& listPv);
    void reaffiliateVgPv(const QString& vgPath, const QStringList& listPv);
    void affiliateLvPv(const QString& lvPath, const QStringList& listPv);
    void deaffiliateLvPv(const QString& lvPath, const QStringList& listPv);
    void reaffiliateLvPv(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv);
    // Reads the listed partitions again from the device lister and the LVM tool, after a change
    // that failed part-way may have altered them.
    void rereadPartitions(const QStringList& listPv);
    // Each listed partition as a probe shows an LVM physical volume after "lvm on" and pvcreate:
    // PV flag set, system tag "LVM", system "Linux LVM, LVM", file-system type "LVM2" unless it
    // is mounted. Group path and LV list are left alone; unknown paths are skipped silently.
    void markPhysicalVolumes(const QStringList& listPv);
    // Today's tools list a whole device (a loop device, say) as a disk once it is a physical
    // volume: those of `devices` the tree does not hold yet are read and added in listing order.
    void addNewDisks(const QStringList& devices);

private:
    friend class HardChangeHold;
    friend class Roz;
    enum class EmptyTag { Empty };
    Hard(QObject* parent, EmptyTag); // reads nothing
    void clear();                    // every disk deleted, the problems forgotten
    // While held, every partition's changed() waits for the last release; the facade holds the
    // tree for each logical change it carries over.
    void holdChanges();
    void releaseChanges();
    void forgetWhenDestroyed(Disk* disk);
    void changeEachPv(const QStringList& listPv, const std::function<void(Partition&)>& change);
    Partition* findPv(const QString& path) const; // getPv without its debug line

    QStringList m_problems; // failed reads of the disk listing
    QList<Disk*> m_disks;   // children, in listing order
};

#endif
