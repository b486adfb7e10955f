// Counting through the window: the simulated converter follows the test's
// clock (a sine of 10 V and 20 s period: +10 V at 5 s, -10 V at 15 s), and
// the counting, test and delayed-trigger timers are fired by the test.
#include "WindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/ActivityLine.h"

namespace {

constexpr int32_t Top = 5000;     // +10 V
constexpr int32_t Bottom = 15000; // -10 V
const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QByteArray FlagSet("\x01\x00\x00\x00", 4);
const QByteArray FlagClear(4, '\0');

// Nine cycles done, the tenth triggers; maxima from 0 V up count.
QString nearTrigger(const QString& extra = {}) {
    return dummySettings(QStringLiteral("[Cyclomarkator]\nValue=9\nPeriodizitaet=1\n"
                                        "[Trigger]\nEnabled=1\nSource=0\nADthreshold=0\n"
                                        "TrigCount=10\n") +
                         extra + QStringLiteral("[Profile]\nProfiles=0\n6N=10\n"));
}

bool triggerTitle(const QString& title, int cycle) {
    static const QRegularExpression shape(QStringLiteral("^Trigger \\((\\d+)\\) at "
                                                         "\\d\\d:\\d\\d:\\d\\d OK$"));
    const QRegularExpressionMatch match = shape.match(title);
    return match.hasMatch() && match.captured(1).toInt() == cycle;
}

ActivityLine* activityLine(const WindowHarness& h) {
    return h.form->findChild<ActivityLine*>(QStringLiteral("Line_Timer"));
}

TEST(Counting, ACompletedCycleFiresTheTriggerEverywhere) {
    WindowHarness h;
    h.writeSettings(nearTrigger());
    h.startWindow();
    h.tickAt(0);
    h.tickAt(Top); // confirms the starting minimum of 0 V (maxima count)
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("9"));
    EXPECT_EQ(h.flagFile(), FlagClear);

    h.tickAt(Bottom); // confirms the maximum: cycle 10, due
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("10"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("0"));
    EXPECT_EQ(h.text("Label_TrigCount"), QStringLiteral("20"));
    EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("10 T"));
    EXPECT_TRUE(triggerTitle(h.form->windowTitle(), 10)) << h.form->windowTitle().toStdString();
    EXPECT_EQ(h.flagFile(), FlagSet);
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("10"));
    EXPECT_EQ(h.setting("Trigger", "TrigCount"), QStringLiteral("20"));
    EXPECT_EQ(h.exchangeElement(0), 10.0f);
}

TEST(Counting, ActivityLineStepsAndShowsTheExchangeFile) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    ActivityLine* line = activityLine(h);
    ASSERT_NE(line, nullptr);
    QList<QPair<int, int>> seen;
    for (int tick = 0; tick < 20; ++tick) {
        h.tickAt(tick * 40);
        seen.append({line->x1(), line->x2()});
    }
    EXPECT_EQ(seen.first(), qMakePair(0, 8));
    EXPECT_EQ(seen[1], qMakePair(8, 16));
    EXPECT_EQ(seen[18], qMakePair(144, 152)); // the far end, then back to the start
    EXPECT_EQ(seen[19], qMakePair(8, 16));
    for (const auto& [x1, x2] : seen)
        EXPECT_LE(x2, ActivityLine::Units);
    EXPECT_EQ(line->colour(), QColor(Qt::green));

    h.form->close(); // the exchange file closes
    EXPECT_EQ(line->colour(), QColor(Qt::red));
}

struct VoltageCase {
    int source;
    int32_t at;
    QColor colour;
};

void PrintTo(const VoltageCase& c, std::ostream* out) {
    *out << "source " << c.source << " at " << c.at << " ms";
}

class VoltageColour : public testing::TestWithParam<VoltageCase> {};

TEST_P(VoltageColour, RedOnTheSideWhereTheTriggerActs) {
    WindowHarness h;
    h.writeSettings(dummySettings(
        QStringLiteral("[Trigger]\nADthreshold=0\nSource=%1\n").arg(GetParam().source)));
    h.startWindow();
    h.tickAt(GetParam().at);
    EXPECT_EQ(h.foreground("Label_AD_get_Voltage"), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Sources, VoltageColour,
                         testing::Values(VoltageCase{0, Top, Red}, VoltageCase{0, Bottom, Black},
                                         VoltageCase{1, Top, Black}, VoltageCase{1, Bottom, Red},
                                         VoltageCase{2, Top, Red}, VoltageCase{2, Bottom, Black},
                                         VoltageCase{3, Top, Black}, VoltageCase{3, Bottom, Red}));

TEST(Reset, KeepsTheMinorCountSoTheCycleEndsAfterTheRemainingExtrema) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[Cyclomarkator]\nValue=5\nValue2=1\n"
                                                 "Periodizitaet=2\n[Trigger]\nEnabled=0\n")));
    h.startWindow();
    h.action("mnuReset")->trigger();
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("0"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("1"));
    EXPECT_EQ(h.text("Label_TrigCount"), QStringLiteral("Trigger off"));
    EXPECT_EQ(h.exchangeElement(0), 0.0f);

    h.tickAt(0);
    h.tickAt(Top);
    h.tickAt(Bottom); // one more maximum completes the cycle
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("1"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("0"));
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("1"));
    EXPECT_EQ(h.flagFile(), FlagClear) << "triggers are off";
}

