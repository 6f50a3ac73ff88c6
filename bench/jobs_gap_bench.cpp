// How long the caller's event loop is kept from running: discovery and each typed change made as a
// synchronous call against the same made as a job, on generated simulated machines. A 1 ms
// heartbeat timer records the longest interval between two of its ticks while each one runs.
#include "generatedroot.h"
#include "itemmodels.h"
#include "jobs.h"
#include "operations.h"
#include "roz.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
// A frame at 60 Hz: a loop kept longer than this shows as a stutter in a GUI.
constexpr double kFrameMs = 16.0;
// Ticks the heartbeat runs before the measured work starts, so that its first interval is normal.
constexpr int kSettlingTicks = 5;

double clockMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// One interval between two ticks: its length, this thread's CPU time in it, and its time runnable
// but without a core.
struct Interval {
    double wallMs = 0;
    double cpuMs = 0;
    double waitMs = 0;
};

// The calling thread's time spent runnable but waiting for a core, from the scheduler's statistics
// (/proc/thread-self/schedstat: CPU ns, run-queue ns, slices); 0 where the kernel keeps none.
class RunQueueClock
{
public:
    RunQueueClock() : m_fd(open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~RunQueueClock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    RunQueueClock(const RunQueueClock&) = delete;
    RunQueueClock& operator=(const RunQueueClock&) = delete;

    double waitedMs() const
    {
        char text[128] = {};
        if (m_fd < 0 || pread(m_fd, text, sizeof text - 1, 0) <= 0)
            return 0;
        unsigned long long cpuNs = 0;
        unsigned long long waitNs = 0;
        if (std::sscanf(text, "%llu %llu", &cpuNs, &waitNs) != 2)
            return 0;
        return static_cast<double>(waitNs) / 1e6;
    }

private:
    int m_fd;
};

// The ticks of a 1 ms timer: every interval between two of them is time the loop was not free.
// Beside its length, this thread's CPU time in it and its time waiting for a core tell the
// library's own work from the machine's other load.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_lastTickMs = clockMs(CLOCK_MONOTONIC);
        m_lastTickCpuMs = clockMs(CLOCK_THREAD_CPUTIME_ID);
        m_lastTickWaitMs = m_runQueue.waitedMs();
        m_timer.start();
    }

    // Intervals are recorded while this is on; each one ends at a tick.
    void setRecording(bool recording) { m_recording = recording; }
    // Runs `then` from the tick `ticks` ticks from now, after that tick's interval is recorded.
    void afterTicks(int ticks, std::function<void()> then)
    {
        m_ticksLeft = ticks;
        m_then = std::move(then);
    }
    // The step the work is at (a job's program): a gap is named by the steps at its two ends.
    void setLabel(const QString& label) { m_label = label; }
    void setTracing(bool tracing) { m_tracing = tracing; }

    const Interval& longest() const { return m_longest; }
    int gapsOverFrame() const { return m_overFrame; }

private:
    void tick()
    {
        const double now = clockMs(CLOCK_MONOTONIC);
        const double cpu = clockMs(CLOCK_THREAD_CPUTIME_ID);
        const double waited = m_runQueue.waitedMs();
        if (m_recording)
            record({now - m_lastTickMs, cpu - m_lastTickCpuMs, waited - m_lastTickWaitMs}, now);
        m_lastTickMs = now;
        m_lastTickCpuMs = cpu;
        m_lastTickWaitMs = waited;
        if (m_then && --m_ticksLeft <= 0)
            std::exchange(m_then, {})();
        m_labelAtLastTick = m_label;
    }

    void record(const Interval& interval, double endMs)
    {
        if (interval.wallMs > m_longest.wallMs)
            m_longest = interval;
        if (interval.wallMs <= kFrameMs)
            return;
        ++m_overFrame;
        // The span on CLOCK_MONOTONIC is that of a profile taken with perf record -k CLOCK_MONOTONIC
        // (perf report --time start,end shows what ran in it).
        if (m_tracing)
            std::fprintf(stderr,
                         "    gap %6.1f ms (CPU %5.1f, waiting for a core %5.1f) from %s to %s (monotonic %.6f,%.6f)\n",
                         interval.wallMs, interval.cpuMs, interval.waitMs, qPrintable(m_labelAtLastTick),
                         qPrintable(m_label), (endMs - interval.wallMs) / 1e3, endMs / 1e3);
    }

    QTimer m_timer;
    RunQueueClock m_runQueue;
    double m_lastTickMs = 0;
    double m_lastTickCpuMs = 0;
    double m_lastTickWaitMs = 0;
    bool m_recording = false;
    bool m_tracing = false;
    int m_ticksLeft = 0;
    std::function<void()> m_then;
    QString m_label;
    QString m_labelAtLastTick;
    Interval m_longest;
    int m_overFrame = 0;
};

