// A storage window as a GUI would write it with the library: the physical and the logical tree
// through the item models, the operations on the selected object, and the tools' transcript.
#ifndef DOVODODUZU_DEMOWINDOW_H
#define DOVODODUZU_DEMOWINDOW_H

#include <QMainWindow>

#include <functional>

class Lv;
class LogicalTreeModel;
struct OperationResult;
class PhysicalTreeModel;
class QPlainTextEdit;
class QTreeView;
class Roz;

class DemoWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `roz` must outlive the window.
    explicit DemoWindow(Roz* roz, QWidget* parent = nullptr);

    QTreeView* logicalView() const { return m_logicalView; }
    QTreeView* physicalView() const { return m_physicalView; }
    QString transcript() const;

    // The operations the toolbar offers, without their dialogs, through the library's typed calls;
    // each returns the positional call's code (0 done).
    int createGroup(const QString& name, const QStringList& partitions, int extentMiB);
    int createVolume(const QString& group, const QString& name, int sizeMiB, const QString& fileSystem);
    int growVolume(const QString& group, const QString& name, int sizeMiB);
    int snapshotVolume(const QString& group, const QString& name, const QString& snapshot, int sizeMiB);
    int renameVolume(const QString& group, const QString& name, const QString& newName);
    int removeVolume(const QString& group, const QString& name);
    int setGroupActive(const QString& group, bool active);

private:
    // Runs `operation` with the transcript of `source` shown as it comes, then a result line;
    // returns the positional call's code.
    int perform(const QString& what, QObject* source, const std::function<OperationResult()>& operation);
    Lv* volume(const QString& group, const QString& name) const;
    // The selected row of the logical tree as (group, volume); volume empty for a group.
    QPair<QString, QString> selection() const;
    void buildToolBar();

    Roz* m_roz;
    LogicalTreeModel* m_logical;
    PhysicalTreeModel* m_physical;
    QTreeView* m_logicalView;
    QTreeView* m_physicalView;
    QPlainTextEdit* m_transcript;
};

#endif
