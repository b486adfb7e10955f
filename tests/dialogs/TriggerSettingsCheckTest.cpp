#include "dialogs/TriggerSettingsCheck.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

using namespace TriggerSettingsCheck;

// "threshold|hysteresis|delay|extrema" or "counter|extrema" in, the values or
// "refused <box> <replacement>" out, so a case fits on one line.
Texts textsOf(const char* joined) {
    const QStringList parts = QString::fromLatin1(joined).split(u'|');
    Texts texts;
    if (parts.size() == 2) {
        texts.counter = parts[0];
        texts.extremaPerCycle = parts[1];
        return texts;
    }
    texts.threshold = parts[0];
    texts.hysteresis = parts[1];
    texts.delay = parts[2];
    texts.extremaPerCycle = parts[3];
    return texts;
}

template <class Values> QString describe(const std::variant<Values, Failure>& result) {
    if (const auto* failure = std::get_if<Failure>(&result))
        return QStringLiteral("refused %1 %2").arg(int(failure->field)).arg(failure->replacement);
    const Values& v = std::get<Values>(result);
    if constexpr (std::is_same_v<Values, Settings>)
        return QStringLiteral("%1|%2|%3|%4")
            .arg(v.Threshold)
            .arg(v.Hysteresis)
            .arg(v.TriggerDelayMs)
            .arg(v.ExtremaPerCycle);
    else
        return QStringLiteral("%1|%2").arg(v.CycleCount).arg(v.ExtremaPerCycle);
}

// Absurd input beyond what the dialog tests type.
TEST(TriggerSettingsCheck, HugeAndNegativeNumbersAreRefusedOrStopAtTheLimit) {
    const std::pair<const char*, const char*> okCases[] = {
        {"-1e99|0|0|1", "refused 2 0"}, {"1e38|0|0|1", "1e+38|0|0|1"},
        {"0|0|1e99|1", "refused 4 0"},  {"0|0|0|1e99", "0|0|0|2147483647"},
        {"0|0|0|-3", "refused 1 1"},
    };
    for (const auto& [texts, expected] : okCases)
        EXPECT_EQ(describe(checkOk(textsOf(texts))), QString::fromLatin1(expected)) << texts;
    const std::pair<const char*, const char*> setCases[] = {
        {"2147483647|1", "2147483647|1"},
        {"1e99|1e99", "2147483647|2147483647"},
        {"-0,4|1", "0|1"},
        {"-1e99|1", "refused 0 0"},
    };
    for (const auto& [texts, expected] : setCases)
        EXPECT_EQ(describe(checkSet(textsOf(texts))), QString::fromLatin1(expected)) << texts;
}

} // namespace
