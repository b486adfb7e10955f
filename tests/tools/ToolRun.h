#pragma once
// The offline counter's flags read as the tool reads them, the tool run as a
// process, and the files it reads.
#include "CountOptions.h"

#include <QFile>
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

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline CountOptions parse(const QStringList& arguments) {
    CountOptions options;
    QString error;
    EXPECT_TRUE(parseCountOptions(arguments, options, error)) << error.toStdString();
    return options;
}