struct Gaps {
    Interval longest;
    int overFrame = 0;
    double wallMs = 0;
    int programs = 0;
};

struct Options {
    int runs = 3;
    bool tracing = false;
    bool models = false;
};

// A GUI's views over the Roz: their refreshes run on the loop after each announced change.
struct Views {
    std::unique_ptr<LogicalTreeModel> logical;
    std::unique_ptr<PhysicalTreeModel> physical;

    void attach(Roz* roz)
    {
        logical = std::make_unique<LogicalTreeModel>(roz);
        physical = std::make_unique<PhysicalTreeModel>(roz);
    }
};

// Runs `work` from a zero timer while the heartbeat ticks: `work` calls `done` when it has ended
// (at once for a synchronous call, from finished() for a job). The loop runs on until the first
// tick after that, so the interval the work ends in is counted.
Gaps measure(const GeneratedRoot& machine, const Options& options,
             const std::function<void(Heartbeat&, const std::function<void()>& done)>& work)
{
    sim::clearCalls(machine.root());
    Heartbeat heartbeat;
    heartbeat.setTracing(options.tracing);
    QEventLoop loop;
    double startMs = 0;
    Gaps gaps;
    const auto done = [&] {
        gaps.wallMs = clockMs(CLOCK_MONOTONIC) - startMs;
        heartbeat.afterTicks(1, [&] {
            heartbeat.setRecording(false);
            loop.quit();
        });
    };
    heartbeat.afterTicks(kSettlingTicks, [&] {
        heartbeat.setRecording(true);
        heartbeat.setLabel(QStringLiteral("start"));
        QTimer::singleShot(0, [&] {
            startMs = clockMs(CLOCK_MONOTONIC);
            work(heartbeat, done);
        });
    });
    heartbeat.start();
    loop.exec();
    gaps.longest = heartbeat.longest();
    gaps.overFrame = heartbeat.gapsOverFrame();
    gaps.programs = static_cast<int>(sim::readCalls(machine.root()).size());
    return gaps;
}

// Runs a job to its end under the heartbeat; each program it announces labels the gaps around it.
Gaps measureJob(const GeneratedRoot& machine, const Options& options, const std::function<Job*()>& startJob,
                const QString& what)
{
    return measure(machine, options, [&](Heartbeat& heartbeat, const std::function<void()>& done) {
        Job* job = startJob();
        QObject::connect(job, &Job::progress,
                         [&heartbeat](int, const QString& program) { heartbeat.setLabel(program); });
        QObject::connect(job, &Job::finished, [&heartbeat] { heartbeat.setLabel(QStringLiteral("finished")); });
        QObject::connect(job, &Job::finished, [done, what](const OperationResult& result) {
            if (!result.ok)
                std::fprintf(stderr, "  %s (job) failed: %s\n", qPrintable(what), qPrintable(result.message));
            done();
        });
    });
}

Gaps measureCall(const GeneratedRoot& machine, const Options& options, const std::function<OperationResult()>& call,
                 const QString& what)
{
    return measure(machine, options, [&](Heartbeat& heartbeat, const std::function<void()>& done) {
        heartbeat.setLabel(QStringLiteral("the synchronous call"));
        const OperationResult result = call();
        if (!result.ok)
            std::fprintf(stderr, "  %s (sync) failed: %s\n", qPrintable(what), qPrintable(result.message));
        done();
    });
}

// One line of the table: the median over the runs of each figure.
struct Row {
    QString operation;
    QString tools;
    int volumes = 0;
    std::vector<Gaps> sync;
    std::vector<Gaps> job;

    QString key() const { return QStringLiteral("%1/%2/%3").arg(operation, tools).arg(volumes); }
};

template <class Figure> double medianOf(const std::vector<Gaps>& runs, Figure figure)
{
    std::vector<double> values;
    for (const Gaps& run : runs)
        values.push_back(static_cast<double>(figure(run)));
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The run whose longest gap is the median one: the CPU and waiting shown are of that gap.
Interval medianLongestGap(std::vector<Gaps> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Gaps& a, const Gaps& b) { return a.longest.wallMs < b.longest.wallMs; });
    return runs.empty() ? Interval{} : runs[runs.size() / 2].longest;
}

