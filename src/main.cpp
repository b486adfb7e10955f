// Start-up of Cyclomarkator: a single copy per user, the program folder, the
// settings, then the main window (or, with --headless, the same counting
// without any window).
#include "platform/MillisecondClock.h"
#include "platform/ProgramFolder.h"
#include "platform/Prompts.h"
#include "platform/RigLock.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/UserFolders.h"
#include "session/CommandLine.h"
#include "session/CounterSession.h"
#include "session/HeadlessView.h"
#include "ui/WindowRun.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {
bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int runHeadless(QCoreApplication& app, CounterSession& session, UnixSignalWatcher& signalWatcher) {
    HeadlessView view;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app,
                     [&app, &session](int) {
                         session.Form_Unload(session.general());
                         app.quit();
                     });
    session.Form_Load(view);
    session.start();
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
    // A reader of stdout or stderr that goes away must not end the counting.
    std::signal(SIGPIPE, SIG_IGN);
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
    // From here on a termination signal ends the program in order, however
    // early it comes: it waits in the watcher until the event loop runs.
    UnixSignalWatcher signalWatcher;

    // Why the program ends before counting: on stderr (a launcher's log or a
    // service journal) and, with a window, in a box.
    const auto refuse = [&](const QString& text, int code) {
        if (!line.headless)
            std::fprintf(stderr, "%s: %s\n", qPrintable(programName), qPrintable(text));
        prompts->messageBox(text, QStringLiteral("Cyclomarkator"), PromptIcon::Critical);
        return code;
    };

    // One copy per rig: its program folder first (its files may be carried
    // over below), then its temporary folder.
    const QString requested =
        QDir::cleanPath(QFileInfo(line.configDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : line.configDir)
                            .absoluteFilePath());
    QDir().mkpath(requested);
    const QString tempFolder = UserFolders::tempFolder();
    const QString running = baseName + QStringLiteral(" is already running!");
    RigLock lock;
    switch (lock.lockProgramFolder(requested)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        return refuse(running + QStringLiteral(" Another copy serves %1.").arg(requested), 1);
    case RigLock::Outcome::NotPossible:
        std::fprintf(stderr, "%s: cannot lock the program folder (%s)\n", qPrintable(programName),
                     qPrintable(lock.why()));
        break;
    case RigLock::Outcome::Held:
        break;
    }
    switch (lock.lockTempFolder(tempFolder, baseName)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        return refuse(running +
                          QStringLiteral(" Another copy writes ~ADC.txt and ~Trigger.tmp in %1; "
                                         "give each rig a temporary folder of its own (TMPDIR).")
                              .arg(tempFolder),
                      1);
    case RigLock::Outcome::NotPossible:
        // The exchange and flag files stay where peers look for them; the
        // program counts on, reports them as they fail, and says what to do.
        std::fprintf(stderr,
                     "%s: cannot lock the temporary folder (%s); a second copy using it would not "
                     "be noticed. Set TMPDIR to a folder of your own.\n",
                     qPrintable(programName), qPrintable(lock.why()));
        break;
    case RigLock::Outcome::Held:
        break;
    }

    const QString configFolder = UserFolders::configFolder();
    const ProgramFolderChoice folder = ProgramFolder::choose(requested, configFolder, baseName);
    if (!folder.message.isEmpty())
        std::fprintf(stderr, "%s: %s\n", qPrintable(programName), qPrintable(folder.message));
    QDir::setCurrent(folder.folder);

    SystemClock clock(line.clockRate);
    CounterSession session(
        {folder, tempFolder, configFolder, QCoreApplication::applicationFilePath(), line.tickMs},
        *prompts, clock);
    // Counting from 0 would later replace the file the count lives in.
    if (!session.LoadSettings())
        return refuse(session.settingsError(), 3);
    if (line.headless)
        return runHeadless(*app, session, signalWatcher);
    return runWindow(session, *prompts, signalWatcher);
}
