#include "counting/WatchSettingsFile.h"

#include "common/CommandSplit.h"
#include "common/IniReaders.h"
#include "common/NumberText.h"
#include "platform/ProfileFile.h"

#include <cmath>
#include <limits>

namespace {
const QString Watch = QStringLiteral("Watch");
constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr double FloatMax = std::numeric_limits<float>::max();

// The whole value as a finite number (a decimal comma or point), or nothing:
// unlike the counting keys, a watch value with letters after it is refused.
std::optional<double> strictNumber(QString text) {
    text = text.trimmed().replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

class Reader {
public:
    Reader(const ProfileReader& file, QStringList& problems) : m_file(file), m_problems(problems) {}

    std::optional<QString> text(const char* key) const {
        const std::optional<QString> raw = m_file.rawValue(Watch, QLatin1String(key));
        if (!raw || raw->trimmed().isEmpty())
            return std::nullopt;
        return raw->left(255).trimmed();
    }
    void refuse(const char* key, const QString& value, const QString& why, const QString& kept) {
        m_problems << QStringLiteral("[Watch] %1=%2 is refused: %3; %4 is kept.")
                          .arg(QLatin1String(key), value, why, kept);
    }
    void flag(const char* key, bool& value) {
        const auto t = text(key);
        const auto n = t ? strictNumber(*t) : std::nullopt;
        if (t && n && (*n == 0 || *n == 1 || *n == -1))
            value = *n != 0;
        else if (t)
            refuse(key, *t, QStringLiteral("it takes 0 or 1"), value ? "1" : "0");
    }
    void whole(const char* key, int32_t min, int32_t max, int32_t& value) {
        const auto t = text(key);
        const auto n = t ? strictNumber(*t) : std::nullopt;
        if (t && n && *n == std::floor(*n) && *n >= min && *n <= max)
            value = static_cast<int32_t>(*n);
        else if (t)
            refuse(key, *t,
                   QStringLiteral("it takes a whole number from %1 to %2").arg(min).arg(max),
                   QString::number(value));
    }
    // A number above `above` (or at it when `orEqual`) and at most `max`.
    void number(const char* key, double above, bool orEqual, double max, double& value) {
        const auto t = text(key);
        const auto n = t ? strictNumber(*t) : std::nullopt;
        if (t && n && (*n > above || (orEqual && *n == above)) && *n <= max)
            value = *n;
        else if (t)
            refuse(key, *t,
                   QStringLiteral("it takes a number %1 %2 and at most %3")
                       .arg(orEqual ? "from" : "above")
                       .arg(above)
                       .arg(max),
                   QString::number(value));
    }

private:
    const ProfileReader& m_file;
    QStringList& m_problems;
};

WatchSettings loadSettings(Reader& r) {
    WatchSettings s;
    r.flag("Armed", s.armed);
    r.whole("SettlingCycles", 0, WatchSettings::MaxSettlingCycles, s.settlingCycles);
    r.whole("ReferenceCycles", 1, WatchSettings::MaxReferenceCycles, s.referenceCycles);
    r.flag("AmplitudeCheck", s.amplitudeCheck);
    r.number("AmplitudeDropPercent", 0, false, WatchSettings::MaxAmplitudeDropPercent,
             s.amplitudeDropPercent);
    r.flag("PeakCheck", s.peakCheck);
    r.flag("ValleyCheck", s.valleyCheck);
    r.number("BandPercent", 0, false, WatchSettings::MaxBandPercent, s.bandPercent);
    r.whole("ConfirmCycles", 1, WatchSettings::MaxConfirmCycles, s.confirmCycles);
    r.number("StallSeconds", 0, true, WatchSettings::MaxStallSeconds, s.stallSeconds);
    r.whole("LogPerDecade", 1, WatchSettings::MaxLogPerDecade, s.logPerDecade);
    r.whole("LogEveryNth", 0, Int32Max, s.logEveryNth);
    return s;
}

// All keys of the reference or none: a half-read reference would judge the
// specimen against a load it never had.
WatchReference loadReference(const ProfileReader& file, QStringList& problems) {
    QStringList ignored;
    Reader quiet(file, ignored);
    if (!quiet.text("ReferenceAmplitude"))
        return {};
    WatchReference ref;
    double peak = NAN, valley = NAN, amplitude = NAN, taken = NAN;
    int32_t from = -1, to = -1;
    quiet.number("ReferencePeak", -FloatMax, true, FloatMax, peak);
    quiet.number("ReferenceValley", -FloatMax, true, FloatMax, valley);
    quiet.number("ReferenceAmplitude", 0, false, FloatMax, amplitude);
    quiet.number("ReferenceTaken", -1e12, true, 1e12, taken);
    quiet.whole("ReferenceFrom", 0, Int32Max, from);
    quiet.whole("ReferenceTo", 0, Int32Max, to);
    if (!ignored.isEmpty() || std::isnan(peak) || std::isnan(valley) || std::isnan(taken) ||
        from < 0 || to < from) {
        problems << QStringLiteral("[Watch] the reference is refused (%1); a new one is taken.")
                        .arg(ignored.isEmpty() ? QStringLiteral("a key is missing, or "
                                                                "ReferenceFrom lies after "
                                                                "ReferenceTo")
                                               : ignored.join(u' '));
        return {};
    }
    return {true, float(peak), float(valley), float(amplitude), from, to, taken};
}

// A command that would not split the same way twice is refused now, not when
// the specimen fails.
QString loadCommand(Reader& reader, const char* key) {
    const QString command = reader.text(key).value_or(QString());
    const CommandSplit split = CommandSplit::split(command);
    if (split.error.isEmpty())
        return command;
    reader.refuse(key, command, split.error, QStringLiteral("no command"));
    return {};
}

WatchFailure loadFailure(const ProfileReader& file, QStringList& problems) {
    QStringList why;
    Reader quiet(file, why);
    const auto at = quiet.text("FailedAt");
    if (!at)
        return {};
    WatchFailure f;
    f.failed = true;
    f.cycle = f.confirmedCycle = -1;
    quiet.whole("FailedAt", 0, Int32Max, f.cycle);
    quiet.whole("FailedConfirmedAt", 0, Int32Max, f.confirmedCycle);
    quiet.number("FailedTime", -1e12, true, 1e12, f.seconds);
    const QString name = quiet.text("FailedCriterion").value_or(QString());
    f.criterion = criterionFromName(name.toLatin1().constData());
    if (f.criterion == WatchCriterion::None)
        why << QStringLiteral("FailedCriterion \"%1\" is not amplitude, peak or valley").arg(name);
    const QStringList values = quiet.text("FailedValues").value_or(QString()).split(u';');
    std::optional<double> v[3];
    for (qsizetype i = 0; i < values.size() && i < 3; ++i)
        v[i] = strictNumber(values[i]);
    if (values.size() != 3 || !v[0] || !v[1] || !v[2])
        why << QStringLiteral("FailedValues needs \"peak; valley; amplitude\"");
    if (f.cycle < 0 || f.confirmedCycle < f.cycle)
        why << QStringLiteral("FailedAt and FailedConfirmedAt need whole cycles, in order");
    if (!why.isEmpty()) {
        problems << QStringLiteral("[Watch] the failure is refused (%1).").arg(why.join(u' '));
        return {};
    }
    f.peak = float(*v[0]);
    f.valley = float(*v[1]);
    f.amplitude = float(*v[2]);
    return f;
}
} // namespace

WatchFileContents WatchSettingsFile::load(const ProfileReader& file, QStringList& problems) {
    Reader reader(file, problems);
    WatchFileContents c;
    c.settings = loadSettings(reader);
    c.reference = loadReference(file, problems);
    c.failure = loadFailure(file, problems);
    c.commands.onFailure = loadCommand(reader, "OnFailure");
    c.commands.onStall = loadCommand(reader, "OnStall");
    reader.whole("CommandTimeout", 1, WatchCommands::MaxTimeoutSeconds, c.commands.timeoutSeconds);
    reader.whole("FailureCommandRun", -1, Int32Max, c.marks.failureRun);
    reader.number("StallCommandRun", -1e12, true, 1e12, c.marks.stallRun);
    return c;
}

void WatchSettingsFile::write(ProfileFile& file, const WatchFileContents& c,
                              const QLocale& locale) {
    const auto put = [&file](const char* key, const QString& value) {
        file.writeString(Watch, QLatin1String(key), value);
    };
    const auto single = [&locale](float v) { return NumberText::shortestSingle(v, locale); };
    const auto number = [&locale](double v) {
        return NumberText::shortestSingle(static_cast<float>(v), locale);
    };
    const auto flag = [](bool on) { return QString::number(on ? 1 : 0); };
    const WatchSettings& s = c.settings;
    put("Armed", flag(s.armed));
    put("SettlingCycles", QString::number(s.settlingCycles));
    put("ReferenceCycles", QString::number(s.referenceCycles));
    put("AmplitudeCheck", flag(s.amplitudeCheck));
    put("AmplitudeDropPercent", number(s.amplitudeDropPercent));
    put("PeakCheck", flag(s.peakCheck));
    put("ValleyCheck", flag(s.valleyCheck));
    put("BandPercent", number(s.bandPercent));
    put("ConfirmCycles", QString::number(s.confirmCycles));
    put("StallSeconds", number(s.stallSeconds));
    put("LogPerDecade", QString::number(s.logPerDecade));
    put("LogEveryNth", QString::number(s.logEveryNth));
    const WatchReference& r = c.reference;
    put("ReferencePeak", r.taken ? single(r.peak) : QString());
    put("ReferenceValley", r.taken ? single(r.valley) : QString());
    put("ReferenceAmplitude", r.taken ? single(r.amplitude) : QString());
    put("ReferenceFrom", r.taken ? QString::number(r.fromCycle) : QString());
    put("ReferenceTo", r.taken ? QString::number(r.toCycle) : QString());
    put("ReferenceTaken", r.taken ? QString::number(r.takenSeconds, 'g', 17) : QString());
    const WatchFailure& f = c.failure;
    put("FailedAt", f.failed ? QString::number(f.cycle) : QString());
    put("FailedCriterion", f.failed ? QLatin1String(criterionName(f.criterion)) : QString());
    put("FailedValues", f.failed ? QStringLiteral("%1; %2; %3")
                                       .arg(single(f.peak), single(f.valley), single(f.amplitude))
                                 : QString());
    put("FailedConfirmedAt", f.failed ? QString::number(f.confirmedCycle) : QString());
    put("FailedTime", f.failed ? QString::number(f.seconds, 'g', 17) : QString());
    put("OnFailure", c.commands.onFailure);
    put("OnStall", c.commands.onStall);
    put("CommandTimeout", QString::number(c.commands.timeoutSeconds));
    put("FailureCommandRun",
        c.marks.failureRun >= 0 ? QString::number(c.marks.failureRun) : QString());
    put("StallCommandRun",
        c.marks.stallRun != 0 ? QString::number(c.marks.stallRun, 'g', 17) : QString());
}
