// The Industrial I/O converter over a fake sysfs tree laid out like the
// kernel's: devices found by name and node, shared and per-channel scale and
// offset, files that are missing or hold no number or are FIFOs, readings
// beyond the range, a node that vanishes mid-run and comes back, and a slow
// device whose channels are read in turn.
#include "devices/DeviceError.h"
#include "devices/IioControl.h"
#include "support/Fifo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace {

class Iio : public ::testing::Test {
protected:
    void SetUp() override {
        put("iio:device0/name", "ads1115");
        put("iio:device0/in_voltage_scale", "0.125");
        put("iio:device0/in_voltage3_scale", "2");
        put("iio:device0/in_voltage2_offset", "10");
        put("iio:device0/scan_elements/in_voltage0_type", "le:s16/16>>0");
        for (const auto& [channel, raw] : {std::pair{0, "100"}, {1, "-200"}, {2, "3"}, {3, "40"}})
            put(QStringLiteral("iio:device0/in_voltage%1_raw").arg(channel), raw);
        put("iio:device1/name", "mcp3008");
        put("iio:device1/in_voltage0_raw", "12x");
        put("iio:device2/in_voltage0_raw", "7");
        put("iio:device2/in_voltage0_scale", "abc");
        put("iio:device3/name", "empty");
    }
    void put(const QString& file, const QByteArray& text) {
        const QString path = root() + u'/' + file;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text + '\n');
    }
    QString root() const { return dir.filePath("sys"); }
    IioControl control(const QString& target, IioControl::Stopwatch stopwatch = nullptr) {
        return IioControl(IioControl::parse(target + "?root=" + root()),
                          stopwatch ? stopwatch : &IioControl::steadyNanoseconds);
    }
    static std::optional<float> reading(IioControl& control, int32_t channel) {
        try {
            return control.readVoltage(channel, 0);
        } catch (const DeviceError&) {
            return std::nullopt;
        }
    }

    QTemporaryDir dir;
};

TEST_F(Iio, DevicesAreFoundByNameOrNodeOrToldWhyNot) {
    // The target, and the description or a part of why it does not open.
    const std::pair<const char*, const char*> cases[] = {
        {"ads1115", "ads1115, 4 channels (iio:device0)"},
        {"iio:device0", "ads1115, 4 channels (iio:device0)"},
        {"mcp3008", "in_voltage0_raw holds \"12x\", not a whole number"},
        {"iio:device2", "in_voltage0_scale holds \"abc\", not a number"},
        {"empty", "empty (iio:device3) has no in_voltageN_raw channels"},
        {"ads1015", "no Industrial I/O device is named \"ads1015\" in"},
        {"iio:device7", "there is no iio:device7 in"},
    };
    for (const auto& [target, part] : cases) {
        SCOPED_TRACE(target);
        IioControl iio = control(QString::fromUtf8(target));
        const bool opened = iio.open(QStringLiteral("iio"));
        const QString said = opened ? iio.found().description : iio.openError();
        EXPECT_TRUE(said.contains(QString::fromUtf8(part))) << said.toStdString();
    }
    put("iio:device4/name", "ads1115");
    put("iio:device4/in_voltage0_raw", "1");
    IioControl twice = control(QStringLiteral("ads1115"));
    EXPECT_FALSE(twice.open(QStringLiteral("iio")));
    EXPECT_TRUE(twice.openError().contains("2 devices are named \"ads1115\""));
}

