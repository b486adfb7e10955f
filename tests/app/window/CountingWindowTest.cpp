// Start-up and counting through the real window: the counting, test and
// delayed-trigger timers are fired by the test. The counting rules, the
// exchange file and the trigger's own rules are checked on the counting core;
// here what matters is that the window shows and saves what the core does.
#include "WindowHarness.h"

#include "app/ActivityLine.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int32_t Top = 5000;     // +10 V
constexpr int32_t Bottom = 15000; // -10 V
const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QByteArray FlagSet("\x01\x00\x00\x00", 4);
const QByteArray FlagClear(4, '\0');
const QString Failing = QStringLiteral("National Instruments: 6023E/6024E/6025E");

// Only an interface that opened counts; one that is configured but fails says
// so once, and the window still comes up with the saved count.
TEST(StartUp, ShowsTheInterfaceAndCountsOnlyWhenItOpened) {
    const struct {
        const char* configured; // null: no settings file at all
        QString status;
        QColor back;
        int channels;
        bool counting, message;
    } cases[] = {
        {nullptr, "(none)", Red, 0, false, false},
        {"Acme 3000", "(none)", Red, 0, false, false},
        {"Dummy A/D", "Dummy A/D", Green, 8, true, false},
        {"National Instruments: 6023E/6024E/6025E", Failing, Red, 0, false, true},
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
        EXPECT_EQ(h.colour("Label_Status", QPalette::Window), c.back);
        EXPECT_EQ(h.find<QComboBox>("Combo_AD_channel")->count(), c.channels);
        EXPECT_EQ(h.session->countingTimer().isActive(), c.counting);
        ASSERT_EQ(h.prompts.shown.size(), c.message ? 1 : 0);
        if (c.message) {
            EXPECT_EQ(h.prompts.shown[0].text,
                      QStringLiteral("Cannot initialize A/D-Interface\n\"%1\"").arg(Failing));
            EXPECT_EQ(h.prompts.shown[0].icon, PromptIcon::Critical);
        }
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
    h.tickAt(Bottom);
    EXPECT_EQ(h.colour("Label_AD_get_Voltage"), Black);
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
    EXPECT_EQ(h.colour("Label_AD_get_cyclomarkator"), Red);
    h.action("mnuTest")->trigger();
    EXPECT_EQ(h.colour("Label_AD_get_cyclomarkator"), White);
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
        EXPECT_EQ(h.form->windowTitle(), QStringLiteral("Delay 50 ms..."));
        EXPECT_EQ(h.flagFile(), FlagClear);
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
            const QString title = h.form->windowTitle(); // the time format is the core's
            EXPECT_TRUE(title.startsWith("Trigger (10) at ") && title.endsWith(" OK"))
                << title.toStdString();
        }
        EXPECT_EQ(h.flagFile(), FlagSet);
        EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("10 T"));
        EXPECT_EQ(h.session->scheduler().pending(), 0);
    }
}

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

} // namespace
