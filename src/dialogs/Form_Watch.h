#pragma once
// The modal dialog "Watch": arms the specimen watch and sets its settling and
// reference cycles, failure criteria, stall time, the cycle log's schedule and
// the commands run on its events; shows the present state, the reference and
// a failure, and takes a reference or clears a failure at once. "OK" applies
// everything through WatchSettingsCheck or, with a refused box, nothing.
// Changes go through the CounterCore; `core` and `prompts` must outlive it.
#include "dialogs/WatchSettingsCheck.h"

#include <QDialog>

class CounterCore;
class Prompts;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form_Watch final : public QDialog {
    Q_OBJECT
public:
    Form_Watch(CounterCore& core, Prompts& prompts, QWidget* parent = nullptr);

    // The state, reference and failure lines and which buttons mean something
    // now; also every second while the dialog is open, as counting goes on.
    void showState();

private:
    void buildUi();
    QGroupBox* buildWatchFrame();
    QGroupBox* buildCriteriaFrame();
    QGroupBox* buildLogFrame();
    QGroupBox* buildCommandFrame();
    QGroupBox* buildStateFrame();
    QLayout* buildButtons();
    void setVisualTabOrder();
    void Form_Load();

    void Command_OK_Click();
    void Command_TakeReference_Click();
    void Command_ClearFailure_Click();

    WatchSettingsCheck::Texts texts() const;
    QLineEdit* box(WatchSettingsCheck::Field field) const;

    CounterCore& m_core;
    Prompts& m_prompts;

    QCheckBox* Check_Armed = nullptr;
    QLineEdit* Text_Settling = nullptr;
    QLineEdit* Text_Reference = nullptr;
    QLineEdit* Text_Confirm = nullptr;
    QLineEdit* Text_Stall = nullptr;

    QCheckBox* Check_Amplitude = nullptr;
    QLineEdit* Text_AmplitudeDrop = nullptr;
    QLineEdit* Text_Band = nullptr;
    QCheckBox* Check_Peak = nullptr;
    QCheckBox* Check_Valley = nullptr;

    QLineEdit* Text_LogPerDecade = nullptr;
    QLineEdit* Text_LogEveryNth = nullptr;

    QLineEdit* Text_OnFailure = nullptr;
    QLineEdit* Text_OnStall = nullptr;
    QLineEdit* Text_CommandTimeout = nullptr;

    QLabel* Label_State = nullptr;
    QLabel* Label_Reference = nullptr;
    QLabel* Label_Failure = nullptr;
    QPushButton* Command_TakeReference = nullptr;
    QPushButton* Command_ClearFailure = nullptr;

    QPushButton* Command_OK = nullptr;
    QPushButton* Command_Cancel = nullptr;
};
