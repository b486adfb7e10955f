// cyclomarkator-count: the offline counter.
#include "CountOptions.h"
#include "CountRun.h"

#include <QStringList>

#include <cstdio>

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
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    return runCount(options, stdout);
}
