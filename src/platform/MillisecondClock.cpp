#include "platform/MillisecondClock.h"

#include <chrono>

int32_t SystemClock::timeGetTime() const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count() *
                    m_rate;
    // Keep the low 32 bits: the count wraps like the system tick it stands for.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}
