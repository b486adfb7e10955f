#include "common/Pause.h"

void Pause(int32_t milliseconds) {
    // Deliberately returns at once: a blocking wait here would stall the
    // counting tick, and callers that want a real delay schedule a timer.
    static_cast<void>(milliseconds);
}
