#include "broker/BrokerSettings.h"

#include "common/IniReaders.h"

#include <QFile>
#include <QUrl>
#include <sys/stat.h>

namespace {
const QString Section = QStringLiteral("MQTT");
constexpr qsizetype LongestLevel = 100;
constexpr qint64 LargestPasswordFile = 4096;

// A topic part of ours: no wildcards, no control characters, no empty level.
QString topicProblem(const QString& key, const QString& value, bool levelsAllowed) {
    if (value.isEmpty() || value.size() > LongestLevel)
        return QStringLiteral("%1= must have 1 to %2 characters.").arg(key).arg(LongestLevel);
    for (const QChar c : value) {
        if (c == u'+' || c == u'#' || c.category() == QChar::Other_Control ||
            (!levelsAllowed && c == u'/'))
            return QStringLiteral("%1=%2 cannot be part of a topic: no '+', '#', control "
                                  "characters%3.")
                .arg(key, value, levelsAllowed ? QString() : QStringLiteral(" or '/'"));
    }
    if (value.startsWith(u'/') || value.endsWith(u'/') || value.contains(QStringLiteral("//")))
        return QStringLiteral("%1=%2 has an empty topic level.").arg(key, value);
    return {};
}

// mqtt://HOST[:PORT] or mqtts://HOST[:PORT], nothing else.
QString readBroker(const QString& text, BrokerSettings& settings) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const QString why = QStringLiteral("Broker=%1 is no broker address; write mqtt://HOST[:PORT] "
                                       "or mqtts://HOST[:PORT]")
                            .arg(text);
    if (!url.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || url.host().isEmpty())
        return why + u'.';
    if (!url.userInfo().isEmpty())
        return why + QStringLiteral(" (the login goes in User= and PasswordFile=).");
    if (!url.path().isEmpty() && url.path() != u"/")
        return why + QStringLiteral(" (no path).");
    if (url.hasQuery() || url.hasFragment())
        return why + u'.';
    settings.tls = scheme == u"mqtts";
    settings.host = url.host();
    settings.port = url.port(settings.tls ? 8883 : 1883);
    if (settings.port < 1)
        return why + u'.';
    return {};
}
} // namespace

QString BrokerSettings::topic(const QString& leaf) const {
    return prefix + u'/' + rig + u'/' + leaf;
}

QString BrokerSettings::brokerText() const {
    const QString host = this->host.contains(u':') ? u'[' + this->host + u']' : this->host;
    return QStringLiteral("%1://%2:%3").arg(tls ? "mqtts" : "mqtt", host).arg(port);
}

std::variant<BrokerSettings::NoBroker, BrokerSettings, QString>
BrokerSettings::read(const ProfileReader& file, const QString& defaultRig) {
    const QString broker = ReadIniString(file, Section, "Broker", {}).trimmed();
    if (broker.isEmpty())
        return NoBroker{};
    BrokerSettings settings;
    const auto refused = [](const QString& why) {
        return QStringLiteral("[MQTT] %1 The program runs without the broker.").arg(why);
    };
    if (QString why = readBroker(broker, settings); !why.isEmpty())
        return refused(why);
    settings.rig = ReadIniString(file, Section, "Rig", defaultRig).trimmed();
    settings.prefix = ReadIniString(file, Section, "Prefix", settings.prefix).trimmed();
    if (QString why = topicProblem("Rig", settings.rig, false); !why.isEmpty())
        return refused(why);
    if (QString why = topicProblem("Prefix", settings.prefix, true); !why.isEmpty())
        return refused(why);
    settings.caFile = ReadIniString(file, Section, "CAFile", {}).trimmed();
    if (!settings.caFile.isEmpty() && !settings.tls)
        return refused(QStringLiteral("CAFile= is for mqtts:// brokers only."));
    if (!settings.caFile.isEmpty() && !QFile(settings.caFile).open(QIODevice::ReadOnly))
        return refused(QStringLiteral("CAFile=%1 cannot be read.").arg(settings.caFile));
    settings.user = ReadIniString(file, Section, "User", {}).trimmed();
    const QString passwordFile = ReadIniString(file, Section, "PasswordFile", {}).trimmed();
    if (!passwordFile.isEmpty()) {
        if (QString why = readPassword(passwordFile, settings.password); !why.isEmpty())
            return refused(why);
        if (settings.user.isEmpty())
            return refused(QStringLiteral("PasswordFile= needs a User=."));
    }
    settings.allowRemoteSetCount = ReadIniLong(file, Section, "AllowRemoteSetCount", 0) != 0;
    return settings;
}

QString BrokerSettings::readPassword(const QString& path, QString& password) {
    const auto why = [&path](const QString& text) {
        return QStringLiteral("PasswordFile=%1 %2").arg(path, text);
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return why(QStringLiteral("cannot be read: %1.").arg(file.errorString()));
    struct stat info {};
    if (fstat(file.handle(), &info) != 0 || !S_ISREG(info.st_mode))
        return why(QStringLiteral("is no regular file."));
    if ((info.st_mode & (S_IRGRP | S_IROTH)) != 0)
        return why(QStringLiteral("can be read by others; allow only its owner (chmod 600)."));
    if (info.st_size > LargestPasswordFile)
        return why(QStringLiteral("is larger than %1 bytes.").arg(LargestPasswordFile));
    QByteArray line = file.readLine(LargestPasswordFile + 1);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return why(QStringLiteral("holds no password on its first line."));
    password = QString::fromUtf8(line);
    return {};
}
