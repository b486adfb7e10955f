// Figures for the device layer: one ADC_read_all of the eight channels
// through the simulated box, with averaging 1 and 16, for the USB-AD16f
// (channel by channel) and the USB-AD (one block read); one tick of eight
// readings through each converter (median and 99th percentile), and the
// longest tick while a Modbus module never answers. With --serve-modbus PORT
// it is only a Modbus module on 127.0.0.1 until it is ended (for the CPU
// figures of device_figures.sh).
#include "adc/AdcFacade.h"
#include "devices/ConverterControl.h"
#include "devices/DeviceError.h"
#include "devices/DeviceHosts.h"
#include "devices/DeviceTransports.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/LoopbackModule.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
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

void put(const QString& path, const QByteArray& text) {
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text + '\n');
}

// A sysfs tree of an eight-channel converter (plain files: the kernel's own
// attributes cost a conversion more), a recorded signal, a loopback module.
struct Converters {
    explicit Converters(int32_t number) {
        if (number == 23) {
            put(dir.filePath("sys/iio:device0/name"), "adc8");
            put(dir.filePath("sys/iio:device0/in_voltage_scale"), "0.125");
            for (int channel = 0; channel < 8; ++channel)
                put(dir.filePath(QStringLiteral("sys/iio:device0/in_voltage%1_raw").arg(channel)),
                    QByteArray::number(100 * channel));
            address = "iio:adc8?root=" + dir.filePath("sys");
        } else if (number == 24) {
            module.emplace();
            address = QStringLiteral("modbus-tcp://127.0.0.1:%1?channels=8").arg(module->port());
        } else {
            QByteArray signal;
            for (int i = 0; i < 100000; ++i)
                signal += QByteArray::number(std::sin(i / 10.0), 'f', 4) + '\n';
            put(dir.filePath("signal.txt"), signal);
            address = "replay:" + dir.filePath("signal.txt") + "?loop=1";
        }
    }
    QTemporaryDir dir;
    std::optional<LoopbackModule> module;
    QString address;
};

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

// beginTick and eight readings (a replay has one channel, read eight times).
double tickMicroseconds(ConverterControl& control) {
    const auto start = std::chrono::steady_clock::now();
    control.beginTick(1);
    for (int32_t reading = 0; reading < 8; ++reading) {
        try {
            benchmark::DoNotOptimize(
                control.readVoltage(std::min(reading + 1, control.channels()), 0));
        } catch (const DeviceError&) {
        }
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

void ConverterTick(benchmark::State& bench) {
    const auto number = static_cast<int32_t>(bench.range(0));
    Converters converters(number);
    SystemClock clock;
    const auto control = DeviceTransports(clock).createConverter(number, converters.address);
    if (!control->open(QStringLiteral("bench"))) {
        bench.SkipWithError(control->openError().toStdString().c_str());
        return;
    }
    std::vector<double> ticks;
    for (auto _ : bench)
        ticks.push_back(tickMicroseconds(*control));
    bench.counters["median_us"] = percentile(ticks, 0.5);
    bench.counters["p99_us"] = percentile(ticks, 0.99);
    bench.SetLabel(control->found().description.toStdString());
}
BENCHMARK(ConverterTick)->ArgName("interface")->DenseRange(23, 25)->Unit(benchmark::kMicrosecond);

// A module that takes requests and never answers, at the program's pace of
// a tick every 40 ms for 6 s: the longest tick is the longest the screen
// waits for it.
void DeadModbusModule(benchmark::State& bench) {
    LoopbackModule module;
    module.silent = true;
    SystemClock clock;
    const auto control = DeviceTransports(clock).createConverter(
        24, QStringLiteral("modbus-tcp://127.0.0.1:%1?channels=8").arg(module.port()));
    if (!control->open(QStringLiteral("bench"))) {
        bench.SkipWithError("the module did not open");
        return;
    }
    double longest = 0.0;
    int stalls = 0;
    for (auto _ : bench) {
        for (int tick = 0; tick < 150; ++tick) {
            const double took = tickMicroseconds(*control);
            longest = std::max(longest, took);
            stalls += took > 1000.0 ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }
    bench.counters["longest_tick_ms"] = longest / 1000.0;
    bench.counters["ticks_over_1ms"] = stalls;
}
BENCHMARK(DeadModbusModule)->Iterations(1)->Unit(benchmark::kMillisecond);

volatile std::sig_atomic_t ended = 0;
} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--serve-modbus") == 0) {
        std::signal(SIGTERM, [](int) { ended = 1; });
        LoopbackModule module(std::atoi(argv[2]));
        for (uint16_t value = 0; !ended; value = static_cast<uint16_t>(value + 100)) {
            for (int i = 0; i < 8; ++i)
                module.set(i, static_cast<uint16_t>(value + i));
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
