#pragma once
// The counter's link on the D-Bus session bus, in place of the DDE source of
// the main window: other programs read the items (captions of the window's
// labels) as properties of /Control, are told of every change by
// PropertiesChanged (at most once per interval per item, newest value),
// request any control's caption, execute command strings, poke command words
// and open conversations that lock the program against the user closing it.
//
// Input from the bus is hostile: every refusal is a D-Bus error with a
// readable message. Nothing here waits for a person, nor for the bus except a
// moment at shutdown, so the counting tick is never held up; what waits to be
// sent is bounded. Lives on the
// user-interface thread; the target must outlive it.
#include "session/LinkTarget.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

class LinkBusConnection;
class LinkCallQueue;
class LinkConversations;

class LinkServer final : public QDBusVirtualObject {
    Q_OBJECT
public:
    struct Options {
        QString serviceName;         // org.cyclomarkator.<base name>, LinkProtocol::serviceNameFor
        QString busAddress;          // empty: there is no bus, the link stays off
        int announceIntervalMs = 40; // one tick: shortest time between two announcements
        int showIntervalMs = 100;    // shortest time between two commands shown to the user
        int watchIntervalMs = 1000;  // how often a lost connection is looked for
        int reconnectIntervalMs = 2000;
        int connectTimeoutMs = 2000; // how long a bus may take to let us in
        // Announcements are dropped while more than this waits for the bus.
        qsizetype maxWaitingBytes = 64 * 1024;
        int errorLampMs = 2000; // how long a passing error keeps the lamp red
        int maxConversations = 256;
    };

    LinkServer(LinkTarget& target, Options options, QObject* parent = nullptr);
    ~LinkServer() override;

    // Connects to the bus, puts /Control on it and asks for the bus name.
    // Without a bus it says so once and the program runs without the link.
    void start();
    // Some caption of the target has changed; the items are compared and the
    // changed ones announced within one interval.
    void itemsChanged();
    // Clients are told the counter is gone (the name is released) after every
    // answer already given has left. Waits at most a second for the bus. Runs
    // once; the destructor runs it too.
    void shutdown();

    bool connected() const;
    bool ownsName() const;
    int conversations() const;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void onConnected();
    void onDisconnected();
    void onUnreachable(const QString& reason);

    void dispatch(const QDBusMessage& message);
    void handleLinkCall(const QDBusMessage& message);
    void handleProperties(const QDBusMessage& message);
    void execute(const QDBusMessage& message, const QString& text);
    void poke(const QDBusMessage& message, const QString& text);
    void openLink(const QDBusMessage& message);
    void closeLink(const QDBusMessage& message);
    QString itemValue(const QString& item) const;
    void answer(const QDBusMessage& call, const QDBusMessage& reply);
    void refuse(const QDBusMessage& call, const QString& errorName, const QString& text);
    void sent(bool ok, const QString& what);

    void announce();
    bool busTakesMessages();
    void showCommand();
    void linkError(int number, const QString& text);
    void updateState();

    LinkTarget& m_target;
    Options m_options;
    LinkBusConnection* m_bus = nullptr;
    LinkConversations* m_conversations = nullptr;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_sendFailing = false; // a message could not be sent; reported once
    int m_dropped = 0;          // announcements the bus did not take
    LinkLamp m_lamp = LinkLamp::Off;
    bool m_locked = false;
    QString m_offReason;   // why the lamp is off: no bus
    QString m_lastToolTip; // as the target was last told
    QString m_lastError;   // the newest link error, while the lamp is red

    LinkCallQueue* m_calls = nullptr;
    bool m_countSaved = false;           // the call just answered saved a count
    QHash<QString, QString> m_announced; // item -> value the clients were last told
    QTimer m_announceTimer;
    QElapsedTimer m_sinceAnnounce;
    QString m_commandToShow;
    QTimer m_showTimer;
    QElapsedTimer m_sinceShow;
    QTimer m_errorLampTimer;
};