void printHeader()
{
    std::printf("| operation | tool set | volumes | sync longest gap ms | job longest gap ms | job gaps >16 ms "
                "| job wall ms | programs | job longest gap: CPU / waiting for a core ms |\n");
    std::printf("|---|---|---|---:|---:|---:|---:|---:|---:|\n");
}

void printRow(const Row& row)
{
    const double syncPrograms = medianOf(row.sync, [](const Gaps& run) { return run.programs; });
    const double jobPrograms = medianOf(row.job, [](const Gaps& run) { return run.programs; });
    const QString programs = syncPrograms == jobPrograms ? QString::number(jobPrograms)
                                                         : QStringLiteral("%1 / %2").arg(syncPrograms).arg(jobPrograms);
    const Interval jobGap = medianLongestGap(row.job);
    std::printf("| %s | %s | %d | %.1f | %.1f | %.0f | %.0f | %s | %.1f / %.1f |\n", qPrintable(row.operation),
                qPrintable(row.tools), row.volumes,
                medianOf(row.sync, [](const Gaps& run) { return run.longest.wallMs; }), jobGap.wallMs,
                medianOf(row.job, [](const Gaps& run) { return run.overFrame; }),
                medianOf(row.job, [](const Gaps& run) { return run.wallMs; }), qPrintable(programs), jobGap.cpuMs,
                jobGap.waitMs);
    std::fflush(stdout);
}

// A change measured on the Roz built once per machine: what it needs set up first and how it is
// undone, both untimed, so that every run starts from the same machine.
struct Change {
    const char* name;
    std::function<void(Roz&, const QString& name)> prepare;
    // The object the job is made on, and the typed call.
    std::function<std::pair<QObject*, std::function<OperationResult()>>(Roz&, const QString& name)> call;
    std::function<void(Roz&, const QString& name)> undo;
};

Vg* group(Roz& roz, const char* name)
{
    return roz.getLvm()->getVg(QString::fromLatin1(name));
}

Lv* volume(Roz& roz, const char* groupName, const QString& name)
{
    Vg* vg = group(roz, groupName);
    return vg ? vg->getLv(name) : nullptr;
}

void mustSucceed(const OperationResult& result, const char* what)
{
    if (!result.ok)
        std::fprintf(stderr, "  setting up (%s) failed: %s\n", what, qPrintable(result.message));
}

// A partition with a file system that is neither mounted nor a physical volume. A group made on
// one and removed again leaves it a physical volume, so no partition is handed out twice.
QString freePartition(Roz& roz)
{
    Hard* hard = roz.getHard();
    for (uint d = 0; d < hard->diskCount(); ++d) {
        for (Partition* partition : hard->getDisk(d)->partitions()) {
            if (!partition->isPv() && partition->mountPoint().isEmpty() && partition->fstype() == "ext3")
                return partition->path();
        }
    }
    return QString();
}

// The groups the changes are made on: vg000 holds lv0000 (ext3, grown and snapshot) and lv0001
// (renamed); vg001 is switched off and on.
const char* const kGroup = "vg000";
const char* const kOtherGroup = "vg001";

