#include "ui/Form_MainCyclomarkator.h"

#include "adc/ScanStream.h"
#include "common/PrintableText.h"
#include "dialogs/Form_ADSetup.h"
#include "dialogs/Form_Trigger.h"
#include "dialogs/Form_Watch.h"
#include "dialogs/ReadingText.h"
#include "platform/Prompts.h"
#include "recorder/Form_Trend.h"
#include "recorder/Form_Xt_Recorder.h"
#include "ui/ActivityLine.h"
#include "ui/MainWindowControls.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace {
const QString DesignCaption = QStringLiteral("Cyclomarkator 2010");
} // namespace

Form_MainCyclomarkator::Form_MainCyclomarkator(CounterSession& session, Prompts& prompts,
                                               QWidget* parent)
    : QMainWindow(parent), m_session(session), m_prompts(prompts) {
    setObjectName(QStringLiteral("Form_MainCyclomarkator"));
    setWindowTitle(DesignCaption);
    buildMenus();

    m_controls = new MainWindowControls(this);
    connect(m_controls->Combo_AD_channel, &QComboBox::activated, this,
            &Form_MainCyclomarkator::Combo_AD_channel_Click);
    setCentralWidget(m_controls);
    // The window keeps the size its contents ask for; stretching it only adds
    // empty space.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form_MainCyclomarkator::~Form_MainCyclomarkator() {
    m_session.adc().setBusy = nullptr;
}

void Form_MainCyclomarkator::Form_Load(const QRect& screenArea) {
    ensurePolished();
    adjustSize();
    m_screenArea = screenArea;
    const GeneralSettings& general = m_session.general();
    move(WindowPlacement::placeOnScreen(general.Left, general.Top, frameGeometry().size(),
                                        screenArea));
    mnuShowRecorder->setChecked(general.ShowRecorder);
    // Opening a device can take seconds; the pointer shows that the program works.
    m_session.adc().setBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    m_session.Form_Load(*this);
}

void Form_MainCyclomarkator::startUp() {
    show();
    m_session.start();
    // With a converter the recorder is loaded hidden; its start timer reads
    // the chart of the last run back.
    if (m_session.adc().ready())
        recorderWindow();
    // The item starts unticked, so the action ticks it and raises the window.
    if (m_session.general().AlwaysOnTop)
        mnuOnTop->trigger();
    QTimer::singleShot(1, this, &Form_MainCyclomarkator::Timer_Init_Timer);
}

void Form_MainCyclomarkator::Timer_Init_Timer() {
    const bool onTop = m_session.general().AlwaysOnTop;
    mnuOnTop->setChecked(onTop);
    SetTopmost(onTop);
    if (m_session.adc().ready()) {
        recorderWindow().enableTimerInit();
        recorderWindow().setVisible(mnuShowRecorder->isChecked());
    }
    // The load step could not know the frame the desktop puts around the
    // window; a window flush with an edge would have it stick out.
    const QPoint inReach = WindowPlacement::keepInArea(pos(), frameGeometry().size(), m_screenArea);
    if (inReach != pos())
        move(inReach);
}

void Form_MainCyclomarkator::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_session.Form_Unload(windowSettings());
    if (m_recorderWindow) {
        m_recorderWindow->Form_Unload();
        m_recorderWindow->hide();
    }
    if (m_trendWindow)
        m_trendWindow->hide();
}

Form_Xt_Recorder& Form_MainCyclomarkator::recorderWindow() {
    if (!m_recorderWindow) {
        m_recorderWindow = new Form_Xt_Recorder(m_session.recorder(), m_session.settings(), this);
        connect(m_recorderWindow, &Form_Xt_Recorder::hiddenByUser, this,
                [this] { mnuShowRecorder->setChecked(false); });
        m_recorderWindow->Form_Load();
    }
    return *m_recorderWindow;
}

// The trend window is made the first time it is asked for and only reads the
// cycle log while it is shown.
Form_Trend& Form_MainCyclomarkator::trendWindow() {
    if (!m_trendWindow) {
        m_trendWindow = new Form_Trend([this] { return m_session.core().cycleLogPath(); }, this);
        connect(m_trendWindow, &Form_Trend::hiddenByUser, this,
                [this] { mnuShowTrend->setChecked(false); });
    }
    return *m_trendWindow;
}

