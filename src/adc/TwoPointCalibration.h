#pragma once
// The arithmetic of the two-point calibration: from two true voltages (typed by
// the user) and the two readings the converter gave for them, the gain and
// offset with true volts = reading * Gain + Offset, in single precision. Pure
// arithmetic; the prompts that collect the points live with the setup dialog.
#include "adc/AdcFacade.h"

#include <optional>

namespace TwoPointCalibration {

// Points closer than this (typed or measured, in volts) say nothing about the gain.
constexpr float MinimumStep = 0.01f;
// A gain of a size outside this range comes from a typing slip or a dead
// input, never from a converter that is merely off.
constexpr float SmallestGain = 1e-6f;
constexpr float LargestGain = 1e6f;

// x: the true voltages, m: the readings. Nothing when the points lie closer
// than MinimumStep, or when the gain or the offset would not be finite or the
// gain's size lies outside SmallestGain..LargestGain (for example readings
// 0.01 V apart against typed values 1e30 apart).
std::optional<Calibration> fromPoints(float x1, float m1, float x2, float m2);

} // namespace TwoPointCalibration