std::vector<Change> changes()
{
    using Call = std::pair<QObject*, std::function<OperationResult()>>;
    const auto none = [](Roz&, const QString&) {};
    const auto removeCreated = [](Roz& roz, const QString& name) {
        if (Lv* lv = volume(roz, kGroup, name))
            mustSucceed(removeVolume(*lv), "lvremove");
    };
    return {
        {"createVolume", none,
         [](Roz& roz, const QString& name) -> Call {
             Vg* vg = group(roz, kGroup);
             return {vg, [vg, name] { return createVolume(*vg, name, 64 * kMiB, FileSystem::Ext3); }};
         },
         removeCreated},
        {"growVolume", none,
         [](Roz& roz, const QString&) -> Call {
             Lv* lv = volume(roz, kGroup, QStringLiteral("lv0000"));
             const qint64 bytes = lv->sizeBytes() + 64 * kMiB;
             return {lv, [lv, bytes] { return growVolume(*lv, bytes); }};
         },
         none},
        {"snapshotVolume", none,
         [](Roz& roz, const QString& name) -> Call {
             Lv* lv = volume(roz, kGroup, QStringLiteral("lv0000"));
             return {lv, [lv, name] { return snapshotVolume(*lv, name, 64 * kMiB); }};
         },
         removeCreated},
        {"renameVolume", none,
         [](Roz& roz, const QString& name) -> Call {
             Lv* lv = volume(roz, kGroup, QStringLiteral("lv0001"));
             return {lv, [lv, name] { return renameVolume(*lv, name); }};
         },
         [](Roz& roz, const QString& name) {
             if (Lv* lv = volume(roz, kGroup, name))
                 mustSucceed(renameVolume(*lv, QStringLiteral("lv0001")), "lvrename back");
         }},
        {"removeVolume",
         [](Roz& roz, const QString& name) {
             mustSucceed(createVolume(*group(roz, kGroup), name, 64 * kMiB, FileSystem::Ext3), "lvcreate");
         },
         [](Roz& roz, const QString& name) -> Call {
             Lv* lv = volume(roz, kGroup, name);
             return {lv, [lv] { return removeVolume(*lv); }};
         },
         none},
        {"freezeGroup", none,
         [](Roz& roz, const QString&) -> Call {
             Vg* vg = group(roz, kGroup);
             return {vg, [vg] { return freezeGroup(*vg); }};
         },
         [](Roz& roz, const QString&) { mustSucceed(defreezeGroup(*group(roz, kGroup)), "defreeze"); }},
        {"defreezeGroup", [](Roz& roz, const QString&) { mustSucceed(freezeGroup(*group(roz, kGroup)), "freeze"); },
         [](Roz& roz, const QString&) -> Call {
             Vg* vg = group(roz, kGroup);
             return {vg, [vg] { return defreezeGroup(*vg); }};
         },
         none},
        {"deactivateGroup", none,
         [](Roz& roz, const QString&) -> Call {
             Vg* vg = group(roz, kOtherGroup);
             return {vg, [vg] { return deactivateGroup(*vg); }};
         },
         [](Roz& roz, const QString&) { mustSucceed(activateGroup(*group(roz, kOtherGroup)), "activate"); }},
        {"activateGroup",
         [](Roz& roz, const QString&) { mustSucceed(deactivateGroup(*group(roz, kOtherGroup)), "deactivate"); },
         [](Roz& roz, const QString&) -> Call {
             Vg* vg = group(roz, kOtherGroup);
             return {vg, [vg] { return activateGroup(*vg); }};
         },
         none},
        {"createGroup", none,
         [](Roz& roz, const QString& name) -> Call {
             Lvm* lvm = roz.getLvm();
             const QString partition = freePartition(roz);
             return {lvm, [lvm, name, partition] { return createGroup(*lvm, name, {partition}, 4 * kMiB); }};
         },
         [](Roz& roz, const QString& name) {
             if (Vg* vg = roz.getLvm()->getVg(name))
                 mustSucceed(removeGroup(*vg), "vgremove");
         }},
    };
}

// A name no earlier run used.
QString freshName()
{
    static int made = 0;
    return QStringLiteral("gap%1").arg(++made, 3, 10, QLatin1Char('0'));
}

class Bench
{
public:
    Bench(const Options& options, const QRegularExpression& filter, bool classicThousand)
        : m_options(options), m_filter(filter), m_classicThousand(classicThousand)
    {}

    void runMachine(sim::ToolSet tools, int sizeIndex)
    {
        const MachineSize& size = kMachineSizes[sizeIndex];
        const QString toolName = tools == sim::ToolSet::Current ? QStringLiteral("current") : QStringLiteral("classic");
        // A classic discovery of the 1000-volume machine takes over a minute a run.
        const bool slowDiscovery = tools == sim::ToolSet::Classic && size.lvs >= 1000 && !m_classicThousand;
        std::vector<Row> rows;
        if (!slowDiscovery)
            rows.push_back({QStringLiteral("discovery"), toolName, size.lvs, {}, {}});
        for (const Change& change : m_changes)
            rows.push_back({QString::fromLatin1(change.name), toolName, size.lvs, {}, {}});
        std::erase_if(rows, [this](const Row& row) { return !m_filter.match(row.key()).hasMatch(); });
        if (rows.empty())
            return;

        forceToolSet(tools == sim::ToolSet::Current ? ToolSet::Current : ToolSet::Classic);
        GeneratedRoot machine(size, tools);
        if (!machine.ok()) {
            std::fprintf(stderr, "machine not laid out: %s\n", machine.error().c_str());
            return;
        }
        std::unique_ptr<Roz> roz;
        for (Row& row : rows) {
            std::fprintf(stderr, "%s\n", qPrintable(row.key()));
            if (row.operation == QLatin1String("discovery")) {
                measureDiscovery(machine, row);
            } else {
                if (!roz)
                    roz = buildModel();
                measureChange(machine, *roz, row);
            }
            printRow(row);
        }
        roz.reset();
        clearForcedToolSet();
    }

private:
    // The model the changes are made on, built once per machine (untimed).
    static std::unique_ptr<Roz> buildModel()
    {
        const double startMs = clockMs(CLOCK_MONOTONIC);
        auto roz = std::make_unique<Roz>();
        std::fprintf(stderr, "  model for the changes built in %.0f ms\n", clockMs(CLOCK_MONOTONIC) - startMs);
        return roz;
    }

