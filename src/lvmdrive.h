// The logical tree: the volume-group manager (Lvm), volume groups (Vg) and logical volumes (Lv).
#ifndef DOVODODUZU_LVMDRIVE_H
#define DOVODODUZU_LVMDRIVE_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <QHash>
#include <QList>

#include "dovododuzu_export.h"

class Vg;
class Lvm;
struct VgRecord;
struct VolumeRecord;

// Vg::createLv's result when the volume was made but the file system asked for was not.
constexpr int kVolumeWithoutFileSystem = 256;

// Ownership: the QObject tree is the only owner. Lvm's parent is the caller's (Roz: the Roz), a
// Vg's parent is its Lvm and an Lv's parent is its Vg, so parent() is the owner and
// findChildren<Lv*>() on a Vg, an Lvm or a Roz finds the volumes. The registries (vgs(), lvs())
// are ordered, non-owning lists of those children. The tree deletes an object when the tools no
// longer have it. Do not re-parent one; one deleted from outside leaves its registry unannounced.
// Pointer lifetimes: a Vg* stays valid until Lvm::vgAboutToBeRemoved has been delivered for it
// (its volumes go with it); an Lv* until Vg::lvAboutToBeRemoved has been delivered for it or its
// group goes. Everything goes with the Lvm. QPointer notices both.
// Sizes: the MB figures of the tools are MiB; the *Bytes() accessors give them in bytes.

// One logical volume of one volume group. Created and owned by its Vg; it reads the group's
// name, extent size and free space through live references into the Vg, so it must never
// outlive it (the Vg deletes its volumes before anything of its own goes).
class DOVODODUZU_EXPORT Lv : public QObject
{
    Q_OBJECT

public:
    // A fixed underlying type makes every int a valid value: one outside the list gives 0.
    enum Attribute : int {
        Access,
        Status,
        Number,
        Size,
        CurrentLe,
        AllocatedLe,
        Allocation,
        ReadAhead,
        Major,
        Minor,
        LeSize,
        VgFree,
        SizeAtRead,
        ZeroValue
    };

    Lv(const QString& lvName, const QString& vgName, const int& leSize, const int& vgFree, bool bOriginal,
       bool bSnapshot, QObject* parent = nullptr, const char* name = nullptr);
    ~Lv() override;

    // Reading the record from the tools.
    void getBasics();
    void getPvs();

    int getAttribute(Lv::Attribute attribute) const;
    QString name() const;
    QString fstype() const;
    QString pvString() const;
    QString getOriginal() const;
    QStringList getSnapshot() const;
    bool isOriginal() const;
    bool isSnapshot() const;
    bool isActive() const;
    int proportion() const;

    QString getVgPath() const;
    QString path() const;
    QString mountPoint() const;
    qint64 sizeBytes() const; // Size (MiB) in bytes

    void setStatus(int status);
    void setSize(int size);
    void setLe(int allocated, int current);
    // The size a read would give now, for a size that changed without one (a snapshot whose
    // origin grew).
    void setSizeAtRead(int size);
    void setOriginal(const QString& original);
    void addSnapshot(const QString& snapName);
    // The group's activation changed and the volume was not read again: its device numbers and
    // file-system type become what the tools show in the new state. Inactive: -1:-1 and
    // "unknown"; active: the values last read while it was active (kept when it never was).
    void followActivation(bool active);

    // Changes through the LVM tool; each returns the tool's result and emits output(log).
    int rename(const QString& newName);
    int remove();
    // {"-s", "-n<snap>", "-L", "<MiB>M"}: lvcreate's options, element 1 naming the snapshot; the
    // origin's path is appended. -1 when element 1 names nothing.
    int createSnapshot(const QStringList& args);
    // {"-L<MiB>"}, the new total size: lvextend, then e2fsck and resize2fs, or resize_reiserfs.
    // 0, a tool's exit code, or -1 (refused, a shrink, or a file system that was not grown).
    int resize(const QStringList& args);

    void removeSnapshot(const QString& snapName);
    void renameSnapshot(const QString& newName, const QString& oldName);

signals:
    void newLv(const QString& lvName, bool bOriginal, bool bSnapshot);
    void removeLv(const QString& lvName);
    void renameLv(const QString& newLvName, const QString& oldLvName);
    void resizeLv(const QString& lvName, const QStringList& oldListPv);
    void output(const QString& text);

    // Identity notices, beside the by-name ones above.
    // An accessor value changed after construction (a re-read, a setter, a change of the group);
    // once at the end of the operation that changed it.
    void changed();
    void renamedFrom(const QString& oldName, const QString& newName);
    // Once per successful resize(), after the last re-read (resizeLv may come twice).
    void resized();

private:
    // Notices held while an operation runs: changed() comes once, when the last hold ends.
    void holdChanges();
    void releaseChanges();
    QStringList observedState() const;
    int runResize(const QStringList& args);
    int runLvmStep(const QStringList& args);
    void applyActivation(bool active);
    int resizedAreaMb() const;
    int stopResize(const QString& reason, int result);
    void refreshAfterResize(const QStringList& oldPvs);
    static bool fileSystemCheckPassed(int result);
    void rememberActiveDevice();
    void applyVolume(const VolumeRecord& record);

