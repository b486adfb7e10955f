// cyclomarkator-count: the offline counter.
#include "CountOptions.h"
#include "OfflineCounter.h"
#include "common/SampleReader.h"

#include <QFile>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Progress on stderr, only for a person watching a large input.
class Progress {
public:
    explicit Progress(std::FILE* input) {
        struct stat st {};
        m_enabled = ::isatty(STDERR_FILENO) && ::fstat(::fileno(input), &st) == 0 &&
                    S_ISREG(st.st_mode) && st.st_size > (64 << 20);
        m_total = m_enabled ? st.st_size : 0;
        m_last = std::chrono::steady_clock::now();
    }
    void update(int64_t bytes, int64_t samples) {
        if (!m_enabled || (samples & 0xFFFFF) != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::seconds(1))
            return;
        m_last = now;
        std::fprintf(stderr, "\r%3d%%  %lld samples", static_cast<int>(100 * bytes / m_total),
                     static_cast<long long>(samples));
    }
    void done() {
        if (m_enabled)
            std::fputs("\r                                   \r", stderr);
    }

private:
    bool m_enabled = false;
    int64_t m_total = 0;
    std::chrono::steady_clock::time_point m_last;
};
} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CountOptions options;
    QString error;
    if (!parseCountOptions(arguments, options, error)) {
        std::fprintf(stderr, "cyclomarkator-count: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(countUsage()), stdout);
        return 0;
    }
    std::FILE* input = stdin;
    if (!options.inputPath.isEmpty() && options.inputPath != u"-") {
        input = std::fopen(QFile::encodeName(options.inputPath).constData(), "rb");
        if (!input) {
            std::fprintf(stderr, "cyclomarkator-count: cannot open %s: %s\n",
                         qPrintable(options.inputPath), std::strerror(errno));
            return 2;
        }
    }
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    SampleReader reader(input, options.reader);
    OfflineCounter counter(
        options.state, options.intervalMs,
        options.json ? OfflineCounter::Format::Json : OfflineCounter::Format::Text, stdout);
    Progress progress(input);
    float value = 0.0f;
    int64_t index = 0;
    SampleReader::Status status;
    while ((status = reader.next(value)) == SampleReader::Status::Sample) {
        counter.process(value, index++);
        progress.update(reader.bytesRead(), index);
    }
    progress.done();
    counter.finish(reader.headerLines());
    std::fflush(stdout);
    if (input != stdin)
        std::fclose(input);
    if (status == SampleReader::Status::Error) {
        std::fprintf(stderr, "cyclomarkator-count: %s\n", reader.error().c_str());
        return 1;
    }
    return 0;
}
