#include "session/EventCommand.h"

#include "common/CommandSplit.h"
#include "common/PrintableText.h"

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {
// Bytes kept of the first line before it is decoded and made printable: enough
// for FirstLineLength characters of any script.
constexpr qsizetype KeptBytes = 4 * EventCommand::FirstLineLength;
constexpr qint64 Piece = 4096;
} // namespace

EventCommand::EventCommand(QString event, Tell tell, QObject* parent)
    : QObject(parent), m_event(std::move(event)), m_tell(std::move(tell)) {
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &EventCommand::timedOut);
}

EventCommand::~EventCommand() {
    if (!m_process)
        return;
    m_process->disconnect(this);
    killGroup();
    // Killed outright: this is the end of the run, and it takes a moment.
    m_process->waitForFinished(1000);
}

QString EventCommand::name() const {
    return QStringLiteral("The %1 command \"%2\"").arg(m_event, printableLine(m_program.left(80)));
}

bool EventCommand::start(const QString& command, const QProcessEnvironment& environment,
                         int timeoutSeconds) {
    if (m_process) {
        if (!std::exchange(m_busySaid, true))
            m_tell(name() + QStringLiteral(" still runs; it is not started again for this %1.")
                                .arg(m_event),
                   true);
        return false;
    }
    const CommandSplit split = CommandSplit::split(command);
    m_program = split.arguments.value(0);
    if (split.arguments.isEmpty()) {
        m_tell(
            QStringLiteral("The %1 command cannot start: %2.")
                .arg(m_event, split.error.isEmpty() ? QStringLiteral("it is empty") : split.error),
            true);
        return false;
    }
    m_firstLine.clear();
    m_lineComplete = m_timedOut = m_busySaid = false;
    m_timeoutSeconds = timeoutSeconds;
    m_process = new QProcess(this);
    m_process->setProgram(m_program);
    m_process->setArguments(split.arguments.mid(1));
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // A group of its own: the time limit ends whatever the command started.
    m_process->setChildProcessModifier([] { ::setsid(); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &EventCommand::readOutput);
    connect(m_process, &QProcess::finished, this, &EventCommand::finished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failedToStart();
    });
    m_process->start(QIODevice::ReadOnly);
    if (!m_process)
        return false; // it could not start, and said so
    m_timeout.start(timeoutSeconds * 1000);
    return true;
}

// Read in pieces and dropped after the first line: the pipe never fills up
// (the command is not held up) and nothing grows.
void EventCommand::readOutput() {
    char piece[Piece];
    for (qint64 got; m_process && (got = m_process->read(piece, Piece)) > 0;) {
        if (m_lineComplete)
            continue;
        const QByteArray bytes = QByteArray::fromRawData(piece, got);
        const qsizetype end = bytes.indexOf('\n');
        const qsizetype line = end < 0 ? bytes.size() : end;
        m_firstLine += bytes.left(std::min(line, KeptBytes - m_firstLine.size()));
        m_lineComplete = end >= 0 || m_firstLine.size() >= KeptBytes;
    }
}

QString EventCommand::firstLine() const {
    QString line = QString::fromUtf8(m_firstLine).trimmed();
    if (line.size() > FirstLineLength)
        line = line.left(FirstLineLength) + QStringLiteral("...");
    return printableLine(line);
}

void EventCommand::finished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    m_timeout.stop();
    const QString line = firstLine();
    const QString output =
        line.isEmpty() ? QStringLiteral(", without output") : QStringLiteral(": ") + line;
    if (m_timedOut)
        m_tell(name() + QStringLiteral(" was killed after its time limit of %1 s%2")
                            .arg(m_timeoutSeconds)
                            .arg(output),
               true);
    else if (status == QProcess::CrashExit)
        m_tell(name() + QStringLiteral(" was ended by signal %1%2").arg(exitCode).arg(output),
               true);
    else
        m_tell(name() + QStringLiteral(" ended with exit status %1%2").arg(exitCode).arg(output),
               exitCode != 0);
    m_process->deleteLater();
    m_process = nullptr;
}

void EventCommand::failedToStart() {
    m_timeout.stop();
    m_tell(name() + QStringLiteral(" cannot start: %1.").arg(m_process->errorString()), true);
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
}

void EventCommand::timedOut() {
    m_timedOut = true;
    killGroup();
}

void EventCommand::killGroup() {
    const qint64 pid = m_process ? m_process->processId() : 0;
    if (pid > 0)
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
    if (m_process)
        m_process->kill();
}
