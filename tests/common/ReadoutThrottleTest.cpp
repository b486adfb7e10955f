// The pacing of the readouts that change at every counting tick.
#include "common/ReadoutThrottle.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

// Changes at the counting tick's 40 ms: the first is shown at once, then
// every third, each time with the newest value.
TEST(ReadoutThrottle, ShowsTheNewestValueOncePerIntervalFromTheChangesThemselves) {
    int64_t now = 1000;
    int value = 0;
    std::vector<int> shown;
    ReadoutThrottle throttle([&] { shown.push_back(value); }, 100, [&] { return now; });
    for (value = 0; value <= 6; ++value, now += 40)
        throttle.changed();
    EXPECT_EQ(shown, (std::vector<int>{0, 3, 6}));
}

// When the changes stop, what waits is still shown, by the timer.
TEST(ReadoutThrottle, AChangeThatWaitsIsShownWhenNoneFollows) {
    int64_t now = 0;
    int shown = 0;
    ReadoutThrottle throttle([&] { ++shown; }, 1, [&] { return now; });
    throttle.changed();
    throttle.changed();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 2; }));
}

} // namespace
