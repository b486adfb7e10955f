#include "LabBroker.h"

#include <QMetaObject>
#include <mosquitto.h>

LabBroker::LabBroker(const QString& host, quint16 port, const QString& prefix, QObject* parent)
    : QObject(parent), m_host(host.toUtf8()), m_port(port), m_filter((prefix + "/+/#").toUtf8()) {}

LabBroker::~LabBroker() {
    if (!m_client)
        return;
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, true);
    mosquitto_destroy(m_client);
}

bool LabBroker::start(QString& error) {
    m_client = mosquitto_new(nullptr, true, this);
    if (!m_client) {
        error = QStringLiteral("cannot start the MQTT client");
        return false;
    }
    mosquitto_connect_callback_set(m_client, &LabBroker::onConnect);
    mosquitto_disconnect_callback_set(m_client, &LabBroker::onDisconnect);
    mosquitto_message_callback_set(m_client, &LabBroker::onMessage);
    mosquitto_reconnect_delay_set(m_client, 1, 30, true);
    const int connecting = mosquitto_connect_async(m_client, m_host.constData(), m_port, 30);
    if (connecting != MOSQ_ERR_SUCCESS)
        tell(connecting, QStringLiteral("cannot reach the broker %1:%2 (%3); trying again")
                             .arg(QString::fromUtf8(m_host))
                             .arg(m_port)
                             .arg(QString::fromUtf8(mosquitto_strerror(connecting))));
    const int looping = mosquitto_loop_start(m_client);
    if (looping != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot start the MQTT client: %1")
                    .arg(QString::fromUtf8(mosquitto_strerror(looping)));
        return false;
    }
    return true;
}

// The three callbacks run in libmosquitto's thread.
void LabBroker::onConnect(mosquitto* client, void* self, int result) {
    auto* broker = static_cast<LabBroker*>(self);
    if (result != 0) {
        broker->tell(1000 + result, QStringLiteral("the broker refused the connection: %1")
                                        .arg(QString::fromUtf8(mosquitto_connack_string(result))));
        return;
    }
    mosquitto_subscribe(client, nullptr, broker->m_filter.constData(), 0);
    broker->tell(0, QStringLiteral("connected to the broker %1:%2")
                        .arg(QString::fromUtf8(broker->m_host))
                        .arg(broker->m_port));
}

void LabBroker::onDisconnect(mosquitto*, void* self, int result) {
    if (result != 0)
        static_cast<LabBroker*>(self)->tell(
            2000, QStringLiteral("lost the broker (%1); trying again")
                      .arg(QString::fromUtf8(mosquitto_strerror(result))));
}

void LabBroker::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* broker = static_cast<LabBroker*>(self);
    if (broker->m_waiting.fetch_add(1) >= MaxWaiting) {
        broker->m_waiting.fetch_sub(1);
        broker->m_dropped.fetch_add(1);
        return;
    }
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload),
                             message->payloadlen > 0 ? message->payloadlen : 0);
    const bool retained = message->retain;
    QMetaObject::invokeMethod(
        broker, [broker, topic, payload, retained] { broker->deliver(topic, payload, retained); },
        Qt::QueuedConnection);
}

void LabBroker::deliver(const QString& topic, const QByteArray& payload, bool retained) {
    m_waiting.fetch_sub(1);
    Q_EMIT message(topic, payload, retained);
}

void LabBroker::tell(int episode, const QString& text) {
    // The first connection is worth a line too; the same problem again is not.
    if (m_episode.exchange(episode) == episode)
        return;
    QMetaObject::invokeMethod(
        this, [this, text] { Q_EMIT problem(text); }, Qt::QueuedConnection);
}
