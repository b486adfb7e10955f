#include "TrendRun.h"

#include "OutputFile.h"
#include "PictureEncoding.h"
#include "common/PrintableText.h"
#include "platform/ProblemSink.h"
#include "recording/CycleLogReader.h"
#include "recording/TrendPicture.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <cstdio>

namespace {
class StderrProblems final : public ProblemSink {
public:
    void reportProblem(const QString& text) override {
        std::fprintf(stderr, "cyclomarkator-count: %s\n",
                     printableText(text.toLocal8Bit().toStdString()).c_str());
    }
};
} // namespace

int runTrend(const CountOptions& options) {
    StderrProblems problems;
    QFile file(options.trendPath);
    if (QFileInfo(options.trendPath).isDir() || !file.open(QIODevice::ReadOnly)) {
        problems.reportProblem(QStringLiteral("cannot open the cycle log %1: %2")
                                   .arg(options.trendPath, QFileInfo(options.trendPath).isDir()
                                                               ? QStringLiteral("it is a folder")
                                                               : file.errorString()));
        return 2;
    }
    file.close();
    OutputFile output(options.plotPath);
    QString reason;
    if (!output.open(reason)) {
        problems.reportProblem(
            QStringLiteral("cannot create the picture %1: %2").arg(options.plotPath, reason));
        return 2;
    }
    CycleLogReader log(options.trendPath, problems);
    if (!log.read()) {
        problems.reportProblem(log.error());
        return 1;
    }
    if (log.waitingBytes() > 0)
        problems.reportProblem(QStringLiteral("the last line of %1 has no line end yet (a row "
                                              "being written, or torn): it is left out")
                                   .arg(options.trendPath));
    if (log.rows().empty()) {
        problems.reportProblem(QStringLiteral("the cycle log %1 holds no cycle rows: no picture")
                                   .arg(options.trendPath));
        return 1;
    }
    TrendPicture picture(log);
    picture.setLogarithmic(!options.linear);
    QByteArray bytes;
    reason = QStringLiteral("the picture could not be encoded");
    if (!encodePicture(
            options.plotPath, options.plotSize, QFileInfo(options.trendPath).fileName(),
            [&](QPainter& painter) { picture.paint(painter, options.plotSize); }, bytes) ||
        !output.write(bytes, reason)) {
        problems.reportProblem(
            QStringLiteral("cannot write the picture %1: %2").arg(options.plotPath, reason));
        return 3;
    }
    if (log.badLines() == 0)
        return 0;
    problems.reportProblem(QStringLiteral("%1 damaged lines of %2 were skipped; the picture shows "
                                          "the rest")
                               .arg(log.badLines())
                               .arg(options.trendPath));
    return 1;
}
