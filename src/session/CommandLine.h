#pragma once
// The program's command line: --config-dir DIR, --headless, --link-name NAME,
// the converter set-up (--list-converters, --converter NAME [--device
// ADDRESS]), --help, --version, and two options for tests.
#include <QString>
#include <QStringList>
#include <optional>

struct CommandLine {
    QString configDir;
    QString linkName; // the name on the session bus for a second rig; empty: the default
    bool headless = false;
    // For testing: the millisecond clock runs this many times faster (so the
    // simulated device's 20 s sine comes round quickly) and the counting
    // timer fires at this interval.
    int clockRate = 1;
    int tickMs = 40;
    bool help = false;
    bool version = false;
    // Print the converters --converter takes and end.
    bool listConverters = false;
    // Write this converter (and its address) into the rig's settings and end
    // without counting.
    std::optional<QString> converter;
    std::optional<QString> device; // only with `converter`
    QString error;                 // set when the arguments are not understood

    // `arguments` without the program name.
    static CommandLine parse(const QStringList& arguments);
    static QString usage(const QString& programName);
};
