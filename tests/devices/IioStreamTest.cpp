// Industrial I/O buffered capture over a fake sysfs tree with a FIFO in
// place of the device node: element types and scan layouts against bytes
// built here, every scan handed once and in order while a writer thread
// fills the FIFO, the buffer set up and disabled at close, a buffer left
// enabled by a crash taken over, a timestamp jump told as lost scans and a
// silent writer as a failed read.
#include "adc/InterfaceCatalogue.h"
#include "devices/DeviceError.h"
#include "devices/DeviceHosts.h"
#include "devices/IioControl.h"
#include "devices/IioScanLayout.h"
#include "platform/ProfileFile.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

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

TEST(IioScanLayout, ElementsLieInScanIndexOrderAlignedToTheirSize) {
    using Row =
        std::tuple<std::vector<std::pair<int32_t, const char*>>, std::vector<size_t>, size_t>;
    const Row rows[] = {
        {{{0, "le:s16/16"}, {1, "le:u24/32"}, {2, "le:s64/64"}}, {0, 4, 8}, 16},
        {{{2, "le:s12/16>>4"}, {0, "le:s12/16>>4"}, {5, "le:s64/64"}, {1, "le:s12/16>>4"}},
         {0, 2, 4, 8},
         16},
        {{{0, "le:u8/8"}, {1, "le:s32/32"}}, {0, 4}, 8},
        {{{0, "le:s32/32"}, {1, "le:u8/8"}}, {0, 4}, 8},
    };
    for (const auto& [given, offsets, size] : rows) {
        std::vector<IioScanLayout::Element> elements;
        for (const auto& [index, type] : given)
            elements.push_back({index, IioScanLayout::parseType(type)});
        const IioScanLayout layout(elements);
        std::vector<size_t> placed;
        for (const IioScanLayout::Element& element : layout.elements())
            placed.push_back(element.offset);
        EXPECT_EQ(std::pair(placed, layout.scanBytes()), std::pair(offsets, size));
    }
}

// Three channels of different types and a timestamp: a scan is 16 bytes.
class IioStream : public ::testing::Test {
protected:
    void SetUp() override {
        put("name", "adc3");
        put("in_voltage_scale", "0.5");
        put("in_voltage1_scale", "2");
        const char* types[] = {"le:s16/16>>0", "be:s12/16>>4", "le:u8/8>>0", "le:s64/64>>0"};
        for (int n = 0; n < 4; ++n) {
            const QString element =
                n < 3 ? QStringLiteral("in_voltage%1").arg(n) : QStringLiteral("in_timestamp");
            if (n < 3)
                put(element + "_raw", "0");
            put("scan_elements/" + element + "_en", "0");
            put("scan_elements/" + element + "_index", QByteArray::number(n));
            put("scan_elements/" + element + "_type", types[n]);
        }
        put("scan_elements/in_voltage3-voltage4_en", "1"); // another program's
        put("scan_elements/in_voltage3-voltage4_index", "4");
        put("scan_elements/in_voltage3-voltage4_type", "le:s32/32");
        put("sampling_frequency", "8");
        put("buffer/length", "2");
        put("buffer/enable", "0");
        if (!QFileInfo::exists(dir.filePath("node"))) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("node")).constData(), 0600), 0);
        }
    }
    void put(const QString& file, const QByteArray& text) {
        const QString path = dir.filePath("sys/iio:device0/" + file);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text + '\n');
    }
    QByteArray get(const QString& file) const {
        QFile in(dir.filePath("sys/iio:device0/" + file));
        return in.open(QIODevice::ReadOnly) ? in.readAll().trimmed() : QByteArray("missing");
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

    QTemporaryDir dir;
    int64_t now = 0;
};

