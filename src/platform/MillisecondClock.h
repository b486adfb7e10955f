#pragma once
// The program's millisecond clock (timeGetTime): a monotonic count of
// milliseconds read as a wrapping 32-bit signed number. Injectable so that
// tests and the offline counter drive time themselves.
#include <cstdint>

class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    virtual int32_t timeGetTime() const = 0;
};

// Monotonic system clock, wrapping after about 49.7 days like the original.
// A rate above 1 makes it run that many times faster (for tests of the whole
// program, so that the simulated device's signal comes round quickly).
class SystemClock final : public MillisecondClock {
public:
    explicit SystemClock(int rate = 1) : m_rate(rate) {}
    int32_t timeGetTime() const override;

private:
    int m_rate;
};
