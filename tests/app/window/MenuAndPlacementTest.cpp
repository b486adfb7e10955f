// The menus as the user finds them, always-on-top, and where the window opens
// and what position it leaves behind.
#include "WindowHarness.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList captions(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

TEST(Menus, CaptionsOrderAndWhatIsNotAvailableYet) {
    WindowHarness h;
    h.startWindow();
    const QList<QAction*> bar = h.form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(bar[1]->text(), QStringLiteral("&Counter"));
    EXPECT_EQ(captions(bar[0]->menu()),
              QStringList({"&Setup...", "-", "Always on &Top", "Show X-t-Recorder", "-", "E&xit"}));
    EXPECT_EQ(captions(bar[1]->menu()), QStringList({"&Reset", "-", "&Trigger...", "manual Trigger",
                                                     "-", "Test", "&Version"}));
    EXPECT_FALSE(h.action("mnuSetup")->isEnabled());
    EXPECT_TRUE(h.action("mnuSetup")->toolTip().contains(QStringLiteral("not available yet")));
    for (const char* name : {"mnuOnTop", "mnuShowRecorder", "mnuTest"})
        EXPECT_TRUE(h.action(name)->isCheckable()) << name;
    for (const char* name : {"mnuReset", "mnuTrigger", "mnuTrigMan", "mnuVersion", "mnuExit"})
        EXPECT_TRUE(h.action(name)->isEnabled()) << name;
}

struct OnTopCase {
    const char* general;   // "General" section lines
    bool onTopAtStart;     // after Timer_Init
    const char* savedFlag; // in both keys after a click on the item and closing
};

void PrintTo(const OnTopCase& c, std::ostream* out) {
    *out << '"' << c.general << '"';
}

class AlwaysOnTop : public testing::TestWithParam<OnTopCase> {};

TEST_P(AlwaysOnTop, FollowsTheSettingAndTheMenuAndIsSavedInBothKeys) {
    WindowHarness h;
    h.writeSettings(QStringLiteral("[General]\n") + GetParam().general);
    h.startWindow();
    QTest::qWait(20); // Timer_Init
    const bool expected = GetParam().onTopAtStart;
    EXPECT_EQ(h.action("mnuOnTop")->isChecked(), expected);
    EXPECT_EQ(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), expected);

    h.action("mnuOnTop")->trigger();
    EXPECT_EQ(h.action("mnuOnTop")->isChecked(), !expected);
    EXPECT_EQ(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), !expected);
    EXPECT_TRUE(h.form->isVisible()) << "changing the flag must not hide the window";

    h.form->close();
    EXPECT_EQ(h.setting("General", "AlwaysOnTop"), QLatin1String(GetParam().savedFlag));
    EXPECT_EQ(h.setting("Cyclomarkator", "AlwaysOnTop"), QLatin1String(GetParam().savedFlag));
}

INSTANTIATE_TEST_SUITE_P(Settings, AlwaysOnTop,
                         testing::Values(OnTopCase{"", true, "0"},
                                         OnTopCase{"AlwaysOnTop=-1\n", true, "0"},
                                         OnTopCase{"AlwaysOnTop=0\n", false, "-1"},
                                         OnTopCase{"AlwaysOnTop=1\n", true, "0"}));

TEST(ShowRecorder, CheckMarkComesFromTheSettingsAndGoesBack) {
    for (const char* saved : {"0", "-1"}) {
        WindowHarness h;
        h.writeSettings(QStringLiteral("[General]\nShowRecorder=%1\n").arg(saved));
        h.startWindow();
        const bool ticked = QLatin1String(saved) == QLatin1String("-1");
        EXPECT_EQ(h.action("mnuShowRecorder")->isChecked(), ticked) << saved;
        h.action("mnuShowRecorder")->trigger();
        h.form->close();
        EXPECT_EQ(h.setting("General", "ShowRecorder"), ticked ? "0" : "-1") << saved;
    }
}

struct OpenCase {
    const char* what;
    QString left, top; // twips as saved
    QPoint expected;   // pixels; -1 for "flush with the far edge"
};

void PrintTo(const OpenCase& c, std::ostream* out) {
    *out << c.what;
}

class OpensInReach : public testing::TestWithParam<OpenCase> {};

TEST_P(OpensInReach, SavedPositionIsPulledOntoTheScreen) {
    const QRect screen(0, 0, 1024, 700);
    WindowHarness h;
    h.writeSettings(
        QStringLiteral("[General]\nLeft=%1\nTop=%2\n").arg(GetParam().left, GetParam().top));
    h.startWindow(screen);
    const auto expected = [&h, &screen] {
        const QSize size = h.form->frameGeometry().size();
        QPoint point = GetParam().expected;
        if (point.x() < 0)
            point.setX(screen.width() - size.width());
        if (point.y() < 0)
            point.setY(screen.height() - size.height());
        return point;
    };
    // Timer_Init corrects what the frame, unknown at load, pushed out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.form->pos() == expected(); }, 1000))
        << GetParam().what << ": at " << h.form->pos().x() << ',' << h.form->pos().y();
    EXPECT_TRUE(screen.contains(h.form->frameGeometry())) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, OpensInReach,
    testing::Values(OpenCase{"as saved", "1500", "750", {100, 50}},
                    OpenCase{"missing keys", "", "", {0, 0}},
                    OpenCase{"decimal comma", "1500,0", "750,0", {100, 50}},
                    OpenCase{"beyond the right and bottom", "99999", "99999", {-1, -1}},
                    OpenCase{"negative", "-4500", "-15", {0, 0}},
                    OpenCase{"garbage", "left", "1e99", {0, 0}}),
    [](const testing::TestParamInfo<OpenCase>& info) {
        return QString::fromLatin1(info.param.what).replace(u' ', u'_').toStdString();
    });

TEST(ClosePosition, IsWrittenInTwips) {
    WindowHarness h;
    h.startWindow();
    h.form->move(120, 64);
    h.form->close();
    EXPECT_EQ(h.setting("General", "Left"), QStringLiteral("1800"));
    EXPECT_EQ(h.setting("General", "Top"), QStringLiteral("960"));
    EXPECT_TRUE(h.session->unloaded());
}

} // namespace
