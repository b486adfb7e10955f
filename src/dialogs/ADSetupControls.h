#pragma once
// What the A/D setup dialog shows, as plain data: the texts, lists, choices
// and enabled states of its controls. ADSetupLogic decides them and
// Form_ADSetup only puts them on screen, so every decision of the dialog can
// be checked without widgets. A frame that is disabled disables all it holds.
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

struct ADSetupControls {
    static constexpr int Rows = 8; // channel rows: captions, names, readings

    // The display modes, as the indices of Option_Display.
    enum Display { Millivolts = 0, Hex = 1, Lsb = 2, Decimal = 3 };

    QString caption;

    // Frame1 "Interface".
    QStringList interfaceNames;      // Combo_Name
    QList<int32_t> interfaceNumbers; // its item data
    int interfaceIndex = 0;
    QString interfaceToolTip;
    bool interfaceEnabled = false; // Combo_Name: only in change mode
    bool pictureShown = false;     // Picture_AD shows Image_AD
    QString status;                // Label_Status
    // Text_Device: the address of a converter (interfaces 23..25), shown for
    // those only, typed in change mode; deviceStatus says what it finds.
    bool deviceShown = false;
    QString device;
    QString deviceStatus;
    bool changeEnabled = true;  // Command_Change; disabled means change mode
    bool acceptEnabled = false; // Command_Accept, the default button while enabled
    bool okEnabled = true;      // Command_OK ("Close"), the default button otherwise
    bool calibrationEnabled = false;

    // Frame_Settings: the frame, then what is held back inside it.
    bool settingsEnabled = false;
    QStringList ranges;
    int rangeIndex = -1;
    bool rangeEnabled = false; // Combo_Range: two ranges or more
    QString averaging = QStringLiteral("1");
    int inputMode = 0;
    bool differentialEnabled = false;

    bool moreEnabled = false; // Check_More
    bool moreChecked = false;
    int displayMode = Millivolts;
    bool calibratedEnabled = true; // Check_Calibration

    bool channelsEnabled = false; // Frame_NameOfChannel with its Label_CH
    std::array<QString, Rows> channelCaptions;
    std::array<QString, Rows> channelNames;
    std::array<bool, Rows> channelNameEnabled{};
    bool readingsEnabled = false; // Frame_Reading with its Label_Voltage
    std::array<QString, Rows> readings;
    bool timerOn = false; // Timer1

    QStringList augerChannels; // Combo_AugerADChannel, always disabled
    int augerIndex = -1;
};
