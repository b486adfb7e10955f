#include "dialogs/Form_Trigger.h"

#include "common/NumberText.h"
#include "counting/CounterCore.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/Form_Profile.h"
#include "dialogs/TriggerPreview.h"
#include "platform/Prompts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString InvalidValue = QStringLiteral("Invalid value!");
const QString ApplicationTitle = QStringLiteral("Cyclomarkator");

// Wide enough for any 32-bit count with its sign; the dialog does not stretch it.
QLineEdit* numberBox(const QString& name, QWidget* parent) {
    return dialog_widgets::numberBox(name, QStringLiteral("-0000000000"), parent);
}

QLabel* buddyLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    return dialog_widgets::named<QPushButton>(name, parent, caption);
}

template <size_t N>
QButtonGroup* optionGroup(const QString& name, std::array<QRadioButton*, N>& options,
                          const std::array<QString, N>& captions, QWidget* parent) {
    auto* group = new QButtonGroup(parent);
    group->setObjectName(name);
    for (size_t i = 0; i < N; ++i) {
        options[i] = new QRadioButton(captions[i], parent);
        options[i]->setObjectName(name + u'_' + QString::number(i));
        group->addButton(options[i], static_cast<int>(i));
    }
    return group;
}

} // namespace

Form_Trigger::Form_Trigger(CounterCore& core, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_core(core), m_prompts(prompts) {
    setObjectName(QStringLiteral("Form_Trigger"));
    setWindowTitle(QStringLiteral("Trigger"));
    setModal(true);
    buildUi();
    Form_Load();
}

void Form_Trigger::buildUi() {
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(buildCounterFrame());
    layout->addWidget(buildModeFrame());
    layout->addLayout(buildButtons());
    setVisualTabOrder();

    connect(Command_Set, &QPushButton::clicked, this, &Form_Trigger::Command_Set_Click);
    connect(Check_Trigger, &QCheckBox::toggled, this, &Form_Trigger::Check_Trigger_Click);
    connect(m_triggerSource, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            Option_TriggerSource_Click(id);
    });
    connect(Command_Profile, &QPushButton::clicked, this, &Form_Trigger::Command_Profile_Click);
    connect(Command_OK, &QPushButton::clicked, this, &Form_Trigger::Command_OK_Click);
    connect(Command_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    Text_Cyclomarkator->installEventFilter(this);
    Text_Threshold->installEventFilter(this);
}

QGroupBox* Form_Trigger::buildCounterFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Counter"), this);
    frame->setObjectName(QStringLiteral("Frame_Counter"));
    m_countMode =
        optionGroup(QStringLiteral("Option_CountMode"), Option_CountMode,
                    {QStringLiteral("Count Maxima"), QStringLiteral("Count Minima")}, frame);
    Text_Cyclomarkator = numberBox(QStringLiteral("Text_Cyclomarkator"), frame);
    Text_Periodizitaet = numberBox(QStringLiteral("Text_Periodizitaet"), frame);
    Command_Set = button(QStringLiteral("&Set"), QStringLiteral("Command_Set"), frame);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(Option_CountMode[0], 0, 0, 1, 2);
    grid->addWidget(Option_CountMode[1], 1, 0, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("&Counter value:"), Text_Cyclomarkator, frame), 2, 0);
    grid->addWidget(Text_Cyclomarkator, 2, 1);
    grid->addWidget(buddyLabel(QStringLiteral("&Extrema per cycle:"), Text_Periodizitaet, frame), 3,
                    0);
    grid->addWidget(Text_Periodizitaet, 3, 1);
    grid->addWidget(Command_Set, 3, 2);
    grid->setColumnStretch(3, 1);
    return frame;
}

