// The Industrial I/O converter over fake sysfs trees laid out like the kernel's, read a tick at a
// time and streamed through its buffer from a FIFO in place of the device node.
#include "adc/InterfaceCatalogue.h"
#include "devices/DeviceError.h"
#include "devices/DeviceHosts.h"
#include "devices/IioControl.h"
#include "devices/IioScanLayout.h"
#include "platform/ProfileFile.h"
#include "support/Fifo.h"
#include "support/ScriptedPrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A fake sysfs tree; put() writes a file below `base`, making its folders.
class Sysfs : public ::testing::Test {
protected:
    explicit Sysfs(const char* below) : base(dir.filePath(below)) {}
    void put(const QString& file, const QByteArray& text) {
        const QString path = base + file;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()) && putFile(path, text + '\n'));
    }

    QTemporaryDir dir;
    const QString base;
};

class Iio : public Sysfs {
protected:
    Iio() : Sysfs("sys/") {}
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
};

// A FIFO in place of an attribute would hold the tick until a writer came: each is refused at
// once by name, and the device opens without what it can spare (its name, a bit width) or not.
TEST_F(Iio, DevicesAreFoundByNameOrNodeOrToldWhyNot) {
    // The target, a file of iio:device0 made a FIFO, and the description or a part of why not.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"ads1115", nullptr, "ads1115, 4 channels (iio:device0)"},
        {"iio:device0", nullptr, "ads1115, 4 channels (iio:device0)"},
        {"mcp3008", nullptr, "in_voltage0_raw holds \"12x\", not a whole number"},
        {"iio:device2", nullptr, "in_voltage0_scale holds \"abc\", not a number"},
        {"empty", nullptr, "empty (iio:device3) has no in_voltageN_raw channels"},
        {"ads1015", nullptr, "no Industrial I/O device is named \"ads1015\" in"},
        {"iio:device7", nullptr, "there is no iio:device7 in"},
        {"iio:device0", "name", "iio:device0, 4 channels (iio:device0)"},
        {"iio:device0", "scan_elements/in_voltage0_type", "ads1115, 4 channels (iio:device0)"},
        {"iio:device0", "in_voltage_scale", "in_voltage_scale is not a regular file"},
        {"iio:device0", "in_voltage1_raw", "in_voltage1_raw is not a regular file"},
    };
    for (const auto& [target, fifoFile, part] : cases) {
        SCOPED_TRACE(fifoFile ? fifoFile : target);
        std::optional<Fifo> fifo;
        ASSERT_TRUE(!fifoFile || fifo.emplace(base + "iio:device0/" + fifoFile).made);
        IioControl iio = control(target);
        const bool opened = iio.open("iio");
        const QString said = opened ? iio.found().description : iio.openError();
        EXPECT_TRUE(said.contains(part)) << said.toStdString();
        fifo.reset();
        SetUp();
    }
    put("iio:device4/name", "ads1115");
    put("iio:device4/in_voltage0_raw", "1");
    IioControl twice = control("ads1115");
    EXPECT_FALSE(twice.open("iio"));
    EXPECT_TRUE(twice.openError().contains("2 devices are named \"ads1115\""));
}

// (raw + offset) * scale mV, the channel's own files first; a removed node fails every reading
// until it is back; counts beyond the width and volts beyond the range are failed readings.
TEST_F(Iio, ReadingsScaleFailWhileTheNodeIsGoneAndAreCheckedAgainstTheRange) {
    IioControl iio = control("ads1115");
    ASSERT_TRUE(iio.open("iio"));
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
    // A one-bit channel (a comparator) has its two counts too.
    put("iio:device6/in_voltage0_raw", "1");
    put("iio:device6/in_voltage0_scale", "0.125");
    put("iio:device6/scan_elements/in_voltage0_type", "le:u1/8");
    IioControl oneBit = control("iio:device6");
    ASSERT_TRUE(oneBit.open("iio"));
    EXPECT_EQ(oneBit.found().span, (std::pair{0.0f, 0.000125f}));
}

