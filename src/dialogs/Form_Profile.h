#pragma once
// The modal dialog "Trigger Profile": up to six rows "below stress cycle n a
// trigger every m cycles", the interval above all rows and the number of
// trigger events per due cycle. "OK" applies the whole profile or, when any
// value is invalid, nothing at all. `core` and `prompts` must outlive it.
#include "dialogs/ProfileCheck.h"

#include <QDialog>
#include <array>

class CounterCore;
class Prompts;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class Form_Profile final : public QDialog {
    Q_OBJECT
public:
    Form_Profile(CounterCore& core, Prompts& prompts, QWidget* parent = nullptr);

private:
    QGroupBox* buildProfileFrame();
    QLayout* buildButtons();
    void setVisualTabOrder();
    void Form_Load();

    void Command_OK_Click();
    void Command_Default_Click();

    ProfileTexts texts() const;
    void applyProfile(const ProfileCheck& check);

    CounterCore& m_core;
    Prompts& m_prompts;

    QGroupBox* Frame_Profile = nullptr;
    std::array<QLineEdit*, ProfileTexts::Rows> Text_to{};
    std::array<QLineEdit*, ProfileTexts::Rows + 1> Text_N{};
    QComboBox* Combo_TriggerEvents = nullptr;
    QPushButton* Command_Default = nullptr;
    QPushButton* Command_OK = nullptr;
    QPushButton* Command_Cancel = nullptr;
};
