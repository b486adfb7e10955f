#include "LabOptions.h"

#include <QFile>
#include <QUrl>

#include <sys/stat.h>

namespace {
bool parseBroker(const QString& text, LabOptions& options, QString& error) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"mqtt" || url.host().isEmpty() ||
        (!url.path().isEmpty() && url.path() != u"/") || !url.userInfo().isEmpty()) {
        error = QStringLiteral("--broker wants mqtt://HOST[:PORT], not \"%1\"").arg(text);
        return false;
    }
    options.brokerHost = url.host();
    options.brokerPort = quint16(url.port(1883));
    return true;
}

bool parseListen(const QString& text, LabOptions& options, QString& error) {
    const qsizetype colon = text.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&ok);
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (colon < 0 || !ok || port > 65535 || !options.listenAddress.setAddress(host)) {
        error = QStringLiteral("--listen wants ADDRESS:PORT, e.g. 127.0.0.1:8080, not \"%1\"")
                    .arg(text);
        return false;
    }
    options.listenPort = quint16(port);
    return true;
}

bool validPrefix(const QString& prefix) {
    return !prefix.isEmpty() && !prefix.startsWith(u'/') && !prefix.endsWith(u'/') &&
           !prefix.contains(u'+') && !prefix.contains(u'#') && !prefix.contains(QChar(0));
}
} // namespace

bool LabOptions::parse(const QStringList& arguments, LabOptions& options, QString& error) {
    const QStringList valued = {"--broker", "--prefix", "--listen", "--token-file"};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        if (name == u"--help" || name == u"-h") {
            options.help = true;
            return true;
        }
        if (name == u"--text") {
            options.text = true;
            continue;
        }
        if (const qsizetype equals = name.indexOf(u'='); equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        } else if (valued.contains(name) && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (!valued.contains(name)) {
            error = QStringLiteral("unknown argument \"%1\" (see --help)").arg(arguments[i]);
            return false;
        }
        if (value.isEmpty()) {
            error = QStringLiteral("%1 needs a value (see --help)").arg(name);
            return false;
        }
        if (name == u"--broker" && !parseBroker(value, options, error))
            return false;
        if (name == u"--listen" && !parseListen(value, options, error))
            return false;
        if (name == u"--prefix")
            options.prefix = value;
        if (name == u"--token-file")
            options.tokenFile = value;
    }
    if (options.brokerHost.isEmpty())
        error = QStringLiteral("--broker mqtt://HOST[:PORT] is needed (see --help)");
    else if (!validPrefix(options.prefix))
        error = QStringLiteral("--prefix \"%1\" is not a topic prefix (no \"+\", \"#\" or "
                               "leading or trailing \"/\")")
                    .arg(options.prefix);
    else if (!options.text && !options.listenAddress.isLoopback() && options.tokenFile.isEmpty())
        error = QStringLiteral("listening on %1 beyond this PC needs --token-file")
                    .arg(options.listenAddress.toString());
    return error.isEmpty();
}

namespace LabToken {
bool read(const QString& path, QByteArray& token, QString& error) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = QStringLiteral("cannot read the token file %1").arg(path);
        return false;
    }
    if (info.st_mode & (S_IRGRP | S_IROTH)) {
        error = QStringLiteral("others can read the token file %1 (chmod 600 it)").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the token file %1: %2").arg(path, file.errorString());
        return false;
    }
    token = file.read(1024).trimmed();
    const bool fits =
        token.size() >= 16 && token.size() <= 256 &&
        std::all_of(token.begin(), token.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || QByteArray("-._~").contains(c);
        });
    if (!fits)
        error = QStringLiteral("the token file %1 must hold one token of 16 to 256 letters, "
                               "digits and \"-._~\"")
                    .arg(path);
    return fits;
}

bool matches(const QByteArray& expected, const QByteArray& given) {
    unsigned difference = expected.size() == given.size() ? 0u : 1u;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference |= unsigned(uchar(expected[i]) ^ uchar(i < given.size() ? given[i] : 0));
    return difference == 0 && !expected.isEmpty();
}
} // namespace LabToken

QString LabOptions::usage() {
    return QStringLiteral(
        "Usage: cyclomarkator-lab --broker mqtt://HOST[:PORT] [OPTIONS]\n"
        "Shows every rig that publishes on the lab's MQTT broker on one web page, or as a\n"
        "terminal table. Read-only: nothing on the page changes a rig.\n"
        "\n"
        "Options:\n"
        "  --broker URL      the broker, mqtt://HOST[:PORT] (port 1883 by default)\n"
        "  --prefix P        the rigs' topic prefix (default cyclomarkator): PREFIX/RIG/...\n"
        "  --listen A:PORT   where the page is served (default 127.0.0.1:8080); an address\n"
        "                    beyond this PC needs --token-file\n"
        "  --token-file F    a file only its owner can read holding the token that every\n"
        "                    request must bring as ?token=TOKEN (16 to 256 letters,\n"
        "                    digits and -._~)\n"
        "  --text            print the rigs as a table once a second instead of serving\n"
        "                    the page (for ssh sessions)\n"
        "  --help            print this text\n"
        "\n"
        "Exit codes: 0 ended by SIGTERM or Ctrl+C; 1 the token file is refused or the\n"
        "address cannot be listened on; 2 bad command line.\n");
}
