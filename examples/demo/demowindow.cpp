// The demo window: two tree views over the item models, a toolbar of operations run as jobs, their
// progress and a live transcript.
#include "demowindow.h"

#include "itemmodels.h"
#include "operations.h"
#include "roz.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QTreeView>

namespace {

QTreeView* treeView(QAbstractItemModel* model, QWidget* parent)
{
    auto* view = new QTreeView(parent);
    view->setModel(model);
    view->setAlternatingRowColors(true);
    view->setUniformRowHeights(true);
    view->expandAll();
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Rows that come later (a new group, a new disk) are shown opened too.
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view, [view] { view->expandAll(); });
    return view;
}

} // namespace

DemoWindow::DemoWindow(Roz* roz, QWidget* parent)
    : QMainWindow(parent), m_roz(roz), m_logical(new LogicalTreeModel(roz, this)),
      m_physical(new PhysicalTreeModel(roz, this))
{
    setWindowTitle(tr("dovododuzu demo"));
    auto* trees = new QSplitter(Qt::Horizontal);
    m_physicalView = treeView(m_physical, trees);
    m_logicalView = treeView(m_logical, trees);
    trees->addWidget(m_physicalView);
    trees->addWidget(m_logicalView);
    auto* page = new QSplitter(Qt::Vertical);
    page->addWidget(trees);
    page->addWidget(buildProgressArea());
    page->setStretchFactor(0, 3);
    setCentralWidget(page);
    buildToolBar();
    resize(1200, 700);
    updateProgressArea();
    refresh();
}