    QString m_name;
    const QString& m_vgName;
    int m_access = 0;
    int m_status = 0;
    int m_number = 0;
    int m_size = 0;
    int m_currentLe = 0;
    int m_allocatedLe = 0;
    int m_allocation = 0;
    int m_readAhead = 0;
    int m_major = 0;
    int m_minor = 0;
    const int& m_leSize;
    const int& m_vgFree;
    int m_sizeAtRead = 0;
    int m_zeroValue = 0;
    QString m_pvString;
    QString m_log;
    QStringList m_snapshots;
    QString m_original;
    QString m_fstype;
    bool m_bOriginal = false;
    bool m_bSnapshot = false;
    int m_cowLe = 0;            // a snapshot's copy-on-write extents, as lvdisplay reports them
    bool m_recordFound = false; // lvdisplay knew the volume when it was last read
    // What getBasics read the last time it found the volume active.
    bool m_readActive = false;
    int m_activeMajor = -1;
    int m_activeMinor = -1;
    QString m_activeFstype;
    int m_changeHolds = 0;
    QStringList m_heldState;
    int m_resizeRefreshes = 0; // re-reads by the resize in progress

    friend class Vg;
    friend class GroupChangeHold;
};

// One volume group: its figures, its physical volumes and the registry of its logical volumes.
class DOVODODUZU_EXPORT Vg : public QObject
{
    Q_OBJECT

public:
    // A fixed underlying type makes every int a valid value: one outside the list gives 0.
    enum Attribute : int {
        Access,
        Status,
        Number,
        MaxLv,
        CurLv,
        OpenLv,
        MaxLvSize,
        MaxPv,
        CurPv,
        ActPv,
        SizeMb,
        PeSizeMb,
        TotalPe,
        AllocPe,
        FreePe,
        FreeMb
    };

    explicit Vg(const QString& name, QObject* parent = nullptr, const char* objName = nullptr);
    ~Vg() override;

    // Refresh from the tools.
    void getBasics();
    void getPvs();

    int getAttribute(Vg::Attribute attribute) const;
    QString name() const;
    QString path() const;
    QString uuidString() const;
    QString pvString() const;
    unsigned int lvCount() const;
    bool isResizable() const;
    qint64 sizeBytes() const; // SizeMb in bytes
    qint64 freeBytes() const; // FreeMb in bytes
    QStringList pvList() const;
    QStringList lvPaths() const;
    // The registry in report order; the pointers follow the lifetimes described above.
    QList<Lv*> lvs() const;

    // The registry of logical volumes.
    void findLv();
    void addLv(const QString& lvName, bool bOriginal, bool bSnapshot);
    bool hasLv(const QString& lvName);
    Lv* getLv(const QString& lvName);
    Lv* getLv(unsigned int index);
    // Announce lvAboutToBeRemoved, then delete the volume.
    bool removeLv(const QString& lvName);
    bool removeLv(unsigned int index);
    QString lvString();
    bool isActive();

    // Changes through the LVM tool; each returns the tool's result and emits output(log).
    int activate();
    int deactivate();
    int freeze();
    int defreeze();
    int remove();
    int rename(const QString& newName);
    int extend(const QStringList& pvList);
    int reduce(const QStringList& pvList);
    // {fs, "-L", "<MiB>M", "-n<name>", group}: element 0 the file system ("ext2", "ext3",
    // "reiserfs", "" or "none"), the rest lvcreate's arguments with element 3 "-n<name>". 0, the
    // lvcreate exit code, kVolumeWithoutFileSystem, or -1 (refused, or the volume not found after).
    int createLv(const QStringList& request);

public slots:
    void slotNewLv(const QString& lvName, bool bOriginal, bool bSnapshot);
    void slotRemoveLv(const QString& lvName);
    void slotRenameLv(const QString& newLvName, const QString& oldLvName);
    void slotResizeLv(const QString& lvName, const QStringList& oldListPv);

signals:
    void removed(const QString& vgName);
    void renamed(const QString& vgPath, const QStringList& listPv);
    void extended(const QString& vgPath, const QStringList& listPv);
    void reduced(const QStringList& listPv);
    void oneLvAdded(const QString& lvPath, const QStringList& listPv);
    void oneLvRemoved(const QString& lvPath, const QStringList& listPv);
    void oneLvRenamed(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv);
    void oneLvResized(const QString& lvPath, const QStringList& newListPv, const QStringList& oldListPv);
    void output(const QString& text);
    // After an extend that failed once partitions had been marked or made physical volumes:
    // those partitions must be read again.
    void pvsChanged(const QStringList& listPv);

