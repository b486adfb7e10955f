// Start-up of Cyclomarkator: a single copy per user, the program folder, the
// settings, then the main window (or, with --headless, the same counting
// without any window).
#include "adc/LibadxDevices.h"
#include "platform/MillisecondClock.h"
#include "platform/ProgramFolder.h"
#include "platform/Prompts.h"
#include "platform/ScaledClock.h"
#include "platform/SingleInstanceLock.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/UserFolders.h"
#include "session/CommandLine.h"
#include "session/CounterSession.h"
#include "session/HeadlessView.h"
#include "session/LinkProtocol.h"
#include "ui/WindowRun.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {
bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int runHeadless(QCoreApplication& app, CounterSession& session, UnixSignalWatcher& signalWatcher) {
    HeadlessView view(&session.recorder());
    // Open link conversations never hold up the end of a service.
    const auto end = [&app, &session] {
        session.Form_Unload(session.general());
        app.quit();
    };
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app, end);
    QObject::connect(&session, &CounterSession::endRequested, &app, end);
    session.Form_Load(view);
    session.start();
    session.loadRecorderData();
    const int code = app.exec();
    session.Form_Unload(session.general());
    return code;
}

// Each tick repaints a few small labels. Through shared memory the X11
// backing store waits for the server (a round trip) before every paint,
// which costs more than sending those few pixels over the socket. A user's
// own setting of the variable is kept.
void preferSocketTransferOnX11() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}
} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    const QString programName = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(programName), qPrintable(line.error));
        return 2;
    }
    if (line.help) {
        std::fputs(qPrintable(CommandLine::usage(programName)), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Cyclomarkator %s\n", qPrintable(CounterSession::versionLabel().mid(1)));
        return 0;
    }
    if (!line.headless && !haveDisplay()) {
        std::fprintf(stderr,
                     "%s: no display found; start it with --headless to count without "
                     "a window\n",
                     qPrintable(programName));
        return 2;
    }

    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<Prompts> prompts;
    if (line.headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        prompts = std::make_unique<StderrPrompts>();
    } else {
        preferSocketTransferOnX11();
        app = std::make_unique<QApplication>(argc, argv);
        prompts = makeWindowPrompts();
    }
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    SingleInstanceLock lock;
    if (!lock.acquire(UserFolders::tempFolder(), baseName)) {
        const QString text =
            lock.errorText().isEmpty()
                ? baseName + QStringLiteral(" is already running!")
                : QStringLiteral("Cannot make sure that only one copy runs: ") + lock.errorText();
        prompts->messageBox(text, QStringLiteral("Cyclomarkator"), PromptIcon::Critical);
        return 1;
    }

    const QString requested =
        line.configDir.isEmpty() ? QCoreApplication::applicationDirPath() : line.configDir;
    const QString configFolder = UserFolders::configFolder();
    const ProgramFolderChoice folder = ProgramFolder::choose(requested, configFolder, baseName);
    if (!folder.message.isEmpty())
        std::fprintf(stderr, "Cyclomarkator: %s\n", qPrintable(folder.message));
    QDir::setCurrent(folder.folder);

    SystemClock systemClock;
    ScaledClock testClock(line.clockSpeed);
    const MillisecondClock& clock =
        line.clockSpeed > 1 ? static_cast<const MillisecondClock&>(testClock) : systemClock;
    NoLibadxDevices devices;
    CounterSession session(
        {folder, UserFolders::tempFolder(), configFolder, QCoreApplication::applicationFilePath()},
        *prompts, clock, devices);
    session.LoadSettings();
    session.setLink(line.linkName.isEmpty() ? LinkProtocol::programServiceName(baseName)
                                            : LinkProtocol::serviceNameFor(line.linkName),
                    LinkProtocol::sessionBusAddress());
    UnixSignalWatcher signalWatcher;
    if (line.headless)
        return runHeadless(*app, session, signalWatcher);
    return runWindow(session, *prompts, signalWatcher);
}
