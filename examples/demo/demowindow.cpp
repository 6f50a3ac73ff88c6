// The demo window: two tree views over the item models, a toolbar of operations, a transcript.
#include "demowindow.h"

#include "itemmodels.h"
#include "operations.h"
#include "roz.h"

#include <QHeaderView>
#include <QInputDialog>
#include <QPlainTextEdit>
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
    m_transcript = new QPlainTextEdit;
    m_transcript->setReadOnly(true);
    m_transcript->setPlaceholderText(tr("The tools' transcript appears here."));
    auto* page = new QSplitter(Qt::Vertical);
    page->addWidget(trees);
    page->addWidget(m_transcript);
    page->setStretchFactor(0, 3);
    setCentralWidget(page);
    buildToolBar();
    resize(1200, 700);
}

QString DemoWindow::transcript() const
{
    return m_transcript->toPlainText();
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

int DemoWindow::perform(const QString& what, QObject* source, const std::function<OperationResult()>& operation)
{
    if (!source) {
        m_transcript->appendPlainText(tr("%1: no such object").arg(what));
        return -1;
    }
    // Every model object has an output(QString) signal carrying its transcript.
    const auto connection = connect(source, SIGNAL(output(QString)), m_transcript, SLOT(setPlainText(QString)));
    const OperationResult result = operation();
    disconnect(connection);
    if (result.ok)
        m_transcript->appendPlainText(tr("— %1: done").arg(what));
    else if (result.refused())
        m_transcript->appendPlainText(tr("— %1: refused: %2").arg(what, result.message));
    else
        m_transcript->appendPlainText(
            tr("— %1: %2 failed (%3): %4").arg(what, result.failedStep).arg(result.exitCode).arg(result.message));
    return result.exitCode;
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

int DemoWindow::createGroup(const QString& name, const QStringList& partitions, int extentMiB)
{
    Lvm* lvm = m_roz->getLvm();
    return perform(tr("create group %1").arg(name), lvm,
                   [=] { return ::createGroup(*lvm, name, partitions, extentMiB * kMiB); });
}

int DemoWindow::createVolume(const QString& group, const QString& name, int sizeMiB, const QString& fileSystem)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    return perform(tr("create volume %1/%2").arg(group, name), vg,
                   [=] { return ::createVolume(*vg, name, sizeMiB * kMiB, fileSystemNamed(fileSystem)); });
}

Lv* DemoWindow::volume(const QString& group, const QString& name) const
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    return vg ? vg->getLv(name) : nullptr;
}

int DemoWindow::growVolume(const QString& group, const QString& name, int sizeMiB)
{
    Lv* lv = volume(group, name);
    return perform(tr("grow %1/%2").arg(group, name), lv, [=] { return ::growVolume(*lv, sizeMiB * kMiB); });
}

int DemoWindow::snapshotVolume(const QString& group, const QString& name, const QString& snapshot, int sizeMiB)
{
    Lv* lv = volume(group, name);
    return perform(tr("snapshot %1/%2").arg(group, name), lv,
                   [=] { return ::snapshotVolume(*lv, snapshot, sizeMiB * kMiB); });
}

int DemoWindow::renameVolume(const QString& group, const QString& name, const QString& newName)
{
    Lv* lv = volume(group, name);
    return perform(tr("rename %1/%2").arg(group, name), lv, [=] { return ::renameVolume(*lv, newName); });
}

int DemoWindow::removeVolume(const QString& group, const QString& name)
{
    Lv* lv = volume(group, name);
    return perform(tr("remove %1/%2").arg(group, name), lv, [=] { return ::removeVolume(*lv); });
}

int DemoWindow::setGroupActive(const QString& group, bool active)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    return perform(tr("%1 %2").arg(active ? tr("activate") : tr("deactivate"), group), vg,
                   [=] { return active ? activateGroup(*vg) : deactivateGroup(*vg); });
}