    // Identity notices, beside the by-path ones above.
    void changed(); // see Lv::changed
    void renamedFrom(const QString& oldName, const QString& newName);
    void activationChanged(bool active);      // after activate() or deactivate() succeeded
    void resizabilityChanged(bool resizable); // after freeze() or defreeze() succeeded
    void lvAdded(Lv* lv);                     // registered by createLv or Lv::createSnapshot
    // Delivered while the volume is still usable, before it is deleted and oneLvRemoved follows.
    void lvAboutToBeRemoved(Lv* lv);

private:
    void holdChanges();
    void releaseChanges();
    QStringList observedState() const;
    void deleteLv(qsizetype index);
    void dropLv(const QString& lvName);
    int verifyActivation(bool active);
    int changeActivation(const QString& option, int lvStatus);
    int changeResizability(const QString& option);
    // Reads a volume the tools have just made and registers it, announced; `origin` is the origin
    // of a new snapshot.
    void registerNewLv(const QString& lvName, bool bOriginal, bool bSnapshot, Lv* origin);
    int runLvmStep(const QStringList& args);
    QHash<QString, QString> physicalVolumeGroups() const;
    void applyFigures(const VgRecord& record);

    Lvm* m_manager = nullptr; // the manager that holds this group, if any; not owned
    QStringList m_problems;   // failed reads of the volume listing

    friend class Lvm;
    friend class GroupChangeHold;

    int m_changeHolds = 0;
    QStringList m_heldState;
    QList<Lv*> m_lvs; // children, in report order

    QString m_vgName;
    QString m_vgUuid;
    int m_attr[16] = {};
    QString m_pvs;
    QString m_log; // the transcript of the last change
};

// The root of the logical tree: every volume group of the machine, found at construction.
class DOVODODUZU_EXPORT Lvm : public QObject
{
    Q_OBJECT

public:
    explicit Lvm(QObject* parent = nullptr, const char* name = nullptr);
    ~Lvm() override;

    void findVg();
    void addVg(const QString& vgName);
    bool hasVg(const QString& vgName);
    Vg* getVg(const QString& vgName);
    Vg* getVg(uint index);
    // Announce vgAboutToBeRemoved, then delete the group.
    bool removeVg(uint index);
    bool removeVg(const QString& vgName);
    uint vgCount() const;
    // The registry in report order; the pointers follow the lifetimes described above.
    QList<Vg*> vgs() const;
    QStringList errorVgName() const;
    // What went wrong while the groups and their volumes were read (a program that could not be
    // started, was killed or failed), one line each; empty when the model is complete.
    QStringList problems() const;
    // {"-s4M", "-l0", "-p0", name, partition...}: entries 0-2 vgcreate options (empty allowed), 3
    // the group's name, 4 on its partitions. parted, pvcreate and vgcreate; the failing tool's exit
    // code, or -1 when refused before any tool ran.
    int createVg(const QStringList& args);

public slots:
    void slotRemoveVg(const QString& vgName);

signals:
    void output(const QString& text);
    void oneVgAdded(const QString& vgPath, const QStringList& listPv);
    void oneVgRemoved(const QStringList& listPv);
    void oneVgRenamed(const QString& vgPath, const QStringList& listPv);
    void oneVgExtended(const QString& vgPath, const QStringList& listPv);
    void oneVgReduced(const QStringList& listPv);
    void oneLvAdded(const QString& lvPath, const QStringList& listPv);
    void oneLvRemoved(const QString& lvPath, const QStringList& listPv);
    void oneLvRenamed(const QString& newLvPath, const QString& oldLvPath, const QStringList& listPv);
    void oneLvResized(const QString& lvPath, const QStringList& newListPv, const QStringList& oldListPv);
    // After a createVg or extend that failed once partitions had been marked or made physical
    // volumes: those partitions must be read again (the facade has the physical tree do so).
    void onePvsChanged(const QStringList& listPv);

    // Identity notices, beside the by-path ones above.
    void vgAdded(Vg* vg); // registered by createVg
    // Delivered while the group is still usable, before it is deleted and oneVgRemoved follows.
    void vgAboutToBeRemoved(Vg* vg);

private:
    friend class Roz;
    enum class EmptyTag { Empty };
    // Reads nothing; the facade fills it with findVg() in a discovery job.
    Lvm(QObject* parent, EmptyTag);
    // Every group removed, each announced by vgAboutToBeRemoved; the problems forgotten.
    void clear();
    void deleteVg(qsizetype index);
    QString createVgProblem(const QStringList& args);

    friend class Vg;
    QHash<QString, QString> physicalVolumeGroups() const;

    QStringList m_problems; // failed reads of the group listing
    QString m_log;          // the transcript of the last change
    QList<Vg*> m_vgList;    // children, in report order
    QStringList m_errorVgList;
};

#endif
