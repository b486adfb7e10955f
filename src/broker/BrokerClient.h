#pragma once
// The program's connection to an MQTT broker through libmosquitto. The
// network work runs in libmosquitto's own thread (it connects, reconnects
// with back-off, reads and writes); what it hears reaches this object only as
// queued calls on the user-interface thread, at most `maxIncoming` waiting at
// a time. publish() only queues (BrokerQueue) and hands a few messages to the
// library while it is connected, so nothing here waits for the network except
// finish(), a moment at the end. Trouble (a broker that is down, refuses the
// login or the TLS handshake, disappears, does not keep up) is said once per
// episode through problem(), its end through recovery().
#include "broker/BrokerQueue.h"
#include "broker/BrokerSettings.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>

struct mosquitto;
struct mosquitto_message;

class BrokerClient final : public QObject {
    Q_OBJECT
public:
    struct Options {
        int reconnectMinS = 1; // back-off between attempts, doubling up to the maximum
        int reconnectMaxS = 30;
        int keepAliveS = 30;
        int reachMs = 10000;  // not connected this long after a start or a loss: said
        int maxInFlight = 16; // handed to the library and not yet taken by the broker
        int maxIncoming = 32; // messages from the broker waiting for the UI thread
        int finishWaitMs = 1000;
        qsizetype maxOthers = 64; // non-retained messages that may wait
    };

    BrokerClient(BrokerSettings settings, Options options, QObject* parent = nullptr);
    ~BrokerClient() override;

    // Starts connecting; the broker publishes "offline" retained on
    // `willTopic` if this client vanishes without finish().
    void start(const QString& willTopic);
    // Queued at once; leaves when the broker is connected and keeps up.
    void publish(const QString& topic, const QByteArray& payload, bool retained);
    // Subscribed (QoS 1) at every connect.
    void subscribe(const QString& filter);
    // Publishes the last retained message, waits at most finishWaitMs until the
    // broker has it, and disconnects. Runs once; the destructor runs it too.
    void finish(const QString& topic, const QByteArray& payload);
    bool isConnected() const { return m_connected; }
    const BrokerSettings& settings() const { return m_settings; }

Q_SIGNALS:
    void connected(); // at every connect, after the retained values were queued again
    void messageArrived(const QString& topic, const QByteArray& payload, bool retained);
    void problem(const QString& text);
    void recovery(const QString& text);

private:
    static void onConnectCallback(mosquitto*, void* self, int rc);
    static void onDisconnectCallback(mosquitto*, void* self, int rc);
    static void onPublishCallback(mosquitto*, void* self, int mid);
    static void onMessageCallback(mosquitto*, void* self, const mosquitto_message* message);
    static void onLogCallback(mosquitto*, void* self, int level, const char* text);
    // Runs `call` on the UI thread; false (and nothing runs) when `bounded`
    // and too many calls wait already.
    bool post(std::function<void()> call, bool bounded);

    void onConnect(int rc);
    void onDisconnect(int rc);
    void onPublished(int mid);
    void onLibraryError(const QString& text);
    void configure(const QString& willTopic);
    void restartLoop();
    void pump();
    void say(const QString& key, const QString& text);
    void settle();
    QString name() const { return m_settings.brokerText(); }

    BrokerSettings m_settings;
    Options m_options;
    mosquitto* m_mosq = nullptr;
    BrokerQueue m_queue;
    QStringList m_filters;
    QSet<int> m_inFlight;
    bool m_connected = false;
    bool m_finished = false;
    bool m_loopRunning = false;
    QString m_saidKey;       // the trouble said in this episode, empty when none
    qsizetype m_dropped = 0; // messages dropped in this episode
    QTimer m_reachTimer;
    QTimer m_restartTimer;
    std::atomic<int> m_posted{0};
    std::atomic<qsizetype> m_incomingDropped{0};
    std::atomic<int> m_lastTakenMid{0}; // acknowledgements come in the order of publishing
};
