#include "CountOptions.h"

#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <QLocale>
#include <cmath>
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
    } else if (flag == u"--column") {
        ok = toInt(value, 1, 10000, o.reader.column);
    } else if (flag == u"--delimiter") {
        const QString d = value == u"tab" ? QStringLiteral("\t") : value;
        ok = d.size() == 1 && d[0].unicode() < 128 && d[0] != u'.' && !d[0].isDigit();
        o.reader.delimiter = ok ? static_cast<char>(d[0].unicode()) : ',';
    } else if (flag == u"--interval-ms") {
        ok = toInt(value, 1, 86400000, o.intervalMs);
    } else {
        error = QStringLiteral("Unknown option %1 (see --help)").arg(flag);
        return false;
    }
    if (!ok)
        error = QStringLiteral("Invalid value \"%1\" for %2 (see --help)").arg(value, flag);
    return ok;
}
} // namespace

bool parseCountOptions(const QStringList& arguments, CountOptions& options, QString& error) {
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
        } else if (argument == u"--settings") {
            ++i;
        } else if (argument.startsWith(u"--")) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value (see --help)").arg(argument);
                return false;
            }
            if (!applyFlag(argument, arguments[i + 1], options, error))
                return false;
            ++i;
        } else if (options.inputPath.isEmpty()) {
            options.inputPath = argument;
        } else {
            error =
                QStringLiteral("Only one input file, please (\"%1\" is a second)").arg(argument);
            return false;
        }
    }
    return true;
}

QString countUsage() {
    return QStringLiteral(
        "Usage: cyclomarkator-count [options] [FILE|-]\n"
        "Counts stress cycles and triggers in a recorded signal with the program's own engine.\n"
        "Input: one value per line (a decimal comma is fine), or with --column a CSV column\n"
        "(header lines before the first number are skipped). Standard input without FILE.\n\n"
        "  --settings FILE          counting and trigger settings from a settings file\n"
        "  --mode max|min           count maxima or minima\n"
        "  --extrema-per-cycle N    counted extrema per stress cycle\n"
        "  --threshold V            volts an extremum must reach to count\n"
        "  --hysteresis V           volts the signal must move back to confirm an extreme\n"
        "  --trigger-source max|min|rising|falling\n"
        "  --triggers on|off\n"
        "  --profile ROWS           e.g. 10:2,20:5,200 (below 10 every 2nd, below 20 every\n"
        "                           5th, then every 200th cycle)\n"
        "  --extra-events 0..2      additional triggers right after a due one\n"
        "  --delay-ms N             trigger delay\n"
        "  --start-count N          cycle count to start from\n"
        "  --column N               CSV column (from 1)\n"
        "  --delimiter C            CSV separator: , ; or tab (default ,)\n"
        "  --interval-ms N          time between samples (default 40)\n"
        "  --json                   JSON lines instead of text\n");
}
