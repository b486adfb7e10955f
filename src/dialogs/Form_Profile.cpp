#include "dialogs/Form_Profile.h"

#include "counting/CounterCore.h"
#include "dialogs/DialogWidgets.h"
#include "platform/Prompts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr std::array<ProfileRow, ProfileTexts::Rows + 1> DefaultProfile{{
    {10, 2},
    {20, 5},
    {50, 10},
    {100, 20},
    {200, 50},
    {500, 100},
    {0, 200},
}};

QLineEdit* numberBox(const QString& name, size_t index, QWidget* parent) {
    return dialog_widgets::numberBox(name + u'_' + QString::number(index),
                                     QStringLiteral("0000000000"), parent);
}

QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    return dialog_widgets::named<QPushButton>(name, parent, caption);
}

} // namespace

Form_Profile::Form_Profile(CounterCore& core, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_core(core), m_prompts(prompts) {
    setObjectName(QStringLiteral("Form_Profile"));
    setWindowTitle(QStringLiteral("Trigger Profile"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(buildProfileFrame());
    Combo_TriggerEvents = new QComboBox(this);
    Combo_TriggerEvents->setObjectName(QStringLiteral("Combo_TriggerEvents"));
    auto* events = new QHBoxLayout;
    auto* eventsLabel = new QLabel(QStringLiteral("&Number of Trigger Events:"), this);
    eventsLabel->setBuddy(Combo_TriggerEvents);
    events->addWidget(eventsLabel);
    events->addWidget(Combo_TriggerEvents);
    events->addStretch(1);
    layout->addLayout(events);
    layout->addLayout(buildButtons());
    setVisualTabOrder();

    connect(Command_OK, &QPushButton::clicked, this, &Form_Profile::Command_OK_Click);
    connect(Command_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command_Default, &QPushButton::clicked, this, &Form_Profile::Command_Default_Click);
    Form_Load();
}

QGroupBox* Form_Profile::buildProfileFrame() {
    Frame_Profile = new QGroupBox(this);
    Frame_Profile->setObjectName(QStringLiteral("Frame_Profile"));
    auto* grid = new QGridLayout(Frame_Profile);
    const auto text = [this](const char* caption) {
        return new QLabel(QString::fromLatin1(caption), Frame_Profile);
    };
    for (size_t row = 0; row < Text_N.size(); ++row) {
        // The fallback line stands apart below a gap: it holds above all rows.
        const int line = static_cast<int>(row < Text_to.size() ? row : row + 1);
        Text_N[row] = numberBox(QStringLiteral("Text_N"), row, Frame_Profile);
        if (row < Text_to.size()) {
            Text_to[row] = numberBox(QStringLiteral("Text_to"), row, Frame_Profile);
            grid->addWidget(text("Below Stress Cycle"), line, 0);
            grid->addWidget(Text_to[row], line, 1);
        }
        grid->addWidget(text("create additional Trigger every"), line, 2);
        grid->addWidget(Text_N[row], line, 3);
        grid->addWidget(text(". Cylce"), line, 4);
    }
    grid->setRowMinimumHeight(static_cast<int>(Text_to.size()), fontMetrics().height() / 2);
    return Frame_Profile;
}

QLayout* Form_Profile::buildButtons() {
    Command_Default = button(QStringLiteral("&Default"), QStringLiteral("Command_Default"), this);
    Command_OK = button(QStringLiteral("OK"), QStringLiteral("Command_OK"), this);
    Command_Cancel = button(QStringLiteral("Cancel"), QStringLiteral("Command_Cancel"), this);
    Command_OK->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addWidget(Command_Default);
    row->addStretch(1);
    row->addWidget(Command_OK);
    row->addWidget(Command_Cancel);
    return row;
}

void Form_Profile::setVisualTabOrder() {
    QList<QWidget*> order;
    for (size_t row = 0; row < Text_N.size(); ++row) {
        if (row < Text_to.size())
            order.append(Text_to[row]);
        order.append(Text_N[row]);
    }
    order << Combo_TriggerEvents << Command_Default << Command_OK << Command_Cancel;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form_Profile::Form_Load() {
    const CountingState& state = m_core.state();
    const auto rows = static_cast<size_t>(std::clamp(state.ProfileRows, 0, ProfileTexts::Rows));
    for (size_t row = 0; row < rows; ++row) {
        Text_to[row]->setText(QString::number(state.TriggerProfile[row].BelowCycle));
        Text_N[row]->setText(QString::number(state.TriggerProfile[row].Every));
    }
    Text_N.back()->setText(QString::number(state.TriggerProfile.back().Every));
    Combo_TriggerEvents->clear();
    for (int events = 0; events < 3; ++events)
        Combo_TriggerEvents->addItem(QString::number(events + 1), events);
    Combo_TriggerEvents->setCurrentIndex(std::clamp(state.ExtraEvents, 0, 2));
}

ProfileTexts Form_Profile::texts() const {
    ProfileTexts texts;
    for (size_t row = 0; row < Text_N.size(); ++row) {
        if (row < Text_to.size())
            texts.to[row] = Text_to[row]->text();
        texts.N[row] = Text_N[row]->text();
    }
    return texts;
}

void Form_Profile::Command_OK_Click() {
    const ProfileCheck check = CheckProfiles(texts());
    if (check.ok) {
        applyProfile(check);
        accept();
        return;
    }
    m_prompts.messageBox(QStringLiteral("One or more values are invalid."),
                         QStringLiteral("Profile"), PromptIcon::Critical);
    // The rows that passed stay, so the user corrects from the first bad one.
    for (auto row = static_cast<size_t>(check.rows); row < Text_to.size(); ++row) {
        Text_to[row]->clear();
        Text_N[row]->clear();
    }
}

void Form_Profile::applyProfile(const ProfileCheck& check) {
    TriggerProfileSettings profile;
    profile.Rows = check.rows;
    for (size_t row = 0; row < static_cast<size_t>(check.rows); ++row)
        profile.TriggerProfile[row] = check.profile[row];
    profile.TriggerProfile.back().Every = check.fallback;
    profile.ExtraEvents = Combo_TriggerEvents->currentIndex();
    m_core.applyProfile(profile);
}

void Form_Profile::Command_Default_Click() {
    for (size_t row = 0; row < Text_N.size(); ++row) {
        if (row < Text_to.size())
            Text_to[row]->setText(QString::number(DefaultProfile[row].BelowCycle));
        Text_N[row]->setText(QString::number(DefaultProfile[row].Every));
    }
    Combo_TriggerEvents->setCurrentIndex(0);
}
