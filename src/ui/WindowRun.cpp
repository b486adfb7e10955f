#include "ui/WindowRun.h"

#include "platform/UnixSignalWatcher.h"
#include "session/CounterSession.h"
#include "ui/Form_MainCyclomarkator.h"
#include "ui/GuiPrompts.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>

namespace {
// The screen the saved position lies on, else the primary one: the monitor
// the window was closed on may have gone since.
QRect screenAreaFor(const GeneralSettings& general) {
    const QPoint saved(WindowPlacement::twipsToPixels(general.Left),
                       WindowPlacement::twipsToPixels(general.Top));
    QScreen* screen = QGuiApplication::screenAt(saved);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

std::unique_ptr<Prompts> makeWindowPrompts() {
    return std::make_unique<GuiPrompts>();
}

int runWindow(CounterSession& session, Prompts& prompts, UnixSignalWatcher& signalWatcher) {
    Form_MainCyclomarkator form(session, prompts);
    // A termination signal and the end of the desktop session close the
    // window as its close box does; the display and the process may be gone
    // soon after, so everything is written back at once.
    const auto closeAll = [&form] {
        form.Form_Unload();
        // A box or dialog left open would keep its own event loop running
        // after the quit: nobody is there to click it.
        for (int open = 0; open < 16; ++open) {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                break;
            dialog->done(QDialog::Rejected);
        }
        form.close();
        QCoreApplication::quit();
    };
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &form, closeAll);
    // A link client's "STOP" or "UNLOAD" ends the program whatever is open.
    QObject::connect(&session, &CounterSession::endRequested, &form, closeAll);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &form, closeAll);
    // Whatever ends the event loop, the count is written back before main() returns.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_Unload(); });

    form.Form_Load(screenAreaFor(session.general()));
    form.startUp();
    // A signal that arrived while a start-up message box was open has closed
    // everything already; its quit found no main loop to end.
    if (session.unloaded())
        return 0;
    return QApplication::exec();
}
