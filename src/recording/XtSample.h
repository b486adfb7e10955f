#pragma once
// One voltage sample of the recorder: the millisecond clock when it arrived
// and the voltage. Eight bytes without padding, in the order of the data file.
#include <cstdint>

struct XtSample {
    int32_t Time = 0;   // MillisecondClock::timeGetTime() at arrival
    float Value = 0.0f; // volts
};
static_assert(sizeof(XtSample) == 8, "the data file stores samples as 8 packed bytes");
