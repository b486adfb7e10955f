#include "dialogs/Form_Watch.h"

#include "common/NumberText.h"
#include "counting/CounterCore.h"
#include "dialogs/DialogWidgets.h"
#include "platform/Prompts.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

namespace {

const QString Title = QStringLiteral("Watch");
constexpr int StateRefreshMs = 1000;

QLineEdit* edit(const QString& name, const QString& widest, QWidget* parent) {
    auto* box = dialog_widgets::named<QLineEdit>(name, parent);
    const QFontMetrics metrics = box->fontMetrics();
    box->setMinimumWidth(metrics.horizontalAdvance(widest) + metrics.height());
    return box;
}

// Wide enough for any whole number the boxes take.
QLineEdit* numberBox(const QString& name, QWidget* parent) {
    return dialog_widgets::numberBox(name, QStringLiteral("0000000000"), parent);
}

QCheckBox* checkBox(const QString& caption, const QString& name, QWidget* parent) {
    return dialog_widgets::named<QCheckBox>(name, parent, caption);
}

QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    return dialog_widgets::named<QPushButton>(name, parent, caption);
}

QLabel* label(const QString& name, QWidget* parent) {
    auto* shown = dialog_widgets::named<QLabel>(name, parent);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return shown;
}

// A caption (a label with its buddy, or a check box), the box, then its unit.
void addRow(QGridLayout* grid, int row, QWidget* caption, QLineEdit* box, const QString& unit) {
    if (auto* text = qobject_cast<QLabel*>(caption))
        text->setBuddy(box);
    grid->addWidget(caption, row, 0);
    grid->addWidget(box, row, 1);
    grid->addWidget(new QLabel(unit, grid->parentWidget()), row, 2);
}

QString volts(float value, const QLocale& locale) {
    return NumberText::threeDecimals(value, locale) + QStringLiteral(" V");
}

QString dateTime(double epochSeconds) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(epochSeconds * 1000.0))
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString referenceText(const WatchReference& r, const QLocale& locale) {
    if (!r.taken)
        return QStringLiteral("Reference: none yet");
    return QStringLiteral("Reference: peak %1, valley %2, amplitude %3 (cycles %4 to %5, taken "
                          "%6)")
        .arg(volts(r.peak, locale), volts(r.valley, locale), volts(r.amplitude, locale))
        .arg(r.fromCycle)
        .arg(r.toCycle)
        .arg(dateTime(r.takenSeconds));
}

QString failureText(const WatchFailure& f, const QLocale& locale) {
    if (!f.failed)
        return QStringLiteral("Failure: none");
    return QStringLiteral("Failure: N_f %1 by the %2 (peak %3, valley %4, amplitude %5; "
                          "confirmed at cycle %6, %7)")
        .arg(f.cycle)
        .arg(QLatin1String(criterionName(f.criterion)))
        .arg(volts(f.peak, locale), volts(f.valley, locale), volts(f.amplitude, locale))
        .arg(f.confirmedCycle)
        .arg(dateTime(f.seconds));
}

} // namespace

Form_Watch::Form_Watch(CounterCore& core, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_core(core), m_prompts(prompts) {
    setObjectName(QStringLiteral("Form_Watch"));
    setWindowTitle(Title);
    setModal(true);
    buildUi();
    Form_Load();
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &Form_Watch::showState);
    refresh->start(StateRefreshMs);
}

