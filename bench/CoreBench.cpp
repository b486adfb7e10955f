// Figures for the counting path: the pure engine step, one full counting tick
// with the simulated 8-channel device and the exchange-file write, and one
// durable settings save.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "counting/CoreView.h"
#include "counting/CounterCore.h"
#include "counting/CountingEngine.h"
#include "counting/CycleRecorder.h"
#include "counting/ScanCounting.h"
#include "counting/SettingsFile.h"
#include "counting/SpecimenWatch.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"
#include "platform/SettingsStore.h"
#include "recording/XtRecorderModel.h"
#include "support/FakeBackend.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {
void EngineStep(benchmark::State& bench) {
    std::vector<float> signal(5000);
    for (size_t i = 0; i < signal.size(); ++i)
        signal[i] = static_cast<float>(5.0 * std::sin(static_cast<double>(i) * 0.1256637));
    CountingState state;
    state.ExtremaPerCycle = 2;
    state.ProfileRows = 2;
    state.TriggerProfile[0] = {10, 2};
    state.TriggerProfile[1] = {20, 5};
    state.TriggerProfile[6].Every = 200;
    ExtremumTracker tracker;
    CountingEngine engine(state, tracker);
    size_t i = 0;
    int32_t now = 0;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(engine.step(signal[i], now, true));
        now += 40;
        if (++i == signal.size())
            i = 0;
    }
    bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(EngineStep);

void FullTickSimulatedDevice(benchmark::State& bench) {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    SystemClock clock;
    RegistryArea registry(dir.filePath("registry.ini"));
    NoLibadxDevices devices;
    AdcFacade adc(clock, registry, prompts, dir.path(), devices);
    adc.ADC_reset();
    QString name = QStringLiteral("Dummy A/D");
    if (!adc.ADC_open(name)) {
        bench.SkipWithError("the simulated device did not open");
        return;
    }
    RecordingCoreView view;
    ExchangeFile exchange(dir.path(), view, clock);
    exchange.ADCFile_open();
    TriggerFile trigger(dir.path(), view, clock);
    XtRecorderModel recorder(clock, dir.filePath("Data.dat"), view);
    SettingsStore settings(dir.filePath("C.INI"), view);
    CountingState state;
    state.Hysteresis = 100.0f; // no counted extremum: the tick without a settings save
    CounterCore core(state, {adc, exchange, trigger, recorder, settings, clock, view});
    for (auto _ : bench)
        core.Timer_Cyclomarkator_Timer();
    bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(FullTickSimulatedDevice)->Unit(benchmark::kMicrosecond);

void DurableSaveSettings(benchmark::State& bench) {
    QTemporaryDir dir;
    RecordingCoreView problems;
    SettingsStore store(dir.filePath("Cyclomarkator.INI"), problems);
    CountingState state;
    state.ProfileRows = 6;
    for (auto _ : bench) {
        ++state.CycleCount;
        const bool saved = store.save([&state](ProfileFile& file) {
            SettingsFile::writeSettings(file, state, QStringLiteral("Dummy A/D"), true);
        });
        if (!saved) {
            bench.SkipWithError("save failed");
            return;
        }
    }
}
BENCHMARK(DurableSaveSettings)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
// 800 scans of 8 channels a take (40 ms at 20 000 scans/s) of a 300 Hz sine.
class SineStream final : public ScanStream {
public:
    double rate() const override { return 20000.0; }
    int32_t channels() const override { return 8; }
    void takeScans(ScanBlock& block, int64_t) override {
        block.clear();
        block.channels = 8;
        block.firstIndex = m_next;
        for (int64_t i = m_next; i < m_next + 800; ++i)
            for (int32_t ch = 0; ch < 8; ++ch)
                block.values.push_back(static_cast<float>(
                    std::sin(2.0 * 3.14159265358979 * 300.0 * static_cast<double>(i) / 20000.0)));
        m_next += 800;
    }

private:
    int64_t m_next = 0;
};

// The counting of one tick's 800 scans alone, and the whole tick: the
// counting, one durable save (12 cycles a tick), the exchange file and the chart.
void StreamTick800Scans(benchmark::State& bench) {
    const bool whole = bench.range(0) != 0;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    SystemClock clock;
    RegistryArea registry(dir.filePath("registry.ini"));
    FakeDevices devices;
    FakeBackend* backend = devices.offer();
    SineStream stream;
    backend->voltages.assign(8, 0.0f);
    backend->stream = &stream;
    AdcFacade adc(clock, registry, prompts, dir.path(), devices);
    QString name = QStringLiteral("BMC Messsysteme: USB-AD:0");
    adc.ADC_open(name);
    adc.setReady(true);
    RecordingCoreView view;
    ExchangeFile exchange(dir.path(), view, clock);
    exchange.ADCFile_open();
    TriggerFile trigger(dir.path(), view, clock);
    XtRecorderModel recorder(clock, dir.filePath("Data.dat"), view);
    SettingsStore settings(dir.filePath("C.INI"), view);
    CountingState state;
    state.Threshold = 0.1f;
    CounterCore core(state, {adc, exchange, trigger, recorder, settings, clock, view});
    ExtremumTracker tracker;
    CountingEngine engine(state, tracker);
    ScanCounting counting(engine, tracker);
    ScanBlock block;
    for (auto _ : bench) {
        if (whole) {
            core.Timer_Cyclomarkator_Timer();
        } else {
            bench.PauseTiming();
            stream.takeScans(block, 800);
            bench.ResumeTiming();
            benchmark::DoNotOptimize(counting.run(block, 0, 20000.0));
        }
    }
    bench.SetItemsProcessed(bench.iterations() * 800);
    bench.counters["cycles"] = state.CycleCount;
}
BENCHMARK(StreamTick800Scans)->Arg(0)->Arg(1)->ArgName("whole")->Unit(benchmark::kMicrosecond);
// What the specimen watch adds to one counted cycle: two confirmed extrema
// into the cycle record, the record into the watch, a tick at each extremum
// (as the offline counter calls them), over a steady signal with 1 % noise.
void WatchPerCycle(benchmark::State& bench) {
    std::vector<float> noise(4096);
    uint32_t seed = 1;
    for (float& n : noise) {
        seed = seed * 1664525u + 1013904223u;
        n = static_cast<float>((seed >> 8) / double(1 << 24) * 0.02 - 0.01);
    }
    WatchSettings settings;
    settings.armed = true;
    SpecimenWatch watch(settings);
    CycleRecorder recorder;
    int32_t cycle = 0;
    size_t i = 0;
    for (auto _ : bench) {
        const double seconds = cycle * 0.5;
        watch.tick(seconds, true);
        recorder.extremum(-1.0f + noise[i++ & 4095], false);
        watch.tick(seconds + 0.25, true);
        recorder.extremum(1.0f + noise[i++ & 4095], true);
        ++cycle;
        benchmark::DoNotOptimize(
            watch.cycle(recorder.cycleCompleted(cycle, int64_t{cycle} * 20, seconds + 0.25)));
    }
    if (watch.state().failure.failed)
        bench.SkipWithError("a steady signal failed");
    bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(WatchPerCycle);
} // namespace

BENCHMARK_MAIN();
