#pragma once
// The modal dialog "A/D Converter" behind "&Setup...": the interface to use (a
// new one takes effect after a restart), range, input mode and samples per
// reading (at once, through the facade), channel names, the calibration, and
// live readings of eight channels in four display modes. ADSetupLogic decides,
// the dialog shows. However it closes, it writes the A/D settings export.
// exec() returns Restart when the user agreed to end the program for another
// interface. The facade and the prompts must outlive it.
#include "dialogs/ADSetupLogic.h"

#include <QDialog>
#include <QPixmap>
#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class Form_ADSetup final : public QDialog {
    Q_OBJECT
public:
    static constexpr int Restart = 2;

    Form_ADSetup(AdcFacade& adc, Prompts& prompts, QWidget* parent = nullptr);

    int32_t ADHasDiffInput();
    void UpdateChannelNames();
    // How the converter is sampled and the cycles per second measured before
    // the dialog opened (ReadingText::sampling).
    void showSampling(const QString& text);
    // Every way of closing passes here: the export is written once, on the way out.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    QGroupBox* buildInterfaceFrame();
    QGroupBox* buildSettingsFrame();
    QGroupBox* buildAugerFrame();
    QGroupBox* buildChannelFrame();
    QGroupBox* buildReadingFrame();
    QLayout* buildDisplayChoice();
    QLayout* buildButtons();
    void connectControls();
    void setVisualTabOrder();

    void showControls();
    void showChannels();
    void showReadings();

    void Command_Change_Click();
    void Command_Accept_Click();
    void Command_Calibration_Click();
    void Timer1_Timer();

    AdcFacade& m_adc;
    Prompts& m_prompts;
    ADSetupLogic m_logic;
    bool m_unloaded = false;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo_Name = nullptr;
    QLabel* Label_DLLName = nullptr;
    QLabel* Label_Status = nullptr;
    QLabel* Label_Device = nullptr;
    QLineEdit* Text_Device = nullptr;
    QLabel* Label_DeviceStatus = nullptr;
    QLabel* Label_Sampling = nullptr;
    QPushButton* Command_Change = nullptr;
    QPushButton* Command_Accept = nullptr;
    QLabel* Picture_AD = nullptr;
    QPixmap Image_AD;

    QGroupBox* Frame_Settings = nullptr;
    QLabel* Label_Range = nullptr;
    QComboBox* Combo_Range = nullptr;
    QLabel* Label_SamplesPerReading = nullptr;
    QLineEdit* Text_Averaging = nullptr;
    QLabel* Label_InputMode = nullptr;
    std::array<QRadioButton*, 2> Option_Input_mode{};
    QButtonGroup* m_inputMode = nullptr;

    QGroupBox* Frame_Auger = nullptr;
    QCheckBox* Check_DetectorSignal = nullptr;
    QLabel* Label_AugerADChannel = nullptr;
    QComboBox* Combo_AugerADChannel = nullptr;

    QCheckBox* Check_More = nullptr;
    std::array<QRadioButton*, 4> Option_Display{};
    QButtonGroup* m_display = nullptr;
    QCheckBox* Check_Calibration = nullptr;

    QGroupBox* Frame_NameOfChannel = nullptr;
    std::array<QLabel*, ADSetupControls::Rows> Label_CH{};
    std::array<QLineEdit*, ADSetupControls::Rows> Text_Label{};
    QGroupBox* Frame_Reading = nullptr;
    std::array<QLabel*, ADSetupControls::Rows> Label_Voltage{};
    QTimer* Timer1 = nullptr;

    QPushButton* Command_Calibration = nullptr;
    QPushButton* Command_OK = nullptr;
};