void Form_Watch::buildUi() {
    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(buildWatchFrame(), 0, 0);
    auto* right = new QVBoxLayout;
    right->addWidget(buildCriteriaFrame());
    right->addWidget(buildLogFrame());
    layout->addLayout(right, 0, 1);
    layout->addWidget(buildCommandFrame(), 1, 0, 1, 2);
    layout->addWidget(buildStateFrame(), 2, 0, 1, 2);
    layout->addLayout(buildButtons(), 3, 0, 1, 2);
    setVisualTabOrder();

    connect(Command_TakeReference, &QPushButton::clicked, this,
            &Form_Watch::Command_TakeReference_Click);
    connect(Command_ClearFailure, &QPushButton::clicked, this,
            &Form_Watch::Command_ClearFailure_Click);
    connect(Command_OK, &QPushButton::clicked, this, &Form_Watch::Command_OK_Click);
    connect(Command_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QGroupBox* Form_Watch::buildWatchFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Watch"), this);
    Check_Armed = checkBox(QStringLiteral("&Armed"), QStringLiteral("Check_Armed"), frame);
    Text_Settling = numberBox(QStringLiteral("Text_Settling"), frame);
    Text_Reference = numberBox(QStringLiteral("Text_Reference"), frame);
    Text_Confirm = numberBox(QStringLiteral("Text_Confirm"), frame);
    Text_Stall = numberBox(QStringLiteral("Text_Stall"), frame);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(Check_Armed, 0, 0, 1, 3);
    const QString cycles = QStringLiteral("cycles");
    addRow(grid, 1, new QLabel(QStringLiteral("&Settling cycles (S):"), frame), Text_Settling,
           cycles);
    addRow(grid, 2, new QLabel(QStringLiteral("R&eference cycles (R):"), frame), Text_Reference,
           cycles);
    addRow(grid, 3, new QLabel(QStringLiteral("Confir&ming cycles (M):"), frame), Text_Confirm,
           cycles);
    addRow(grid, 4, new QLabel(QStringLiteral("Stall &time (T):"), frame), Text_Stall,
           QStringLiteral("s (0: automatic)"));
    grid->setRowStretch(5, 1);
    return frame;
}

QGroupBox* Form_Watch::buildCriteriaFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Failure when"), this);
    Check_Amplitude =
        checkBox(QStringLiteral("Amplitude &drop (X):"), QStringLiteral("Check_Amplitude"), frame);
    Text_AmplitudeDrop = numberBox(QStringLiteral("Text_AmplitudeDrop"), frame);
    Text_Band = numberBox(QStringLiteral("Text_Band"), frame);
    Check_Peak = checkBox(QStringLiteral("&Peak"), QStringLiteral("Check_Peak"), frame);
    Check_Valley = checkBox(QStringLiteral("&Valley"), QStringLiteral("Check_Valley"), frame);
    auto* grid = new QGridLayout(frame);
    addRow(grid, 0, Check_Amplitude, Text_AmplitudeDrop,
           QStringLiteral("% below the reference amplitude"));
    addRow(grid, 1, new QLabel(QStringLiteral("&Band (Y):"), frame), Text_Band,
           QStringLiteral("± % of the reference amplitude"));
    auto* leaving = new QHBoxLayout;
    leaving->addWidget(new QLabel(QStringLiteral("left by the"), frame));
    leaving->addWidget(Check_Peak);
    leaving->addWidget(Check_Valley);
    leaving->addStretch(1);
    grid->addLayout(leaving, 2, 1, 1, 2);
    return frame;
}

QGroupBox* Form_Watch::buildLogFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Cycle log"), this);
    Text_LogPerDecade = numberBox(QStringLiteral("Text_LogPerDecade"), frame);
    Text_LogEveryNth = numberBox(QStringLiteral("Text_LogEveryNth"), frame);
    auto* grid = new QGridLayout(frame);
    addRow(grid, 0, new QLabel(QStringLiteral("C&ycles per decade:"), frame), Text_LogPerDecade,
           QStringLiteral("(every cycle up to 100)"));
    addRow(grid, 1, new QLabel(QStringLiteral("And every &N-th cycle:"), frame), Text_LogEveryNth,
           QStringLiteral("(0: off)"));
    return frame;
}

