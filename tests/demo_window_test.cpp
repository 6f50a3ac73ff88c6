// The demo window, offscreen: a scripted change shows in both views through the item models alone,
// its transcript reaches the pane, and the window can be grabbed as a picture.
#include "demowindow.h"
#include "itemmodels.h"
#include "modeltest.h"

#include <QApplication>
#include <QPixmap>
#include <QTreeView>

namespace {

// The names under the top-level row named `parent`.
QStringList childNames(const QAbstractItemModel& model, const QString& parent)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex top = model.index(row, 0);
        if (top.data(NameRole).toString() != parent)
            continue;
        for (int child = 0; child < model.rowCount(top); ++child)
            names << model.index(child, 0, top).data(NameRole).toString();
    }
    return names;
}

qint64 sizeOf(const QAbstractItemModel& model, const QString& parent, const QString& name)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex top = model.index(row, 0);
        for (int child = 0; child < model.rowCount(top); ++child) {
            const QModelIndex index = model.index(child, 0, top);
            if (top.data(NameRole) == parent && index.data(NameRole) == name)
                return index.data(SizeBytesRole).toLongLong();
        }
    }
    return -1;
}

} // namespace

TEST(DemoWindow, ScriptedChangesShowInTheViewsAndTheWindowCanBeGrabbed)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "demo_window_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    SimRoot sim;
    Roz roz;
    DemoWindow window(&roz);
    window.show();
    const QAbstractItemModel& logical = *window.logicalView()->model();
    const QAbstractItemModel& physical = *window.physicalView()->model();
    ASSERT_FALSE(childNames(logical, "my-vg").contains("web"));

    ASSERT_EQ(window.createVolume("my-vg", "web", 64, "ext3"), 0);
    ASSERT_EQ(window.growVolume("my-vg", "web", 128), 0);
    ASSERT_EQ(window.createGroup("fresh", {"/dev/sdb5"}, 4), 0);
    QApplication::processEvents();

    EXPECT_TRUE(childNames(logical, "my-vg").contains("web"));
    EXPECT_EQ(sizeOf(logical, "my-vg", "web"), 128 * 1024 * 1024);
    EXPECT_TRUE(childNames(logical, "fresh").isEmpty());
    bool sdb5InFresh = false;
    for (int row = 0; row < physical.rowCount(); ++row) {
        const QModelIndex disk = physical.index(row, 0);
        for (int child = 0; child < physical.rowCount(disk); ++child) {
            const QModelIndex part = physical.index(child, 0, disk);
            sdb5InFresh = sdb5InFresh || (part.data(NameRole) == "sdb5" && part.data(GroupPathRole) == "/dev/fresh");
        }
    }
    EXPECT_TRUE(sdb5InFresh);
    EXPECT_TRUE(window.transcript().contains("create group fresh: done"));

    const QPixmap picture = window.grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QStringLiteral(DOVO_FAKE_DIR "/demo-window.png")));
    EXPECT_EQ(window.removeVolume("my-vg", "missing"), -1);
}
