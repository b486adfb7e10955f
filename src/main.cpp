// Start-up of Cyclomarkator: the command line, one copy per rig, the program
// folder, the settings, then the main window (or, with --headless, the same
// counting without any window).
#include "broker/BrokerPublisher.h"
#include "common/PrintableText.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "platform/UnixSignalWatcher.h"
#include "session/CommandLine.h"
#include "session/ConverterChoice.h"
#include "session/CounterSession.h"
#include "session/HeadlessView.h"
#include "session/LinkProtocol.h"
#include "session/RigSetup.h"
#include "ui/DesktopIdentity.h"
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
    // Open link conversations never hold up the end of a service.
    const auto end = [&app, &session] {
        session.Form_Unload(session.general());
        app.quit();
    };
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app, end);
    QObject::connect(&session, &CounterSession::endRequested, &app, end);
    session.Form_Load(view);
    session.start();
    const int code = app.exec();
    session.Form_Unload(session.general());
    return code;
}

// --converter: the converter checked as the setup dialog's Accept checks it
// and written into the rig's settings file; nothing is counted.
int chooseConverter(int argc, char** argv, const CommandLine& line, const QString& programName) {
    QCoreApplication app(argc, argv);
    StderrPrompts prompts;
    const auto tell = [&programName](const QString& text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(programName), qPrintable(text));
    };
    RigLock lock;
    QStringList warnings;
    const auto prepared = RigSetup::prepare(
        line, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(),
        QCoreApplication::applicationFilePath(), lock, warnings);
    for (const QString& warning : warnings)
        tell(warning);
    if (const auto* refusal = std::get_if<Refusal>(&prepared)) {
        tell(refusal->text);
        return refusal->exitCode;
    }
    const auto& environment = std::get<CounterSession::Environment>(prepared);
    // A replay file named without a folder is found where the counting run finds it.
    QDir::setCurrent(environment.folder.folder);
    SystemClock clock;
    CounterSession session(environment, prompts, clock);
    if (!session.LoadSettings()) {
        tell(session.settingsError());
        return 3;
    }
    const ConverterChoice::Result result =
        ConverterChoice::choose(session.adc(), session.settings(), *line.converter, line.device);
    if (!result.written) {
        const QString end = result.text.endsWith(u'.') ? QString() : QStringLiteral(".");
        tell(result.text + end + QStringLiteral(" Nothing was changed."));
        return 2;
    }
    std::printf("%s\n", qPrintable(result.text));
    return 0;
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
    if (line.listConverters) {
        std::fputs(qPrintable(ConverterChoice::list()), stdout);
        return 0;
    }
    if (line.converter)
        return chooseConverter(argc, argv, line, programName);
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
        DesktopIdentity::apply();
        prompts = makeWindowPrompts();
    }
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    // From here on a termination signal ends the program in order, however
    // early it comes: it waits in the watcher until the event loop runs. An
    // orderly end that has not come 10 s later never will (something blocks
    // the user-interface thread): the process then ends on its own.
    UnixSignalWatcher signalWatcher(nullptr, 10);

    // Why the program ends before counting: on stderr (a launcher's log or a
    // service journal) and, with a window, in a box.
    const auto refuse = [&](const QString& text, int code) {
        if (!line.headless)
            std::fprintf(stderr, "%s: %s\n", qPrintable(programName),
                         qPrintable(printableLine(text)));
        prompts->messageBox(text, QStringLiteral("Cyclomarkator"), PromptIcon::Critical);
        return code;
    };

    RigLock lock;
    QStringList warnings;
    const auto prepared =
        RigSetup::prepare(line, baseName, QCoreApplication::applicationFilePath(), lock, warnings);
    for (const QString& warning : warnings)
        std::fprintf(stderr, "%s: %s\n", qPrintable(programName),
                     qPrintable(printableLine(warning)));
    if (const auto* refusal = std::get_if<Refusal>(&prepared))
        return refuse(refusal->text, refusal->exitCode);
    const auto& environment = std::get<CounterSession::Environment>(prepared);
    QDir::setCurrent(environment.folder.folder);

    SystemClock clock(line.clockRate);
    CounterSession session(environment, *prompts, clock);
    // Counting from 0 would later replace the file the count lives in.
    if (!session.LoadSettings())
        return refuse(session.settingsError(), 3);
    session.setLink(line.linkName.isEmpty() ? LinkProtocol::programServiceName(baseName)
                                            : LinkProtocol::serviceNameFor(line.linkName),
                    LinkProtocol::sessionBusAddress());
    // The rig on the lab's broker, when its [MQTT] section names one; by
    // default it is called as its service (the link's name) or its folder.
    const auto publisher = BrokerPublisher::attach(
        session, clock,
        line.linkName.isEmpty() ? QFileInfo(environment.folder.folder).fileName() : line.linkName);
    if (line.headless)
        return runHeadless(*app, session, signalWatcher);
    return runWindow(session, *prompts, signalWatcher);
}
