// Start-up, counting and the recorder and trigger-dialog hooks through the
// real window: the counting, test and delayed-trigger timers are fired by the
// test. The counting rules, the exchange file and the trigger's own rules are
// checked on the counting core; here what matters is that the window shows
// and saves what the core does.
#include "WindowHarness.h"

#include "recorder/Form_Xt_Recorder.h"
#include "ui/ActivityLine.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int32_t Top = 5000;     // +10 V
constexpr int32_t Bottom = 15000; // -10 V
const QColor Red(255, 0, 0);
const QString Failing = QStringLiteral("National Instruments: 6023E/6024E/6025E");
const QString CannotOpen = "Cannot initialize A/D-Interface\n\"" + Failing + '"';

// Only an interface that opened counts; one that is configured but fails says
// so once, and the window still comes up with the saved count.
TEST(StartUp, ShowsTheInterfaceAndCountsOnlyWhenItOpened) {
    const struct {
        const char* configured; // null: no settings file at all
        QString status;
        bool counting; // and so green with 8 channels, or red with none
        QStringList messages;
    } cases[] = {
        {nullptr, "(none)", false, {}},
        {"Acme 3000", "(none)", false, {}},
        {"Dummy A/D", "Dummy A/D", true, {}},
        {"National Instruments: 6023E/6024E/6025E", Failing, false, {CannotOpen}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configured ? c.configured : "no settings file");
        WindowHarness h;
        if (c.configured)
            h.writeSettings(QStringLiteral("[HARDWARE]\nA/D-Converter=%1\n[Cyclomarkator]\n"
                                           "Value=41\n")
                                .arg(QLatin1String(c.configured)));
        h.startWindow();
        EXPECT_EQ(h.text("Label_Status"), c.status);
        EXPECT_EQ(h.colour("Label_Status", QPalette::Window), c.counting ? QColor(0, 255, 0) : Red);
        EXPECT_EQ(h.find<QComboBox>("Combo_AD_channel")->count(), c.counting ? 8 : 0);
        EXPECT_EQ(h.session->countingTimer().isActive(), c.counting);
        QStringList shown;
        for (const auto& prompt : h.prompts.shown)
            shown << prompt.text;
        EXPECT_EQ(shown, c.messages);
        EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), c.configured ? "41" : "0");
    }
}

// The saved channel is selected and read at once, in red above the threshold
// of source 0; a new choice is counted and saved. The activity line is green
// while the exchange file is served.
TEST(StartUp, TheChosenChannelIsReadCountedAndSaved) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[Trigger]\nADchannel=3\n")));
    h.clock.set(Top);
    h.startWindow();
    h.showPacedReadouts();
    EXPECT_TRUE(h.text("Label_AD_get_Voltage").startsWith(QStringLiteral("10")))
        << h.text("Label_AD_get_Voltage").toStdString();
    EXPECT_EQ(h.colour("Label_AD_get_Voltage"), Red);
    auto* line = h.find<ActivityLine>("Line_Timer");
    EXPECT_EQ(line->colour(), QColor(Qt::green));
    auto* combo = h.find<QComboBox>("Combo_AD_channel");
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(h.session->state().ADChannel, 5);
    h.form->close();
    EXPECT_EQ(h.setting("Trigger", "ADchannel"), QStringLiteral("5"));
    EXPECT_EQ(line->colour(), QColor(Qt::red));
}

// Test mode counts on its own timer without a converter, the count drawn white
// to tell it from real counting. Reset starts the count and the next trigger
// from 0 but keeps the minor count, so the running cycle still ends after its
// remaining extrema.
TEST(Counting, TestModeCountsOnItsOwnTimerAndResetKeepsTheMinorCount) {
    WindowHarness h;
    h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=7\nPeriodizitaet=2\n"));
    h.startWindow();
    h.action("mnuTest")->trigger();
    EXPECT_EQ(h.colour("Label_AD_get_cyclomarkator"), QColor(Qt::white));
    for (int i = 0; i < 3; ++i)
        WindowHarness::fire(h.session->testTimer());
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("8"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("1"));
    h.action("mnuReset")->trigger();
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("0"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("1"));
    EXPECT_EQ(h.text("Label_TrigCount"), QStringLiteral("1"));
    h.action("mnuTest")->trigger();
    EXPECT_FALSE(h.session->testTimer().isActive());
    EXPECT_EQ(h.colour("Label_AD_get_cyclomarkator"), Red);
}

