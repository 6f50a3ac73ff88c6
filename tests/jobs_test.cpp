// Jobs on both tool sets: discovery into an empty Roz, changes whose lines stream while the event
// loop runs, cancel between programs, queued order, refusals, and a Roz deleted mid-way.
#include "itemmodels.h"
#include "jobs.h"
#include "modeldump.h"
#include "modeltest.h"
#include "operations.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <array>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

// The extents the simulated machine gives a volume.
int stateExtents(const SimRoot& sim, const QString& group, const QString& volume)
{
    int extents = 0;
    for (const QJsonValue& segment : stateVolume(sim, group, volume).value("segments").toArray())
        extents += segment.toObject().value("count").toInt();
    return extents;
}

// Everything a job said, in order, as lines of text.
struct JobRecord {
    QStringList events;
    QStringList lines;
    QStringList programs;
    int linesBeforeFinished = -1;
    OperationResult result;
    bool finished = false;

    void watch(Job* job)
    {
        job->setAutoDelete(false);
        QObject::connect(job, &Job::started, [this] { events << "started"; });
        QObject::connect(job, &Job::progress, [this](int step, const QString& program) {
            events << QStringLiteral("progress %1").arg(step);
            programs << program;
        });
        QObject::connect(job, &Job::line, [this](const QString& text) { lines << text; });
        QObject::connect(job, &Job::finished, [this](const OperationResult& r) {
            events << "finished";
            linesBeforeFinished = lines.size();
            result = r;
            finished = true;
        });
    }
};