GeneralSettings Form_MainCyclomarkator::windowSettings() const {
    GeneralSettings settings;
    settings.Left = WindowPlacement::pixelsToTwips(pos().x());
    settings.Top = WindowPlacement::pixelsToTwips(pos().y());
    settings.AlwaysOnTop = mnuOnTop->isChecked();
    settings.ShowRecorder = mnuShowRecorder->isChecked();
    return settings;
}

void Form_MainCyclomarkator::SetTopmost(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    // Changing the flag re-creates the native window, which hides it.
    const bool shown = isVisible();
    const QPoint place = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        move(place);
        show();
    }
}

// The user cannot end the program under a client; a signal, the end of the
// desktop session or a client's own command can, as they unload first.
void Form_MainCyclomarkator::closeEvent(QCloseEvent* event) {
    if (!m_unloaded && !mnuExit->isEnabled()) {
        QApplication::beep();
        m_prompts.messageBox(QStringLiteral("This program cannot be closed while a DDE link is "
                                            "open."),
                             QStringLiteral("Cyclomarkator"), PromptIcon::Exclamation);
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

// Menu handlers: the session does the work.

void Form_MainCyclomarkator::mnuSetup_Click() {
    m_session.pauseCountingForSetup();
    Form_ADSetup dialog(m_session.adc(), m_prompts, this);
    const ScanStream* stream = m_session.adc().scanStream();
    const CycleSampling& sampling = m_session.core().cycleSampling();
    dialog.showSampling(ReadingText::sampling(stream ? stream->rate() : 0.0,
                                              sampling.cyclesPerSecond(),
                                              sampling.samplesPerCycle(), QLocale::system()));
    if (dialog.exec() == Form_ADSetup::Restart) {
        // The new interface is stored; the unload writes it to the settings
        // file with everything else, and the program ends for the user to
        // start it again. The refusal under an open conversation is for a
        // person closing the window, not for this end the user agreed to.
        Form_Unload();
        close();
        QCoreApplication::quit();
        return;
    }
    m_session.resumeCountingAfterSetup();
}

void Form_MainCyclomarkator::mnuOnTop_Click(bool checked) {
    m_session.setAlwaysOnTop(checked);
    SetTopmost(checked);
}

void Form_MainCyclomarkator::mnuReset_Click() {
    m_session.mnuReset_Click();
}

void Form_MainCyclomarkator::mnuTrigger_Click() {
    Form_Trigger dialog(m_session.core(), m_prompts, this);
    dialog.exec();
}

void Form_MainCyclomarkator::mnuWatch_Click() {
    Form_Watch dialog(m_session.core(), m_prompts, this);
    dialog.exec();
}

void Form_MainCyclomarkator::mnuTrigMan_Click() {
    m_session.mnuTrigMan_Click();
}

void Form_MainCyclomarkator::mnuTest_Click(bool checked) {
    m_session.setTestMode(checked);
}

void Form_MainCyclomarkator::mnuVersion_Click() {
    m_prompts.messageBox(m_session.versionMessage(), DesignCaption, PromptIcon::Information);
}

void Form_MainCyclomarkator::mnuShowRecorder_Click(bool checked) {
    recorderWindow().setVisible(checked);
}

void Form_MainCyclomarkator::mnuShowTrend_Click(bool checked) {
    trendWindow().setVisible(checked);
}

void Form_MainCyclomarkator::mnuExit_Click() {
    close();
}

void Form_MainCyclomarkator::Combo_AD_channel_Click(int index) {
    m_session.Combo_AD_channel_Click(index);
}

// What the session shows.

void Form_MainCyclomarkator::setCountText(const QString& text) {
    m_controls->Label_AD_get_cyclomarkator->setText(text);
}

void Form_MainCyclomarkator::setMinorCountText(const QString& text) {
    m_controls->Label_AD_get_cyclomarkator2->setText(text);
}

void Form_MainCyclomarkator::setExtremaPerCycleText(const QString& text) {
    m_controls->Label_Periodizitaet->setText(text);
}

void Form_MainCyclomarkator::setVoltageText(const QString& text, bool red) {
    const Voltage voltage{text, red};
    if (m_voltage == voltage)
        return;
    m_voltage = voltage;
    m_readouts.changed();
}

void Form_MainCyclomarkator::setNextTriggerText(const QString& text) {
    m_controls->Label_TrigCount->setText(text);
}

void Form_MainCyclomarkator::setEventsText(const QString& text) {
    m_controls->Label_TrigEvents->setText(text);
}

void Form_MainCyclomarkator::setWatchText(const QString& text) {
    m_controls->Label_Watch->setText(QStringLiteral("Watch: ") + text);
}

void Form_MainCyclomarkator::setTriggerLabel(const QString& text) {
    m_controls->Label_AD_trigger->setText(text);
}

void Form_MainCyclomarkator::setTitle(const QString& text) {
    setWindowTitle(text);
}

void Form_MainCyclomarkator::moveActivityLine(int32_t x1, int32_t x2) {
    const LinePosition position{x1, x2};
    if (m_linePosition == position)
        return;
    m_linePosition = position;
    m_readouts.changed();
}

void Form_MainCyclomarkator::showReadouts() {
    if (m_voltage) {
        m_controls->Label_AD_get_Voltage->setText(m_voltage->text);
        MainWindowControls::setColour(m_controls->Label_AD_get_Voltage, QPalette::WindowText,
                                      m_voltage->red ? StatusColour::Red : StatusColour::Black);
    }
    if (m_linePosition)
        m_controls->Line_Timer->moveLine(m_linePosition->x1, m_linePosition->x2);
}

void Form_MainCyclomarkator::setActivityLineServed(bool served) {
    m_controls->Line_Timer->setServed(served);
}

// The program runs unattended for days, so a problem stays in sight in the
// status line instead of a box that would wait for a click.
void Form_MainCyclomarkator::reportProblem(const QString& text) {
    setStatus(text, StatusColour::Red, StatusColour::White);
    std::fprintf(stderr, "Cyclomarkator: %s\n", qPrintable(printableLine(text)));
}

void Form_MainCyclomarkator::reportRecovery(const QString& text) {
    setStatus(text, StatusColour::Green, StatusColour::Black);
    std::fprintf(stderr, "Cyclomarkator: %s\n", qPrintable(printableLine(text)));
}

void Form_MainCyclomarkator::setStatus(const QString& text, std::optional<uint32_t> back,
                                       std::optional<uint32_t> fore) {
    // A device's or a client's words may be part of the text: one line it stays.
    m_controls->Label_Status->setText(printableLine(text));
    if (back) {
        m_controls->Label_Status->setAutoFillBackground(true);
        MainWindowControls::setColour(m_controls->Label_Status, QPalette::Window, *back);
    }
    if (fore)
        MainWindowControls::setColour(m_controls->Label_Status, QPalette::WindowText, *fore);
}

void Form_MainCyclomarkator::setChannelList(const QStringList& names, int selected) {
    const QSignalBlocker quiet(m_controls->Combo_AD_channel);
    m_controls->Combo_AD_channel->clear();
    m_controls->Combo_AD_channel->addItems(names);
    m_controls->Combo_AD_channel->setCurrentIndex(selected);
}

void Form_MainCyclomarkator::setTestMode(bool on) {
    MainWindowControls::setColour(m_controls->Label_AD_get_cyclomarkator, QPalette::WindowText,
                                  on ? StatusColour::White : StatusColour::Red);
}

// What the link shows.

void Form_MainCyclomarkator::setLinkLamp(LinkLamp lamp, const QString& toolTip) {
    uint32_t colour = 0xC0C0C0; // grey: no link, or none open
    if (lamp == LinkLamp::Open)
        colour = StatusColour::Green;
    else if (lamp == LinkLamp::Error)
        colour = StatusColour::Red;
    MainWindowControls::setColour(m_controls->Picture_DDE, QPalette::Window, colour);
    m_controls->Picture_DDE->setToolTip(toolTip);
}

void Form_MainCyclomarkator::setLinkLocked(bool locked) {
    mnuExit->setEnabled(!locked);
    m_controls->Combo_AD_channel->setEnabled(!locked);
}

// A client's text is shown as it came, never read as markup.
void Form_MainCyclomarkator::setCommandText(const QString& text) {
    m_controls->Label_AD_cmd->setTextFormat(Qt::PlainText);
    m_controls->Label_AD_cmd->setText(text);
}

// One box at a time, which never waits: a newer command replaces the text of
// the open box, so a flood of commands cannot bury the window in boxes.
void Form_MainCyclomarkator::showLinkCommand(const QString& text) {
    if (m_commandBox) {
        m_commandBox->setText(text);
        return;
    }
    m_commandBox = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                                   QMessageBox::Ok, this);
    m_commandBox->setObjectName(QStringLiteral("LinkCommandBox"));
    m_commandBox->setTextFormat(Qt::PlainText);
    m_commandBox->setWindowModality(Qt::NonModal);
    m_commandBox->setAttribute(Qt::WA_DeleteOnClose);
    m_commandBox->show();
}

// Plain news: the status line's own colours, never those of the problem or
// recovery it showed before.
void Form_MainCyclomarkator::showLinkNotice(const QString& text) {
    m_controls->Label_Status->setText(text);
    m_controls->Label_Status->setAutoFillBackground(false);
    m_controls->Label_Status->setPalette(QPalette());
}

// Building the window.

void Form_MainCyclomarkator::buildMenus() {
    menuBar()->addMenu(buildFileMenu());
    menuBar()->addMenu(buildCounterMenu());
}

QMenu* Form_MainCyclomarkator::buildFileMenu() {
    auto* menu = new QMenu(QStringLiteral("&File"), this);
    menu->setObjectName(QStringLiteral("mnuFile"));
    menu->setToolTipsVisible(true);
    mnuSetup = addItem(menu, QStringLiteral("mnuSetup"), QStringLiteral("&Setup..."));
    connect(mnuSetup, &QAction::triggered, this, &Form_MainCyclomarkator::mnuSetup_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuFileDummy1"));
    mnuOnTop = addItem(menu, QStringLiteral("mnuOnTop"), QStringLiteral("Always on &Top"));
    mnuOnTop->setCheckable(true);
    connect(mnuOnTop, &QAction::triggered, this, &Form_MainCyclomarkator::mnuOnTop_Click);
    mnuShowRecorder =
        addItem(menu, QStringLiteral("mnuShowRecorder"), QStringLiteral("Show X-t-Recorder"));
    mnuShowRecorder->setCheckable(true);
    connect(mnuShowRecorder, &QAction::triggered, this,
            &Form_MainCyclomarkator::mnuShowRecorder_Click);
    mnuShowTrend = addItem(menu, QStringLiteral("mnuShowTrend"), QStringLiteral("Show T&rend"));
    mnuShowTrend->setCheckable(true);
    connect(mnuShowTrend, &QAction::triggered, this, &Form_MainCyclomarkator::mnuShowTrend_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuFileDummy2"));
    mnuExit = addItem(menu, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));
    connect(mnuExit, &QAction::triggered, this, &Form_MainCyclomarkator::mnuExit_Click);
    return menu;
}

QMenu* Form_MainCyclomarkator::buildCounterMenu() {
    auto* menu = new QMenu(QStringLiteral("&Counter"), this);
    menu->setObjectName(QStringLiteral("mnuCounter"));
    menu->setToolTipsVisible(true);
    mnuReset = addItem(menu, QStringLiteral("mnuReset"), QStringLiteral("&Reset"));
    connect(mnuReset, &QAction::triggered, this, &Form_MainCyclomarkator::mnuReset_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuCounterDummy1"));
    mnuTrigger = addItem(menu, QStringLiteral("mnuTrigger"), QStringLiteral("&Trigger..."));
    connect(mnuTrigger, &QAction::triggered, this, &Form_MainCyclomarkator::mnuTrigger_Click);
    mnuTrigMan = addItem(menu, QStringLiteral("mnuTrigMan"), QStringLiteral("manual Trigger"));
    connect(mnuTrigMan, &QAction::triggered, this, &Form_MainCyclomarkator::mnuTrigMan_Click);
    mnuWatch = addItem(menu, QStringLiteral("mnuWatch"), QStringLiteral("&Watch..."));
    connect(mnuWatch, &QAction::triggered, this, &Form_MainCyclomarkator::mnuWatch_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuCounterDummy2"));
    mnuTest = addItem(menu, QStringLiteral("mnuTest"), QStringLiteral("Test"));
    mnuTest->setCheckable(true);
    connect(mnuTest, &QAction::triggered, this, &Form_MainCyclomarkator::mnuTest_Click);
    mnuVersion = addItem(menu, QStringLiteral("mnuVersion"), QStringLiteral("&Version"));
    connect(mnuVersion, &QAction::triggered, this, &Form_MainCyclomarkator::mnuVersion_Click);
    return menu;
}

QAction* Form_MainCyclomarkator::addItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}
