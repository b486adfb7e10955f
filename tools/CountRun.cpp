#include "CountRun.h"

#include "OfflineCounter.h"
#include "Progress.h"
#include "common/PrintableText.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {
void complain(const std::string& message) {
    std::fprintf(stderr, "cyclomarkator-count: %s\n", message.c_str());
}

std::string shown(const QString& path) {
    return printableText(QFile::encodeName(path).toStdString());
}

// The input file, or standard input; null with a message when it cannot be read.
std::FILE* openInput(const QString& path) {
    if (path.isEmpty() || path == u"-")
        return stdin;
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
        complain("cannot open " + shown(path) + ": " + std::strerror(errno));
        return nullptr;
    }
    struct stat st {};
    if (::fstat(::fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        complain("cannot read " + shown(path) + ": it is a folder");
        std::fclose(file);
        return nullptr;
    }
    return file;
}
} // namespace

int runCount(const CountOptions& options, std::FILE* out) {
    std::FILE* input = openInput(options.inputPath);
    if (!input)
        return 2;
    SampleReader::Options readerOptions = options.reader;
    readerOptions.requireCompressed = options.inputPath.endsWith(u".gz");
    SampleReader reader(input, readerOptions);
    OfflineCounter counter(
        options.state, options.intervalMs,
        options.json ? OfflineCounter::Format::Json : OfflineCounter::Format::Text, out);
    counter.setTimeUnit(options.timeUnitSeconds);
    Progress progress(input);
    SampleReader::Batch batch;
    SampleReader::Status status;
    while ((status = reader.nextBatch(batch)) == SampleReader::Status::Sample) {
        counter.process(batch.values, batch.times, batch.size);
        progress.update(reader.fileBytesRead(), counter.samples());
    }
    progress.done();
    counter.finish(reader.headerLines(), reader.gaps());
    std::fflush(out);
    if (input != stdin)
        std::fclose(input);
    if (status == SampleReader::Status::Error) {
        complain(reader.error());
        return 1;
    }
    return 0;
}