// Runs the event loop until `done` holds (or half a minute has gone).
void spinUntil(const std::function<bool()>& done)
{
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(30000);
    while (!done() && guard.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

class Jobs : public ::testing::TestWithParam<sim::ToolSet>
{
protected:
    void SetUp() override { sim = std::make_unique<SimRoot>("default", GetParam()); }

    // The model as a fresh synchronous discovery builds it now.
    ModelDump freshDump()
    {
        Roz fresh;
        return dumpModel(fresh);
    }

    Job* run(Job* job, JobRecord& record)
    {
        record.watch(job);
        spinUntil([&record] { return record.finished; });
        return job;
    }

    int argc = 1;
    char name[10] = "jobs_test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    std::unique_ptr<SimRoot> sim;
};

TEST_P(Jobs, DiscoveryFillsAnEmptyRozAsASynchronousOneIsBuilt)
{
    Roz roz(Roz::Start::Empty);
    QStringList announced;
    QObject::connect(roz.getLvm(), &Lvm::vgAdded, [&announced](Vg* vg) { announced << vg->name(); });
    int discovered = 0;
    QObject::connect(&roz, &Roz::discovered, [&discovered] { ++discovered; });

    JobRecord record;
    std::unique_ptr<Job> job(run(roz.discover(), record));

    ASSERT_TRUE(record.finished);
    EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
    EXPECT_EQ(announced, QStringList({"my-vg", "vg.backup"}));
    EXPECT_EQ(discovered, 1);
    // Every program counted in order. (That the loop runs meanwhile, the deletion test below shows.)
    QStringList expected{"started"};
    for (int step = 1; step <= record.programs.size(); ++step)
        expected << QStringLiteral("progress %1").arg(step);
    expected << "finished";
    EXPECT_EQ(record.events, expected);
    EXPECT_EQ(job->stepsDone(), record.programs.size());
    if (GetParam() == sim::ToolSet::Current) {
        EXPECT_EQ(record.programs.size(), 3) << record.programs.join("\n").toStdString();
    }
    // Reads stream nothing.
    EXPECT_TRUE(record.lines.isEmpty());
    EXPECT_TRUE(record.result.ok);

    // Again on the filled Roz: emptied and filled, each group announced; then with the LVM tool
    // failing, a result that says so and problems that say why.
    int goneBefore = 0;
    QObject::connect(roz.getLvm(), &Lvm::vgAboutToBeRemoved, [&goneBefore] { ++goneBefore; });
    for (const bool failing : {false, true}) {
        if (failing)
            sim->addFault(GetParam() == sim::ToolSet::Current ? "/sbin/lvm" : "/sbin/lvm.static", {}, 5,
                          "  Locking failed\n");
        goneBefore = 0;
        announced.clear();
        JobRecord again;
        std::unique_ptr<Job> refresh(run(roz.discover(), again));
        EXPECT_EQ(goneBefore, 2);
        EXPECT_EQ(again.result.ok, !failing);
        EXPECT_EQ(discovered, failing ? 3 : 2);
        if (!failing) {
            EXPECT_EQ(announced.size(), 2);
            EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
        } else {
            EXPECT_EQ(again.result.failedStep, "read");
            EXPECT_EQ(again.result.message, roz.problems().value(0));
            EXPECT_FALSE(roz.problems().isEmpty());
        }
    }
}

TEST_P(Jobs, AChangeStreamsItsLinesBeforeItEndsAndGivesTheTypedResult)
{
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    QString transcript;
    QObject::connect(vg, &Vg::output, [&transcript](const QString& text) { transcript = text; });

    JobRecord record;
    std::unique_ptr<Job> job(
        run(roz.submit("new volume", vg, [vg] { return createVolume(*vg, "fresh", 64 * kMiB, FileSystem::Ext3); }),
            record));

    ASSERT_TRUE(record.result.ok) << record.result.message.toStdString();
    EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
    EXPECT_EQ(record.programs.filter(QRegularExpression("/lvm(.static)? lvcreate$")).size(), 1)
        << record.programs.join("\n").toStdString();
    ASSERT_FALSE(record.lines.isEmpty());
    EXPECT_EQ(record.linesBeforeFinished, record.lines.size());
    EXPECT_EQ(job->transcript(), record.lines);
    // The streamed lines are the transcript the group gives, in the same order.
    const auto expectInOrder = [](const QStringList& lines, const QString& text) {
        qsizetype at = 0;
        for (const QString& line : lines) {
            at = text.indexOf(line, at);
            ASSERT_NE(at, -1) << line.toStdString();
        }
    };
    expectInOrder(record.lines, transcript);

    // The synchronous call streams the same way to a listener, before its transcript is announced.
    QStringList heard;
    int heardBeforeOutput = -1;
    setToolLineListener([&heard](const QString& line) { heard << line; });
    QObject::connect(vg, &Vg::output, [&] { heardBeforeOutput = heard.size(); });
    const OperationResult again = createVolume(*vg, "fresh2", 64 * kMiB, FileSystem::Ext3);
    setToolLineListener({});
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(heard.size(), record.lines.size());
    EXPECT_EQ(heardBeforeOutput, heard.size());
    expectInOrder(heard, transcript);
}

TEST_P(Jobs, CancelStopsTheNextChangeButTheModelStillFollowsTheMachine)
{
    Roz roz;
    Lv* scratch = roz.getLvm()->getVg("my-vg")->getLv("scratch_1");
    const int before = stateExtents(*sim, "my-vg", "scratch_1");
    JobRecord record;
    Job* job = roz.submit("grow", scratch, [scratch] { return growVolume(*scratch, 3072 * kMiB); });
    QObject::connect(job, &Job::progress, job, [job](int, const QString& program) {
        if (program.endsWith("lvextend"))
            job->cancel();
    });
    std::unique_ptr<Job> owned(run(job, record));

    EXPECT_TRUE(job->isCancelRequested());
    EXPECT_FALSE(record.result.ok);
    EXPECT_EQ(record.result.failedStep, "e2fsck");
    EXPECT_TRUE(record.result.message.startsWith("Cancelled before /sbin/e2fsck"))
        << record.result.message.toStdString();
    // lvextend ran to its end; the file-system tools never started; the model shows the new size.
    EXPECT_GT(stateExtents(*sim, "my-vg", "scratch_1"), before);
    for (const QStringList& call : sim->calls())
        EXPECT_FALSE(call.first().contains("resize2fs") || call.first().contains("e2fsck"))
            << call.join(' ').toStdString();
    EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
}

TEST_P(Jobs, QueuedJobsRunInOrderAndRefuseWhatIsGoneOrCancelled)
{
    Roz roz;
    LogicalTreeModel rows(&roz);
    Vg* vg = roz.getLvm()->getVg("my-vg");
    Lv* music = vg->getLv("music");
    Lv* home = vg->getLv("home");
    const std::vector<Job*> jobs = {
        roz.submit("rename", music, [music] { return renameVolume(*music, "tunes"); }),
        roz.submit("rename again", music, [vg] { return renameVolume(*vg->getLv("tunes"), "songs"); }),
        roz.submit("remove", music, [music] { return removeVolume(*music); }),
        roz.submit("grow removed", music, [music] { return growVolume(*music, 4096 * kMiB); }),
        roz.submit("snapshot", home, [home] { return snapshotVolume(*home, "home.new", 64 * kMiB); }),
        roz.submit("never", vg, [] {
            return OperationResult{true, {}, 0, {}};
        })};
    jobs.back()->cancel();
    std::array<JobRecord, 6> records;
    auto& [first, second, removed, third, snapshotRecord, cancelled] = records;
    QStringList order;
    std::vector<std::unique_ptr<Job>> owned;
    for (size_t i = 0; i < jobs.size(); ++i) {
        records[i].watch(jobs[i]);
        QObject::connect(jobs[i], &Job::started, [&order, job = jobs[i]] { order << job->title(); });
        owned.emplace_back(jobs[i]);
    }
    spinUntil([&] { return cancelled.finished; });

    EXPECT_EQ(order, QStringList({"rename", "rename again", "remove", "grow removed", "snapshot", "never"}));
    EXPECT_TRUE(snapshotRecord.result.ok) << snapshotRecord.result.message.toStdString();
    EXPECT_TRUE(first.result.ok && second.result.ok && removed.result.ok) << second.result.message.toStdString();
    EXPECT_EQ(stateVolume(*sim, "my-vg", "songs"), QJsonObject());
    EXPECT_TRUE(third.result.refused());
    EXPECT_TRUE(third.result.message.contains("removed before")) << third.result.message.toStdString();
    EXPECT_TRUE(cancelled.result.refused());
    EXPECT_EQ(cancelled.result.message, "Cancelled before it started");
    EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
    // The item model saw every change whole, though each was announced while its reads still ran.
    QCoreApplication::processEvents();
    const QModelIndex group = rows.index(0, 0);
    QStringList shown;
    for (int row = 0; row < rows.rowCount(group); ++row)
        shown << rows.index(row, 0, group).data(NameRole).toString();
    QStringList held;
    for (const Lv* lv : vg->lvs())
        held << lv->name();
    EXPECT_EQ(shown, held);
    EXPECT_TRUE(held.contains("home.new"));
}

TEST_P(Jobs, ASynchronousCallDuringAJobsWaitIsRefusedAndChangesNothing)
{
    Roz roz;
    Vg* vg = roz.getLvm()->getVg("my-vg");
    Lv* scratch = vg->getLv("scratch_1");
    std::optional<OperationResult> meanwhile;
    int positional = 0;
    JobRecord record;
    Job* job = roz.submit("freeze", vg, [vg] { return freezeGroup(*vg); });
    // Queued from the job's first program, so delivered by the loop that runs during its wait.
    QObject::connect(job, &Job::progress, job, [&](int step) {
        if (step == 1)
            QTimer::singleShot(0, [&] {
                meanwhile = growVolume(*scratch, 4096 * kMiB);
                positional = scratch->rename("elsewhere");
            });
    });
    std::unique_ptr<Job> owned(run(job, record));

    ASSERT_TRUE(meanwhile.has_value());
    EXPECT_TRUE(meanwhile->refused());
    EXPECT_EQ(meanwhile->message, "A job is running: ask for this change as a job");
    EXPECT_NE(positional, 0);
    EXPECT_TRUE(record.result.ok) << record.result.message.toStdString();
    EXPECT_EQ(stateExtents(*sim, "my-vg", "scratch_1"), 512);
    EXPECT_EQ(scratch->name(), "scratch_1");
    EXPECT_EQ(dumpModel(roz).text(), freshDump().text());
}

TEST_P(Jobs, ARozDeletedWhileItsJobWaitsEndsTheJobCleanly)
{
    for (const bool discovery : {true, false}) {
        SCOPED_TRACE(discovery ? "discovery" : "change");
        auto* roz = new Roz(discovery ? Roz::Start::Empty : Roz::Start::Discover);
        Vg* vg = discovery ? nullptr : roz->getLvm()->getVg("my-vg");
        Job* job = discovery ? roz->discover() : roz->submit("make", vg, [vg] {
            return createVolume(*vg, "late", 64 * kMiB, FileSystem::Ext2);
        });
        Job* queued = roz->submit("queued", nullptr, [] { return OperationResult{true, {}, 0, {}}; });
        int programsAfter = -1;
        QObject::connect(job, &Job::progress, job, [&](int step) {
            if (step == 1)
                QTimer::singleShot(0, [&] {
                    delete roz;
                    programsAfter = 0;
                });
            else if (programsAfter >= 0)
                ++programsAfter;
        });
        JobRecord record, queuedRecord;
        queuedRecord.watch(queued);
        std::unique_ptr<Job> owned(run(job, record)), ownedQueued(queued);
        spinUntil([&] { return queuedRecord.finished; });

        EXPECT_EQ(programsAfter, 0);
        EXPECT_TRUE(record.result.refused());
        EXPECT_EQ(record.result.message, "The storage model was deleted while the job ran");
        EXPECT_EQ(queuedRecord.result.message, "The storage model was deleted before the job started");
    }
}

INSTANTIATE_TEST_SUITE_P(BothToolSets, Jobs, ::testing::Values(sim::ToolSet::Classic, sim::ToolSet::Current),
                         [](const ::testing::TestParamInfo<sim::ToolSet>& info) {
                             return info.param == sim::ToolSet::Classic ? "classic" : "current";
                         });

} // namespace