// A device whose reads take 8 ms cannot read four channels within a tick's budget: the counted
// channel is fresh every tick, the others take turns, and the status text says so.
TEST_F(Iio, ASlowDeviceReadsTheCountedChannelEveryTickAndTheOthersInTurn) {
    int64_t now = 0;
    IioControl iio = control("ads1115", [&now] { return now += 8'000'000; });
    ASSERT_TRUE(iio.open("iio"));
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

using Bytes = std::vector<uint8_t>;

TEST(IioScanLayout, ElementTypesDecodeAndUnreadableTypesAreRefused) {
    const std::tuple<const char*, Bytes, int64_t> rows[] = {
        {"le:s12/16>>4", {0xB5, 0xFF}, -5}, // low bits hold something else
        {"be:u24/32>>0", {0xAB, 0x12, 0x34, 0x56}, 0x123456},
        {"be:s24/32>>8", {0xFF, 0xFF, 0xFE, 0x77}, -2},
        {"le:s16/16>>0", {0x00, 0x80}, -32768},
        {"le:u16/16", {0xFF, 0xFF}, 65535},
        {"le:s64/64>>0", {0x15, 0x81, 0xE9, 0x7D, 0xF4, 0x10, 0x22, 0x11}, 0x112210F47DE98115},
    };
    for (const auto& [text, bytes, value] : rows)
        EXPECT_EQ(IioScanLayout::decode(IioScanLayout::parseType(text), bytes.data()), value)
            << text;
    for (const char* text :
         {"le:f32/32>>0", "le:s16/12", "le:s17/16", "le:s12/16>>5", "xx:s16/16", "le:s12/24", ""})
        EXPECT_THROW(IioScanLayout::parseType(text), DeviceError) << text;
}

// Elements lie in scan index order, each aligned to its size; the offsets, then the scan's size.
TEST(IioScanLayout, ElementsLieInScanIndexOrderAlignedToTheirSize) {
    const std::pair<std::vector<std::pair<int32_t, const char*>>, std::vector<size_t>> rows[] = {
        {{{0, "le:s16/16"}, {1, "le:u24/32"}, {2, "le:s64/64"}}, {0, 4, 8, 16}},
        {{{2, "le:s12/16>>4"}, {0, "le:s12/16>>4"}, {5, "le:s64/64"}, {1, "le:s12/16>>4"}},
         {0, 2, 4, 8, 16}},
        {{{0, "le:u8/8"}, {1, "le:s32/32"}}, {0, 4, 8}},
        {{{0, "le:s32/32"}, {1, "le:u8/8"}}, {0, 4, 8}},
    };
    for (const auto& [given, offsets] : rows) {
        std::vector<IioScanLayout::Element> elements;
        for (const auto& [index, type] : given)
            elements.push_back({index, IioScanLayout::parseType(type)});
        const IioScanLayout layout(elements);
        std::vector<size_t> placed;
        for (const IioScanLayout::Element& element : layout.elements())
            placed.push_back(element.offset);
        placed.push_back(layout.scanBytes());
        EXPECT_EQ(placed, offsets);
    }
}

// Three channels of different types and a timestamp: a scan is 16 bytes.
class IioStream : public Sysfs {
protected:
    IioStream() : Sysfs("sys/iio:device0/") {}
    void SetUp() override {
        put("name", "adc3");
        put("in_voltage_scale", "0.5");
        put("in_voltage1_scale", "2");
        // The elements with their index and type; another program's is enabled.
        const char* types[] = {"le:s16/16>>0", "be:s12/16>>4", "le:u8/8>>0", "le:s64/64>>0",
                               "le:s32/32"};
        for (int n = 0; n < 5; ++n) {
            const QString element = n < 3   ? QStringLiteral("in_voltage%1").arg(n)
                                    : n < 4 ? "in_timestamp"
                                            : "in_voltage3-voltage4";
            if (n < 3)
                put(element + "_raw", "0");
            put("scan_elements/" + element + "_en", n < 4 ? "0" : "1");
            put("scan_elements/" + element + "_index", QByteArray::number(n));
            put("scan_elements/" + element + "_type", types[n]);
        }
        put("sampling_frequency", "8");
        put("buffer/length", "2");
        put("buffer/enable", "0");
        if (!QFileInfo::exists(dir.filePath("node"))) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("node")).constData(), 0600), 0);
        }
    }
    // The files' contents, a blank apart.
    QByteArray get(std::initializer_list<const char*> files) const {
        QByteArrayList texts;
        for (const char* file : files)
            texts << fileBytes(base + file).trimmed();
        return texts.join(' ');
    }
    std::unique_ptr<IioControl> open(const QString& options = "rate=1000") {
        auto iio = std::make_unique<IioControl>(
            IioControl::parse("adc3?dev=../node&root=" + dir.filePath("sys") + '&' + options),
            [this] { return now; });
        EXPECT_TRUE(iio->open("iio")) << iio->openError().toStdString();
        return iio;
    }
    // Scan `i`: channel 0 counts up, channel 1 down, channel 2 in steps of 7.
    static void appendScan(Bytes& out, int32_t i, int64_t stampMs) {
        const auto down = static_cast<uint16_t>((-(i % 2048) & 0xFFF) << 4);
        const Bytes scan = {
            uint8_t(i), uint8_t(i >> 8), uint8_t(down >> 8), uint8_t(down), uint8_t(i * 7), 0, 0,
            0};
        out.insert(out.end(), scan.begin(), scan.end());
        for (int b = 0; b < 8; ++b)
            out.push_back(static_cast<uint8_t>((stampMs * 1'000'000) >> (8 * b)));
    }
    static std::vector<float> expected(int32_t i) {
        return {static_cast<float>(i * 0.5 / 1000), static_cast<float>(-(i % 2048) * 2.0 / 1000),
                static_cast<float>((i * 7 % 256) * 0.5 / 1000)};
    }
    // Opens the writing end (the stream holds the reading one) and writes
    // scans from..to-1, their timestamps `skipMs` on; the end stays open.
    int send(int32_t from, int32_t to, int64_t skipMs = 0, size_t piece = 1 << 20) {
        const int fd = ::open(QFile::encodeName(dir.filePath("node")).constData(), O_WRONLY);
        Bytes bytes;
        for (int32_t i = from; i < to; ++i)
            appendScan(bytes, i, i + skipMs);
        for (size_t at = 0; fd >= 0 && at < bytes.size();) {
            const ssize_t put = ::write(fd, bytes.data() + at, std::min(piece, bytes.size() - at));
            if (put < 0 && errno != EINTR)
                break;
            at += static_cast<size_t>(std::max<ssize_t>(put, 0));
        }
        return fd;
    }

    int64_t now = 0;
};

