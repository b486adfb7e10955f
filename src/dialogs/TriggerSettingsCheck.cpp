#include "dialogs/TriggerSettingsCheck.h"

#include "common/IniReaders.h"
#include "common/ParseNumber.h"

#include <cmath>

namespace TriggerSettingsCheck {
namespace {

const QString Zero = QStringLiteral("0");
const QString One = QStringLiteral("1");

// ParseNumber on a copy: it rewrites the first comma of the text it is given,
// and the box must keep what the user typed.
float readSingle(const QString& text) {
    QString copy = text;
    return ParseNumber(copy);
}

// The same reading as ParseNumber, kept in double precision for counts.
double readWhole(const QString& text) {
    QString copy = text;
    const qsizetype comma = copy.indexOf(u',');
    if (comma >= 0)
        copy[comma] = u'.';
    return parseLeadingNumber(copy);
}

// A non-negative finite volt or millisecond value, else no value.
bool readNonNegative(const QString& text, float& value) {
    if (text.isEmpty())
        return false;
    value = readSingle(text);
    return std::isfinite(value) && value >= 0.0f;
}

} // namespace

std::variant<Settings, Failure> checkOk(const Texts& texts) {
    Settings settings;
    if (texts.threshold.isEmpty())
        return Failure{Field::Threshold, Zero};
    settings.Threshold = readSingle(texts.threshold);
    if (!std::isfinite(settings.Threshold))
        return Failure{Field::Threshold, Zero};
    if (!readNonNegative(texts.hysteresis, settings.Hysteresis))
        return Failure{Field::Hysteresis, Zero};
    float delay = 0.0f;
    if (!readNonNegative(texts.delay, delay))
        return Failure{Field::Delay, Zero};
    settings.TriggerDelayMs = roundHalfEvenToInt32(delay);
    if (texts.extremaPerCycle.isEmpty())
        return Failure{Field::ExtremaPerCycle, One};
    settings.ExtremaPerCycle = roundHalfEvenToInt32(parseLeadingNumber(texts.extremaPerCycle));
    if (settings.ExtremaPerCycle < 1)
        return Failure{Field::ExtremaPerCycle, One};
    return settings;
}

std::variant<Counter, Failure> checkSet(const Texts& texts) {
    Counter counter;
    if (texts.counter.isEmpty())
        return Failure{Field::Counter, Zero};
    counter.CycleCount = roundHalfEvenToInt32(readWhole(texts.counter));
    if (counter.CycleCount < 0)
        return Failure{Field::Counter, Zero};
    if (texts.extremaPerCycle.isEmpty())
        return Failure{Field::ExtremaPerCycle, One};
    counter.ExtremaPerCycle = roundHalfEvenToInt32(readWhole(texts.extremaPerCycle));
    if (counter.ExtremaPerCycle < 1)
        return Failure{Field::ExtremaPerCycle, One};
    return counter;
}

} // namespace TriggerSettingsCheck
