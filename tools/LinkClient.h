#pragma once
// Carries out one command of cyclomarkator-link against a running counter and
// turns the outcome into a message and an exit code: 0 done, 1 refused by the
// counter, 3 no counter running or no session bus. "watch" and "open" run
// until stop() (Ctrl+C) or until the counter goes away.
#include "LinkClientOptions.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QHash>
#include <QObject>
#include <QVariantMap>
#include <cstdio>

class LinkClient final : public QObject {
    Q_OBJECT
public:
    enum ExitCode { Done = 0, Refused = 1, NoCounter = 3 };

    // `busAddress` empty: there is no session bus.
    LinkClient(QString busAddress, QString serviceName, std::FILE* out, std::FILE* err,
               QObject* parent = nullptr);
    ~LinkClient() override;

    int run(const LinkClientOptions& options);
    // Ends a running "watch" or "open" (closing the conversation first).
    void stop();

public Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    bool connectToBus();
    QDBusMessage call(const QString& member, const QVariantList& arguments,
                      const QString& interface);
    int failure(const QDBusMessage& reply);
    int message(int code, const QString& text);
    void print(const QString& item, const QString& value);
    int get(const QString& item);
    int watch(const QStringList& items);
    int execute(const QString& text);
    int poke(const QString& text);
    int hold();
    void watchForTheEnd();
    int runUntilStopped();

    QString m_busAddress;
    QString m_serviceName;
    std::FILE* m_out;
    std::FILE* m_err;
    QDBusConnection m_connection{QString()};
    QStringList m_watched;
    QHash<QString, QString> m_shown; // item -> value printed last
    QEventLoop m_loop;
};
