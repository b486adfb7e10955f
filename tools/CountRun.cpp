#include "CountRun.h"

#include "OfflineCounter.h"
#include "OfflineCycleLog.h"
#include "OfflineWatch.h"
#include "PlotReport.h"
#include "Progress.h"
#include "SummaryJson.h"
#include "common/PrintableText.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {
void complain(const std::string& message) {
    std::fprintf(stderr, "cyclomarkator-count: %s\n", message.c_str());
}

void complain(const QString& message) {
    complain(printableText(message.toLocal8Bit().toStdString()));
}

std::string shown(const QString& path) {
    return printableText(QFile::encodeName(path).toStdString());
}

bool fromStandardInput(const QString& path) {
    return path.isEmpty() || path == u"-";
}

// The input file, or standard input; null with a message when it cannot be read.
std::FILE* openInput(const QString& path) {
    if (fromStandardInput(path))
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

// The picture and the summary file, created before the count starts so that
// a bad output path is known at once, not after an hour of reading.
struct Reports {
    std::unique_ptr<OfflineWatch> watch;
    std::unique_ptr<PlotReport> plot;
    std::unique_ptr<SummaryJson> summary;
    std::unique_ptr<OfflineCycleLog> cycles;

    bool open(const CountOptions& options, OfflineCounter& counter) {
        if (options.watch) {
            watch = std::make_unique<OfflineWatch>(options);
            counter.addObserver(watch.get());
        }
        const QString name = fromStandardInput(options.inputPath)
                                 ? QStringLiteral("standard input")
                                 : QFileInfo(options.inputPath).fileName();
        QString error;
        if (!options.cyclesPath.isEmpty()) {
            cycles = std::make_unique<OfflineCycleLog>(options, name, watch.get());
            if (!cycles->open(error)) {
                complain(error);
                return false;
            }
            counter.addObserver(cycles.get());
        }
        if (!options.plotPath.isEmpty()) {
            plot = std::make_unique<PlotReport>(options, name, watch.get());
            if (!plot->open(error)) {
                complain(error);
                return false;
            }
            counter.addObserver(plot.get());
        }
        if (!options.summaryJsonPath.isEmpty()) {
            summary = std::make_unique<SummaryJson>(options, name, watch.get());
            if (!summary->open(error)) {
                complain(error);
                return false;
            }
            counter.addObserver(summary.get());
        }
        return true;
    }

    void add(const SampleReader::Batch& batch, int64_t firstIndex) {
        if (watch)
            watch->addSamples(batch.times, batch.size, firstIndex);
        if (plot)
            plot->addSamples(batch.values, batch.times, batch.size, firstIndex);
        if (summary)
            summary->addSamples(batch.values, batch.times, batch.size);
    }

    bool write(const OfflineCounter& counter, const SampleReader& reader) {
        QString error;
        if (cycles && !cycles->finish(error)) {
            complain(error);
            return false;
        }
        if (plot && !plot->write(error)) {
            complain(error);
            return false;
        }
        if (summary && !summary->write(counter, reader.headerLines(), reader.gaps(), error)) {
            complain(error);
            return false;
        }
        return true;
    }
};
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
    counter.setRate(options.rate);
    Reports reports;
    if (!reports.open(options, counter)) {
        if (input != stdin)
            std::fclose(input);
        return 2;
    }
    Progress progress(input);
    SampleReader::Batch batch;
    SampleReader::Status status;
    while ((status = reader.nextBatch(batch)) == SampleReader::Status::Sample) {
        // The picture sees the samples before the events they cause.
        reports.add(batch, counter.samples());
        counter.process(batch.values, batch.times, batch.size);
        progress.update(reader.fileBytesRead(), counter.samples());
    }
    progress.done();
    if (reports.watch) {
        reports.watch->finish();
        const QByteArray json = QJsonDocument(reports.watch->json()).toJson(QJsonDocument::Compact);
        counter.finish(reader.headerLines(), reader.gaps(), reports.watch->summaryText(),
                       ",\"watch\":" + json.toStdString());
    } else {
        counter.finish(reader.headerLines(), reader.gaps());
    }
    std::fflush(out);
    if (input != stdin)
        std::fclose(input);
    if (status == SampleReader::Status::Error) {
        complain(reader.error());
        if (reports.plot || reports.summary)
            complain(std::string("no picture or summary file written"));
        return 1;
    }
    return reports.write(counter, reader) ? 0 : 3;
}
