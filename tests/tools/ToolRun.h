#pragma once
// The offline counter's flags read as the tool reads them, the tool run as a
// process (the files it reads are written with putFile).
#include "CountOptions.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <gtest/gtest.h>

struct ToolRun {
    int exitCode = -1; // also when the tool did not end within a minute
    QString out;
    QString err;
};

inline ToolRun runTool(const QStringList& arguments, const QString& folder = {}) {
    QProcess tool;
    tool.setWorkingDirectory(folder);
    tool.start(COUNT_TOOL_PATH, arguments);
    if (!tool.waitForFinished(60000))
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

inline CountOptions parse(const QStringList& arguments) {
    CountOptions options;
    QString error;
    EXPECT_TRUE(parseCountOptions(arguments, options, error)) << error.toStdString();
    return options;
}
