// Building Roz on generated simulated machines of growing size: time per object, programs started,
// and the library's own CPU time (this process) against the tools' (its children).
#include "generatedroot.h"
#include "roz.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int objectCount(Roz& roz)
{
    int count = 0;
    Lvm* lvm = roz.getLvm();
    for (uint i = 0; i < lvm->vgCount(); ++i)
        count += 1 + static_cast<int>(lvm->getVg(i)->lvCount());
    Hard* hard = roz.getHard();
    for (uint i = 0; i < hard->diskCount(); ++i)
        count += 1 + static_cast<int>(hard->getDisk(i)->partitionCount());
    return count;
}

// Time, CPU and programs of the constructions alone; counting and destruction are left out.
struct BuildCosts {
    double wallSeconds = 0;
    double selfCpu = 0;
    double childrenCpu = 0;
    double programs = 0;
};

void BM_BuildRoz(benchmark::State& state)
{
    const MachineSize& size = kMachineSizes[state.range(0)];
    const sim::ToolSet tools = state.range(1) == 0 ? sim::ToolSet::Classic : sim::ToolSet::Current;
    GeneratedRoot machine(size, tools);
    if (!machine.ok()) {
        state.SkipWithError(machine.error().c_str());
        return;
    }
    int objects = 0;
    BuildCosts costs;
    for (auto _ : state) {
        state.PauseTiming();
        sim::clearCalls(machine.root());
        const double selfBefore = cpuSeconds(RUSAGE_SELF);
        const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
        const auto wallBefore = std::chrono::steady_clock::now();
        state.ResumeTiming();
        auto roz = std::make_unique<Roz>();
        state.PauseTiming();
        costs.wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        costs.selfCpu += cpuSeconds(RUSAGE_SELF) - selfBefore;
        costs.childrenCpu += cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
        costs.programs += static_cast<double>(sim::readCalls(machine.root()).size());
        objects = objectCount(*roz);
        roz.reset();
        state.ResumeTiming();
    }
    const double builds = static_cast<double>(state.iterations());
    state.SetLabel(tools == sim::ToolSet::Current ? "current" : "classic");
    state.counters["lvs"] = size.lvs;
    state.counters["partitions"] = size.partitions;
    state.counters["objects"] = objects;
    state.counters["programs"] = costs.programs / builds;
    state.counters["ms_per_object"] = objects > 0 ? 1000.0 * costs.wallSeconds / builds / objects : 0.0;
    state.counters["ms_per_program"] = costs.programs > 0 ? 1000.0 * costs.wallSeconds / costs.programs : 0.0;
    // The library's share of all CPU spent: this process against the tools it waited for.
    const double cpu = costs.selfCpu + costs.childrenCpu;
    state.counters["lib_cpu_pct"] = cpu > 0 ? 100.0 * costs.selfCpu / cpu : 0.0;
}

// Arguments: machine size (index into kMachineSizes), tool set (0 classic, 1 current).
BENCHMARK(BM_BuildRoz)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// One change and the refresh that follows it, on a Roz built once on the 1000-volume machine.
// Arguments: the tool set (0 classic, 1 current) and the change (0 a volume renamed, 1 a group
// frozen, 2 a volume grown with its file system).
void BM_ChangeAndRefresh(benchmark::State& state)
{
    const sim::ToolSet tools = state.range(0) == 0 ? sim::ToolSet::Classic : sim::ToolSet::Current;
    // One machine and one Roz per tool set, kept for the changes that follow (a classic build of
    // this machine takes minutes).
    static std::unique_ptr<GeneratedRoot> machines[2];
    static std::unique_ptr<Roz> models[2];
    auto& machinePtr = machines[state.range(0)];
    if (!machinePtr) {
        for (auto& model : models)
            model.reset();
        for (auto& other : machines)
            other.reset();
        machinePtr = std::make_unique<GeneratedRoot>(kMachineSizes[4], tools);
        if (machinePtr->ok())
            models[state.range(0)] = std::make_unique<Roz>();
    }
    GeneratedRoot& machine = *machinePtr;
    if (!machine.ok()) {
        state.SkipWithError(machine.error().c_str());
        return;
    }
    Roz& roz = *models[state.range(0)];
    Vg* vg = roz.getLvm()->getVg(0);
    Lv* lv = vg ? vg->getLv(0u) : nullptr;
    if (!lv) {
        state.SkipWithError("no volume");
        return;
    }
    const QString name = lv->name();
    int size = lv->getAttribute(Lv::Size);
    double programs = 0;
    int failures = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim::clearCalls(machine.root());
        state.ResumeTiming();
        int result = 0;
        if (state.range(1) == 0)
            result = lv->rename(name + QStringLiteral("_r"));
        else if (state.range(1) == 1)
            result = vg->freeze();
        else
            result = lv->resize({QStringLiteral("-L%1").arg(size += 64)});
        state.PauseTiming();
        failures += result != 0 && state.range(1) != 2;
        programs += static_cast<double>(sim::readCalls(machine.root()).size());
        if (state.range(1) == 0)
            failures += lv->rename(name) != 0;
        else if (state.range(1) == 1)
            failures += vg->defreeze() != 0;
        state.ResumeTiming();
    }
    static const char* const kChanges[] = {"Lv rename", "Vg freeze", "Lv resize"};
    state.SetLabel(std::string(kChanges[state.range(1)]) +
                   (tools == sim::ToolSet::Current ? ", current" : ", classic"));
    state.counters["programs"] = programs / static_cast<double>(state.iterations());
    state.counters["failures"] = failures;
}

BENCHMARK(BM_ChangeAndRefresh)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"current", "change"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
