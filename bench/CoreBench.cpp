// Figures for the counting path: the pure engine step, one full counting tick
// with the simulated 8-channel device and the exchange-file write, and one
// durable settings save.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "counting/CoreView.h"
#include "counting/CounterCore.h"
#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"
#include "platform/SettingsStore.h"
#include "recording/XtRecorderModel.h"
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
} // namespace

BENCHMARK_MAIN();
