#pragma once
// The command line of the offline counter: where the samples come from, how
// they are read, and the counting and trigger settings (from a settings file,
// overridden by flags). Every bad flag or value gives a clear message.
#include "common/SampleReader.h"
#include "counting/CountingState.h"
#include "counting/WatchState.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

// One end of the stretch a picture shows: a sample index or a time.
struct PlotBound {
    enum class Unit { None, Sample, Second };
    Unit unit = Unit::None;
    double value = 0.0;
};

struct CountOptions {
    QString inputPath; // empty or "-": standard input
    SampleReader::Options reader;
    int32_t intervalMs = 40;
    double rate = 0.0;            // samples per second (--rate); 0: intervalMs apart
    double timeUnitSeconds = 1.0; // seconds per unit of the time column
    bool json = false;
    QString plotPath; // .png or .svg; empty: no picture
    QSize plotSize{1600, 900};
    PlotBound from;
    PlotBound to;
    QString summaryJsonPath; // empty: no summary file
    QString cyclesPath;      // the cycle log to create; empty: none
    QString trendPath;       // --trend: the cycle log to draw instead of counting
    bool linear = false;     // --linear: the trend's cycle axis is linear
    bool help = false;
    CountingState state;

    // Seconds between samples without a time column.
    double sampleSeconds() const { return rate > 0.0 ? 1.0 / rate : intervalMs / 1000.0; }

    bool watch = false; // --watch: the specimen watch runs over the history
    WatchSettings watchSettings;
};

// Parses `arguments` (without the program name). False with `error` filled on
// a bad flag, a bad value or an unreadable settings file.
bool parseCountOptions(const QStringList& arguments, CountOptions& options, QString& error);

QString countUsage();

// "10:2,20:5,200": the trigger profile as --profile takes it.
QString profileText(const CountingState& state);
// "max", "min", "rising" or "falling".
QString triggerSourceName(TriggerOn source);
