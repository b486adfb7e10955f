#pragma once
// The program's command line: --config-dir DIR, --headless, --link-name NAME,
// --help, --version, and for testing --clock-speed N.
#include <QString>
#include <QStringList>

struct CommandLine {
    QString configDir;
    QString linkName;   // the name on the session bus for a second rig; empty: the default
    int clockSpeed = 1; // for testing: the clock runs this many times as fast
    bool headless = false;
    bool help = false;
    bool version = false;
    QString error; // set when the arguments are not understood

    // `arguments` without the program name.
    static CommandLine parse(const QStringList& arguments);
    static QString usage(const QString& programName);
};
