// The main window through its real session: start-up, the menus, counting,
// the recorder hooks, where the window opens and how a run ends.
#include "WindowHarness.h"
#include "platform/UnixSignalWatcher.h"
#include "recorder/Form_Trend.h"
#include "recorder/Form_Xt_Recorder.h"
#include "support/OnlyPrompt.h"
#include "ui/ActivityLine.h"
#include "ui/WindowPlacement.h"
#include "ui/WindowRun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <cmath>
#include <csignal>
#include <functional>

namespace {

// Start-up, the menus, counting and the recorder through the real window: the
// counting, test and delayed-trigger timers are fired by the test. The
// counting rules, the exchange file and the trigger's own rules are checked on
// the counting core; here what matters is that the window shows and saves
// what the core does.

const QColor Red(255, 0, 0);

// Only an interface that opened counts; one that is configured but fails says
// so once, and the window still comes up with the saved count.
TEST(WindowStartUp, ShowsTheInterfaceAndCountsOnlyWhenItOpened) {
    const QString failing = QStringLiteral("National Instruments: 6023E/6024E/6025E");
    // The interface configured (null: no settings file at all), the status
    // (up to its first comma), whether it counts (and so is green with 8 channels, or red with
    // none) and the messages shown.
    const std::tuple<QString, QString, bool, QString> cases[] = {
        {{}, "(none) - No A/D converter is chosen", false, "0 messages"},
        {"Dummy A/D", "Dummy A/D", true, "0 messages"},
        {failing, failing, false,
         "A/D-Converter|Critical|Cannot initialize A/D-Interface\n\"" + failing + '"'}};
    for (const auto& [configured, status, counting, message] : cases) {
        SCOPED_TRACE(configured.toStdString());
        WindowHarness h;
        if (!configured.isNull())
            h.writeSettings("[HARDWARE]\nA/D-Converter=" + configured +
                            "\n[Cyclomarkator]\nValue=41\n");
        h.startWindow();
        EXPECT_EQ(h.text("Label_Status").section(u',', 0, 0), status);
        EXPECT_EQ(h.colour("Label_Status", QPalette::Window), counting ? QColor(0, 255, 0) : Red);
        EXPECT_EQ(h.find<QComboBox>("Combo_AD_channel")->count(), counting ? 8 : 0);
        EXPECT_EQ(h.session->countingTimer().isActive(), counting);
        EXPECT_EQ(onlyPrompt(h.prompts), message.toStdString());
        EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), configured.isNull() ? "0" : "41");
    }
}

