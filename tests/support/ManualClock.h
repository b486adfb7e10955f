#pragma once
// A millisecond clock that shows what the test tells it.
#include "platform/MillisecondClock.h"

class ManualClock final : public MillisecondClock {
public:
    explicit ManualClock(int32_t start = 0) : m_now(start) {}
    int32_t timeGetTime() const override { return m_now; }
    void set(int32_t ms) { m_now = ms; }
    // Wrapping advance (no signed overflow).
    void advance(int32_t ms) {
        m_now = static_cast<int32_t>(static_cast<uint32_t>(m_now) + static_cast<uint32_t>(ms));
    }

private:
    int32_t m_now;
};
