// The item models through every operation, on both tool sets: Qt's model tester watches every
// signal, no change resets a model, and after each step the rows equal those of models built on a
// fresh discovery of the machine.
#include "itemmodels.h"
#include "modeltest.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

namespace {

// Every row as "path | column texts | role values", depth first.
QStringList rowsOf(const QAbstractItemModel& model, const QModelIndex& parent = QModelIndex())
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex first = model.index(row, 0, parent);
        QStringList cells{first.data(PathRole).toString()};
        for (int column = 0; column < model.columnCount(parent); ++column)
            cells << model.index(row, column, parent).data().toString();
        for (int role : {SizeBytesRole, FreeBytesRole, FileSystemRole, MountPointRole, ActiveRole, OriginRole,
                         GroupPathRole, PhysicalVolumeRole})
            cells << first.data(role).toString();
        cells << QString::number(static_cast<int>(first.data(KindRole).value<StorageKind>()));
        rows << cells.join(" | ");
        rows += rowsOf(model, first);
    }
    return rows;
}

struct Step {
    const char* name;
    std::function<int(Roz&)> run;
    bool structural; // rows come or go in the logical tree
    bool classicToo; // the classic tools show the result without reading it again only in part
};

Vg* group(Roz& roz, const char* name)
{
    return roz.getLvm()->getVg(QString::fromLatin1(name));
}

const Step kSteps[] = {
    {"createVg",
     [](Roz& r) {
         return r.getLvm()->createVg({"-s4M", "", "", "new.vg", "/dev/sdb5"});
     },
     true, true},
    {"createLv",
     [](Roz& r) {
         return group(r, "new.vg")->createLv({"ext3", "-L64", "new.vg", "-na-vol"});
     },
     true, true},
    {"snapshot",
     [](Roz& r) {
         return group(r, "my-vg")->getLv("music")->createSnapshot({"-s", "-nm.snap", "-L64"});
     },
     true, true},
    {"Lv rename", [](Roz& r) { return group(r, "my-vg")->getLv("scratch_1")->rename("b-scratch"); }, false, true},
    {"resize", [](Roz& r) { return group(r, "new.vg")->getLv("a-vol")->resize({"-L128"}); }, false, true},
    {"extend", [](Roz& r) { return group(r, "new.vg")->extend({"/dev/sdc3"}); }, false, true},
    {"reduce", [](Roz& r) { return group(r, "new.vg")->reduce({"/dev/sdc3"}); }, false, true},
    {"freeze", [](Roz& r) { return group(r, "new.vg")->freeze(); }, false, true},
    {"defreeze", [](Roz& r) { return group(r, "new.vg")->defreeze(); }, false, true},
    {"deactivate", [](Roz& r) { return group(r, "new.vg")->deactivate(); }, false, true},
    {"activate", [](Roz& r) { return group(r, "vg.backup")->activate(); }, false, false},
    {"Vg rename", [](Roz& r) { return group(r, "new.vg")->rename("a.vg"); }, false, true},
    {"Lv remove", [](Roz& r) { return group(r, "a.vg")->getLv("a-vol")->remove(); }, true, true},
    {"Vg remove", [](Roz& r) { return group(r, "a.vg")->remove(); }, true, true},
};

class ItemModels : public ::testing::TestWithParam<sim::ToolSet>
{
};

TEST_P(ItemModels, FollowEveryOperationRowByRow)
{
    int argc = 1;
    char name[] = "itemmodels_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    SimRoot sim("default", GetParam());
    Roz roz;
    LogicalTreeModel logical(&roz);
    PhysicalTreeModel physical(&roz);
    QAbstractItemModelTester logicalTester(&logical, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester physicalTester(&physical, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&logical, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&logical, &QAbstractItemModel::rowsRemoved);
    QSignalSpy logicalResets(&logical, &QAbstractItemModel::modelReset);
    QSignalSpy physicalResets(&physical, &QAbstractItemModel::modelReset);

    for (const Step& step : kSteps) {
        if (!step.classicToo && GetParam() == sim::ToolSet::Classic)
            continue;
        SCOPED_TRACE(step.name);
        const qsizetype rowSignalsBefore = inserted.count() + removed.count();
        ASSERT_EQ(step.run(roz), 0);
        QCoreApplication::processEvents();

        Roz fresh;
        EXPECT_EQ(rowsOf(logical), rowsOf(LogicalTreeModel(&fresh)));
        EXPECT_EQ(rowsOf(physical), rowsOf(PhysicalTreeModel(&fresh)));
        EXPECT_EQ(inserted.count() + removed.count() != rowSignalsBefore, step.structural);
    }
    EXPECT_EQ(logicalResets.count() + physicalResets.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothToolSets, ItemModels, ::testing::Values(sim::ToolSet::Classic, sim::ToolSet::Current),
                         [](const ::testing::TestParamInfo<sim::ToolSet>& info) {
                             return info.param == sim::ToolSet::Classic ? "classic" : "current";
                         });

} // namespace