// Test mode counts on its own timer without a converter, the count drawn
// white to tell it from real counting. Reset starts the count and the next
// trigger from 0 but keeps the minor count, so the running cycle still ends
// after its remaining extrema. The trigger dialog works on the window's
// counter. Always-on-top is on unless the file says 0 (a new installation
// stays in sight); the menu turns it over without hiding the window, and
// both keys keep the choice. The load step cannot know the frame the desktop
// puts around the window; the start timer corrects what the frame pushed out
// past the far edges.
TEST(WindowMenus, TestModeResetTriggerDialogAndOnTop) {
    const QRect screen(0, 0, 1024, 700);
    WindowHarness h;
    h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=7\nPeriodizitaet=2\n"
                                   "[General]\nAlwaysOnTop=1\nLeft=99999\nTop=99999\n"));
    h.startWindow(screen);
    const auto flush = [&] {
        const QSize size = h.form->frameGeometry().size();
        return QPoint(screen.width() - size.width(), screen.height() - size.height());
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.form->pos() == flush(); }, 1000));
    EXPECT_TRUE(h.action("mnuOnTop")->isChecked());
    EXPECT_TRUE(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    h.action("mnuOnTop")->trigger();
    EXPECT_FALSE(h.action("mnuOnTop")->isChecked());
    EXPECT_FALSE(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(h.form->isVisible());
    const char* count = "Label_AD_get_cyclomarkator";
    h.action("mnuTest")->trigger();
    EXPECT_EQ(h.colour(count), QColor(Qt::white));
    for (int i = 0; i < 3; ++i)
        WindowHarness::fire(h.session->testTimer());
    EXPECT_EQ(QStringList({h.text(count), h.text("Label_AD_get_cyclomarkator2")}),
              QStringList({"8", "1"}));
    h.action("mnuReset")->trigger(); // the minor count kept: the counting core's tests
    EXPECT_EQ(QStringList({h.text(count), h.text("Label_TrigCount")}), QStringList({"0", "1"}));
    h.action("mnuTest")->trigger();
    EXPECT_FALSE(h.session->testTimer().isActive());
    EXPECT_EQ(h.colour(count), Red);

    QTimer::singleShot(0, h.form.get(), [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("Text_Cyclomarkator"))->setText("4711");
        dialog->findChild<QAbstractButton*>(QStringLiteral("Command_Set"))->click();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    h.action("mnuTrigger")->trigger();
    EXPECT_EQ(h.text(count), QStringLiteral("4711"));
    h.form->close();
    EXPECT_EQ(h.settings({"General/AlwaysOnTop", "Cyclomarkator/AlwaysOnTop"}),
              QStringList({"0", "0"}));
}

// Counting goes on while the trigger waits, and the trigger reports the cycle
// it fell due at. One still waiting when the window closes must still reach
// the flag file before it is closed.
TEST(WindowCounting, DelayedTriggerKeepsCountingAndFiresLaterOrOnClosing) {
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "fired by closing" : "fired by its timer");
        WindowHarness h;
        // Nine cycles done, the tenth triggers; maxima from 0 V up count.
        h.writeSettings(dummySettings(QStringLiteral("[Cyclomarkator]\nValue=9\n[Profile]\n6N=10\n"
                                                     "[Trigger]\nADthreshold=0\nTrigDelay=50\n")));
        h.startWindow();
        for (int32_t at : {0, Top, Bottom})
            h.tickAt(at);
        EXPECT_EQ(h.flagFile(), QByteArray(4, '\0'));
        h.tickAt(Bottom + 10000);
        h.tickAt(Bottom + 20000); // the next maximum: cycle 11
        EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("11"));
        ASSERT_EQ(h.session->scheduler().pending(), 1);
        if (closing) {
            // A new channel is counted and saved; the activity line is green
            // while the exchange file is served.
            QTest::keyClick(h.find<QComboBox>("Combo_AD_channel"), Qt::Key_Down);
            auto* line = h.find<ActivityLine>("Line_Timer");
            EXPECT_EQ(line->colour(), QColor(Qt::green));
            h.form->close();
            EXPECT_EQ(line->colour(), QColor(Qt::red));
            EXPECT_EQ(h.settings({"Trigger/ADchannel"}), QStringList({"1"}));
        } else {
            auto* waiting = h.session->scheduler().findChild<QTimer*>();
            ASSERT_NE(waiting, nullptr);
            EXPECT_EQ(waiting->interval(), 50);
            WindowHarness::fire(*waiting);
        }
        EXPECT_EQ(h.flagFile(), QByteArray("\x01\x00\x00\x00", 4));
        EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("10 T"));
    }
}

// The check mark comes from the settings, follows the recorder window (whose
// close box only hides it) and goes back to the settings. Samples and trigger
// marks reach the chart and its data file, which is kept across runs, also
// through a run without a converter (the file's size: the process tests).
TEST(WindowRecorder, ShownAsSavedRecordsAndKeepsTheChartAcrossRuns) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[General]\nShowRecorder=-1\n")));
    h.startWindow();
    Form_Xt_Recorder* recorder = h.form->recorderWindowIfLoaded();
    ASSERT_NE(recorder, nullptr);
    QAction* shown = h.action("mnuShowRecorder");
    EXPECT_TRUE(shown->isChecked());
    // Timer_Init shows it; a fixed wait can end before its timer is served.
    EXPECT_TRUE(QTest::qWaitFor([recorder] { return recorder->isVisible(); }, 2000));
    for (const bool visible : {false, true}) {
        shown->trigger();
        EXPECT_EQ(recorder->isVisible(), visible);
    }
    for (int i = 1; i <= 30; ++i)
        h.tickAt(i * 40);
    h.action("mnuTrigMan")->trigger();
    const XtRecording& recording = h.session->recorder().recording();
    const int32_t samples = recording.SampleCount;
    EXPECT_GE(samples, 30);
    EXPECT_EQ(recording.MarkCount, 2); // the start-up's own flag write leaves one too
    EXPECT_FALSE(recorder->close());   // only hidden; the chart scrolls on
    EXPECT_TRUE(!recorder->isVisible() && !shown->isChecked() && recorder->scrolling());
    h.endRun();
    EXPECT_EQ(h.settings({"General/ShowRecorder"}), QStringList({"0"}));

    for (const char* converter : {"(none)", "Dummy A/D"}) {
        h.writeSettings(QStringLiteral("[HARDWARE]\nA/D-Converter=") + converter);
        h.startWindow();
        EXPECT_EQ(h.form->recorderWindowIfLoaded() != nullptr, converter[0] == 'D');
        EXPECT_GE(h.session->recorder().recording().SampleCount, samples) << converter;
        EXPECT_GE(h.session->recorder().recording().MarkCount, 2) << converter;
        h.endRun();
    }
}

