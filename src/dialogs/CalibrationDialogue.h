#pragma once
// The two-point calibration started by "&Calibration..." of the A/D setup
// dialog: the user picks a channel, applies a voltage below 1 V and one above
// 3 V and types their true values; the gain and offset that follow are shown
// and, when accepted, stored in the facade. Every question goes through the
// Prompts seam. The stored values are exported with the A/D settings but
// correct no reading. A reading the converter does not answer is never a
// point: the step says so and asks again. The facade and the prompts must
// outlive it.
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

class AdcFacade;
class Prompts;
struct Calibration;

class CalibrationDialogue {
public:
    static const QString Title; // "A/D Calibration"

    CalibrationDialogue(AdcFacade& adc, Prompts& prompts, QLocale locale = QLocale());

    void ADC_calibrate();

private:
    struct Point {
        float typed = 0.0f;
        float measured = 0.0f;
    };
    // The channel from 0, or nothing when the user ended the dialogue.
    std::optional<int32_t> chooseChannel();
    // The typed and measured voltage of step 1 or 2; nothing when the answer was empty.
    std::optional<Point> measure(int step, int32_t channel);
    void offerToStore(const Calibration& calibration);

    AdcFacade& m_adc;
    Prompts& m_prompts;
    QLocale m_locale;
};
