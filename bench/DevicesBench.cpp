// Figures for the device layer: one ADC_read_all of the eight channels
// through the simulated box, with averaging 1 and 16, for the USB-AD16f
// (channel by channel) and the USB-AD (one block read).
#include "adc/AdcFacade.h"
#include "devices/DeviceHosts.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <vector>

namespace {
void ReadAllThroughSimulatedBox(benchmark::State& bench) {
    const bool block = bench.range(0) == 21;
    const auto averaging = static_cast<int32_t>(bench.range(1));
    QTemporaryDir dir;
    SystemClock clock;
    ScriptedPrompts prompts;
    RegistryArea registry(dir.filePath("registry.ini"));
    ProfileFile settings(dir.filePath("Cyclomarkator.INI"));
    settings.loadText("[Devices]\nusbbase:0=sim:\nusb-ad:0=sim:\n");
    DeviceHosts hosts(settings, prompts, clock);
    AdcFacade adc(clock, registry, prompts, dir.path(), hosts);
    adc.ADC_reset();
    QString name = block ? QStringLiteral("BMC Messsysteme: USB-AD:0")
                         : QStringLiteral("BMC Messsysteme: USB-AD16f:0");
    if (!adc.ADC_open(name)) {
        bench.SkipWithError("the simulated box did not open");
        return;
    }
    adc.setAveraging(adc.ADC_set_averaging(averaging));
    std::vector<float> values;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(adc.ADC_read_all(values));
        benchmark::ClobberMemory();
    }
    bench.SetLabel(block ? "USB-AD, block read" : "USB-AD16f, per channel");
}
BENCHMARK(ReadAllThroughSimulatedBox)
    ->ArgNames({"interface", "averaging"})
    ->ArgsProduct({{20, 21}, {1, 16}})
    ->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
