// The whole windowed run through its event loop: every way of ending it
// writes the count and the window's keys back exactly once; and the desktop
// message box closes as the user expects.
#include "app/WindowRun.h"
#include "WindowHarness.h"
#include "app/GuiPrompts.h"
#include "platform/UnixSignalWatcher.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

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

TEST(WindowRun, EveryWayOfEndingWritesEverythingBack) {
    const std::pair<const char*, std::function<void(Form_MainCyclomarkator&)>> ways[] = {
        {"close box", [](Form_MainCyclomarkator& form) { form.close(); }},
        {"exit menu",
         [](Form_MainCyclomarkator& form) {
             form.findChild<QAction*>(QStringLiteral("mnuExit"))->trigger();
         }},
        {"termination signal", [](Form_MainCyclomarkator&) { ::raise(SIGTERM); }},
        {"application quits", [](Form_MainCyclomarkator&) { QCoreApplication::quit(); }},
        // The loop ends without the window being closed; only aboutToQuit is left.
        {"event loop ends", [](Form_MainCyclomarkator&) { QCoreApplication::exit(0); }},
    };
    for (const auto& [what, end] : ways) {
        SCOPED_TRACE(what);
        WindowHarness h;
        h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=12\n[General]\nLeft=300\nTop=150\n"
                                       "AlwaysOnTop=0\n"));
        h.makeSession();
        UnixSignalWatcher watcher;
        whenReady([end = end] {
            Form_MainCyclomarkator* form = shownWindow();
            if (!form)
                return false;
            form->move(40, 30);
            end(*form);
            return true;
        });
        // Should the way of ending not work, the test fails instead of hanging.
        bool hung = false;
        QObject guard; // ends with this round, and its timer with it
        QTimer::singleShot(10000, &guard, [&hung] {
            hung = true;
            QCoreApplication::exit(1);
        });
        EXPECT_EQ(runWindow(*h.session, h.prompts, watcher), 0);
        EXPECT_FALSE(hung);
        EXPECT_TRUE(h.session->unloaded());
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