QGroupBox* Form_Trigger::buildModeFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Mode"), this);
    frame->setObjectName(QStringLiteral("Frame_Mode"));
    Check_Trigger = new QCheckBox(QStringLiteral("Trigger &On"), frame);
    Check_Trigger->setObjectName(QStringLiteral("Check_Trigger"));
    m_triggerSource = optionGroup(QStringLiteral("Option_TriggerSource"), Option_TriggerSource,
                                  {QStringLiteral("Trigger on m&ax. Voltage"),
                                   QStringLiteral("Trigger on m&in. Voltage"),
                                   QStringLiteral("Trigger if Volta&ge > Threshold"),
                                   QStringLiteral("Trigger if Vo&ltage < Threshold")},
                                  frame);
    Picture_Preview = new TriggerPreview(frame);
    Picture_Preview->setObjectName(QStringLiteral("Picture_Preview"));
    Text_Threshold = numberBox(QStringLiteral("Text_Threshold"), frame);
    Text_Hysterese = numberBox(QStringLiteral("Text_Hysterese"), frame);
    Text_Delay = numberBox(QStringLiteral("Text_Delay"), frame);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(Check_Trigger, 0, 0, 1, 3);
    for (int i = 0; i < 4; ++i)
        grid->addWidget(Option_TriggerSource[static_cast<size_t>(i)], i + 1, 0, 1, 3);
    grid->addWidget(Picture_Preview, 0, 3, 5, 1, Qt::AlignTop);
    const std::array<std::pair<QLabel*, QLineEdit*>, 3> rows{{
        {buddyLabel(QStringLiteral("&Threshold:"), Text_Threshold, frame), Text_Threshold},
        {new QLabel(QStringLiteral("Hysteresis:"), frame), Text_Hysterese},
        {buddyLabel(QStringLiteral("&Delay:"), Text_Delay, frame), Text_Delay},
    }};
    const std::array<QString, 3> units{QStringLiteral("V"), QStringLiteral("V"),
                                       QStringLiteral("ms")};
    for (int i = 0; i < 3; ++i) {
        const auto row = static_cast<size_t>(i);
        grid->addWidget(rows[row].first, i + 6, 0);
        grid->addWidget(rows[row].second, i + 6, 1);
        grid->addWidget(new QLabel(units[row], frame), i + 6, 2);
    }
    grid->setColumnStretch(2, 1);
    // Row 5 stays empty: a small gap between the sources and the values.
    grid->setRowMinimumHeight(5, fontMetrics().height() / 3);
    return frame;
}

QLayout* Form_Trigger::buildButtons() {
    Command_Profile =
        button(QStringLiteral("&Profile..."), QStringLiteral("Command_Profile"), this);
    Command_OK = button(QStringLiteral("OK"), QStringLiteral("Command_OK"), this);
    Command_Cancel = button(QStringLiteral("Cancel"), QStringLiteral("Command_Cancel"), this);
    Command_OK->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addWidget(Command_Profile);
    row->addStretch(1);
    row->addWidget(Command_OK);
    row->addWidget(Command_Cancel);
    return row;
}

