#include "CountOptions.h"

#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
bool toNumber(QString text, double& value) {
    text = text.trimmed().replace(u',', u'.');
    bool ok = false;
    value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value);
}

bool toInt(const QString& text, int64_t min, int64_t max, int32_t& value) {
    bool ok = false;
    const qlonglong parsed = text.trimmed().toLongLong(&ok);
    if (!ok || parsed < min || parsed > max)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool toSingle(const QString& text, float& value) {
    double parsed = 0.0;
    if (!toNumber(text, parsed) || std::fabs(parsed) > std::numeric_limits<float>::max())
        return false;
    value = static_cast<float>(parsed);
    return true;
}

// "10:2,20:5,200": below cycle 10 every 2nd, below 20 every 5th, above every 200th.
bool parseProfile(const QString& rows, CountingState& state, QString& error) {
    const QStringList parts = rows.split(u',', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 7 || parts.back().contains(u':')) {
        error = QStringLiteral("--profile wants up to six BELOW:EVERY rows and a final EVERY, "
                               "e.g. 10:2,20:5,200");
        return false;
    }
    const int32_t max = std::numeric_limits<int32_t>::max();
    int32_t previous = 0;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QStringList row = parts[i].split(u':');
        ProfileRow& target = state.TriggerProfile[static_cast<size_t>(i)];
        if (row.size() != 2 || !toInt(row[0], previous + 1, max, target.BelowCycle) ||
            !toInt(row[1], 1, max, target.Every)) {
            error = QStringLiteral("--profile row %1 (\"%2\"): bounds must rise from 1 and "
                                   "intervals be at least 1")
                        .arg(i + 1)
                        .arg(parts[i]);
            return false;
        }
        previous = target.BelowCycle;
    }
    if (!toInt(parts.back(), 1, max, state.TriggerProfile[6].Every)) {
        error = QStringLiteral("--profile: the final interval \"%1\" must be at least 1")
                    .arg(parts.back());
        return false;
    }
    state.ProfileRows = static_cast<int32_t>(parts.size() - 1);
    return true;
}

bool loadSettings(const QString& path, CountingState& state, QString& error) {
    ProfileFile file(path);
    if (!file.load()) {
        error = QStringLiteral("Cannot read the settings file %1: %2").arg(path, file.lastError());
        return false;
    }
    QString interfaceName;
    SettingsFile::LoadSettings(file, state, interfaceName);
    return true;
}

// How the history is read; false when `flag` is none of these.
bool applyReaderFlag(const QString& flag, const QString& value, CountOptions& o, bool& ok) {
    SampleReader::Options& r = o.reader;
    if (flag == u"--column") {
        ok = toInt(value, 1, 10000, r.column);
    } else if (flag == u"--time-column") {
        ok = toInt(value, 1, 10000, r.timeColumn);
    } else if (flag == u"--delimiter") {
        // A character that can be part of a number cannot separate numbers.
        const QString d = value == u"tab" ? QStringLiteral("\t") : value;
        const char c =
            d.size() == 1 && d[0].unicode() < 128 ? static_cast<char>(d[0].unicode()) : 0;
        ok = value == u"space" ||
             (c != 0 && (c == '\t' || std::isgraph(static_cast<unsigned char>(c))) &&
              !std::strchr("0123456789.+-eE", c));
        r.delimiter = value == u"space" ? SampleReader::Blanks : c;
    } else if (flag == u"--time-unit") {
        ok = value == u"s" || value == u"ms";
        o.timeUnitSeconds = value == u"ms" ? 0.001 : 1.0;
    } else if (flag == u"--gaps") {
        ok = value == u"skip" || value == u"stop";
        r.skipGaps = value == u"skip";
    } else if (flag == u"--format") {
        const QStringList names{"text", "f32le", "f64le", "i16le", "i32le"};
        const qsizetype at = names.indexOf(value);
        ok = at >= 0;
        r.format = static_cast<SampleReader::Format>(std::max<qsizetype>(at, 0));
    } else if (flag == u"--scale") {
        ok = toNumber(value, r.scale) && r.scale != 0.0;
    } else if (flag == u"--offset") {
        ok = toNumber(value, r.offset);
    } else {
        return false;
    }
    return true;
}

// "12.5s" is a time, a plain integer a sample index.
bool toBound(const QString& text, PlotBound& bound) {
    if (text.endsWith(u's')) {
        bound.unit = PlotBound::Unit::Second;
        return toNumber(text.chopped(1), bound.value);
    }
    bool ok = false;
    const qlonglong index = text.trimmed().toLongLong(&ok);
    bound.unit = PlotBound::Unit::Sample;
    bound.value = static_cast<double>(index);
    return ok && index >= 0 && index < (qlonglong{1} << 53);
}

