// The logical tree: the volume-group manager (Lvm), volume groups (Vg) and logical volumes (Lv).
#ifndef DOVODODUZU_LVMDRIVE_H
#define DOVODODUZU_LVMDRIVE_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <QHash>

#include <memory>
#include <vector>

#include "dovododuzu_export.h"

class Vg;
class Lvm;
struct VgRecord;
struct VolumeRecord;

// Vg::createLv's result when the volume was made but the file system asked for was not.
constexpr int kVolumeWithoutFileSystem = 256;

// One logical volume of one volume group. Created and owned by its Vg; it reads the group's
// name, extent size and free space through live references into the Vg, so it must never
// outlive it.
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

private:
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

    friend class Vg;
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

    // The registry of logical volumes.
    void findLv();
    void addLv(const QString& lvName, bool bOriginal, bool bSnapshot);
    bool hasLv(const QString& lvName);
    Lv* getLv(const QString& lvName);
    Lv* getLv(unsigned int index);
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

private:
    void dropLv(const QString& lvName);
    int verifyActivation(bool active);
    int changeActivation(const QString& option, int lvStatus);
    QHash<QString, QString> physicalVolumeGroups() const;
    void applyFigures(const VgRecord& record);

    Lvm* m_manager = nullptr; // the manager that holds this group, if any; not owned
    QStringList m_problems;   // failed reads of the volume listing

    friend class Lvm;

    QString vgName;
    QString vgUuid;
    int attr[16] = {};
    QString pvs;
    QString log;
    std::vector<std::unique_ptr<Lv>> lvs;
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
    bool removeVg(uint index);
    bool removeVg(const QString& vgName);
    uint vgCount() const;
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

private:
    QString createVgProblem(const QStringList& args);

    friend class Vg;
    QHash<QString, QString> physicalVolumeGroups() const;

    QStringList m_problems; // failed reads of the group listing
    QString outputLog;
    std::vector<std::unique_ptr<Vg>> vgList;
    QStringList errorVgList;
};

#endif
