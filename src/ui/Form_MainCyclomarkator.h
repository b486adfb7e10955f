#pragma once
// The main window: the cycle count in large type with the minor count,
// extrema per cycle, trigger events and next trigger beneath it, the present
// voltage and channel, the activity line, the DDE lamp and the status line,
// and the menus. It only shows what the counting session reports and hands
// the user's actions to it. The session and the prompts must outlive it.
#include "common/ReadoutThrottle.h"
#include "session/CounterSession.h"
#include "session/MainView.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <optional>

class Form_Trend;
class Form_Xt_Recorder;
class MainWindowControls;
class Prompts;
class QAction;
class QMenu;

class Form_MainCyclomarkator final : public QMainWindow, public MainView {
    Q_OBJECT
public:
    Form_MainCyclomarkator(CounterSession& session, Prompts& prompts, QWidget* parent = nullptr);
    // The recorder window, or null while none was loaded.
    Form_Xt_Recorder* recorderWindowIfLoaded() const { return m_recorderWindow; }
    Form_Trend* trendWindowIfLoaded() const { return m_trendWindow; }
    ~Form_MainCyclomarkator() override;

    // The load step: the saved position pulled onto `screenArea` (the available
    // part of the screen, in pixels), the recorder's check mark, then the
    // session's load (counting labels, exchange and flag files).
    void Form_Load(const QRect& screenArea);
    // The rest of start-up: shows the window, opens the interface, puts the
    // counters on screen, applies always-on-top and arms Timer_Init.
    void startUp();
    // Closing: hands the position (in twips) and the check marks to the
    // session, which writes everything back. Runs once; later calls do nothing.
    void Form_Unload();
    GeneralSettings windowSettings() const;

    // The one-shot start timer's work: always-on-top as the settings say, and
    // the window kept on the screen now that its frame is known.
    void Timer_Init_Timer();
    // Qt::WindowStaysOnTopHint, keeping the window shown and in its place.
    void SetTopmost(bool on);

    void setCountText(const QString& text) override;
    void setMinorCountText(const QString& text) override;
    void setExtremaPerCycleText(const QString& text) override;
    void setVoltageText(const QString& text, bool red) override;
    void setNextTriggerText(const QString& text) override;
    void setEventsText(const QString& text) override;
    void setWatchText(const QString& text) override;
    void setTriggerLabel(const QString& text) override;
    void setTitle(const QString& text) override;
    void moveActivityLine(int32_t x1, int32_t x2) override;
    void setActivityLineServed(bool served) override;
    void reportProblem(const QString& text) override;
    void reportRecovery(const QString& text) override;
    void setStatus(const QString& text, std::optional<uint32_t> back = std::nullopt,
                   std::optional<uint32_t> fore = std::nullopt) override;
    void setChannelList(const QStringList& names, int selected) override;
    void setTestMode(bool on) override;

    void setLinkLamp(LinkLamp lamp, const QString& toolTip) override;
    void setLinkLocked(bool locked) override;
    void setCommandText(const QString& text) override;
    void showLinkCommand(const QString& text) override;
    void showLinkNotice(const QString& text) override;
    // The box with the newest command a link client executed, while it is open.
    QMessageBox* linkCommandBox() const { return m_commandBox; }

    // Paces the voltage and the activity line, which change at every tick.
    ReadoutThrottle& readoutThrottle() { return m_readouts; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void mnuSetup_Click();
    void mnuOnTop_Click(bool checked);
    void mnuReset_Click();
    void mnuTrigger_Click();
    void mnuTrigMan_Click();
    void mnuWatch_Click();
    void mnuTest_Click(bool checked);
    void mnuVersion_Click();
    void mnuShowRecorder_Click(bool checked);
    void mnuShowTrend_Click(bool checked);
    void mnuExit_Click();
    void Combo_AD_channel_Click(int index);

    // The recorder window over the session's recording, created hidden on
    // first use; it belongs to this window and is unloaded with it.
    Form_Xt_Recorder& recorderWindow();
    Form_Trend& trendWindow();

    void showReadouts();

    void buildMenus();
    QMenu* buildFileMenu();
    QMenu* buildCounterMenu();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);

    CounterSession& m_session;
    Prompts& m_prompts;
    bool m_unloaded = false;
    QRect m_screenArea;

    QAction* mnuSetup = nullptr;
    QAction* mnuOnTop = nullptr;
    QAction* mnuShowRecorder = nullptr;
    QAction* mnuShowTrend = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuReset = nullptr;
    QAction* mnuTrigger = nullptr;
    QAction* mnuTrigMan = nullptr;
    QAction* mnuWatch = nullptr;
    QAction* mnuTest = nullptr;
    QAction* mnuVersion = nullptr;

    MainWindowControls* m_controls = nullptr;
    Form_Xt_Recorder* m_recorderWindow = nullptr;
    Form_Trend* m_trendWindow = nullptr;
    QPointer<QMessageBox> m_commandBox;

    // The newest values of the paced readouts, shown by showReadouts().
    struct Voltage {
        QString text;
        bool red = false;
        bool operator==(const Voltage&) const = default;
    };
    struct LinePosition {
        int32_t x1 = 0;
        int32_t x2 = 0;
        bool operator==(const LinePosition&) const = default;
    };
    std::optional<Voltage> m_voltage;
    std::optional<LinePosition> m_linePosition;
    ReadoutThrottle m_readouts{[this] { showReadouts(); }};
};
