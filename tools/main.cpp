// cyclomarkator-count: the offline counter.
#include "CountOptions.h"
#include "CountRun.h"
#include "TrendRun.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace {
// Qt draws the picture; its notes about the desktop session (a missing
// XDG_RUNTIME_DIR, say) mean nothing to someone counting a load history.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "cyclomarkator-count: %s\n", qPrintable(message));
}
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
    // Text in a picture needs the fonts of a GUI application; a command-line
    // tool never shows a window, so it needs no display whatever the desktop.
    std::unique_ptr<QGuiApplication> gui;
    static int guiArgc = 1;
    static char* guiArgv[] = {argv[0], nullptr};
    if (!options.plotPath.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
        qInstallMessageHandler(qtMessage);
        gui = std::make_unique<QGuiApplication>(guiArgc, guiArgv);
    }
    if (!options.trendPath.isEmpty())
        return runTrend(options);
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    return runCount(options, stdout);
}
