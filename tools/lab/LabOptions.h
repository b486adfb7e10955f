#pragma once
// The command line of cyclomarkator-lab, the lab page's server, and its
// access token: read from a file only its owner can read, compared with what
// a request brings in a time that does not depend on where they differ.
#include <QByteArray>
#include <QHostAddress>
#include <QString>

struct LabOptions {
    QString brokerHost;
    quint16 brokerPort = 1883;
    QString prefix = QStringLiteral("cyclomarkator");
    QHostAddress listenAddress = QHostAddress::LocalHost;
    quint16 listenPort = 8080;
    QString tokenFile;
    bool text = false;
    bool help = false;

    // `arguments` without the program name. False with `error` set on a bad
    // command line (exit code 2), which includes listening beyond the
    // loopback without --token-file.
    static bool parse(const QStringList& arguments, LabOptions& options, QString& error);
    static QString usage();
};

namespace LabToken {
// The token in `path`: refused (false, `error` set) when the file is not a
// regular file, others may read it, or it holds no token of 16 to 256
// letters, digits and "-._~" (so that it goes into an address unchanged).
bool read(const QString& path, QByteArray& token, QString& error);
// Whether `given` is `expected`, taking as long wherever they differ.
bool matches(const QByteArray& expected, const QByteArray& given);
} // namespace LabToken