QWidget* DemoWindow::buildProgressArea()
{
    m_progress = new QProgressBar;
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(200);
    m_status = new QLabel(tr("Idle"));
    m_queue = new QLabel;
    m_cancel = new QPushButton(tr("Cancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_running)
            m_running->cancel();
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_progress);
    row->addWidget(m_status, 1);
    row->addWidget(m_queue);
    row->addWidget(m_cancel);

    m_transcript = new QPlainTextEdit;
    m_transcript->setReadOnly(true);
    m_transcript->setPlaceholderText(tr("The tools' transcript appears here."));
    auto* area = new QWidget;
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addWidget(m_transcript);
    return area;
}

QString DemoWindow::transcript() const
{
    return m_transcript->toPlainText();
}

QString DemoWindow::status() const
{
    return m_status->text();
}

void DemoWindow::buildToolBar()
{
    QToolBar* bar = addToolBar(tr("Operations"));
    bar->addAction(tr("New volume…"), this, [this] {
        const QString group = selection().first;
        const QString name = QInputDialog::getText(this, tr("New volume"), tr("Name in %1:").arg(group));
        const int size = QInputDialog::getInt(this, tr("New volume"), tr("Size (MiB):"), 64, 4);
        if (!group.isEmpty() && !name.isEmpty())
            createVolume(group, name, size, QStringLiteral("ext3"));
    });
    bar->addAction(tr("Grow…"), this, [this] {
        const auto [group, name] = selection();
        const int size = QInputDialog::getInt(this, tr("Grow"), tr("New size (MiB):"), 128, 4);
        if (!name.isEmpty())
            growVolume(group, name, size);
    });
    bar->addAction(tr("Snapshot…"), this, [this] {
        const auto [group, name] = selection();
        const QString snapshot = QInputDialog::getText(this, tr("Snapshot"), tr("Snapshot name:"));
        if (!name.isEmpty() && !snapshot.isEmpty())
            snapshotVolume(group, name, snapshot, 64);
    });
    bar->addAction(tr("Rename…"), this, [this] {
        const auto [group, name] = selection();
        const QString newName = QInputDialog::getText(this, tr("Rename"), tr("New name:"), QLineEdit::Normal, name);
        if (!name.isEmpty() && !newName.isEmpty())
            renameVolume(group, name, newName);
    });
    bar->addAction(tr("Remove"), this, [this] {
        const auto [group, name] = selection();
        if (!name.isEmpty())
            removeVolume(group, name);
    });
    bar->addAction(tr("Activate"), this, [this] { setGroupActive(selection().first, true); });
    bar->addAction(tr("Deactivate"), this, [this] { setGroupActive(selection().first, false); });
    bar->addSeparator();
    bar->addAction(tr("Refresh"), this, &DemoWindow::refresh);
}

QPair<QString, QString> DemoWindow::selection() const
{
    const QModelIndex current = m_logicalView->currentIndex().siblingAtColumn(0);
    if (!current.isValid())
        return {};
    if (!current.parent().isValid())
        return {current.data(NameRole).toString(), QString()};
    return {current.parent().data(NameRole).toString(), current.data(NameRole).toString()};
}

template <typename Target, typename Change>
Job* DemoWindow::perform(const QString& title, Target* target, Change change)
{
    if (!target) {
        m_transcript->appendPlainText(tr("— %1: no such object").arg(title));
        return nullptr;
    }
    // Jobs ahead of this one may remove or rename the object: the job is refused if it is gone
    // when its turn comes, and the guard keeps the call from reaching a deleted object anyway.
    return follow(m_roz->submit(title, target, [object = QPointer<Target>(target), change] {
        return object ? change(*object) : OperationResult{false, QString(), -1, tr("The object is gone")};
    }));
}

Job* DemoWindow::follow(Job* job)
{
    m_pending.append(job);
    const QString title = job->title();
    connect(job, &Job::started, this, [this, job, title] {
        m_running = job;
        m_transcript->appendPlainText(tr("» %1").arg(title));
        updateProgressArea();
    });
    connect(job, &Job::progress, this,
            [this](int step, const QString& program) { m_status->setText(tr("step %1: %2").arg(step).arg(program)); });
    connect(job, &Job::line, m_transcript, &QPlainTextEdit::appendPlainText);
    connect(job, &Job::finished, this, [this, job, title](const OperationResult& result) {
        m_pending.removeOne(job);
        m_running = nullptr;
        showResult(title, result);
        updateProgressArea();
    });
    updateProgressArea();
    return job;
}

void DemoWindow::showResult(const QString& title, const OperationResult& result)
{
    QString text;
    if (result.ok)
        text = tr("%1: done").arg(title);
    else if (result.refused())
        text = tr("%1: refused: %2").arg(title, result.message);
    else
        text = tr("%1: %2 failed (%3): %4").arg(title, result.failedStep).arg(result.exitCode).arg(result.message);
    m_transcript->appendPlainText(QStringLiteral("— ") + text);
    m_status->setText(text);
}

// The number of programs a job runs is not known ahead, so the bar only says whether one runs.
void DemoWindow::updateProgressArea()
{
    const bool busy = !m_pending.isEmpty();
    m_progress->setRange(0, busy ? 0 : 1);
    m_progress->setValue(busy ? 0 : 1);
    m_cancel->setEnabled(!m_running.isNull());
    const int waiting = m_pending.size() - (m_running ? 1 : 0);
    m_queue->setText(waiting > 0 ? tr("%n waiting", nullptr, waiting) : QString());
}

namespace {

constexpr qint64 kMiB = 1024 * 1024;

FileSystem fileSystemNamed(const QString& name)
{
    if (name == QLatin1String("ext2"))
        return FileSystem::Ext2;
    if (name == QLatin1String("ext3"))
        return FileSystem::Ext3;
    if (name == QLatin1String("reiserfs"))
        return FileSystem::Reiserfs;
    return FileSystem::None;
}

} // namespace

Job* DemoWindow::createGroup(const QString& name, const QStringList& partitions, int extentMiB)
{
    return perform(tr("create group %1").arg(name), m_roz->getLvm(),
                   [=](Lvm& lvm) { return ::createGroup(lvm, name, partitions, extentMiB * kMiB); });
}

Job* DemoWindow::createVolume(const QString& group, const QString& name, int sizeMiB, const QString& fileSystem)
{
    return perform(tr("create volume %1/%2").arg(group, name), m_roz->getLvm()->getVg(group),
                   [=](Vg& vg) { return ::createVolume(vg, name, sizeMiB * kMiB, fileSystemNamed(fileSystem)); });
}

Lv* DemoWindow::volume(const QString& group, const QString& name) const
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    return vg ? vg->getLv(name) : nullptr;
}

Job* DemoWindow::growVolume(const QString& group, const QString& name, int sizeMiB)
{
    return perform(tr("grow %1/%2").arg(group, name), volume(group, name),
                   [=](Lv& lv) { return ::growVolume(lv, sizeMiB * kMiB); });
}

Job* DemoWindow::snapshotVolume(const QString& group, const QString& name, const QString& snapshot, int sizeMiB)
{
    return perform(tr("snapshot %1/%2").arg(group, name), volume(group, name),
                   [=](Lv& lv) { return ::snapshotVolume(lv, snapshot, sizeMiB * kMiB); });
}

Job* DemoWindow::renameVolume(const QString& group, const QString& name, const QString& newName)
{
    return perform(tr("rename %1/%2").arg(group, name), volume(group, name),
                   [=](Lv& lv) { return ::renameVolume(lv, newName); });
}

Job* DemoWindow::removeVolume(const QString& group, const QString& name)
{
    return perform(tr("remove %1/%2").arg(group, name), volume(group, name), [](Lv& lv) { return ::removeVolume(lv); });
}

Job* DemoWindow::setGroupActive(const QString& group, bool active)
{
    return perform(tr("%1 %2").arg(active ? tr("activate") : tr("deactivate"), group), m_roz->getLvm()->getVg(group),
                   [=](Vg& vg) { return active ? activateGroup(vg) : deactivateGroup(vg); });
}

Job* DemoWindow::refresh()
{
    return follow(m_roz->discover());
}