void Form_Trigger::setVisualTabOrder() {
    const std::array<QWidget*, 16> order{Option_CountMode[0],
                                         Option_CountMode[1],
                                         Text_Cyclomarkator,
                                         Text_Periodizitaet,
                                         Command_Set,
                                         Check_Trigger,
                                         Option_TriggerSource[0],
                                         Option_TriggerSource[1],
                                         Option_TriggerSource[2],
                                         Option_TriggerSource[3],
                                         Text_Threshold,
                                         Text_Hysterese,
                                         Text_Delay,
                                         Command_Profile,
                                         Command_OK,
                                         Command_Cancel};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form_Trigger::Form_Load() {
    const CountingState& state = m_core.state();
    const QLocale locale;
    const auto source = static_cast<int>(state.TriggerSource);
    Check_Trigger->setChecked(state.TriggerEnabled);
    Check_Trigger_Click();
    if (QAbstractButton* option = m_triggerSource->button(source))
        option->setChecked(true);
    Option_TriggerSource_Click(source);
    Text_Threshold->setText(NumberText::shortestSingle(state.Threshold, locale));
    Text_Hysterese->setText(NumberText::shortestSingle(state.Hysteresis, locale));
    Text_Delay->setText(QString::number(state.TriggerDelayMs));
    Text_Cyclomarkator->setText(QString::number(state.CycleCount));
    Text_Periodizitaet->setText(QString::number(state.ExtremaPerCycle));
    if (QAbstractButton* mode = m_countMode->button(static_cast<int>(state.CountMode)))
        mode->setChecked(true);
}

bool Form_Trigger::eventFilter(QObject* watched, QEvent* event) {
    // Deferred, because a mouse click that brings the focus would otherwise
    // place the cursor and undo the selection right after.
    if (event->type() == QEvent::FocusIn) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void Form_Trigger::Check_Trigger_Click() {
    const bool on = Check_Trigger->isChecked();
    for (QRadioButton* option : Option_TriggerSource)
        option->setEnabled(on);
    Text_Threshold->setEnabled(on);
}

void Form_Trigger::Option_TriggerSource_Click(int index) {
    Picture_Preview->setSource(index);
}

TriggerSettingsCheck::Texts Form_Trigger::texts() const {
    return {Text_Cyclomarkator->text(), Text_Periodizitaet->text(), Text_Threshold->text(),
            Text_Hysterese->text(), Text_Delay->text()};
}

QLineEdit* Form_Trigger::box(TriggerSettingsCheck::Field field) const {
    using Field = TriggerSettingsCheck::Field;
    switch (field) {
    case Field::Counter:
        return Text_Cyclomarkator;
    case Field::ExtremaPerCycle:
        return Text_Periodizitaet;
    case Field::Threshold:
        return Text_Threshold;
    case Field::Hysteresis:
        return Text_Hysterese;
    case Field::Delay:
        return Text_Delay;
    }
    return Text_Threshold;
}

void Form_Trigger::showInvalid(const TriggerSettingsCheck::Failure& failure) {
    m_prompts.messageBox(InvalidValue, ApplicationTitle, PromptIcon::None);
    QLineEdit* invalid = box(failure.field);
    invalid->setText(failure.replacement);
    invalid->setFocus();
}

void Form_Trigger::Command_OK_Click() {
    const auto checked = TriggerSettingsCheck::checkOk(texts());
    if (const auto* failure = std::get_if<TriggerSettingsCheck::Failure>(&checked)) {
        showInvalid(*failure);
        return;
    }
    const auto& checkedSettings = std::get<TriggerSettingsCheck::Settings>(checked);
    const CountingState& state = m_core.state();
    TriggerSettings settings;
    settings.ExtremaPerCycle = checkedSettings.ExtremaPerCycle;
    settings.Threshold = checkedSettings.Threshold;
    settings.Hysteresis = checkedSettings.Hysteresis;
    settings.TriggerDelayMs = checkedSettings.TriggerDelayMs;
    settings.TriggerEnabled = Check_Trigger->isChecked();
    settings.TriggerSource = m_triggerSource->checkedId() >= 0
                                 ? static_cast<TriggerOn>(m_triggerSource->checkedId())
                                 : state.TriggerSource;
    settings.CountMode = m_countMode->checkedId() >= 0
                             ? static_cast<CountedExtrema>(m_countMode->checkedId())
                             : state.CountMode;
    m_core.applyTriggerSettings(settings);
    accept();
}

void Form_Trigger::Command_Set_Click() {
    const auto checked = TriggerSettingsCheck::checkSet(texts());
    if (const auto* failure = std::get_if<TriggerSettingsCheck::Failure>(&checked)) {
        showInvalid(*failure);
        return;
    }
    const auto& counter = std::get<TriggerSettingsCheck::Counter>(checked);
    m_core.setCounter(counter.CycleCount, counter.ExtremaPerCycle);
}

void Form_Trigger::Command_Profile_Click() {
    Form_Profile profile(m_core, m_prompts, this);
    profile.exec();
}
