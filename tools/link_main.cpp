// cyclomarkator-link: reads, watches and sets a running counter over the
// D-Bus session bus.
#include "LinkClient.h"
#include "LinkClientOptions.h"
#include "platform/UnixSignalWatcher.h"
#include "session/LinkProtocol.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LinkClientOptions options;
    QString error;
    if (!LinkClientOptions::parse(
            QCoreApplication::arguments().mid(1), options, error,
            LinkClientOptions::counterBeside(QCoreApplication::applicationFilePath()))) {
        std::fprintf(stderr, "cyclomarkator-link: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(LinkClientOptions::usage()), stdout);
        return 0;
    }
    UnixSignalWatcher signalWatcher;
    LinkClient client(LinkProtocol::sessionBusAddress(), options.serviceName, stdout, stderr);
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &client,
                     &LinkClient::stop);
    return client.run(options);
}
