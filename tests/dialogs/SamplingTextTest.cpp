// The setup dialog's line on how the converter is sampled, in the user's locale.
#include "dialogs/ReadingText.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(SamplingText, SaysTheRateAndWhatWasMeasured) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const std::tuple<double, double, int64_t, QLocale, const char*> rows[] = {
        {0.0, 0.0, 0, QLocale::c(), "One sample a tick (25/s); no cycles measured yet"},
        {0.0, 0.5, 50, QLocale::c(),
         "One sample a tick (25/s); 0.5 cycles/s measured, 50 samples a cycle"},
        {20000.0, 300.04, 67, german,
         "Stream: 20000 scans/s; 300,0 cycles/s measured, 67 samples a cycle"},
        {2.5, 0.0, 0, german, "Stream: 2,5 scans/s; no cycles measured yet"},
    };
    for (const auto& [rate, perSecond, samples, locale, text] : rows)
        EXPECT_EQ(ReadingText::sampling(rate, perSecond, samples, locale), QString(text));
}

} // namespace
