#include "adc/TwoPointCalibration.h"

#include <cmath>

std::optional<Calibration> TwoPointCalibration::fromPoints(float x1, float m1, float x2, float m2) {
    // Each step is rounded to single, as the values are stored and exported.
    const float measured = m2 - m1;
    const float typed = x2 - x1;
    // Written as "not at least", so that a reading that is not a number fails too.
    if (!(std::fabs(measured) >= MinimumStep) || !(std::fabs(typed) >= MinimumStep))
        return std::nullopt;
    Calibration calibration;
    calibration.Gain = typed / measured;
    const float scaled = m1 * calibration.Gain;
    calibration.Offset = x1 - scaled;
    const float size = std::fabs(calibration.Gain);
    if (!std::isfinite(calibration.Gain) || !std::isfinite(calibration.Offset) ||
        size < SmallestGain || size > LargestGain)
        return std::nullopt;
    return calibration;
}
