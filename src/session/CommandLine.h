#pragma once
// The program's command line: --config-dir DIR, --headless, --help, --version.
#include <QString>
#include <QStringList>

struct CommandLine {
    QString configDir;
    bool headless = false;
    bool help = false;
    bool version = false;
    QString error; // set when the arguments are not understood

    // `arguments` without the program name.
    static CommandLine parse(const QStringList& arguments);
    static QString usage(const QString& programName);
};
