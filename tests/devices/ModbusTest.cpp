// The Modbus/TCP converter against a real libmodbus module that the test runs
// on 127.0.0.1 in a thread: the register formats, one request per tick,
// refusals, a module that never answers, one that goes away and comes back,
// tried again at most every 2 s of the program's clock, answers that do not
// fit their request, and host names looked up while the ticks go on.
#include "devices/DeviceError.h"
#include "devices/ModbusControl.h"
#include "support/LoopbackModule.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QThread>
#include <bit>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

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

// The reading of channel 1 in a new tick, or why there is none.
QString reading(ModbusControl& modbus) {
    modbus.beginTick(1);
    const QString why = failure(modbus);
    return why.isEmpty() ? QString::number(modbus.readVoltage(1, 0)) : why;
}

// A name server the test answers for.
class ScriptedLookup final : public HostLookup {
public:
    void start(const QString& host) override { hosts << host; }
    std::optional<Answer> answer() override { return std::exchange(next, std::nullopt); }
    QStringList hosts;
    std::optional<Answer> next;
};

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
    module->set(257, 4660);
    const float tiny = std::bit_cast<float>(0x3FC0u);
    // The options, the readings of channels 1 and 2, or why channel 1 gives none.
    const std::tuple<const char*, float, float, const char*> cases[] = {
        {"channels=8", -2.0f, 16320.0f, nullptr},
        {"channels=8&format=uint16&scale=0.001&offset=-1", 64.534f, 15.32f, nullptr},
        {"register=1&channels=2&format=float32", 1.5f, tiny, nullptr},
        {"register=3&channels=1&format=float32&word_order=little", 1.5f, 0.0f, nullptr},
        {"register=257&channels=1", 4660.0f, 0.0f, nullptr},
        {"kind=holding", 0, 0, "the module refused the request: Illegal data address"},
        {"format=float32&channels=1", 0, 0, "channel 1 gave no number"}, // 0xFFFE3FC0
        {"register=5&format=float32&channels=1", 0, 0, "outside the range -10 V ... 10 V"},
    };
    for (const auto& [options, first, second, why] : cases) {
        SCOPED_TRACE(options);
        ModbusControl modbus = control(clock, port, options);
        ASSERT_TRUE(modbus.open("modbus"));
        const int before = module->requests();
        modbus.beginTick(1);
        if (why) {
            EXPECT_TRUE(failure(modbus).contains(why)) << failure(modbus).toStdString();
            continue;
        }
        for (int32_t channel = 1; channel <= modbus.channels(); ++channel)
            modbus.readVoltage(channel, 0);
        EXPECT_FLOAT_EQ(modbus.readVoltage(1, 0), first);
        EXPECT_FLOAT_EQ(modbus.channels() > 1 ? modbus.readVoltage(2, 0) : 0.0f, second);
        EXPECT_EQ(module->requests(), before + 1);
    }

    module->silent = true;
    ModbusControl silent = control(clock, port, "channels=1", false);
    ASSERT_TRUE(silent.open("modbus"));
    const QString timedOut = reading(silent);
    EXPECT_TRUE(timedOut.contains("Connection timed out")) << timedOut.toStdString();
    module->silent = false;

    // Opened again, a module is read at once: while connected, and (below)
    // after a failed try.
    ModbusControl modbus = control(clock, port, "channels=1");
    const auto reopened = [&modbus] {
        modbus.close();
        EXPECT_TRUE(modbus.open("modbus"));
        modbus.beginTick(1);
        return failure(modbus);
    };
    EXPECT_EQ(reopened(), QString());
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
    module.reset();
    for (int i = 0; i < 2; ++i) {
        clock.advance(ModbusControl::ReconnectMs);
        EXPECT_NE(reading(modbus), "-2");
    }
    module.emplace(port);
    EXPECT_EQ(reopened(), QString());
}

// One lying answer between good ones: 5 V on a 0 V signal in an answer that
// does not fit its request is a failed reading, never a sample, whether
// libmodbus looks at that field or not; the next good answer counts again.
TEST(Modbus, AnAnswerThatDoesNotFitItsRequestIsNoSample) {
    ManualClock clock;
    LoopbackModule module;
    ModbusControl modbus = control(clock, module.port(), "channels=1&scale=0.001");
    ASSERT_TRUE(modbus.open("modbus"));
    using Frame = std::vector<uint8_t>;
    // The change to the answer, and what the failure says.
    const std::pair<void (*)(Frame&), const char*> forgeries[] = {
        {[](Frame& f) { ++f[6]; }, "unit id 2, not 1"},
        {[](Frame& f) { f[4] = f[5] = 0xFF; }, "length field 65535, not 5"},
        {[](Frame& f) { f[5] = 0; }, "length field 0, not 5"},
        {[](Frame& f) { f[3] = 1; }, "protocol id 1, not 0"},
        {[](Frame& f) { f[0] ^= 0x40; }, "transaction id 16384, not 0"},
        {[](Frame& f) { f[7] = 3; }, "function code 3, not 4"},
        {[](Frame& f) { f = {f[0], f[1], 0, 0, 0, 7, 1, 4, 4, 0x13, 0x88, 0x13, 0x88}; },
         "byte count 4, not 2"},
        {[](Frame& f) { f = {f[0], f[1], 0, 0, 0, 3, 1, 0x84, 0}; },
         "refused the request: exception code 0"},
        {[](Frame& f) { f = {f[0], f[1], 0, 0, 0, 3, 1, 0x84, 12}; },
         "refused the request: exception code 12"},
    };
    for (const auto& [forge, why] : forgeries) {
        SCOPED_TRACE(why);
        module.forgeNext([forge = forge](Frame& f) {
            f[9] = 0x13; // 5000: 5 V
            f[10] = 0x88;
            forge(f);
        });
        clock.advance(ModbusControl::ReconnectMs);
        const QString lied = reading(modbus);
        EXPECT_TRUE(lied.contains(why)) << lied.toStdString();
        clock.advance(ModbusControl::ReconnectMs);
        EXPECT_EQ(reading(modbus), "0");
    }
}

