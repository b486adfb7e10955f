#pragma once
// For testing and measuring only: the system clock running a whole number of
// times as fast, so that the simulated converter's slow sine (one period in
// about 20 s) turns into many counted extrema a minute. The counting tick is
// not changed. Wraps like the clock it stands for.
#include "platform/MillisecondClock.h"

class ScaledClock final : public MillisecondClock {
public:
    explicit ScaledClock(int factor) : m_factor(factor) {}
    int32_t timeGetTime() const override;

private:
    SystemClock m_system;
    int m_factor;
};