QGroupBox* Form_Watch::buildCommandFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Commands (run without a shell)"), this);
    const QString wide(60, u'x');
    Text_OnFailure = edit(QStringLiteral("Text_OnFailure"), wide, frame);
    Text_OnStall = edit(QStringLiteral("Text_OnStall"), wide, frame);
    Text_CommandTimeout = numberBox(QStringLiteral("Text_CommandTimeout"), frame);
    auto* grid = new QGridLayout(frame);
    const std::array<std::pair<QString, QLineEdit*>, 2> commands{{
        {QStringLiteral("On &failure:"), Text_OnFailure},
        {QStringLiteral("On sta&ll:"), Text_OnStall},
    }};
    for (int row = 0; row < 2; ++row) {
        const auto& [caption, box] = commands[static_cast<size_t>(row)];
        auto* text = new QLabel(caption, frame);
        text->setBuddy(box);
        grid->addWidget(text, row, 0);
        grid->addWidget(box, row, 1, 1, 3);
    }
    auto* limit = new QLabel(QStringLiteral("Time lim&it:"), frame);
    limit->setBuddy(Text_CommandTimeout);
    grid->addWidget(limit, 2, 0);
    grid->addWidget(Text_CommandTimeout, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("s, then the command is killed"), frame), 2, 2);
    grid->setColumnStretch(3, 1);
    return frame;
}

QGroupBox* Form_Watch::buildStateFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Now"), this);
    Label_State = label(QStringLiteral("Label_State"), frame);
    Label_Reference = label(QStringLiteral("Label_Reference"), frame);
    Label_Failure = label(QStringLiteral("Label_Failure"), frame);
    Command_TakeReference = button(QStringLiteral("Take &reference now"),
                                   QStringLiteral("Command_TakeReference"), frame);
    Command_ClearFailure =
        button(QStringLiteral("&Clear failure"), QStringLiteral("Command_ClearFailure"), frame);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(Label_State, 0, 0, 1, 3);
    grid->addWidget(Label_Reference, 1, 0, 1, 3);
    grid->addWidget(Label_Failure, 2, 0, 1, 3);
    grid->addWidget(Command_TakeReference, 3, 0);
    grid->addWidget(Command_ClearFailure, 3, 1);
    grid->setColumnStretch(2, 1);
    return frame;
}

QLayout* Form_Watch::buildButtons() {
    Command_OK = button(QStringLiteral("OK"), QStringLiteral("Command_OK"), this);
    Command_Cancel = button(QStringLiteral("Cancel"), QStringLiteral("Command_Cancel"), this);
    Command_OK->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(Command_OK);
    row->addWidget(Command_Cancel);
    return row;
}