    void measureDiscovery(const GeneratedRoot& machine, Row& row)
    {
        for (int run = 0; run < m_options.runs; ++run) {
            std::unique_ptr<Roz> roz;
            Views views;
            row.sync.push_back(measureCall(
                machine, m_options,
                [&] {
                    roz = std::make_unique<Roz>();
                    if (m_options.models)
                        views.attach(roz.get());
                    return OperationResult{roz->problems().isEmpty(), QString(), 0, roz->problems().value(0)};
                },
                row.key()));
            views = {};
            roz = std::make_unique<Roz>(Roz::Start::Empty);
            if (m_options.models)
                views.attach(roz.get());
            row.job.push_back(measureJob(
                machine, m_options, [&] { return roz->discover(); }, row.key()));
        }
    }

    void measureChange(const GeneratedRoot& machine, Roz& roz, Row& row)
    {
        const Change& change = *std::find_if(m_changes.begin(), m_changes.end(), [&row](const Change& candidate) {
            return row.operation == QLatin1String(candidate.name);
        });
        Views views;
        if (m_options.models)
            views.attach(&roz);
        for (int run = 0; run < m_options.runs; ++run) {
            for (const bool asJob : {false, true}) {
                const QString name = freshName();
                change.prepare(roz, name);
                const auto prepared = change.call(roz, name);
                if (!prepared.first) {
                    std::fprintf(stderr, "  %s: nothing to change, run skipped\n", qPrintable(row.key()));
                    continue;
                }
                if (asJob) {
                    const auto submit = [&] { return roz.submit(row.operation, prepared.first, prepared.second); };
                    row.job.push_back(measureJob(machine, m_options, submit, row.key()));
                } else {
                    row.sync.push_back(measureCall(machine, m_options, prepared.second, row.key()));
                }
                change.undo(roz, name);
            }
        }
    }

    Options m_options;
    QRegularExpression m_filter;
    bool m_classicThousand;
    const std::vector<Change> m_changes = changes();
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Longest event-loop gaps of discovery and changes: synchronous calls against jobs. Rows are named "
        "operation/toolset/volumes, e.g. growVolume/current/250."));
    parser.addHelpOption();
    const QCommandLineOption filter(QStringLiteral("filter"),
                                    QStringLiteral("Only the rows whose name matches this regular expression."),
                                    QStringLiteral("regex"), QStringLiteral("."));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Runs per row (median shown; default 3)."),
                                  QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption quick(QStringLiteral("quick"), QStringLiteral("One run per row."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Print every gap over 16 ms: the job's steps at its two ends, its CPU time, its "
                       "wait for a core and its span for perf report --time."));
    const QCommandLineOption models(QStringLiteral("models"),
                                    QStringLiteral("Keep both item models on the Roz, as a GUI would."));
    const QCommandLineOption classicThousand(
        QStringLiteral("classic-1000"), QStringLiteral("Also measure classic discovery of 1000 volumes (minutes)."));
    parser.addOptions({filter, runs, quick, trace, models, classicThousand});
    parser.process(app);

    Options options;
    options.runs = parser.isSet(quick) ? 1 : std::max(1, parser.value(runs).toInt());
    options.tracing = parser.isSet(trace);
    options.models = parser.isSet(models);
    const QRegularExpression rowFilter(parser.value(filter));
    if (!rowFilter.isValid()) {
        std::fprintf(stderr, "bad --filter: %s\n", qPrintable(rowFilter.errorString()));
        return 2;
    }

    Bench bench(options, rowFilter, parser.isSet(classicThousand));
    printHeader();
    for (const sim::ToolSet tools : {sim::ToolSet::Current, sim::ToolSet::Classic}) {
        for (const int sizeIndex : {3, 4})
            bench.runMachine(tools, sizeIndex);
    }
    return 0;
}
