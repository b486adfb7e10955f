#pragma once
// Wait routine of the trigger delay. It returns at once: it neither waits nor
// processes events. Real delays are scheduled by the caller with a timer.
#include <cstdint>

void Pause(int32_t milliseconds);