// The trend window is off by default, made when first asked for, draws the
// core's present cycle log, and its close box only hides it and unticks it.
TEST(WindowTrend, OffByDefaultFollowsTheCycleLogAndItsCloseBoxUnticks) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    QAction* shown = h.action("mnuShowTrend");
    EXPECT_FALSE(shown->isChecked());
    EXPECT_EQ(h.form->trendWindowIfLoaded(), nullptr);
    for (int i = 1; i <= 5; ++i)
        h.tickAt(i * 40);
    shown->trigger();
    Form_Trend* trend = h.form->trendWindowIfLoaded();
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible() && trend->looking());
    trend->Timer_Trend_Timer();
    ASSERT_NE(trend->log(), nullptr);
    EXPECT_FALSE(h.session->core().cycleLogPath().isEmpty());
    EXPECT_EQ(trend->log()->path(), h.session->core().cycleLogPath());
    EXPECT_FALSE(trend->close());
    EXPECT_TRUE(!trend->isVisible() && !shown->isChecked() && !trend->looking());
    h.endRun();
}

// "&Setup..." pauses the counting while the A/D setup dialog is open; it runs
// again after it while the converter is ready. A converter given up there
// stops the counting and says so; a new interface accepted for a restart is
// stored and ends the run, also under an open link conversation (whose
// refusal is for a person closing the window, never a box here).
TEST(WindowSetup, CountingPausesWhileTheSetupDialogIsOpen) {
    // The entry accepted in the dialog (-1: closed at once), whether it counts
    // then, the status (null: the run has ended), the interface for the next
    // start, and whether a link conversation is open.
    const std::tuple<int, bool, const char*, const char*, bool> cases[] = {
        {-1, true, "Dummy A/D", "Dummy A/D", false},
        {0, false, "(none)", "(none)", false},
        {2, false, nullptr, "BMC Messsysteme: USB-AD16f:0", false},
        {2, false, nullptr, "BMC Messsysteme: USB-AD16f:0", true}};
    for (const auto& [entry, counting, status, stored, linked] : cases) {
        SCOPED_TRACE(entry);
        WindowHarness h;
        h.writeSettings(dummySettings());
        h.startWindow();
        h.form->setLinkLocked(linked);
        bool pausedWhileOpen = false;
        QTimer::singleShot(0, h.form.get(), [&, entry = entry] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            pausedWhileOpen = !h.session->countingTimer().isActive();
            if (entry >= 0) {
                dialog->findChild<QAbstractButton*>(QStringLiteral("Command_Change"))->click();
                auto* names = dialog->findChild<QComboBox*>(QStringLiteral("Combo_Name"));
                names->setCurrentIndex(entry);
                Q_EMIT names->activated(entry);
                dialog->findChild<QAbstractButton*>(QStringLiteral("Command_Accept"))->click();
            }
            if (dialog->isVisible())
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        h.action("mnuSetup")->trigger();
        EXPECT_TRUE(pausedWhileOpen);
        EXPECT_EQ(h.session->countingTimer().isActive(), counting);
        EXPECT_EQ(h.form->isVisible(), status != nullptr);
        if (status) {
            EXPECT_EQ(h.text("Label_Status"), QLatin1String(status));
            h.form->close();
        }
        EXPECT_EQ(h.settings({"HARDWARE/A/D-Converter"}), QStringList({stored}));
        EXPECT_TRUE(QFileInfo::exists(h.folder("config") + "/Hardware9"));
        for (const ScriptedPrompts::Shown& shown : h.prompts.shown)
            EXPECT_FALSE(shown.text.contains("cannot be closed")) << shown.text.toStdString();
    }
}

// How the window opens and ends: the saved position (in twips, 15 per pixel)
// pulled onto the screen, and the whole windowed run through its event loop,
// every way of ending it writing the count and the window's keys back.

// A window saved on a monitor that has gone, or with damaged values, must
// still open where it can be reached.
TEST(WindowPlacement, SavedPositionIsRoundedAndKeptInReach) {
    const QSize window(300, 200);
    const QRect screen(0, 0, 1280, 800);
    // What the case is, the saved place in twips, the window, the area, where it opens.
    const std::tuple<const char*, double, double, QSize, QRect, QPoint> cases[] = {
        {"to the nearest pixel", 1234.5, 7.5, window, screen, {82, 1}},
        {"past the bottom goes flush", 0, 75000, window, screen, {0, 600}},
        // The title bar must stay in reach.
        {"window larger than the screen", 15, 15, QSize(1400, 900), screen, {0, 0}},
        {"absurd values", 1e99, -1e99, window, screen, {980, 0}},
        {"not a number", std::nan(""), std::nan(""), window, screen, {0, 0}},
        {"monitor left of the first", -15082.5, 0, window, QRect(-1920, 0, 1920, 1080), {-1006, 0}},
        {"under a top panel", 0, 0, window, QRect(0, 32, 1280, 768), {0, 32}},
    };
    for (const auto& [what, left, top, size, area, expected] : cases)
        EXPECT_EQ(WindowPlacement::placeOnScreen(left, top, size, area), expected) << what;
}

Form_MainCyclomarkator* shownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<Form_MainCyclomarkator*>(widget); form && form->isVisible())
            return form;
    }
    return nullptr;
}

