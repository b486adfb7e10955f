#pragma once
// One trigger mark of the recorder: the millisecond clock at the trigger and
// the counter value it was drawn with. Eight bytes without padding, in the
// order of the data file.
#include <cstdint>

struct TriggerMark {
    int32_t Time = 0;    // MillisecondClock::timeGetTime() at the trigger
    int32_t Counter = 0; // the cycle count shown in the mark's label
};
static_assert(sizeof(TriggerMark) == 8, "the data file stores marks as 8 packed bytes");
