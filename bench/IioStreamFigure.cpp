// Industrial I/O buffered capture through a fake node: a fake sysfs tree of
// eight 16-bit channels and a timestamp, a FIFO in place of /dev/iio:deviceN
// that a thread fills at the rate by the steady clock, and a reader that
// takes the stream every 40 ms as the counting tick does. Channel 0 carries
// the scan's number, so every scan lost, doubled or out of order is seen.
// Arguments: seconds (default 60) and scans per second (default 10000).
// Exit status 1 when any scan was lost, doubled or out of order.
#include "devices/IioControl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void put(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text + '\n');
}

void makeTree(const QString& device) {
    put(device + "/name", "adc8");
    put(device + "/sampling_frequency", "1");
    put(device + "/buffer/length", "2");
    put(device + "/buffer/enable", "0");
    for (int n = 0; n <= 8; ++n) {
        const QString element = n < 8 ? QStringLiteral("in_voltage%1").arg(n) : "in_timestamp";
        if (n < 8)
            put(device + '/' + element + "_raw", "0");
        put(device + "/scan_elements/" + element + "_en", "0");
        put(device + "/scan_elements/" + element + "_index", QByteArray::number(n));
        put(device + "/scan_elements/" + element + "_type", n < 8 ? "le:u16/16>>0" : "le:s64/64");
    }
}

// Scans written at `rate` by the steady clock in 1 ms batches, 24 bytes each.
void feed(int fd, double rate, int64_t total, std::atomic<int64_t>& written) {
    const auto start = Clock::now();
    std::vector<uint8_t> bytes;
    int64_t next = 0;
    while (next < total) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(1) * (next * 1000 / rate));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const int64_t due = std::min<int64_t>(total, static_cast<int64_t>(elapsed * rate) + 1);
        bytes.clear();
        for (; next < due; ++next) {
            const int64_t stamp = static_cast<int64_t>(static_cast<double>(next) * 1e9 / rate);
            for (int c = 0; c < 8; ++c) {
                const auto value = static_cast<uint16_t>(c == 0 ? next : 1000 * c);
                bytes.push_back(static_cast<uint8_t>(value));
                bytes.push_back(static_cast<uint8_t>(value >> 8));
            }
            for (int b = 0; b < 8; ++b)
                bytes.push_back(static_cast<uint8_t>(stamp >> (8 * b)));
        }
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t put = ::write(fd, bytes.data() + at, bytes.size() - at);
            if (put < 0)
                return;
            at += static_cast<size_t>(put);
        }
        written = next;
    }
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const double rate = argc > 2 ? std::atof(argv[2]) : 10000.0;
    if (!(seconds > 0.0) || !(rate > 0.0)) {
        std::fprintf(stderr, "usage: %s [SECONDS] [SCANS_PER_SECOND]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    makeTree(dir.filePath("sys/iio:device0"));
    const QByteArray node = QFile::encodeName(dir.filePath("node"));
    if (::mkfifo(node.constData(), 0600) != 0)
        return 2;
    IioControl iio(IioControl::parse(
        QStringLiteral("adc8?rate=%1&dev=../node&root=%2").arg(rate).arg(dir.filePath("sys"))));
    if (!iio.open(QStringLiteral("iio"))) {
        std::fprintf(stderr, "%s\n", qPrintable(iio.openError()));
        return 2;
    }
    const int fd = ::open(node.constData(), O_WRONLY);
    const auto total = static_cast<int64_t>(seconds * rate);
    std::atomic<int64_t> written{0};
    const double cpuBefore = cpuSeconds();
    std::thread writer(feed, fd, rate, total, std::ref(written));

    ScanBlock block;
    int64_t handed = 0, wrong = 0, lost = 0, most = 0;
    double longestMs = 0.0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds + 5.0);
    for (int64_t tick = 1; handed < total && Clock::now() < end; ++tick) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * tick);
        const auto before = Clock::now();
        try {
            iio.scanStream()->takeScans(block, std::max<int64_t>(4096, std::llround(rate * 4)));
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tick %lld: %s\n", static_cast<long long>(tick), error.what());
            continue;
        }
        longestMs = std::max(
            longestMs, std::chrono::duration<double, std::milli>(Clock::now() - before).count());
        lost += block.lost;
        most = std::max(most, block.scans());
        for (int64_t s = 0; s < block.scans(); ++s, ++handed) {
            const auto number = std::llround(block.value(s, 0) * 1000.0);
            wrong += block.firstIndex + s != handed || number != (handed & 0xFFFF);
        }
    }
    writer.join();
    ::close(fd);
    const double cpu = cpuSeconds() - cpuBefore;
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "IIO through a FIFO at %.0f scans/s, 8 channels, %.0f s: %lld written, %lld handed, "
        "%lld lost, %lld doubled or out of order\n",
        rate, seconds, static_cast<long long>(written.load()), static_cast<long long>(handed),
        static_cast<long long>(lost), static_cast<long long>(wrong));
    std::printf("  most scans in one tick %lld, longest take %.2f ms, CPU %.2f%% of one core "
                "(reader and writer)\n",
                static_cast<long long>(most), longestMs, 100.0 * cpu / took);
    return handed == total && wrong == 0 && lost == 0 ? 0 : 1;
}