// A way of ending the run that skips writing back loses the count reached and
// where the user put the window.
TEST(WindowRun, EveryWayOfEndingWritesEverythingBack) {
    using Form = Form_MainCyclomarkator;
    const std::pair<const char*, std::function<void(Form&)>> ways[] = {
        {"close box", [](Form& form) { form.close(); }},
        {"exit menu", [](Form& f) { f.findChild<QAction*>(QLatin1String("mnuExit"))->trigger(); }},
        {"termination signal", [](Form&) { ::raise(SIGTERM); }},
        {"application quits", [](Form&) { QCoreApplication::quit(); }},
        // The loop ends without the window being closed; only aboutToQuit is left.
        {"event loop ends", [](Form&) { QCoreApplication::exit(0); }},
    };
    for (const auto& [what, end] : ways) {
        SCOPED_TRACE(what);
        WindowHarness h;
        h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=12\n[General]\nLeft=300\nTop=150\n"
                                       "AlwaysOnTop=0\n"));
        h.makeSession();
        UnixSignalWatcher watcher;
        // From the event loop, once the window is up; should the way of ending
        // not work, the run ends with 1 instead of hanging.
        QObject round; // its timers end with this round
        auto* poll = new QTimer(&round);
        QObject::connect(poll, &QTimer::timeout, &round, [poll, end = end] {
            if (Form* form = shownWindow()) {
                poll->stop();
                form->move(40, 30);
                end(*form);
            }
        });
        poll->start(5);
        QTimer::singleShot(10000, &round, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(runWindow(*h.session, h.prompts, watcher), 0);
        // The position in twips (15 per pixel), as older installations read it.
        EXPECT_EQ(h.settings({"General/Left", "General/Top", "General/AlwaysOnTop",
                              "Cyclomarkator/Value"}),
                  QStringList({"600", "450", "0", "12"}));
        EXPECT_EQ(shownWindow(), nullptr);
    }
}

} // namespace