// The writer sends 6000 scans (more than the FIFO holds) in pieces that cut
// scans apart; the stream hands each once, in order, at most 700 a take.
TEST_F(IioStream, EveryScanIsHandedOnceInOrderScaledAndTheBufferIsStoppedAtClose) {
    std::unique_ptr<IioControl> iio = open();
    EXPECT_TRUE(iio->found().description.contains("stream of 3 channels at 1000 scans/s"));
    EXPECT_EQ(
        get({"buffer/enable", "buffer/length", "sampling_frequency", "scan_elements/in_voltage2_en",
             "scan_elements/in_timestamp_en", "scan_elements/in_voltage3-voltage4_en"}),
        "1 4000 1000 1 1 0");
    const int32_t total = 6000;
    std::signal(SIGPIPE, SIG_IGN); // a failed test closes the node under the writer
    std::thread feed([this] { ::close(send(0, total, 0, 100)); }); // 100 bytes cut scans apart
    ScanStream* stream = iio->scanStream();
    ScanBlock block;
    int32_t next = 0;
    bool inOrder = stream != nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int take = 0;
         take < 100000 && inOrder && next < total && std::chrono::steady_clock::now() < deadline;
         ++take) {
        EXPECT_NO_THROW(stream->takeScans(block, 700));
        inOrder =
            std::tuple(block.firstIndex, block.lost, block.channels) == std::tuple(next, 0, 3) &&
            block.scans() <= 700;
        for (int64_t s = 0; inOrder && s < block.scans(); ++s, ++next)
            inOrder = std::vector(block.values.begin() + s * 3, block.values.begin() + s * 3 + 3) ==
                      expected(next);
        if (block.scans() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(inOrder) << "at scan " << next << ", block from " << block.firstIndex;
    iio->close();
    feed.join();
    EXPECT_EQ(next, total);
    iio.reset();
    EXPECT_EQ(get({"buffer/enable"}), "0");
}

// A buffer a crashed run left enabled is stopped, set up and started again; a device without a
// rate has it set on its trigger. Readings outside the counting come from the newest scan.
TEST_F(IioStream, ABufferLeftEnabledIsTakenOverAndReadingsComeFromTheNewestScan) {
    put("buffer/enable", "1");
    put("scan_elements/in_voltage0_en", "1");
    QFile::remove(base + "sampling_frequency");
    put("trigger/current_trigger", "adc3-dev0");
    put("../trigger1/name", "other");
    put("../trigger2/name", "adc3-dev0");
    put("../trigger2/sampling_frequency", "1");
    std::unique_ptr<IioControl> iio = open("rate=250");
    EXPECT_TRUE(iio->found().description.contains("at 250 scans/s, took over a buffer left"));
    EXPECT_EQ(
        get({"buffer/enable", "scan_elements/in_voltage1_en", "../trigger2/sampling_frequency"}),
        "1 1 250");
    const int fd = send(1, 6);
    iio->beginTick(1);
    EXPECT_EQ(std::vector({iio->readVoltage(1, 0), iio->readVoltage(2, 0), iio->readVoltage(3, 0)}),
              expected(5));
    EXPECT_EQ(iio->readRaw(2), -5);
    ::close(fd);
}

// Scans the kernel dropped show as a timestamp jump told as lost scans; a writer that stops is a
// failed read once a second has passed, until scans come again.
TEST_F(IioStream, ATimestampJumpIsLostScansAndASilentNodeAFailedRead) {
    std::unique_ptr<IioControl> iio = open();
    ::close(send(0, 10));
    ::close(send(10, 20, 5));
    ScanBlock block;
    const auto take = [&] {
        iio->scanStream()->takeScans(block, 100);
        return std::tuple(block.firstIndex, block.scans(), block.lost);
    };
    EXPECT_EQ(take(), std::tuple(0, 10, 0));
    EXPECT_EQ(take(), std::tuple(15, 10, 5));
    EXPECT_EQ(block.value(0, 0), expected(10)[0]);
    now += 900'000'000;
    EXPECT_EQ(take(), std::tuple(25, 0, 0));
    now += 200'000'000;
    EXPECT_THROW(take(), DeviceError);
    const int fd = send(20, 21, 5);
    EXPECT_EQ(take(), std::tuple(25, 1, 0));
    EXPECT_EQ(take(), std::tuple(26, 0, 0)); // and the silence starts again
    ::close(fd);
}

TEST_F(IioStream, TreesThatCannotStreamAreRefused) {
    // A change to the tree, and a part of why the device does not open.
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[this] { QFile::remove(base + "scan_elements/in_voltage1_en"); },
         "in_voltage1 cannot be captured"},
        {[this] { QFile::remove(base + "sampling_frequency"); },
         "has no sampling_frequency and no trigger with one"},
        {[this] { put("scan_elements/in_voltage2_type", "le:s12/12"); },
         "the scan element type \"le:s12/12\""},
        {[this] {
             QDir(base + "buffer").removeRecursively() && QDir().mkpath(base + "buffer/enable");
         },
         "buffer/enable is not a regular file"},
    };
    for (const auto& [change, part] : cases) {
        SetUp();
        change();
        IioControl iio(IioControl::parse("adc3?rate=10&dev=../node&root=" + dir.filePath("sys")));
        EXPECT_FALSE(iio.open("iio"));
        EXPECT_TRUE(iio.openError().contains(part)) << iio.openError().toStdString();
    }
}

// The setup dialog checks the address of the converter that is streaming:
// it is answered by the open converter, whose buffer keeps running.
TEST_F(IioStream, CheckingTheAddressOfTheStreamingConverterLeavesItRunning) {
    const QString address = "iio:adc3?rate=1000&dev=../node&root=" + dir.filePath("sys");
    ProfileFile settings(dir.filePath("Cyclomarkator.INI"));
    settings.loadText("[HARDWARE]\nDevice=" + address + "\n");
    ScriptedPrompts prompts;
    DeviceHosts hosts(settings, prompts, nullptr, [this](int32_t, const QString& text) {
        return std::make_unique<IioControl>(IioControl::parse(text.mid(4)), [this] { return now; });
    });
    ASSERT_TRUE(hosts.probe(InterfaceCatalogue::Iio));
    EXPECT_TRUE(hosts.examine(InterfaceCatalogue::Iio, address).contains("stream of 3 channels"));
    EXPECT_EQ(get({"buffer/enable"}), "1");
}

} // namespace
