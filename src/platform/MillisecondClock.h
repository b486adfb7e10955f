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
class SystemClock final : public MillisecondClock {
public:
    int32_t timeGetTime() const override;
};

// A clock that shows what it is told; for tests and replays.
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
