#pragma once
// The command line of the offline counter: where the samples come from, how
// they are read, and the counting and trigger settings (from a settings file,
// overridden by flags). Every bad flag or value gives a clear message.
#include "common/SampleReader.h"
#include "counting/CountingState.h"

#include <QString>
#include <QStringList>
#include <cstdint>

struct CountOptions {
    QString inputPath; // empty or "-": standard input
    SampleReader::Options reader;
    int32_t intervalMs = 40;
    double timeUnitSeconds = 1.0; // seconds per unit of the time column
    bool json = false;
    bool help = false;
    CountingState state;
};

// Parses `arguments` (without the program name). False with `error` filled on
// a bad flag, a bad value or an unreadable settings file.
bool parseCountOptions(const QStringList& arguments, CountOptions& options, QString& error);

QString countUsage();
