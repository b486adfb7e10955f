#pragma once
// The lab page's client of the MQTT broker: subscribes to PREFIX/+/# and hands
// every message to the Qt thread. libmosquitto does the network work in its
// own thread and reconnects by itself (1 s, doubling up to 30 s); messages
// and problems cross to the object's thread as queued signals, at most
// MaxWaiting messages at a time (more are dropped and counted, so a flood
// cannot fill the memory). A problem is said once per episode.
#include <QObject>
#include <QString>

#include <atomic>

struct mosquitto;
struct mosquitto_message;

class LabBroker : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxWaiting = 10000;

    LabBroker(const QString& host, quint16 port, const QString& prefix, QObject* parent = nullptr);
    ~LabBroker() override;

    // Starts connecting; false with `error` only when libmosquitto cannot
    // start at all (a broker that is not there yet is retried, not an error).
    bool start(QString& error);
    qint64 dropped() const { return m_dropped.load(); }

Q_SIGNALS:
    void message(const QString& topic, const QByteArray& payload, bool retained);
    // A broker that is away, refuses us or came back: one line per change.
    void problem(const QString& text);

private:
    static void onConnect(mosquitto*, void* self, int result);
    static void onDisconnect(mosquitto*, void* self, int result);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    void deliver(const QString& topic, const QByteArray& payload, bool retained);
    void tell(int episode, const QString& text);

    QByteArray m_host;
    quint16 m_port;
    QByteArray m_filter;
    mosquitto* m_client = nullptr;
    std::atomic<int> m_waiting{0};
    std::atomic<qint64> m_dropped{0};
    std::atomic<int> m_episode{-1}; // what was said last: -1 nothing, 0 connected, else a problem
};
