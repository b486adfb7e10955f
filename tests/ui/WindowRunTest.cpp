// How the window opens and ends: the saved position (in twips, 15 per pixel)
// pulled onto the screen, always-on-top as saved and as the menu sets it; the
// whole windowed run through its event loop, every way of ending it writing
// the count and the window's keys back; and the desktop message box.
#include "ui/WindowRun.h"
#include "WindowHarness.h"
#include "platform/UnixSignalWatcher.h"
#include "ui/GuiPrompts.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

namespace {

constexpr int IntMax = std::numeric_limits<int>::max();
constexpr int IntMin = std::numeric_limits<int>::min();

// A damaged file must not overflow the maths.
TEST(WindowPlacement, TwipsRoundToTheNearestPixelAndSurviveDamagedValues) {
    // NaN and values beyond the int range run through the placement below.
    const std::pair<double, int> cases[] = {{0.0, 0},       {7.0, 0},       {8.0, 1},
                                            {1234.5, 82},   {1500.0, 100},  {-1500.0, -100},
                                            {1e99, IntMax}, {-1e99, IntMin}};
    for (const auto& [twips, pixels] : cases)
        EXPECT_EQ(WindowPlacement::twipsToPixels(twips), pixels) << twips;
}

// A window saved on a monitor that has gone, or with damaged values, must
// still open where it can be reached.
TEST(WindowPlacement, SavedPositionIsKeptInReach) {
    const QSize window(300, 200);
    const QRect screen(0, 0, 1280, 800);
    const QRect rightMonitor(1280, 0, 1920, 1080);
    const struct {
        const char* what;
        double left, top; // twips
        QSize window;
        QRect area;
        QPoint expected;
    } cases[] = {
        {"inside stays", 1500, 750, window, screen, {100, 50}},
        {"just fits", 980 * 15, 600 * 15, window, screen, {980, 600}},
        {"past the right edge goes flush", 1200 * 15, 0, window, screen, {980, 0}},
        {"past the bottom goes flush", 0, 5000 * 15, window, screen, {0, 600}},
        {"negative goes to the edge", -3000, -15, window, screen, {0, 0}},
        // The title bar must stay in reach.
        {"window larger than the screen", 15, 15, QSize(1400, 900), screen, {0, 0}},
        {"absurd values", 1e99, -1e99, window, screen, {980, 0}},
        {"not a number", std::nan(""), std::nan(""), window, screen, {0, 0}},
        {"second monitor keeps its place", 2000 * 15, 100 * 15, window, rightMonitor, {2000, 100}},
        {"gone monitor falls onto this one", 2000 * 15, 100 * 15, window, screen, {980, 100}},
        {"left of a second monitor", 0, 0, window, rightMonitor, {1280, 0}},
        {"under a top panel", 0, 0, window, QRect(0, 32, 1280, 768), {0, 32}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowPlacement::placeOnScreen(c.left, c.top, c.window, c.area), c.expected)
            << c.what;
}

// The load step cannot know the frame the desktop puts around the window; the
// start timer corrects what the frame pushed out past the far edges.
TEST(WindowPlacement, TheOpenedWindowIsOnTheScreenWithItsFrame) {
    const QRect screen(0, 0, 1024, 700);
    WindowHarness h;
    h.writeSettings(QStringLiteral("[General]\nLeft=99999\nTop=99999\n"));
    h.startWindow(screen);
    const auto flush = [&] {
        const QSize size = h.form->frameGeometry().size();
        return QPoint(screen.width() - size.width(), screen.height() - size.height());
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.form->pos() == flush(); }, 1000))
        << h.form->pos().x() << ',' << h.form->pos().y();
    EXPECT_TRUE(screen.contains(h.form->frameGeometry()));
}

// On unless the file says 0 (a new installation stays in sight); the menu
// turns it over without hiding the window, and both keys keep the choice.
TEST(AlwaysOnTop, FollowsTheSettingAndTheMenuAndIsSavedInBothKeys) {
    const struct {
        const char* general;
        bool onTopAtStart;
        const char* savedAfterClick;
    } cases[] = {{"", true, "0"}, {"AlwaysOnTop=0\n", false, "-1"}, {"AlwaysOnTop=1\n", true, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.general);
        WindowHarness h;
        h.writeSettings(QStringLiteral("[General]\n") + QLatin1String(c.general));
        h.startWindow();
        QTest::qWait(20); // Timer_Init
        EXPECT_EQ(h.action("mnuOnTop")->isChecked(), c.onTopAtStart);
        EXPECT_EQ(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTopAtStart);
        h.action("mnuOnTop")->trigger();
        EXPECT_EQ(h.action("mnuOnTop")->isChecked(), !c.onTopAtStart);
        EXPECT_EQ(h.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), !c.onTopAtStart);
        EXPECT_TRUE(h.form->isVisible());
        h.form->close();
        EXPECT_EQ(h.setting("General", "AlwaysOnTop"), QLatin1String(c.savedAfterClick));
        EXPECT_EQ(h.setting("Cyclomarkator", "AlwaysOnTop"), QLatin1String(c.savedAfterClick));
    }
}

Form_MainCyclomarkator* shownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<Form_MainCyclomarkator*>(widget); form && form->isVisible())
            return form;
    }
    return nullptr;
}

// From the event loop, tries `act` every 5 ms until it reports that it acted.
void whenReady(std::function<bool()> act) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (act()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(5);
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
        whenReady([end = end] {
            Form* form = shownWindow();
            if (!form)
                return false;
            form->move(40, 30);
            end(*form);
            return true;
        });
        // Should the way of ending not work, the run ends with 1 instead of hanging.
        QObject guard; // ends with this round, and its timer with it
        QTimer::singleShot(10000, &guard, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(runWindow(*h.session, h.prompts, watcher), 0);
        // The position in twips (15 per pixel), as older installations read it.
        EXPECT_EQ(h.setting("General", "Left"), QStringLiteral("600"));
        EXPECT_EQ(h.setting("General", "Top"), QStringLiteral("450"));
        EXPECT_EQ(h.setting("General", "AlwaysOnTop"), QStringLiteral("0"));
        EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("12"));
        EXPECT_EQ(shownWindow(), nullptr);
    }
}

// Every message the program shows has only an OK button (nothing in the
// program asks a question or for input); such a box must show, with its icon,
// and close by Escape as well.
TEST(GuiPrompts, AnOkMessageBoxShowsItsIconAndClosesByEscape) {
    GuiPrompts prompts;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenReady([&icon] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            icon = box->icon();
            QTest::keyClick(box, Qt::Key_Escape);
        }
        return box != nullptr;
    });
    EXPECT_EQ(prompts.messageBox(QStringLiteral("Text"), QStringLiteral("Title"),
                                 PromptIcon::Critical, PromptButtons::Ok),
              PromptAnswer::Ok);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

} // namespace
