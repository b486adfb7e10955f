// cyclomarkator-lab: every rig on the lab's MQTT broker on one web page, or
// as a terminal table.
#include "LabBoard.h"
#include "LabBroker.h"
#include "LabOptions.h"
#include "LabServer.h"
#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <mosquitto.h>
#include <unistd.h>

namespace {
void say(const QString& text) {
    std::fprintf(stderr, "cyclomarkator-lab: %s\n", qPrintable(text));
}

// Once a second, the table; on a terminal it replaces the last one.
void printTable(const LabBoard& board) {
    const QByteArray table = board.textTable(QDateTime::currentDateTimeUtc()).toUtf8();
    if (::isatty(STDOUT_FILENO))
        std::fputs("\033[H\033[2J", stdout);
    std::fwrite(table.constData(), 1, size_t(table.size()), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LabOptions options;
    QString error;
    if (!LabOptions::parse(QCoreApplication::arguments().mid(1), options, error)) {
        say(error);
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(LabOptions::usage()), stdout);
        return 0;
    }
    QByteArray token;
    if (!options.tokenFile.isEmpty() && !LabToken::read(options.tokenFile, token, error)) {
        say(error);
        return 1;
    }
    mosquitto_lib_init();
    LabBoard board(options.prefix);
    LabServer server(board, token);
    if (!options.text) {
        if (server.listen(options.listenAddress, options.listenPort) == 0) {
            say(QStringLiteral("cannot listen on %1:%2")
                    .arg(options.listenAddress.toString())
                    .arg(options.listenPort));
            return 1;
        }
        std::printf("cyclomarkator-lab: serving http://%s:%u/\n",
                    qPrintable(options.listenAddress.toString()), unsigned(options.listenPort));
        std::fflush(stdout);
    }
    LabBroker broker(options.brokerHost, options.brokerPort, options.prefix);
    QObject::connect(&broker, &LabBroker::problem, &app, say);
    int ignoredRigs = 0;
    QObject::connect(&broker, &LabBroker::message, &app,
                     [&](const QString& topic, const QByteArray& payload, bool retained) {
                         if (board.apply(topic, payload, QDateTime::currentDateTimeUtc(), retained))
                             server.boardChanged();
                         if (board.ignoredRigs() > 0 && ignoredRigs == 0)
                             say(QStringLiteral("more than %1 rigs: the others are not shown")
                                     .arg(LabBoard::MaxRigs));
                         ignoredRigs = board.ignoredRigs();
                     });
    if (!broker.start(error)) {
        say(error);
        return 1;
    }
    QTimer table;
    if (options.text) {
        QObject::connect(&table, &QTimer::timeout, &app, [&board] { printTable(board); });
        table.start(1000);
    }
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app,
                     &QCoreApplication::quit);
    const int code = app.exec();
    mosquitto_lib_cleanup();
    return code;
}