void Form_Watch::setVisualTabOrder() {
    const std::array<QWidget*, 19> order{
        Check_Armed,          Text_Settling,   Text_Reference,      Text_Confirm,
        Text_Stall,           Check_Amplitude, Text_AmplitudeDrop,  Text_Band,
        Check_Peak,           Check_Valley,    Text_LogPerDecade,   Text_LogEveryNth,
        Text_OnFailure,       Text_OnStall,    Text_CommandTimeout, Command_TakeReference,
        Command_ClearFailure, Command_OK,      Command_Cancel};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form_Watch::Form_Load() {
    const WatchSettings& s = m_core.watch().watch().settings();
    const WatchCommands& c = m_core.watch().commands();
    const QLocale locale;
    const auto decimal = [&locale](double value) {
        return NumberText::shortestSingle(static_cast<float>(value), locale);
    };
    Check_Armed->setChecked(s.armed);
    Text_Settling->setText(QString::number(s.settlingCycles));
    Text_Reference->setText(QString::number(s.referenceCycles));
    Text_Confirm->setText(QString::number(s.confirmCycles));
    Text_Stall->setText(decimal(s.stallSeconds));
    Check_Amplitude->setChecked(s.amplitudeCheck);
    Text_AmplitudeDrop->setText(decimal(s.amplitudeDropPercent));
    Text_Band->setText(decimal(s.bandPercent));
    Check_Peak->setChecked(s.peakCheck);
    Check_Valley->setChecked(s.valleyCheck);
    Text_LogPerDecade->setText(QString::number(s.logPerDecade));
    Text_LogEveryNth->setText(QString::number(s.logEveryNth));
    Text_OnFailure->setText(c.onFailure);
    Text_OnStall->setText(c.onStall);
    Text_CommandTimeout->setText(QString::number(c.timeoutSeconds));
    showState();
}

void Form_Watch::showState() {
    const CoreWatch& watch = m_core.watch();
    const QLocale locale;
    Label_State->setText(QStringLiteral("State: ") + watch.stateText());
    Label_Reference->setText(referenceText(watch.watch().state().reference, locale));
    Label_Failure->setText(failureText(watch.watch().state().failure, locale));
    Command_TakeReference->setEnabled(watch.watch().keptCycles() > 0);
    Command_ClearFailure->setEnabled(watch.watch().state().failure.failed);
}

WatchSettingsCheck::Texts Form_Watch::texts() const {
    return {Check_Armed->isChecked(),   Check_Amplitude->isChecked(),
            Check_Peak->isChecked(),    Check_Valley->isChecked(),
            Text_Settling->text(),      Text_Reference->text(),
            Text_AmplitudeDrop->text(), Text_Band->text(),
            Text_Confirm->text(),       Text_Stall->text(),
            Text_LogPerDecade->text(),  Text_LogEveryNth->text(),
            Text_OnFailure->text(),     Text_OnStall->text(),
            Text_CommandTimeout->text()};
}

QLineEdit* Form_Watch::box(WatchSettingsCheck::Field field) const {
    using Field = WatchSettingsCheck::Field;
    const std::array<std::pair<Field, QLineEdit*>, 11> boxes{{
        {Field::Settling, Text_Settling},
        {Field::Reference, Text_Reference},
        {Field::AmplitudeDrop, Text_AmplitudeDrop},
        {Field::Band, Text_Band},
        {Field::Confirm, Text_Confirm},
        {Field::Stall, Text_Stall},
        {Field::LogPerDecade, Text_LogPerDecade},
        {Field::LogEveryNth, Text_LogEveryNth},
        {Field::OnFailure, Text_OnFailure},
        {Field::OnStall, Text_OnStall},
        {Field::Timeout, Text_CommandTimeout},
    }};
    for (const auto& [which, edit] : boxes)
        if (which == field)
            return edit;
    return Text_Settling;
}

// Every refused box in one message, the first one focused; nothing applied.
void Form_Watch::Command_OK_Click() {
    const auto checked = WatchSettingsCheck::check(texts());
    if (const auto* problems = std::get_if<QList<WatchSettingsCheck::Problem>>(&checked)) {
        QStringList messages;
        for (const WatchSettingsCheck::Problem& problem : *problems)
            messages << problem.message;
        m_prompts.messageBox(messages.join(u'\n') + QStringLiteral("\nNothing was changed."), Title,
                             PromptIcon::Exclamation);
        box(problems->first().field)->setFocus();
        return;
    }
    const auto& values = std::get<WatchSettingsCheck::Checked>(checked);
    m_core.applyWatch(values.settings, values.commands);
    accept();
}

void Form_Watch::Command_TakeReference_Click() {
    if (!m_core.takeReferenceNow())
        m_prompts.messageBox(QStringLiteral("The reference could not be saved in the settings "
                                            "file, so none was taken (the status line says why)."),
                             Title, PromptIcon::Exclamation);
    showState();
}

// A failure is the result of the test; it is cleared only when the user says so twice.
void Form_Watch::Command_ClearFailure_Click() {
    const WatchFailure& failure = m_core.watch().watch().state().failure;
    const QString question = QStringLiteral("Clear the failure at N_f %1? The watch then judges "
                                            "the next cycles against the reference again.")
                                 .arg(failure.cycle);
    if (m_prompts.messageBox(question, Title, PromptIcon::Question, PromptButtons::YesNo) !=
        PromptAnswer::Yes)
        return;
    if (!m_core.clearFailure())
        m_prompts.messageBox(QStringLiteral("The settings file could not be written, so the "
                                            "failure stays (the status line says why)."),
                             Title, PromptIcon::Exclamation);
    showState();
}
