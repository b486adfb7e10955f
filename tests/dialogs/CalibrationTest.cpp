// The two-point calibration through scripted input and message boxes: the
// questions as the user reads them, the worked examples, the refusals, and
// what reaches the facade. The converter hands out the readings in turn:
// step 1's proposal and measurement, then step 2's.
#include "SetupRig.h"
#include "dialogs/CalibrationDialogue.h"
#include "support/OnlyPrompt.h"

#include <gtest/gtest.h>

namespace {

class Calibrating : public testing::Test {
protected:
    SetupRig rig;
    // A calibration that a refused or cancelled run must leave alone.
    const Calibration before{0.25f, 2.0f};

    void run(int channels, const QStringList& answers, std::deque<float> readings = {}) {
        rig.prompts.shown.clear();
        rig.openSet(channels).queued = std::move(readings);
        rig.adc.setCalibration(before);
        rig.prompts.inputs = answers;
        CalibrationDialogue(rig.adc, rig.prompts).ADC_calibrate();
    }
    // "title [default]" of each input box and "title: text" of each message.
    QStringList asked() const {
        QStringList lines;
        for (const ScriptedPrompts::Shown& shown : rig.prompts.shown)
            lines << (shown.isInput ? shown.title + " [" + shown.defaultText + ']'
                                    : shown.title + ": " + shown.text);
        return lines;
    }
};

const std::deque<float> LowThenHigh{0.10f, 0.10f, 4.10f, 4.10f};

QString summary(const char* offset, const char* gain) {
    return QStringLiteral("A/D Calibration: Current calibration values:\n\nOffset = %1 V\nGain = "
                          "%2\n\nAccept values?")
        .arg(QLatin1String(offset), QLatin1String(gain));
}

// Two points give the gain and offset, stored when the user accepts them; a
// comma counts as a decimal point; an empty step proposes the neutral values.
// No channel offers the defaults back, and only Yes takes them. Points too
// close to tell a gain, and gains no converter has (typing slips, numbers
// beyond any voltage), are refused and change nothing.
// The questions of a run on 8 channels: a channel outside 1..8 asks again
// with nothing proposed, then each step names the channel and proposes the
// present reading. A one-channel converter has no channel to choose.
TEST_F(Calibrating, AsksForTheChannelAndTwoPointsThenGivesGainAndOffsetOrRefuses) {
    const QString reset = QStringLiteral("A/D Calibration: Reset to Default values?");
    const QString refused = QStringLiteral("Cyclomarkator: Calibration Error");
    using enum PromptAnswer;
    const std::pair<float, float> unchanged{0.25f, 2.0f};
    // The answers typed, the readings, the answer to the last question, that
    // question or message, and the offset and gain stored.
    const std::tuple<QStringList, std::deque<float>, PromptAnswer, QString, std::pair<float, float>>
        cases[] = {
            {{"1", "0", "4"}, LowThenHigh, Ok, summary("-0.1", "1"), {-0.1f, 1.0f}},
            {{"1", "0,5", "4,5"}, {0.5f, 0.5f, 4.5f, 4.5f}, Ok, summary("0.", "1"), {0.0f, 1.0f}},
            {{"8", "-1", "1"}, {0.3f, 0.5f, 0.0f, 0.0f}, Ok, summary("1.", "-4"), {1.0f, -4.0f}},
            {{"1", ""}, {1.0f}, Ok, summary("0.", "1"), {0.0f, 1.0f}},
            {{"1", "0", "4"}, LowThenHigh, Cancel, summary("-0.1", "1"), unchanged},
            {{""}, {}, Yes, reset, {0.0f, 1.0f}},
            {{""}, {}, No, reset, unchanged},
            {{"1", "0", "4"}, {1.0f, 1.0f, 1.0f, 1.0f}, Ok, refused, unchanged},
            {{"1", "2", "2,005"}, LowThenHigh, Ok, refused, unchanged},
            {{"1", "0", "1e30"}, {0.1f, 0.1f, 0.2f, 0.2f}, Ok, refused, unchanged},
            {{"1", "0", "0,01"}, {0.0f, 0.0f, 1e5f, 1e5f}, Ok, refused, unchanged},
            {{"1", "0", "0,01"}, {0.0f, 0.0f, 1e4f, 1e4f}, Ok, summary("0.", "1E-06"), {0, 1e-6f}}};
    for (const auto& [answers, readings, accept, last, taken] : cases) {
        SCOPED_TRACE(answers.join(u'|').toStdString());
        rig.prompts.answers = {accept};
        run(8, answers, readings);
        ASSERT_FALSE(rig.prompts.shown.isEmpty());
        EXPECT_EQ(asked().last(), last);
        EXPECT_EQ(std::pair(rig.adc.calibration().Offset, rig.adc.calibration().Gain), taken);
    }
    run(8, {"0", "9", "x", "2.5", "0", "4"}, LowThenHigh);
    EXPECT_EQ(asked().mid(0, 6),
              QStringList({"A/D Calibration [1]", "A/D Calibration []", "A/D Calibration []",
                           "A/D Calibration []", "A/D Calibration: Step 1 [0.1]",
                           "A/D Calibration: Step 2 [4.1]"}));
    EXPECT_EQ(rig.prompts.shown[0].text, QStringLiteral("Select channel number (1...8):"));
    EXPECT_EQ(rig.prompts.shown[4].text,
              QStringLiteral("* Connect a voltage less than 1 V to A/D channel CH3\n\n* Input the "
                             "correct value (V) of the supplied voltage\n\n* Press OK"));
    EXPECT_TRUE(rig.prompts.shown[5].text.startsWith(
        QStringLiteral("* Connect a voltage higher than 3 V to A/D channel CH3\n")));
    run(1, {"0", "4"}, LowThenHigh);
    EXPECT_EQ(asked().first(), QStringLiteral("A/D Calibration: Step 1 [0.1]"));
}

// A converter that does not answer gives no point: the step proposes nothing
// and says why, and a reading that fails once the box has closed is asked
// again instead of becoming 0 V.
TEST_F(Calibrating, AFailedReadingIsNeverAPoint) {
    // The readings, the answers and what the steps showed ("[proposal]", "no answer").
    const std::tuple<std::deque<float>, QStringList, const char*> cases[] = {
        {{NAN, 0.1f, 4.1f, 4.1f}, {"1", "0", "4"}, "[] no answer|[4.1]"},
        {{0.1f, NAN, 0.1f, 0.1f, 4.1f, 4.1f}, {"1", "0", "0", "4"}, "[0.1]|no answer|[0.1]|[4.1]"},
        {{0.1f, 0.1f, 4.1f, NAN, 4.1f, 4.1f}, {"1", "0", "4", "4"}, "[0.1]|[4.1]|no answer|[4.1]"}};
    for (const auto& [readings, answers, steps] : cases) {
        SCOPED_TRACE(steps);
        run(8, answers, readings);
        QStringList shown;
        for (const ScriptedPrompts::Shown& box : rig.prompts.shown)
            if (box.title.contains("Step"))
                shown << (!box.isInput ? QStringLiteral("no answer")
                                       : '[' + box.defaultText + ']' +
                                             (box.text.contains("not answer") ? " no answer" : ""));
        EXPECT_EQ(shown.join(u'|'), steps);
        EXPECT_EQ(std::pair(rig.adc.calibration().Offset, rig.adc.calibration().Gain),
                  std::pair(-0.1f, 1.0f));
    }
}

} // namespace