// A host name does not keep the module from opening: the readings fail at
// once while the name server is asked, a name not found (or not answered
// within 5 s) is asked for again every 2 s, and the module is counted once
// the name is found.
TEST(Modbus, AHostNameIsLookedUpWhileTheTicksGoOn) {
    ManualClock clock;
    ModbusControl system(clock, ModbusControl::parse("modbus-module.invalid"));
    ASSERT_TRUE(system.open("modbus")) << system.openError().toStdString();
    QString why;
    for (int i = 0; i < 100 && !why.contains(u"cannot find the host"); ++i, clock.advance(100)) {
        QThread::msleep(i == 0 ? 0 : 10);
        why = reading(system);
    }
    EXPECT_TRUE(why.contains(u"cannot find the host \"modbus-module.invalid\""))
        << why.toStdString();
    EXPECT_TRUE(reading(system).contains(u"(tried again every 2 s)"));

    LoopbackModule module;
    module.set(0, 1234);
    auto* lookup = new ScriptedLookup;
    ModbusControl modbus(
        clock,
        ModbusControl::parse(QStringLiteral("rig-module:%1?timeout_ms=1000").arg(module.port())),
        std::unique_ptr<HostLookup>(lookup));
    ASSERT_TRUE(modbus.open("modbus"));
    // The time that passes, what the name server answers then, the reading and the lookups.
    const std::tuple<int32_t, std::optional<HostLookup::Answer>, const char*, int> steps[] = {
        {0, std::nullopt, "looking up the host \"rig-module\"; the name server has not", 1},
        {4999, std::nullopt, "has not answered yet", 1},
        {1, std::nullopt,
         "cannot find the host \"rig-module\": the name server did not answer within 5 s", 1},
        {0, std::nullopt, "within 5 s (tried again every 2 s)", 1},
        {1999, std::nullopt, "within 5 s (tried again every 2 s)", 1},
        {1, HostLookup::Answer{{}, "Name or service not known"},
         "\"rig-module\": Name or service not known", 2},
        {2000, HostLookup::Answer{"127.0.0.1", {}}, "1234", 3},
    };
    for (const auto& [advanceMs, answer, expected, lookups] : steps) {
        SCOPED_TRACE(expected);
        clock.advance(advanceMs);
        lookup->next = answer;
        const QString got = reading(modbus);
        EXPECT_TRUE(got.contains(expected)) << got.toStdString();
        EXPECT_EQ(lookup->hosts.size(), lookups);
    }
}

// The limits of an address (the port, the unit, registers within 0..65535,
// the channels one request reads, the timeout, a range above 0), and what
// the module is shown as when it opens: its channels' names and its span.
TEST(Modbus, AnAddressAtTheLimitsIsTakenAndOneBeyondThemRefused) {
    // The address, and what is found (description; last channel; span) or why it is refused.
    const std::pair<const char*, const char*> cases[] = {
        {"h:1?unit=0&channels=125",
         "h:1 unit 0, 125 input registers (int16); register 124; -32768 32767"},
        {"h:65535?unit=255&format=uint16&scale=0.001&offset=-1",
         "h:65535 unit 255, 8 input registers (uint16); register 7; -1 64.535"},
        {"[::1]?kind=holding&range=0.5&scale=-0.5",
         "[::1]:502 unit 1, 8 holding registers (int16); register 7; -0.5 0.5"},
        {"h?register=65532&format=float32&channels=2",
         "h:502 unit 1, 4 input registers (float32); register 65534; -10 10"},
        {"h?format=float32&channels=62&timeout_ms=5",
         "h:502 unit 1, 124 input registers (float32); register 122; -10 10"},
        {"h:0", "the port must be from 1 to 65535, not 0"},
        {"h:65536", "not 65536"},
        {"h?register=65535&format=float32&channels=1", "reaches beyond register 65535"},
        {"h?channels=0", "from 1 to 125"},
        {"h?channels=126", "from 1 to 125"},
        {"h?timeout_ms=4", "from 5 to 1000"},
        {"h?timeout_ms=1001", "from 5 to 1000"},
        {"h?range=0", "option \"range\" must be above 0"},
    };
    const ManualClock clock;
    for (const auto& [address, shown] : cases) {
        QString got;
        try {
            ModbusControl modbus(clock, ModbusControl::parse(address));
            EXPECT_TRUE(modbus.open("modbus"));
            const ConverterControl::Found& found = modbus.found();
            got = QStringLiteral("%1; %2; %3 %4")
                      .arg(found.description, found.channelNames.last())
                      .arg(found.span.first, 0, 'g', 6)
                      .arg(found.span.second, 0, 'g', 6);
        } catch (const DeviceError& error) {
            got = error.why();
        }
        EXPECT_TRUE(got.contains(shown)) << address << ": " << got.toStdString();
    }
}

} // namespace