// (raw + offset) * scale millivolts with the channel's own files before the
// shared ones; the span from the 16-bit channel. A removed node fails every
// reading (looked for once a tick) until it is back, under another number
// too. Counts beyond the width and volts beyond the range are failed readings;
// the highest count is not.
TEST_F(Iio, ReadingsScaleFailWhileTheNodeIsGoneAndAreCheckedAgainstTheRange) {
    IioControl iio = control(QStringLiteral("ads1115"));
    ASSERT_TRUE(iio.open(QStringLiteral("iio")));
    EXPECT_EQ(iio.found().span, (std::pair{-4.096f, 4.095875f}));
    EXPECT_EQ(iio.found().channelNames,
              QStringList({"voltage0", "voltage1", "voltage2", "voltage3"}));
    const std::optional<float> expected[] = {0.0125f, -0.025f, 0.001625f, 0.08f};
    iio.beginTick(1);
    for (int32_t channel = 1; channel <= 4; ++channel)
        EXPECT_EQ(reading(iio, channel), expected[channel - 1]) << channel;
    ASSERT_TRUE(QDir(root()).rename("iio:device0", "../gone-device"));
    for (int tick = 0; tick < 2; ++tick) {
        iio.beginTick(1);
        EXPECT_EQ(reading(iio, 1), std::nullopt);
    }
    ASSERT_TRUE(QDir(root()).rename("../gone-device", "iio:device5"));
    iio.beginTick(1);
    EXPECT_EQ(reading(iio, 4), expected[3]);
    put("iio:device5/in_voltage0_raw", "40000");
    put("iio:device5/in_voltage3_raw", "6000");
    put("iio:device5/in_voltage1_raw", "nan");
    iio.beginTick(1);
    for (int32_t channel : {1, 2, 4})
        EXPECT_EQ(reading(iio, channel), std::nullopt) << channel;
    EXPECT_EQ(reading(iio, 3), expected[2]);
    put("iio:device5/in_voltage0_raw", "32767"); // the highest count is a reading
    iio.beginTick(1);
    EXPECT_EQ(reading(iio, 1), 4.095875f);
}

// A device whose reads take 8 ms cannot read its four channels within one
// tick's budget: the counted channel is fresh every tick, the others take
// turns, and the status text says so. (A fast one reads all four in a tick,
// as the readings above show.)
TEST_F(Iio, ASlowDeviceReadsTheCountedChannelEveryTickAndTheOthersInTurn) {
    int64_t now = 0;
    IioControl iio = control(QStringLiteral("ads1115"), [&now] { return now += 8'000'000; });
    ASSERT_TRUE(iio.open(QStringLiteral("iio")));
    EXPECT_TRUE(iio.found().description.contains("slow (8.0 ms a reading)"));
    std::vector<int> freshTicks(4, 0);
    for (int tick = 1; tick <= 6; ++tick) {
        for (int32_t channel = 0; channel < 4; ++channel)
            put(QStringLiteral("iio:device0/in_voltage%1_raw").arg(channel),
                QByteArray::number(tick * 8 + channel));
        iio.beginTick(2);
        int fresh = 0;
        for (int32_t channel = 1; channel <= 4; ++channel) {
            const bool isFresh = iio.readRaw(channel) == tick * 8 + channel - 1;
            fresh += isFresh;
            freshTicks[static_cast<size_t>(channel - 1)] += isFresh;
        }
        EXPECT_EQ(iio.readRaw(2), tick * 8 + 1);
        EXPECT_LE(fresh, 2) << tick;
    }
    for (const int count : freshTicks)
        EXPECT_GE(count, 2);
}

// A FIFO in place of an attribute would hold the tick until a writer came:
// each is refused at once by name, and the device opens without what it can
// spare (its name, a bit width) or not at all.
TEST_F(Iio, FifosInPlaceOfFilesAreRefusedWithoutWaiting) {
    const std::pair<const char*, const char*> cases[] = {
        {"name", "iio:device0, 4 channels (iio:device0)"},
        {"scan_elements/in_voltage0_type", "ads1115, 4 channels (iio:device0)"},
        {"in_voltage_scale", "in_voltage_scale is not a regular file"},
        {"in_voltage1_raw", "in_voltage1_raw is not a regular file"},
    };
    for (const auto& [file, part] : cases) {
        SCOPED_TRACE(file);
        {
            const Fifo fifo(root() + "/iio:device0/" + file);
            ASSERT_TRUE(fifo.made);
            IioControl iio = control(QStringLiteral("iio:device0"));
            const bool opened = iio.open(QStringLiteral("iio"));
            const QString said = opened ? iio.found().description : iio.openError();
            EXPECT_TRUE(said.contains(QString::fromUtf8(part))) << said.toStdString();
        }
        SetUp();
    }
}

} // namespace
