// Figures for the running program's cycle log: the cost of a counted cycle
// in the tick (the record handed to the log, one flush per tick, a sync at
// most once a second on the simulated clock), and the rows and bytes of a
// 10^7-cycle test with the default schedule (plus the last 10 000 cycles at a
// failure at its end) and with every cycle logged.
#include "adc/AdcFacade.h"
#include "counting/CoreCycleLog.h"
#include "counting/CoreWatch.h"
#include "counting/CountingState.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/ProblemLog.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// One log over a temporary program folder; the wall clock is the test's.
struct LogRig {
    explicit LogRig(int32_t everyNth) {
        WatchSettings settings;
        settings.armed = true;
        settings.settlingCycles = 0;
        settings.referenceCycles = 50;
        settings.logEveryNth = everyNth;
        watch.setSettings(settings, {});
        log.load(dir.filePath("Cyclomarkator.INI"), ProfileFile());
        log.begin();
    }
    // One counted cycle of ±`swing` V, `samples` after the last.
    void cycle(int32_t number, float swing, double seconds) {
        watch.extremum(swing, true);
        watch.extremum(-swing, false);
        watch.cycleCompleted(number, number * 20LL, seconds);
        log.cycle(watch.lastCycle());
    }
    QTemporaryDir dir;
    double now = 1.7e9;
    CoreWatch watch{[this] { return now; }};
    SystemClock clock;
    RegistryArea registry{dir.filePath("registry.ini")};
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    AdcFacade adc{clock, registry, prompts, dir.path(), devices};
    CountingState state;
    ProblemLog problems;
    CoreCycleLog log{state, adc, watch, problems, [this] { return now; }};
};

// range(0) cycles a 40 ms tick, range(1) 1: every cycle logged.
void CycleInTheTick(benchmark::State& bench) {
    LogRig rig(static_cast<int32_t>(bench.range(1)));
    const int64_t perTick = bench.range(0);
    int32_t number = 0;
    for (auto _ : bench) {
        for (int64_t i = 0; i < perTick; ++i)
            rig.cycle(++number, 1.0f, rig.now);
        rig.now += 0.04;
        rig.log.flush();
    }
    bench.SetItemsProcessed(bench.iterations() * perTick);
    bench.counters["per_cycle"] =
        benchmark::Counter(static_cast<double>(bench.iterations() * perTick),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(CycleInTheTick)
    ->ArgNames({"cycles_per_tick", "every_nth"})
    ->Args({1, 0})
    ->Args({100, 0})
    ->Args({1, 1})
    ->Args({100, 1})
    ->Unit(benchmark::kMicrosecond);

// A whole test of 10^7 cycles at 10 Hz, 100 cycles a tick (the rows do not
// depend on it); range(0) 1: every cycle logged. The specimen fails in its
// last three cycles, so the default schedule ends with the backlog.
void TenMillionCycleTest(benchmark::State& bench) {
    constexpr int32_t Cycles = 10'000'000;
    for (auto _ : bench) {
        LogRig rig(static_cast<int32_t>(bench.range(0)));
        const double start = rig.now;
        for (int32_t n = 1; n <= Cycles; ++n) {
            rig.now = start + n * 0.1;
            rig.cycle(n, n > Cycles - 3 ? 0.5f : 1.0f, rig.now);
            if (n % 100 == 0)
                rig.log.flush();
        }
        rig.log.flush();
        const QString path = rig.log.path();
        bench.PauseTiming();
        int64_t rows = 0, flagged = 0;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            bool body = false;
            while (!file.atEnd()) {
                const QByteArray line = file.readLine();
                rows += body;
                flagged += body && !line.endsWith(",\n");
                body = body || line.startsWith("cycle,");
            }
        }
        bench.counters["rows"] = static_cast<double>(rows);
        bench.counters["flag_rows"] = static_cast<double>(flagged);
        bench.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
        bench.ResumeTiming();
    }
    bench.counters["per_cycle"] =
        benchmark::Counter(static_cast<double>(bench.iterations()) * Cycles,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(TenMillionCycleTest)
    ->ArgName("every_nth")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