TEST(TestMode, CountsOnItsOwnTimerAndDrawsTheCountWhite) {
    WindowHarness h;
    h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=7\nPeriodizitaet=2\n"));
    h.startWindow(); // no converter: test mode needs none
    EXPECT_EQ(h.foreground("Label_AD_get_cyclomarkator"), Red);

    h.action("mnuTest")->trigger();
    EXPECT_TRUE(h.action("mnuTest")->isChecked());
    EXPECT_EQ(h.foreground("Label_AD_get_cyclomarkator"), White);
    EXPECT_EQ(h.session->testTimer().interval(), 2000);
    WindowHarness::fire(h.session->testTimer());
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator2"), QStringLiteral("1"));
    WindowHarness::fire(h.session->testTimer());
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("8"));
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("8"));

    h.action("mnuTest")->trigger();
    EXPECT_FALSE(h.session->testTimer().isActive());
    EXPECT_EQ(h.foreground("Label_AD_get_cyclomarkator"), Red);
}

enum class FiredBy { Timer, Closing };

class DelayedTrigger : public testing::TestWithParam<FiredBy> {};

TEST_P(DelayedTrigger, AnnouncesTheDelayKeepsCountingAndFiresLater) {
    WindowHarness h;
    h.writeSettings(nearTrigger(QStringLiteral("TrigDelay=50\n")));
    h.startWindow();
    h.tickAt(0);
    h.tickAt(Top);
    h.tickAt(Bottom);
    EXPECT_EQ(h.form->windowTitle(), QStringLiteral("Delay 50 ms..."));
    EXPECT_EQ(h.flagFile(), FlagClear);
    EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("-1 Label_AD_trigger"));

    const QString before = h.text("Label_AD_get_Voltage");
    h.tickAt(Bottom + 10000); // counting goes on while the trigger waits
    EXPECT_NE(h.text("Label_AD_get_Voltage"), before);
    ASSERT_EQ(h.session->scheduler().pending(), 1);

    if (GetParam() == FiredBy::Timer) {
        auto* waiting = h.session->scheduler().findChild<QTimer*>();
        ASSERT_NE(waiting, nullptr);
        EXPECT_EQ(waiting->interval(), 50);
        WindowHarness::fire(*waiting);
        EXPECT_TRUE(triggerTitle(h.form->windowTitle(), 10)) << h.form->windowTitle().toStdString();
    } else {
        h.form->close();
    }
    EXPECT_EQ(h.flagFile(), FlagSet);
    EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("10 T"));
    EXPECT_EQ(h.session->scheduler().pending(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, DelayedTrigger, testing::Values(FiredBy::Timer, FiredBy::Closing),
                         [](const testing::TestParamInfo<FiredBy>& info) {
                             return info.param == FiredBy::Timer ? "Timer" : "Closing";
                         });

TEST(ManualTrigger, WritesTheFlagEvenWithTriggersOff) {
    WindowHarness h;
    h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=33\n[Trigger]\nEnabled=0\n"));
    h.startWindow();
    h.action("mnuTrigMan")->trigger();
    EXPECT_EQ(h.flagFile(), FlagSet);
    EXPECT_TRUE(triggerTitle(h.form->windowTitle(), 33)) << h.form->windowTitle().toStdString();
    EXPECT_EQ(h.text("Label_AD_trigger"), QStringLiteral("-1 Label_AD_trigger"));
}

TEST(ChannelChoice, TheChosenChannelIsCountedAndSaved) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[Trigger]\nADchannel=3\n")));
    h.startWindow();
    auto* combo = h.form->findChild<QComboBox*>(QStringLiteral("Combo_AD_channel"));
    ASSERT_NE(combo, nullptr);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentIndex(), 5);
    EXPECT_EQ(h.session->state().ADChannel, 5);
    h.form->close();
    EXPECT_EQ(h.setting("Trigger", "ADchannel"), QStringLiteral("5"));
}

TEST(Problems, AnUnwritableSettingsFileShowsInTheStatusLine) {
    WindowHarness h;
    // A folder where the settings file should be: nothing can replace it.
    ASSERT_TRUE(QDir().mkpath(h.settingsPath()));
    h.startWindow();
    h.action("mnuTest")->trigger();
    WindowHarness::fire(h.session->testTimer()); // a counted extremum saves
    EXPECT_TRUE(h.text("Label_Status").contains(QStringLiteral("cannot be written")))
        << h.text("Label_Status").toStdString();
    EXPECT_EQ(h.background("Label_Status"), Red);
    EXPECT_TRUE(h.prompts.shown.isEmpty()) << "an unattended program must not wait for a click";
}

TEST(Version, ShowsTheVersionMessage) {
    WindowHarness h;
    h.startWindow();
    h.action("mnuVersion")->trigger();
    ASSERT_EQ(h.prompts.shown.size(), 1);
    EXPECT_EQ(h.prompts.shown[0].title, QStringLiteral("Cyclomarkator 2010"));
    EXPECT_EQ(h.prompts.shown[0].icon, PromptIcon::Information);
    EXPECT_TRUE(h.prompts.shown[0].text.startsWith(QStringLiteral("/opt/cyclo/Cyclomarkator\n")));
}

TEST(Layout, TheLargestCountFitsItsLabel) {
    WindowHarness h;
    h.startWindow();
    auto* count = h.form->findChild<QLabel*>(QStringLiteral("Label_AD_get_cyclomarkator"));
    ASSERT_NE(count, nullptr);
    const QSize before = h.form->size();
    h.form->setCountText(QStringLiteral("2147483647"));
    QApplication::processEvents();
    EXPECT_GE(count->contentsRect().width(),
              count->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")));
    EXPECT_EQ(h.form->size(), before) << "the window must not jump as the count grows";
}

} // namespace