// The writer sends 6000 scans (more than the FIFO holds) in pieces that cut
// scans apart; the stream hands each once, in order, at most 700 a take.
TEST_F(IioStream, EveryScanIsHandedOnceInOrderScaledAndTheBufferIsStoppedAtClose) {
    std::unique_ptr<IioControl> iio = open();
    EXPECT_TRUE(iio->found().description.contains("stream of 3 channels at 1000 scans/s"));
    const QByteArray written[] = {get("buffer/enable"),
                                  get("buffer/length"),
                                  get("sampling_frequency"),
                                  get("scan_elements/in_voltage2_en"),
                                  get("scan_elements/in_timestamp_en"),
                                  get("scan_elements/in_voltage3-voltage4_en")};
    EXPECT_EQ(std::vector(std::begin(written), std::end(written)),
              (std::vector<QByteArray>{"1", "4000", "1000", "1", "1", "0"}));
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
    EXPECT_EQ(get("buffer/enable"), "0");
}

// A run that crashed left the buffer enabled with other elements: the
// buffer is stopped, set up for this run and started again. The device
// without a rate of its own has it set on its trigger. Readings outside the
// counting come from the newest scan.
TEST_F(IioStream, ABufferLeftEnabledIsTakenOverAndReadingsComeFromTheNewestScan) {
    put("buffer/enable", "1");
    put("scan_elements/in_voltage0_en", "1");
    QFile::remove(dir.filePath("sys/iio:device0/sampling_frequency"));
    put("trigger/current_trigger", "adc3-dev0");
    put("../trigger1/name", "other");
    put("../trigger2/name", "adc3-dev0");
    put("../trigger2/sampling_frequency", "1");
    std::unique_ptr<IioControl> iio = open("rate=250");
    EXPECT_TRUE(iio->found().description.contains("at 250 scans/s, took over a buffer left"));
    const QByteArray written[] = {get("buffer/enable"), get("scan_elements/in_voltage1_en"),
                                  get("../trigger2/sampling_frequency")};
    EXPECT_EQ(std::vector(std::begin(written), std::end(written)),
              (std::vector<QByteArray>{"1", "1", "250"}));
    const int fd = send(1, 6);
    iio->beginTick(1);
    EXPECT_EQ(std::vector({iio->readVoltage(1, 0), iio->readVoltage(2, 0), iio->readVoltage(3, 0)}),
              expected(5));
    EXPECT_EQ(iio->readRaw(2), -5);
    ::close(fd);
}

// Scans the kernel dropped show as a timestamp jump: the block ends before
// it and the next one says how many were lost. A writer that stops is a
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

TEST_F(IioStream, AddressesAndTreesThatCannotStreamAreRefused) {
    const std::pair<const char*, const char*> addresses[] = {
        {"adc3?rate=0", "option \"rate\" must be above 0"},
        {"adc3?rate=2e6", "option \"rate\" must be above 0"},
        {"adc3?rate=fast", "option \"rate\" needs a number"},
        {"adc3?dev=/dev/iio:device0", "option \"dev\" needs a path, and rate= beside it"},
    };
    for (const auto& [address, part] : addresses) {
        try {
            IioControl::parse(address);
            ADD_FAILURE() << address;
        } catch (const DeviceError& error) {
            EXPECT_TRUE(error.why().contains(part)) << error.why().toStdString();
        }
    }
    // A tree change, and a part of why the device does not open.
    const std::pair<std::function<void()>, const char*> trees[] = {
        {[this] { QFile::remove(dir.filePath("sys/iio:device0/scan_elements/in_voltage1_en")); },
         "in_voltage1 cannot be captured"},
        {[this] { QFile::remove(dir.filePath("sys/iio:device0/sampling_frequency")); },
         "has no sampling_frequency and no trigger with one"},
        {[this] { put("scan_elements/in_voltage2_type", "le:s12/12"); },
         "the scan element type \"le:s12/12\""},
        {[this] {
             QDir(dir.filePath("sys/iio:device0/buffer")).removeRecursively();
             QDir().mkpath(dir.filePath("sys/iio:device0/buffer/enable"));
         },
         "buffer/enable is not a regular file"},
    };
    for (const auto& [change, part] : trees) {
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
    EXPECT_EQ(get("buffer/enable"), "1");
}

} // namespace
