#pragma once
// The modal dialog "Trigger": count mode, extrema per cycle, counter value,
// trigger on/off, trigger source with its preview, threshold, hysteresis and
// delay. "OK" applies the settings, "&Set" sets the counter at once, "Cancel"
// applies nothing more. Changes go through the CounterCore, so the main window
// shows them at once; `core` and `prompts` must outlive the dialog.
#include "dialogs/TriggerSettingsCheck.h"

#include <QDialog>
#include <array>

class CounterCore;
class Prompts;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TriggerPreview;

class Form_Trigger final : public QDialog {
    Q_OBJECT
public:
    Form_Trigger(CounterCore& core, Prompts& prompts, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    QGroupBox* buildCounterFrame();
    QGroupBox* buildModeFrame();
    QLayout* buildButtons();
    void setVisualTabOrder();
    void Form_Load();

    void Command_OK_Click();
    void Command_Set_Click();
    void Command_Profile_Click();
    void Check_Trigger_Click();
    void Option_TriggerSource_Click(int index);

    TriggerSettingsCheck::Texts texts() const;
    void showInvalid(const TriggerSettingsCheck::Failure& failure);
    QLineEdit* box(TriggerSettingsCheck::Field field) const;

    CounterCore& m_core;
    Prompts& m_prompts;

    std::array<QRadioButton*, 2> Option_CountMode{};
    QButtonGroup* m_countMode = nullptr;
    QLineEdit* Text_Cyclomarkator = nullptr;
    QLineEdit* Text_Periodizitaet = nullptr;
    QPushButton* Command_Set = nullptr;

    QCheckBox* Check_Trigger = nullptr;
    std::array<QRadioButton*, 4> Option_TriggerSource{};
    QButtonGroup* m_triggerSource = nullptr;
    QLineEdit* Text_Threshold = nullptr;
    QLineEdit* Text_Hysterese = nullptr;
    QLineEdit* Text_Delay = nullptr;
    TriggerPreview* Picture_Preview = nullptr;

    QPushButton* Command_Profile = nullptr;
    QPushButton* Command_OK = nullptr;
    QPushButton* Command_Cancel = nullptr;
};
