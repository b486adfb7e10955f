// The Modbus/TCP converter against a real libmodbus module that the test runs
// on 127.0.0.1 in a thread: the register formats, one request per tick,
// refusals, a module that never answers, one that goes away and comes back,
// tried again at most every 2 s of the program's clock.
#include "devices/DeviceError.h"
#include "devices/ModbusControl.h"
#include "support/LoopbackModule.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

// A generous timeout where the module is meant to answer: a loaded machine
// must not turn an answer into a failure.
ModbusControl control(const ManualClock& clock, int port, const QString& options,
                      bool patient = true) {
    const QString address = QStringLiteral("127.0.0.1:%1?").arg(port) + options;
    return ModbusControl(clock,
                         ModbusControl::parse(address + (patient ? "&timeout_ms=1000" : "")));
}

QString failure(ModbusControl& modbus, int32_t channel = 1) {
    try {
        modbus.readVoltage(channel, 0);
    } catch (const DeviceError& error) {
        return error.why();
    }
    return QString();
}

// The register formats and their scaling from one request a tick. Refusals
// keep the connection; a float that is not finite or beyond the range is a
// failed reading, not a sample. Then a module that listens but never answers,
// and one that goes away and comes back: readings fail from the first tick on
// (no tick keeps an earlier tick's values), the next try waits 2 s of the
// program's clock, and the readings come back by themselves.
TEST(Modbus, FormatsScaleOneRequestPerTickAndADeadModuleTriedEveryTwoSeconds) {
    ManualClock clock;
    std::optional<LoopbackModule> module(std::in_place);
    const int port = module->port();
    const uint16_t registers[] = {0xFFFE, 0x3FC0, 0x0000, 0x0000, 0x3FC0, 0x4500, 7, 8};
    for (int i = 0; i < 8; ++i)
        module->set(i, registers[i]);
    // The options, the readings of channels 1 and 2, or why channel 1 gives none.
    const std::tuple<const char*, float, float, const char*> cases[] = {
        {"channels=8", -2.0f, 16320.0f, nullptr},
        {"channels=8&format=uint16&scale=0.001&offset=-1", 64.534f, 15.32f, nullptr},
        {"register=1&channels=1&format=float32", 1.5f, 0.0f, nullptr},
        {"register=3&channels=1&format=float32&word_order=little", 1.5f, 0.0f, nullptr},
        {"kind=holding", 0, 0, "the module refused the request: Illegal data address"},
        {"format=float32&channels=1", 0, 0, "channel 1 gave no number"}, // 0xFFFE3FC0
        {"register=5&format=float32&channels=1", 0, 0, "outside the range -10 V ... 10 V"},
    };
    for (const auto& [options, first, second, why] : cases) {
        SCOPED_TRACE(options);
        ModbusControl modbus = control(clock, port, QString::fromUtf8(options));
        ASSERT_TRUE(modbus.open(QStringLiteral("modbus")));
        const int before = module->requests();
        modbus.beginTick(1);
        if (why) {
            EXPECT_TRUE(failure(modbus).contains(QString::fromUtf8(why)))
                << failure(modbus).toStdString();
            continue;
        }
        EXPECT_FLOAT_EQ(modbus.readVoltage(1, 0), first);
        if (modbus.channels() > 1) {
            EXPECT_FLOAT_EQ(modbus.readVoltage(2, 0), second);
        }
        for (int32_t channel = 1; channel <= modbus.channels(); ++channel)
            modbus.readVoltage(channel, 0);
        EXPECT_EQ(module->requests(), before + 1);
    }

    module->silent = true;
    ModbusControl silent = control(clock, port, QStringLiteral("channels=1"), false);
    ASSERT_TRUE(silent.open(QStringLiteral("modbus")));
    silent.beginTick(1);
    EXPECT_TRUE(failure(silent).contains("Connection timed out")) << failure(silent).toStdString();
    module->silent = false;

    ModbusControl modbus = control(clock, port, QStringLiteral("channels=1"));
    ASSERT_TRUE(modbus.open(QStringLiteral("modbus")));
    modbus.beginTick(1);
    EXPECT_EQ(failure(modbus), QString());
    module.reset();
    const QString waits = "(tried again every 2 s)";
    // The time that passes, whether the module is back, answers and the wait named.
    const std::tuple<int32_t, bool, bool, bool> steps[] = {
        {40, false, false, false},  {40, false, false, true}, {1900, false, false, true},
        {100, false, false, false}, {40, true, false, true},  {2000, true, true, false},
    };
    for (const auto& [advanceMs, moduleBack, answers, waited] : steps) {
        if (moduleBack && !module)
            module.emplace(port);
        clock.advance(advanceMs);
        modbus.beginTick(1);
        const QString why = failure(modbus);
        EXPECT_EQ(why.isEmpty(), answers) << why.toStdString();
        EXPECT_EQ(why.contains(waits), waited) << why.toStdString();
    }
}

} // namespace
