// The demo window: two tree views over the item models, a toolbar of operations, a transcript.
#include "demowindow.h"

#include "itemmodels.h"
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

int DemoWindow::perform(const QString& what, QObject* source, const std::function<int()>& operation)
{
    if (!source) {
        m_transcript->appendPlainText(tr("%1: no such object").arg(what));
        return -1;
    }
    // Every model object has an output(QString) signal carrying its transcript.
    const auto connection = connect(source, SIGNAL(output(QString)), m_transcript, SLOT(setPlainText(QString)));
    const int result = operation();
    disconnect(connection);
    m_transcript->appendPlainText(result == 0 ? tr("— %1: done").arg(what)
                                              : tr("— %1: failed (%2)").arg(what).arg(result));
    return result;
}

int DemoWindow::createGroup(const QString& name, const QStringList& partitions, int extentMiB)
{
    Lvm* lvm = m_roz->getLvm();
    const QStringList args =
        QStringList{QStringLiteral("-s%1M").arg(extentMiB), QString(), QString(), name} + partitions;
    return perform(tr("create group %1").arg(name), lvm, [lvm, args] { return lvm->createVg(args); });
}

int DemoWindow::createVolume(const QString& group, const QString& name, int sizeMiB, const QString& fileSystem)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    const QStringList request{fileSystem, QStringLiteral("-L%1M").arg(sizeMiB), group, QStringLiteral("-n") + name};
    return perform(tr("create volume %1/%2").arg(group, name), vg, [vg, request] { return vg->createLv(request); });
}

int DemoWindow::growVolume(const QString& group, const QString& name, int sizeMiB)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    Lv* lv = vg ? vg->getLv(name) : nullptr;
    return perform(tr("grow %1/%2").arg(group, name), lv,
                   [lv, sizeMiB] { return lv->resize({QStringLiteral("-L%1").arg(sizeMiB)}); });
}

int DemoWindow::snapshotVolume(const QString& group, const QString& name, const QString& snapshot, int sizeMiB)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    Lv* lv = vg ? vg->getLv(name) : nullptr;
    const QStringList args{QStringLiteral("-s"), QStringLiteral("-n") + snapshot, QStringLiteral("-L%1M").arg(sizeMiB)};
    return perform(tr("snapshot %1/%2").arg(group, name), lv, [lv, args] { return lv->createSnapshot(args); });
}

int DemoWindow::renameVolume(const QString& group, const QString& name, const QString& newName)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    Lv* lv = vg ? vg->getLv(name) : nullptr;
    return perform(tr("rename %1/%2").arg(group, name), lv, [lv, newName] { return lv->rename(newName); });
}

int DemoWindow::removeVolume(const QString& group, const QString& name)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    Lv* lv = vg ? vg->getLv(name) : nullptr;
    return perform(tr("remove %1/%2").arg(group, name), lv, [lv] { return lv->remove(); });
}

int DemoWindow::setGroupActive(const QString& group, bool active)
{
    Vg* vg = m_roz->getLvm()->getVg(group);
    return perform(tr("%1 %2").arg(active ? tr("activate") : tr("deactivate"), group), vg,
                   [vg, active] { return active ? vg->activate() : vg->deactivate(); });
}