// The picture and the summary file; false when `flag` is none of these.
bool applyReportFlag(const QString& flag, const QString& value, CountOptions& o, bool& ok) {
    if (flag == u"--plot") {
        ok = value.endsWith(u".png", Qt::CaseInsensitive) ||
             value.endsWith(u".svg", Qt::CaseInsensitive);
        o.plotPath = value;
    } else if (flag == u"--plot-size") {
        const QStringList parts = value.split(u'x');
        int32_t width = 0;
        int32_t height = 0;
        ok = parts.size() == 2 && toInt(parts[0], 320, 20000, width) &&
             toInt(parts[1], 240, 20000, height);
        o.plotSize = QSize(width, height);
    } else if (flag == u"--from") {
        ok = toBound(value, o.from);
    } else if (flag == u"--to") {
        ok = toBound(value, o.to);
    } else if (flag == u"--summary-json") {
        ok = !value.isEmpty();
        o.summaryJsonPath = value;
    } else if (flag == u"--cycles") {
        ok = !value.isEmpty();
        o.cyclesPath = value;
    } else if (flag == u"--trend") {
        ok = !value.isEmpty();
        o.trendPath = value;
    } else {
        return false;
    }
    return true;
}

// A percentage above 0 and below `below`, or "off" for a criterion not checked.
bool toPercent(const QString& value, double below, bool& enabled, double& percent) {
    enabled = value != u"off";
    return !enabled || (toNumber(value, percent) && percent > 0 && percent < below);
}

// The specimen watch; false when `flag` is none of its settings.
bool applyWatchFlag(const QString& flag, const QString& value, WatchSettings& w, bool& ok) {
    if (flag == u"--settle") {
        ok = toInt(value, 0, WatchSettings::MaxSettlingCycles, w.settlingCycles);
    } else if (flag == u"--reference-cycles") {
        ok = toInt(value, 1, WatchSettings::MaxReferenceCycles, w.referenceCycles);
    } else if (flag == u"--drop") {
        ok = toPercent(value, 100, w.amplitudeCheck, w.amplitudeDropPercent);
    } else if (flag == u"--band") {
        ok = toPercent(value, WatchSettings::MaxBandPercent + 1e-9, w.peakCheck, w.bandPercent);
        w.valleyCheck = w.peakCheck;
    } else if (flag == u"--confirm") {
        ok = toInt(value, 1, WatchSettings::MaxConfirmCycles, w.confirmCycles);
    } else if (flag == u"--stall-seconds") {
        ok = toNumber(value, w.stallSeconds) && w.stallSeconds >= 0 &&
             w.stallSeconds <= WatchSettings::MaxStallSeconds;
    } else {
        return false;
    }
    return true;
}

bool applyFlag(const QString& flag, const QString& value, CountOptions& o, QString& error) {
    CountingState& s = o.state;
    const int32_t max = std::numeric_limits<int32_t>::max();
    bool ok = true;
    if (flag == u"--mode") {
        ok = value == u"max" || value == u"min";
        s.CountMode = value == u"min" ? CountedExtrema::Minima : CountedExtrema::Maxima;
    } else if (flag == u"--extrema-per-cycle") {
        ok = toInt(value, 1, max, s.ExtremaPerCycle);
    } else if (flag == u"--threshold") {
        ok = toSingle(value, s.Threshold);
    } else if (flag == u"--hysteresis") {
        ok = toSingle(value, s.Hysteresis) && s.Hysteresis >= 0.0f;
    } else if (flag == u"--trigger-source") {
        const QStringList names{"max", "min", "rising", "falling"};
        int32_t source = static_cast<int32_t>(names.indexOf(value));
        ok = source >= 0 || toInt(value, 0, 3, source);
        if (ok)
            s.TriggerSource = static_cast<TriggerOn>(source);
    } else if (flag == u"--triggers") {
        ok = value == u"on" || value == u"off";
        s.TriggerEnabled = value == u"on";
    } else if (flag == u"--profile") {
        return parseProfile(value, s, error);
    } else if (flag == u"--extra-events") {
        ok = toInt(value, 0, 2, s.ExtraEvents);
    } else if (flag == u"--delay-ms") {
        ok = toInt(value, 0, max, s.TriggerDelayMs);
    } else if (flag == u"--start-count") {
        ok = toInt(value, 0, max, s.CycleCount);
        s.MinorCount = 0;
    } else if (flag == u"--interval-ms") {
        ok = toInt(value, 1, 86400000, o.intervalMs);
    } else if (flag == u"--rate") {
        ok = toNumber(value, o.rate) && o.rate > 0.0 && o.rate <= 1e6;
    } else if (!applyReaderFlag(flag, value, o, ok) && !applyReportFlag(flag, value, o, ok) &&
               !applyWatchFlag(flag, value, o.watchSettings, ok)) {
        error = QStringLiteral("Unknown option %1 (see --help)").arg(flag);
        return false;
    }
    if (!ok)
        error = QStringLiteral("Invalid value \"%1\" for %2 (see --help)").arg(value, flag);
    return ok;
}

