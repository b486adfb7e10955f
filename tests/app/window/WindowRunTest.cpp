// The whole windowed run through its event loop: every way of ending it
// writes the count and the window's keys back exactly once; and the desktop
// message boxes answer as the buttons say.
#include "app/WindowRun.h"
#include "WindowHarness.h"
#include "app/GuiPrompts.h"
#include "platform/UnixSignalWatcher.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
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

// Runs `act` on the window once the event loop has shown it.
void whenShown(std::function<void(Form_MainCyclomarkator&)> act) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (Form_MainCyclomarkator* form = shownWindow()) {
            poll->deleteLater();
            poll->stop();
            act(*form);
        }
    });
    poll->start(5);
}

struct EndCase {
    const char* what;
    std::function<void(Form_MainCyclomarkator&)> end;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.what;
}

class WindowRunEnds : public testing::TestWithParam<EndCase> {};

TEST_P(WindowRunEnds, WritesEverythingBackOnce) {
    WindowHarness h;
    h.writeSettings(QStringLiteral("[Cyclomarkator]\nValue=12\n[General]\nLeft=300\nTop=150\n"
                                   "AlwaysOnTop=0\n"));
    h.makeSession();
    UnixSignalWatcher watcher;
    QPoint place;
    whenShown([&place, end = GetParam().end](Form_MainCyclomarkator& form) {
        form.move(40, 30);
        place = form.pos();
        end(form);
    });
    // Should the way of ending not work, the test fails instead of hanging.
    bool hung = false;
    QTimer::singleShot(10000, qApp, [&hung] {
        hung = true;
        QCoreApplication::exit(1);
    });
    const int code = runWindow(*h.session, h.prompts, watcher);
    EXPECT_FALSE(hung);

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(h.session->unloaded());
    EXPECT_EQ(place, QPoint(40, 30));
    EXPECT_EQ(h.setting("General", "Left"), QStringLiteral("600"));
    EXPECT_EQ(h.setting("General", "Top"), QStringLiteral("450"));
    EXPECT_EQ(h.setting("General", "AlwaysOnTop"), QStringLiteral("0"));
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("12"));
    EXPECT_EQ(shownWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, WindowRunEnds,
    testing::Values(EndCase{"CloseBox", [](Form_MainCyclomarkator& form) { form.close(); }},
                    EndCase{"ExitMenu",
                            [](Form_MainCyclomarkator& form) {
                                form.findChild<QAction*>(QStringLiteral("mnuExit"))->trigger();
                            }},
                    EndCase{"TerminationSignal", [](Form_MainCyclomarkator&) { ::raise(SIGTERM); }},
                    EndCase{"ApplicationQuits",
                            [](Form_MainCyclomarkator&) { QCoreApplication::quit(); }}),
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.what); });

// Clicks a button of the message box (or presses Escape) once it is open.
void answerBox(QMessageBox::StandardButton button, QMessageBox::Icon* icon) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, button, icon] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        *icon = box->icon();
        if (button == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(button)->click();
    });
    poll->start(5);
}

struct BoxCase {
    PromptButtons buttons;
    QMessageBox::StandardButton clicked; // NoButton: Escape
    PromptAnswer answer;
};

void PrintTo(const BoxCase& c, std::ostream* out) {
    *out << "buttons " << static_cast<int>(c.buttons) << ", clicked " << c.clicked;
}

class MessageBoxAnswers : public testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxAnswers, EscapeIsTheCautiousAnswer) {
    GuiPrompts prompts;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerBox(GetParam().clicked, &icon);
    EXPECT_EQ(prompts.messageBox(QStringLiteral("Text"), QStringLiteral("Title"),
                                 PromptIcon::Exclamation, GetParam().buttons),
              GetParam().answer);
    EXPECT_EQ(icon, QMessageBox::Warning);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageBoxAnswers,
    testing::Values(BoxCase{PromptButtons::Ok, QMessageBox::Ok, PromptAnswer::Ok},
                    BoxCase{PromptButtons::Ok, QMessageBox::NoButton, PromptAnswer::Ok},
                    BoxCase{PromptButtons::OkCancel, QMessageBox::Ok, PromptAnswer::Ok},
                    BoxCase{PromptButtons::OkCancel, QMessageBox::Cancel, PromptAnswer::Cancel},
                    BoxCase{PromptButtons::OkCancel, QMessageBox::NoButton, PromptAnswer::Cancel},
                    BoxCase{PromptButtons::YesNo, QMessageBox::Yes, PromptAnswer::Yes},
                    BoxCase{PromptButtons::YesNo, QMessageBox::No, PromptAnswer::No},
                    BoxCase{PromptButtons::YesNo, QMessageBox::NoButton, PromptAnswer::No}));

TEST(InputBox, TypedTextOrNothingWhenCancelled) {
    GuiPrompts prompts;
    for (const bool accept : {true, false}) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, accept] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            dialog->findChild<QLineEdit*>()->setText(QStringLiteral("1200"));
            accept ? dialog->accept() : dialog->reject();
        });
        poll->start(5);
        EXPECT_EQ(
            prompts.inputBox(QStringLiteral("Count:"), QStringLiteral("Set"), QStringLiteral("0")),
            accept ? QStringLiteral("1200") : QString());
    }
}

} // namespace
