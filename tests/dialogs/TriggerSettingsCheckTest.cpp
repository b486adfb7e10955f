#include "dialogs/TriggerSettingsCheck.h"

#include <QDebug>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

using namespace TriggerSettingsCheck;

void describe(QDebug out, const Failure& f) {
    const char* names[] = {"counter", "extrema", "threshold", "hysteresis", "delay"};
    out << "refused" << names[int(f.field)] << f.replacement;
}
void describe(QDebug out, const Settings& v) {
    out << v.Threshold << v.Hysteresis << v.TriggerDelayMs << v.ExtremaPerCycle;
}
void describe(QDebug out, const Counter& v) {
    out << v.CycleCount << v.ExtremaPerCycle;
}

// "threshold|hysteresis|delay|extrema" goes through OK, "counter|extrema"
// through Set; out come the values or "refused <box> <replacement>".
std::string check(const char* joined) {
    const QStringList p = QString::fromLatin1(joined).split(u'|');
    QString out;
    const auto show = [&out](const auto& result) {
        std::visit([&out](const auto& v) { describe(QDebug(&out).noquote(), v); }, result);
    };
    // Texts are counter, extrema, threshold, hysteresis, delay.
    if (p.size() == 2)
        show(checkSet({p[0], p[1], {}, {}, {}}));
    else
        show(checkOk({{}, p[3], p[0], p[1], p[2]}));
    return out.trimmed().toStdString(); // QDebug ends on a space
}

// OK checks threshold, hysteresis, delay, extrema; in the first cases every
// later box is invalid too, so a wrong order names the wrong box. No infinite
// volts reach counting. Letters read as 0, halves round to even, huge values
// stop at the limit, and under OK a comma ends the extrema ("2,5" is 2).
TEST(TriggerSettingsCheck, OkRefusesTheFirstInvalidBoxInOrderOrReadsTheValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"|-1|-1|0", "refused threshold 0"},    {"1e99|0|0|1", "refused threshold 0"},
        {"-1e99|0|0|1", "refused threshold 0"}, {"1|-0,1|-1|0", "refused hysteresis 0"},
        {"1||5|1", "refused hysteresis 0"},     {"1|1e99|5|1", "refused hysteresis 0"},
        {"1|0|-1|0", "refused delay 0"},        {"1|0||1", "refused delay 0"},
        {"0|0|1e99|1", "refused delay 0"},      {"1|0|0|0", "refused extrema 1"},
        {"1|0|0|", "refused extrema 1"},        {"1|0|0|0,9", "refused extrema 1"},
        {"volts|0,1|12.5|2,5", "0 0.1 12 2"},   {"-1,25|0|13.5|3.5", "-1.25 0 14 4"}};
    for (const auto& [texts, expected] : cases)
        EXPECT_EQ(check(texts), expected) << texts;
    EXPECT_EQ(check("0|0|1e20|1e99"), "0 0 2147483647 2147483647");
}

// Set checks the counter, then the extrema, where "2,5" is 2.5, so 2 again. A
// count keeps every digit, which a single would lose.
TEST(TriggerSettingsCheck, SetRefusesTheFirstInvalidBoxOrReadsTheCount) {
    const std::pair<const char*, const char*> cases[] = {
        {"-1|0", "refused counter 0"},    {"|1", "refused counter 0"},
        {"-1e99|1", "refused counter 0"}, {"5|0,4", "refused extrema 1"},
        {"5|", "refused extrema 1"},      {"1234|2,5", "1234 2"},
        {"16777217|3,5", "16777217 4"},   {"1e99|1e99", "2147483647 2147483647"}};
    for (const auto& [texts, expected] : cases)
        EXPECT_EQ(check(texts), expected) << texts;
}

} // namespace