// --trend draws a log: it needs a picture and takes nothing of a count.
void checkTrend(const QStringList& seen, const CountOptions& o, QString& error) {
    if (o.trendPath.isEmpty()) {
        if (o.linear)
            error = QStringLiteral("--linear is for --trend");
        return;
    }
    for (const QString& flag : seen) {
        if (flag != u"--trend" && flag != u"--plot" && flag != u"--plot-size")
            error = QStringLiteral("%1 is for counting a history, not for --trend").arg(flag);
    }
    if (o.json || o.watch)
        error = QStringLiteral("--json and --watch are for counting a history, not for --trend");
    if (!o.inputPath.isEmpty())
        error = QStringLiteral("--trend draws the cycle log it names and reads no history "
                               "(\"%1\")")
                    .arg(o.inputPath);
    if (o.plotPath.isEmpty())
        error = QStringLiteral("--trend needs --plot FILE.png or FILE.svg");
}

// Flags that only make sense together.
bool checkCombination(const QStringList& seen, const CountOptions& o, QString& error) {
    const auto given = [&](const char* flag) { return seen.contains(QLatin1String(flag)); };
    const bool binary = o.reader.format != SampleReader::Format::Text;
    for (const char* flag : {"--column", "--time-column", "--delimiter"}) {
        if (binary && given(flag))
            error = QStringLiteral("%1 is for text input, not for a binary --format")
                        .arg(QLatin1String(flag));
    }
    for (const char* flag : {"--scale", "--offset"}) {
        if (!binary && given(flag))
            error = QStringLiteral("%1 is for binary input (--format f32le|f64le|i16le|i32le)")
                        .arg(QLatin1String(flag));
    }
    if (given("--time-column") && o.reader.column == 0)
        error = QStringLiteral("--time-column needs --column for the values");
    else if (given("--time-column") && o.reader.timeColumn == o.reader.column)
        error = QStringLiteral("--time-column and --column name the same column");
    if (given("--time-unit") && !given("--time-column"))
        error = QStringLiteral("--time-unit is for --time-column");
    for (const char* flag : {"--plot-size", "--from", "--to"}) {
        if (given(flag) && !given("--plot"))
            error = QStringLiteral("%1 is for --plot").arg(QLatin1String(flag));
    }
    // Without a time column an index is a time too, so mixed ends compare.
    const auto seconds = [&](const PlotBound& b) {
        return b.unit == PlotBound::Unit::Second ? b.value : b.value * o.sampleSeconds();
    };
    const bool comparable = o.from.unit == o.to.unit || o.reader.timeColumn == 0;
    if (o.from.unit != PlotBound::Unit::None && o.to.unit != PlotBound::Unit::None && comparable &&
        !(seconds(o.to) > seconds(o.from)))
        error = QStringLiteral("--to must lie after --from");
    for (const char* flag :
         {"--settle", "--reference-cycles", "--drop", "--band", "--confirm", "--stall-seconds"}) {
        if (given(flag) && !o.watch)
            error = QStringLiteral("%1 is for --watch").arg(QLatin1String(flag));
    }
    if (given("--interval-ms") && given("--time-column"))
        error = QStringLiteral("--interval-ms and --time-column exclude each other: the times "
                               "come from the file");
    if (given("--rate") && (given("--interval-ms") || given("--time-column")))
        error = QStringLiteral("--rate excludes --interval-ms and --time-column: it sets the "
                               "times of the samples");
    checkTrend(seen, o, error);
    return error.isEmpty();
}
} // namespace

bool parseCountOptions(const QStringList& arguments, CountOptions& options, QString& error) {
    options.reader.delimiter = SampleReader::Detect;
    QStringList seen;
    // The settings file comes first, whatever its place, so flags override it.
    const qsizetype settingsAt = arguments.indexOf(QStringLiteral("--settings"));
    if (settingsAt >= 0) {
        if (settingsAt + 1 >= arguments.size()) {
            error = QStringLiteral("--settings needs a file");
            return false;
        }
        if (!loadSettings(arguments[settingsAt + 1], options.state, error))
            return false;
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--json") {
            options.json = true;
        } else if (argument == u"--watch") {
            options.watch = options.watchSettings.armed = true;
        } else if (argument == u"--linear") {
            options.linear = true;
        } else if (argument == u"--settings") {
            ++i;
        } else if (argument.startsWith(u"--")) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value (see --help)").arg(argument);
                return false;
            }
            if (!applyFlag(argument, arguments[i + 1], options, error))
                return false;
            seen << argument;
            ++i;
        } else if (options.inputPath.isEmpty()) {
            options.inputPath = argument;
        } else {
            error =
                QStringLiteral("Only one input file, please (\"%1\" is a second)").arg(argument);
            return false;
        }
    }
    return checkCombination(seen, options, error);
}

QString profileText(const CountingState& state) {
    QString text;
    for (int i = 0; i < std::clamp(state.ProfileRows, 0, 6); ++i) {
        const ProfileRow& row = state.TriggerProfile[static_cast<size_t>(i)];
        text += QStringLiteral("%1:%2,").arg(row.BelowCycle).arg(row.Every);
    }
    return text + QString::number(state.TriggerProfile[6].Every);
}

QString triggerSourceName(TriggerOn source) {
    const QStringList names{"max", "min", "rising", "falling"};
    return names.value(static_cast<int32_t>(source), QStringLiteral("max"));
}
