#include "platform/ScaledClock.h"

int32_t ScaledClock::timeGetTime() const {
    const auto now = static_cast<uint32_t>(m_system.timeGetTime());
    return static_cast<int32_t>(now * static_cast<uint32_t>(m_factor));
}
