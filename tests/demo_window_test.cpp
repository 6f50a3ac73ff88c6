// The demo window, offscreen: shown before the machine is read, then filled by its discovery job;
// changes run as jobs show in both views through the item models alone, their output reaches the
// pane while they run, and the window can be grabbed as a picture.
#include "demowindow.h"
#include "itemmodels.h"
#include "modeltest.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>

namespace {

// The row named `name` under the top-level row named `parent`; invalid when there is none.
QModelIndex childRow(const QAbstractItemModel& model, const QString& parent, const QString& name)
{
    const Qt::MatchFlags flags = Qt::MatchExactly | Qt::MatchRecursive;
    for (const QModelIndex& found : model.match(model.index(0, 0), NameRole, name, -1, flags)) {
        if (found.parent().data(NameRole) == parent)
            return found;
    }
    return {};
}

// Runs the event loop until the window's jobs have all finished (false after 30 s), then lets the
// models take in what they announced.
bool settle(const DemoWindow& window)
{
    const QDeadlineTimer deadline(30000);
    while (!window.pendingJobs().isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    QCoreApplication::processEvents();
    return window.pendingJobs().isEmpty();
}

} // namespace

TEST(DemoWindow, JobsFillTheViewsStreamTheirTranscriptAndTheWindowCanBeGrabbed)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "demo_window_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    SimRoot sim;
    Roz roz(Roz::Start::Empty);
    DemoWindow window(&roz);
    window.show();
    const QAbstractItemModel& logical = *window.logicalView()->model();
    const QAbstractItemModel& physical = *window.physicalView()->model();
    EXPECT_EQ(logical.rowCount() + physical.rowCount(), 0);
    EXPECT_EQ(window.pendingJobs().size(), 1);
    ASSERT_TRUE(settle(window));
    EXPECT_TRUE(childRow(logical, "my-vg", "home").isValid());
    ASSERT_FALSE(childRow(logical, "my-vg", "web").isValid());

    ASSERT_NE(window.createVolume("my-vg", "web", 64, "ext3"), nullptr);
    ASSERT_TRUE(settle(window));
    // The grow runs with the group and a snapshot queued behind it; each line is in the pane when the
    // job gives it, and the rows are in line with the model once the jobs have ended.
    Job* grow = window.growVolume("my-vg", "web", 128);
    Job* group = window.createGroup("fresh", {"/dev/sdb5"}, 4);
    ASSERT_TRUE(grow && group && window.snapshotVolume("my-vg", "web", "web-snap", 32));
    int lines = 0;
    int linesShown = 0;
    QObject::connect(grow, &Job::line, [&](const QString& text) {
        ++lines;
        linesShown += window.transcript().endsWith(text);
    });
    QStringList statuses;
    QPixmap picture;
    QObject::connect(group, &Job::progress, [&](int, const QString& program) {
        statuses << window.status();
        EXPECT_TRUE(window.status().endsWith(program));
        EXPECT_TRUE(window.cancelButton()->isEnabled());
        picture = window.grab();
    });
    ASSERT_TRUE(settle(window));
    EXPECT_GT(lines, 0);
    EXPECT_EQ(linesShown, lines);
    EXPECT_FALSE(statuses.filter(kLvm + " vgcreate").isEmpty()) << statuses.join('\n').toStdString();
    EXPECT_FALSE(window.cancelButton()->isEnabled());

    EXPECT_TRUE(childRow(logical, "my-vg", "web-snap").isValid());
    EXPECT_EQ(childRow(logical, "my-vg", "web").data(SizeBytesRole).toLongLong(), 128 * 1024 * 1024);
    EXPECT_EQ(logical.match(logical.index(0, 0), NameRole, "fresh", -1, Qt::MatchExactly).size(), 1);
    EXPECT_EQ(childRow(physical, "sdb", "sdb5").data(GroupPathRole), "/dev/fresh");
    EXPECT_TRUE(window.transcript().contains("— grow my-vg/web: done")) << window.transcript().toStdString();
    EXPECT_TRUE(window.transcript().contains("— create group fresh: done"));

    // Cancel during the first program: lvcreate runs, mkfs no longer starts.
    Job* half = window.createVolume("my-vg", "half", 32, "ext3");
    QObject::connect(half, &Job::progress, [&](int step) {
        if (step == 1)
            window.cancelButton()->click();
    });
    ASSERT_TRUE(settle(window));
    EXPECT_TRUE(window.transcript().contains("— create volume my-vg/half: mkfs failed"));

    ASSERT_FALSE(picture.isNull());
    const QString suffix = testToolSet() == sim::ToolSet::Current ? QStringLiteral(".current") : QString();
    EXPECT_TRUE(picture.save(QStringLiteral(DOVO_FAKE_DIR "/demo-window%1.png").arg(suffix)));
    EXPECT_EQ(window.removeVolume("my-vg", "missing"), nullptr);
    EXPECT_TRUE(window.transcript().endsWith("remove my-vg/missing: no such object"));
}
