// The cost of starting a program through runcmd, in a small caller and in one holding 4 GiB of
// touched memory, each next to a bare posix_spawn + waitpid of the same program in the same run.
#include "utils.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kProgram = QStringLiteral(DOVO_TRIVIAL_PROGRAM);
constexpr std::size_t kBallastBytes = std::size_t{4} << 30;

// Memory a GUI might hold: allocated once, every page written so that it is really resident.
void holdBallast()
{
    static std::unique_ptr<char[]> ballast;
    if (ballast)
        return;
    ballast.reset(new char[kBallastBytes]);
    std::memset(ballast.get(), 1, kBallastBytes);
    benchmark::DoNotOptimize(ballast.get());
}

void runcmdOnce(benchmark::State& state)
{
    QString output;
    if (runcmd(kProgram, {}, output) != 0)
        state.SkipWithError("the trivial program failed");
}

void spawnOnce(benchmark::State& state)
{
    static const std::string path = kProgram.toStdString();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    // Its line goes to /dev/null: the console must not time the comparison.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0 || waitpid(pid, &status, 0) != pid || status != 0)
        state.SkipWithError("posix_spawn of the trivial program failed");
}

void BM_Runcmd_SmallCaller(benchmark::State& state)
{
    for (auto _ : state)
        runcmdOnce(state);
}
void BM_PosixSpawn_SmallCaller(benchmark::State& state)
{
    for (auto _ : state)
        spawnOnce(state);
}
void BM_Runcmd_4GiBCaller(benchmark::State& state)
{
    holdBallast();
    for (auto _ : state)
        runcmdOnce(state);
}
void BM_PosixSpawn_4GiBCaller(benchmark::State& state)
{
    holdBallast();
    for (auto _ : state)
        spawnOnce(state);
}

// Small caller first: the ballast, once made, stays until the end.
BENCHMARK(BM_Runcmd_SmallCaller)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PosixSpawn_SmallCaller)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Runcmd_4GiBCaller)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PosixSpawn_4GiBCaller)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

// Keeps each benchmark's time per run so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
    double time(const std::string& name) const
    {
        const auto found = times_.find(name);
        return found == times_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> times_;
};

void printRatio(const char* what, double numerator, double denominator, double target)
{
    if (denominator <= 0.0) {
        std::printf("%-46s n/a\n", what);
        return;
    }
    const double ratio = numerator / denominator;
    std::printf("%-46s %.3f (target < %.2f: %s)\n", what, ratio, target, ratio < target ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double runSmall = reporter.time("BM_Runcmd_SmallCaller");
    const double runBig = reporter.time("BM_Runcmd_4GiBCaller");
    const double spawnSmall = reporter.time("BM_PosixSpawn_SmallCaller");
    const double spawnBig = reporter.time("BM_PosixSpawn_4GiBCaller");
    printRatio("runcmd, 4 GiB caller / small caller", runBig, runSmall, 1.2);
    printRatio("runcmd / bare posix_spawn, small caller", runSmall, spawnSmall, 1.1);
    printRatio("runcmd / bare posix_spawn, 4 GiB caller", runBig, spawnBig, 1.1);
    benchmark::Shutdown();
    return 0;
}
