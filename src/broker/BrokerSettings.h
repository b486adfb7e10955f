#pragma once
// The rig's [MQTT] section of the settings file: which broker to publish to
// (mqtt://HOST[:PORT] or mqtts://HOST[:PORT], the server's certificate always
// verified), the topic levels PREFIX/RIG/, the login and whether the broker may
// set the count. The password is read from its own file, refused when group
// or others can read it, and never appears in any text made here.
#include <QString>
#include <variant>

class ProfileReader;

struct BrokerSettings {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile; // empty: the system's certificate authorities
    QString rig;
    QString prefix = QStringLiteral("cyclomarkator");
    QString user;     // empty: no login
    QString password; // from PasswordFile=
    bool allowRemoteSetCount = false;

    // PREFIX/RIG/leaf
    QString topic(const QString& leaf) const;
    // The broker as the user wrote it, for messages ("mqtts://lab:8883").
    QString brokerText() const;

    struct NoBroker {};
    // The section as read. No Broker= key: NoBroker (nothing changes). A bad
    // value: the message that says which and why.
    static std::variant<NoBroker, BrokerSettings, QString> read(const ProfileReader& file,
                                                                const QString& defaultRig);
    // Puts the password file's first line into `password`; returns why the
    // file cannot be used, empty when it can.
    static QString readPassword(const QString& path, QString& password);
};
