#include "dialogs/WatchSettingsCheck.h"

#include "common/CommandSplit.h"
#include "common/NumberText.h"
#include "common/ParseNumber.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace WatchSettingsCheck {
namespace {

constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();

// The whole text as one finite number with a decimal comma or point, or
// nothing: "12abc", "1,5,6" and "nan" are no numbers.
std::optional<double> readNumber(const QString& text) {
    QString copy = text.trimmed();
    const qsizetype comma = copy.indexOf(u',');
    if (comma >= 0)
        copy[comma] = u'.';
    qsizetype end = 0;
    const double value = parseLeadingNumber(copy, end);
    if (end == 0 || end != copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

class Reader {
public:
    explicit Reader(const QLocale& locale) : m_locale(locale) {}

    void whole(Field field, const char* name, const QString& text, int32_t min, int32_t max,
               int32_t& value) {
        const std::optional<double> n = readNumber(text);
        if (n && *n == std::floor(*n) && *n >= min && *n <= max)
            value = static_cast<int32_t>(*n);
        else
            refuse(field, name, text,
                   QStringLiteral("a whole number from %1 to %2").arg(min).arg(max));
    }
    // A number above 0 (or at 0 when `zero`) and at most `max`.
    void number(Field field, const char* name, const QString& text, bool zero, double max,
                double& value) {
        const std::optional<double> n = readNumber(text);
        if (n && (*n > 0 || (zero && *n == 0)) && *n <= max)
            value = *n + 0.0; // "-0" is 0
        else
            refuse(field, name, text,
                   (zero ? QStringLiteral("a number from 0 to %1")
                         : QStringLiteral("a number above 0 and at most %1"))
                       .arg(NumberText::shortestSingle(static_cast<float>(max), m_locale)));
    }
    // A line break would end the command early, a tab or other control
    // character is not what the user sees in the box.
    void command(Field field, const char* name, const QString& text, QString& value) {
        const QString trimmed = text.trimmed();
        if (trimmed.size() > WatchCommands::MaxCommandLength)
            add(field, QStringLiteral("%1: the command has %2 characters; the settings file "
                                      "keeps at most %3.")
                           .arg(QLatin1String(name))
                           .arg(trimmed.size())
                           .arg(WatchCommands::MaxCommandLength));
        else if (std::any_of(trimmed.begin(), trimmed.end(),
                             [](QChar c) { return c.category() == QChar::Other_Control; }))
            add(field, QStringLiteral("%1: the command holds a line break or another control "
                                      "character.")
                           .arg(QLatin1String(name)));
        else if (const QString why = CommandSplit::split(trimmed).error; !why.isEmpty())
            add(field, QStringLiteral("%1: %2.").arg(QLatin1String(name), why));
        else
            value = trimmed;
    }
    const QList<Problem>& problems() const { return m_problems; }

private:
    void refuse(Field field, const char* name, const QString& text, const QString& takes) {
        if (text.trimmed().isEmpty())
            add(field, QStringLiteral("%1 is empty; it takes %2.").arg(QLatin1String(name), takes));
        else
            add(field, QStringLiteral("%1: \"%2\" is not %3.")
                           .arg(QLatin1String(name), text.trimmed(), takes));
    }
    void add(Field field, const QString& message) { m_problems.append({field, message}); }

    const QLocale& m_locale;
    QList<Problem> m_problems;
};

} // namespace

std::variant<Checked, QList<Problem>> check(const Texts& t, const QLocale& locale) {
    Reader r(locale);
    Checked c;
    WatchSettings& s = c.settings;
    s.armed = t.armed;
    s.amplitudeCheck = t.amplitudeCheck;
    s.peakCheck = t.peakCheck;
    s.valleyCheck = t.valleyCheck;
    r.whole(Field::Settling, "Settling cycles (S)", t.settling, 0, WatchSettings::MaxSettlingCycles,
            s.settlingCycles);
    r.whole(Field::Reference, "Reference cycles (R)", t.reference, 1,
            WatchSettings::MaxReferenceCycles, s.referenceCycles);
    r.number(Field::AmplitudeDrop, "Amplitude drop (X)", t.amplitudeDrop, false,
             WatchSettings::MaxAmplitudeDropPercent, s.amplitudeDropPercent);
    r.number(Field::Band, "Band (Y)", t.band, false, WatchSettings::MaxBandPercent, s.bandPercent);
    r.whole(Field::Confirm, "Confirming cycles (M)", t.confirm, 1, WatchSettings::MaxConfirmCycles,
            s.confirmCycles);
    r.number(Field::Stall, "Stall time (T)", t.stall, true, WatchSettings::MaxStallSeconds,
             s.stallSeconds);
    r.whole(Field::LogPerDecade, "Cycle log, cycles per decade", t.logPerDecade, 1,
            WatchSettings::MaxLogPerDecade, s.logPerDecade);
    r.whole(Field::LogEveryNth, "Cycle log, every N-th cycle", t.logEveryNth, 0, Int32Max,
            s.logEveryNth);
    r.command(Field::OnFailure, "On failure", t.onFailure, c.commands.onFailure);
    r.command(Field::OnStall, "On stall", t.onStall, c.commands.onStall);
    r.whole(Field::Timeout, "Command time limit", t.timeout, 1, WatchCommands::MaxTimeoutSeconds,
            c.commands.timeoutSeconds);
    if (!r.problems().isEmpty())
        return r.problems();
    return c;
}

} // namespace WatchSettingsCheck
