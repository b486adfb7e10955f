#pragma once
// One attempt to reach the session bus, made from a short-lived thread of its
// own so that a bus that never answers cannot hold up the user-interface
// thread: it first says Hello on a connection of its own and gives up when no
// answer comes within the time limit, and only then opens the link's Qt
// connection (named `connectionName`), which a bus that has just answered
// takes at once. The outcome arrives as a queued signal. The only thread of
// our own in the program; it touches nothing but the bus.
#include <QString>
#include <QThread>

class LinkBusConnector final : public QThread {
    Q_OBJECT
public:
    LinkBusConnector(QString address, QString connectionName, int timeoutMs);

    // The bus at `address` answers Hello within `timeoutMs`: empty, else why not.
    static QString probe(const QString& address, int timeoutMs);

Q_SIGNALS:
    // `connected`: the Qt connection named connectionName is on the bus.
    // Otherwise no connection of that name is left behind and `reason` says why.
    void attemptDone(bool connected, const QString& reason);

protected:
    void run() override;

private:
    QString m_address;
    QString m_connectionName;
    int m_timeoutMs;
};