// Counting goes on while the trigger waits, and the trigger reports the cycle
// it fell due at. One still waiting when the window closes must still reach
// the flag file before it is closed.
TEST(Counting, DelayedTriggerKeepsCountingAndFiresLaterOrOnClosing) {
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
            h.form->close();
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

// A count cut off in its label, or a window that jumps when the count grows.
TEST(Counting, TheLargestCountFitsItsLabelWithoutMovingTheWindow) {
    WindowHarness h;
    h.startWindow();
    auto* count = h.find("Label_AD_get_cyclomarkator");
    const QSize before = h.form->size();
    h.form->setCountText(QStringLiteral("2147483647"));
    QApplication::processEvents();
    EXPECT_GE(count->contentsRect().width(),
              count->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")));
    EXPECT_EQ(h.form->size(), before);
}

// The check mark comes from the settings, follows the recorder window (whose
// close box only hides it) and goes back to the settings. Samples and trigger
// marks reach the chart and its data file, which is kept across runs; a run
// without a converter records nothing and must not overwrite it.
TEST(RecorderHook, ShownAsSavedRecordsAndKeepsTheChartAcrossRuns) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[General]\nShowRecorder=-1\n")));
    h.startWindow();
    Form_Xt_Recorder* recorder = h.form->recorderWindowIfLoaded();
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(h.action("mnuShowRecorder")->isChecked());
    // Timer_Init shows it; a fixed wait can end before its timer is served.
    EXPECT_TRUE(QTest::qWaitFor([recorder] { return recorder->isVisible(); }, 2000));
    h.action("mnuShowRecorder")->trigger();
    EXPECT_FALSE(recorder->isVisible());
    h.action("mnuShowRecorder")->trigger();
    EXPECT_TRUE(recorder->isVisible());
    for (int i = 1; i <= 30; ++i)
        h.tickAt(i * 40);
    h.action("mnuTrigMan")->trigger();
    const XtRecording& recording = h.session->recorder().recording();
    const int32_t samples = recording.SampleCount;
    EXPECT_GE(samples, 30);
    EXPECT_EQ(recording.MarkCount, 2); // the start-up's own flag write leaves one too
    recorder->close();
    EXPECT_FALSE(h.action("mnuShowRecorder")->isChecked());
    EXPECT_TRUE(h.prompts.shown.isEmpty()) << "no message for a first run without Data.dat";
    h.endRun();
    EXPECT_EQ(h.setting("General", "ShowRecorder"), QStringLiteral("0"));
    EXPECT_EQ(QFileInfo(h.folder("program") + QStringLiteral("/Data.dat")).size(), 88029);

    h.writeSettings(QStringLiteral("[HARDWARE]\nA/D-Converter=(none)\n"));
    h.startWindow();
    EXPECT_EQ(h.form->recorderWindowIfLoaded(), nullptr);
    h.endRun();
    // The next run with a converter reads the chart back (through the recorder's start timer).
    h.writeSettings(dummySettings());
    h.startWindow();
    const XtRecording& next = h.session->recorder().recording();
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.SampleCount >= samples; }, 2000))
        << next.SampleCount << " of " << samples;
    EXPECT_GE(next.MarkCount, 2);
}

// A count set in the dialog is shown and saved at once, not only at the next
// counted extremum, so a power cut cannot take it back.
TEST(TriggerDialogHook, SetCountShowsAtOnceAndIsSaved) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialogSeen = true;
        dialog->findChild<QLineEdit*>(QStringLiteral("Text_Cyclomarkator"))->setText("4711");
        dialog->findChild<QPushButton*>(QStringLiteral("Command_Set"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("Command_Cancel"))->click();
    });
    h.action("mnuTrigger")->trigger();
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("4711"));
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("4711"));
}

} // namespace
