// A storage window as a GUI would write it with the library: the physical and the logical tree
// through the item models, the operations on the selected object run as jobs, their progress and
// the tools' transcript as it comes.
#ifndef DOVODODUZU_DEMOWINDOW_H
#define DOVODODUZU_DEMOWINDOW_H

#include <QList>
#include <QMainWindow>
#include <QPointer>

class Job;
class Lv;
class LogicalTreeModel;
struct OperationResult;
class PhysicalTreeModel;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeView;
class Roz;

class DemoWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `roz` must outlive the window; it may be empty (Roz::Start::Empty): the window reads the
    // machine into it at once, as a job.
    explicit DemoWindow(Roz* roz, QWidget* parent = nullptr);

    QTreeView* logicalView() const { return m_logicalView; }
    QTreeView* physicalView() const { return m_physicalView; }
    QString transcript() const;
    // "step N: program" while a job runs, else how the last one ended.
    QString status() const;
    QPushButton* cancelButton() const { return m_cancel; }
    // The jobs asked for here and not finished yet, in the order they run.
    const QList<Job*>& pendingJobs() const { return m_pending; }

    // The operations the toolbar offers, without their dialogs: each queues a job running one of
    // the library's typed calls, or returns null (and says so in the transcript) when the object
    // named is not there.
    Job* createGroup(const QString& name, const QStringList& partitions, int extentMiB);
    Job* createVolume(const QString& group, const QString& name, int sizeMiB, const QString& fileSystem);
    Job* growVolume(const QString& group, const QString& name, int sizeMiB);
    Job* snapshotVolume(const QString& group, const QString& name, const QString& snapshot, int sizeMiB);
    Job* renameVolume(const QString& group, const QString& name, const QString& newName);
    Job* removeVolume(const QString& group, const QString& name);
    Job* setGroupActive(const QString& group, bool active);
    // Reads the whole machine again.
    Job* refresh();

private:
    // Queues `change(*target)` as a job titled `title`; the job is refused if `target` is gone
    // by the time it starts.
    template <typename Target, typename Change> Job* perform(const QString& title, Target* target, Change change);
    // Shows the job's start, steps, output lines and result, and keeps the progress area in step.
    Job* follow(Job* job);
    void showResult(const QString& title, const OperationResult& result);
    void updateProgressArea();
    Lv* volume(const QString& group, const QString& name) const;
    // The selected row of the logical tree as (group, volume); volume empty for a group.
    QPair<QString, QString> selection() const;
    void buildToolBar();
    QWidget* buildProgressArea();

    Roz* m_roz;
    LogicalTreeModel* m_logical;
    PhysicalTreeModel* m_physical;
    QTreeView* m_logicalView;
    QTreeView* m_physicalView;
    QPlainTextEdit* m_transcript;
    QProgressBar* m_progress;
    QLabel* m_status;
    QLabel* m_queue;
    QPushButton* m_cancel;
    QList<Job*> m_pending; // each leaves the list when it finishes, before it deletes itself
    QPointer<Job> m_running;
};

#endif
