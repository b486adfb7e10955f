#pragma once
// The A/D setup dialog without its widgets: loading, the enabled states and
// contents of the settings and channel controls, the change/accept mode with
// its restart question, the settings that take effect at once through the
// facade, and the live readings of Timer1. Each event handler of the dialog
// has its operation here; the dialog shows controls() after each one. The
// facade and the prompts must outlive it.
#include "dialogs/ADSetupControls.h"

#include <QLocale>
#include <cstdint>
#include <vector>

class AdcFacade;
class Prompts;

class ADSetupLogic {
public:
    // Samples per reading are held to this many, so that one reading of
    // every channel stays well within a counting tick.
    static constexpr int32_t MaxAveraging = 1000;
    static const QString RunningMark; // " (running)"

    enum class Outcome { Stay, Restart };

    ADSetupLogic(AdcFacade& adc, Prompts& prompts, QLocale locale = QLocale());

    const ADSetupControls& controls() const { return m_c; }

    void Form_Load();
    void UpdateControls();
    void UpdateChannelNames();
    int32_t ADHasDiffInput();

    void Combo_Name_Click(int index);
    // A converter's address typed into "Device:": looked at at once (opened,
    // read once, closed), deviceStatus says what was found or why not.
    void Text_Device_Change(const QString& text);
    void Command_Change_Click();
    // Restart: the user agreed to end the program for the interface chosen,
    // which is stored as the interface to open next time.
    Outcome Command_Accept_Click();
    void Combo_Range_Click(int index);
    void Text_Averaging_Change(const QString& text);
    void Option_Input_mode_Click(int mode);
    void Option_Display_Click(int mode);
    void Check_More_Click(bool checked);
    void Combo_AugerADChannel_Click(int index);
    void Text_Label_Change(int row, const QString& text);
    void Label_CH_DblClick(int row);
    void Timer1_Timer();
    // Writes the A/D settings export of the interface in use.
    void Form_Unload();

    // The count that a text of Text_Averaging asks for: its leading number
    // rounded, 1 for no number or one below 1, MaxAveraging at most.
    static int32_t averagingCount(const QString& text);

private:
    void fillInterfaces();
    bool examineDevice();
    void fillRanges();
    void leaveChangeMode();
    void stopReadings();
    QString readingText(int32_t channel, const std::vector<float>& values);

    AdcFacade& m_adc;
    Prompts& m_prompts;
    QLocale m_locale;
    ADSetupControls m_c;
    int m_loadedIndex = 0; // Combo_Name's entry after loading, restored on a refused change
};
