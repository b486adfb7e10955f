#include "dialogs/CalibrationDialogue.h"

#include "adc/AdcFacade.h"
#include "adc/TwoPointCalibration.h"
#include "common/ParseNumber.h"
#include "dialogs/ReadingText.h"
#include "platform/Prompts.h"

#include <cmath>

namespace {
const QString ApplicationTitle = QStringLiteral("Cyclomarkator");

QString stepPrompt(int step, int32_t channel) {
    const QString voltage =
        step == 1 ? QStringLiteral("less than 1 V") : QStringLiteral("higher than 3 V");
    return QStringLiteral("* Connect a voltage %1 to A/D channel CH%2\n\n"
                          "* Input the correct value (V) of the supplied voltage\n\n"
                          "* Press OK")
        .arg(voltage)
        .arg(channel + 1);
}
} // namespace

const QString CalibrationDialogue::Title = QStringLiteral("A/D Calibration");

CalibrationDialogue::CalibrationDialogue(AdcFacade& adc, Prompts& prompts, QLocale locale)
    : m_adc(adc), m_prompts(prompts), m_locale(std::move(locale)) {}

void CalibrationDialogue::ADC_calibrate() {
    const std::optional<int32_t> channel = chooseChannel();
    if (!channel)
        return;
    // An empty answer in either step proposes the neutral values.
    Calibration calibration;
    const std::optional<Point> low = measure(1, *channel);
    const std::optional<Point> high = low ? measure(2, *channel) : std::nullopt;
    if (low && high) {
        const auto computed =
            TwoPointCalibration::fromPoints(low->typed, low->measured, high->typed, high->measured);
        if (!computed) {
            m_prompts.messageBox(QStringLiteral("Calibration Error"), ApplicationTitle,
                                 PromptIcon::None, PromptButtons::Ok);
            return;
        }
        calibration = *computed;
    }
    offerToStore(calibration);
}

std::optional<int32_t> CalibrationDialogue::chooseChannel() {
    const int32_t channels = m_adc.ADC_channels();
    if (channels < 2)
        return 0;
    const QString prompt = QStringLiteral("Select channel number (1...%1):").arg(channels);
    QString defaultText = QStringLiteral("1");
    // Each pass waits for the user, who ends the loop with an empty answer.
    for (;;) {
        QString answer = m_prompts.inputBox(prompt, Title, defaultText);
        if (answer.isEmpty()) {
            const PromptAnswer reset =
                m_prompts.messageBox(QStringLiteral("Reset to Default values?"), Title,
                                     PromptIcon::Question, PromptButtons::YesNo);
            if (reset == PromptAnswer::Yes)
                m_adc.setCalibration(Calibration{});
            return std::nullopt;
        }
        const double value = parseLeadingNumber(answer);
        if (value >= 1.0 && value <= channels)
            return static_cast<int32_t>(std::nearbyint(value - 1.0));
        defaultText.clear();
    }
}

// A failed reading is never a point: the step proposes no value when the
// converter does not answer, and asks again when the reading taken after the
// box fails, until the user answers with an empty box.
std::optional<CalibrationDialogue::Point> CalibrationDialogue::measure(int step, int32_t channel) {
    const QString title = Title + QStringLiteral(": Step ") + QString::number(step);
    for (;;) {
        const float present = m_adc.ADC_get_voltage(channel);
        QString prompt = stepPrompt(step, channel);
        if (!std::isfinite(present))
            prompt += QStringLiteral("\n\n(The converter does not answer: no reading to propose.)");
        QString answer = m_prompts.inputBox(
            prompt, title,
            std::isfinite(present) ? ReadingText::number(present, m_locale) : QString());
        if (answer.isEmpty())
            return std::nullopt;
        Point point;
        point.typed = ParseNumber(answer);
        // The reading the user applied the voltage for, taken once the box has closed.
        point.measured = m_adc.ADC_get_voltage(channel);
        if (!std::isfinite(point.measured)) {
            m_prompts.messageBox(
                QStringLiteral("The converter did not answer on A/D channel CH%1: there is no "
                               "reading for this step. Check the converter and enter the "
                               "voltage again, or leave the box empty to stop.")
                    .arg(channel + 1),
                title, PromptIcon::Exclamation, PromptButtons::Ok);
            continue;
        }
        if (step == 1) {
            // The first reading keeps only the digits its text shows.
            QString shown = ReadingText::number(point.measured, m_locale);
            point.measured = ParseNumber(shown);
        }
        return point;
    }
}

void CalibrationDialogue::offerToStore(const Calibration& calibration) {
    const QString summary =
        QStringLiteral("Current calibration values:\n\nOffset = %1 V\nGain = %2\n\nAccept values?")
            .arg(ReadingText::fourDecimals(calibration.Offset, m_locale),
                 ReadingText::number(calibration.Gain, m_locale));
    const PromptAnswer answer =
        m_prompts.messageBox(summary, Title, PromptIcon::Exclamation, PromptButtons::OkCancel);
    if (answer == PromptAnswer::Ok)
        m_adc.setCalibration(calibration);
}
