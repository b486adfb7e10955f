#include "broker/BrokerClient.h"

#include "common/PrintableText.h"

#include <QElapsedTimer>
#include <QThread>
#include <limits>
#include <mosquitto.h>
#include <mutex>

namespace {
constexpr int QoS = 1;

// Errors after which libmosquitto's thread gives up instead of reconnecting.
bool endsTheLoop(int rc) {
    switch (rc) {
    case MOSQ_ERR_NOMEM:
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_INVAL:
    case MOSQ_ERR_NOT_FOUND:
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_PAYLOAD_SIZE:
    case MOSQ_ERR_NOT_SUPPORTED:
    case MOSQ_ERR_AUTH:
    case MOSQ_ERR_ACL_DENIED:
    case MOSQ_ERR_UNKNOWN:
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_PROXY:
        return true;
    default:
        return false;
    }
}

QString libraryText(const char* text) {
    return QString::fromStdString(printableText(text ? text : ""));
}

QString trimmedSentence(const char* text) {
    QString sentence = libraryText(text);
    while (sentence.endsWith(u'.'))
        sentence.chop(1);
    return sentence;
}
} // namespace

BrokerClient::BrokerClient(BrokerSettings settings, Options options, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_options(options),
      m_queue(options.maxOthers) {
    m_reachTimer.setSingleShot(true);
    connect(&m_reachTimer, &QTimer::timeout, this, [this] {
        // A refused login or handshake has said more already.
        if (!m_connected && m_saidKey.isEmpty())
            say(QStringLiteral("down"),
                QStringLiteral("MQTT: the broker %1 cannot be reached; counting goes on and the "
                               "client keeps trying.")
                    .arg(name()));
    });
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &BrokerClient::restartLoop);
}

BrokerClient::~BrokerClient() {
    if (m_mosq) {
        if (!m_finished && m_loopRunning)
            mosquitto_loop_stop(m_mosq, true);
        m_loopRunning = false;
        mosquitto_destroy(m_mosq);
    }
}

void BrokerClient::start(const QString& willTopic) {
    if (m_mosq || m_finished)
        return;
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    const QByteArray id = (m_settings.prefix + u'/' + m_settings.rig).toUtf8();
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq) {
        say(QStringLiteral("new"), QStringLiteral("MQTT: no client could be made (%1); the "
                                                  "program runs without the broker.")
                                       .arg(libraryText(strerror(errno))));
        return;
    }
    configure(willTopic);
    const int rc = mosquitto_connect_async(m_mosq, m_settings.host.toUtf8().constData(),
                                           m_settings.port, m_options.keepAliveS);
    // A broker that is down or refuses the handshake now is tried again by
    // the library's thread (the library's log says why); only settings it
    // cannot take end here.
    if (rc == MOSQ_ERR_INVAL)
        return say(QStringLiteral("connect"),
                   QStringLiteral("MQTT: cannot connect to %1: %2.")
                       .arg(name(), libraryText(mosquitto_strerror(rc))));
    m_reachTimer.start(m_options.reachMs);
    m_loopRunning = mosquitto_loop_start(m_mosq) == MOSQ_ERR_SUCCESS;
}

void BrokerClient::configure(const QString& willTopic) {
    mosquitto_connect_callback_set(m_mosq, &BrokerClient::onConnectCallback);
    mosquitto_disconnect_callback_set(m_mosq, &BrokerClient::onDisconnectCallback);
    mosquitto_publish_callback_set(m_mosq, &BrokerClient::onPublishCallback);
    mosquitto_message_callback_set(m_mosq, &BrokerClient::onMessageCallback);
    mosquitto_log_callback_set(m_mosq, &BrokerClient::onLogCallback);
    mosquitto_reconnect_delay_set(m_mosq, static_cast<unsigned>(m_options.reconnectMinS),
                                  static_cast<unsigned>(m_options.reconnectMaxS), true);
    const QByteArray will = willTopic.toUtf8();
    mosquitto_will_set(m_mosq, will.constData(), 7, "offline", QoS, true);
    if (!m_settings.user.isEmpty())
        mosquitto_username_pw_set(
            m_mosq, m_settings.user.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    if (!m_settings.tls)
        return;
    // The server's certificate is always verified, and so is its name.
    if (m_settings.caFile.isEmpty())
        mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    else
        mosquitto_tls_set(m_mosq, m_settings.caFile.toLocal8Bit().constData(), nullptr, nullptr,
                          nullptr, nullptr);
    mosquitto_tls_opts_set(m_mosq, 1, nullptr, nullptr);
    mosquitto_tls_insecure_set(m_mosq, false);
}

// After an error that ends the library's thread (a refused TLS handshake), it
// is started again after the longest back-off.
void BrokerClient::restartLoop() {
    if (m_finished || !m_mosq || m_loopRunning)
        return;
    mosquitto_reconnect_async(m_mosq);
    m_loopRunning = mosquitto_loop_start(m_mosq) == MOSQ_ERR_SUCCESS;
}

void BrokerClient::publish(const QString& topic, const QByteArray& payload, bool retained) {
    if (m_finished)
        return;
    m_queue.put(topic, payload, retained);
    const qsizetype dropped = m_queue.takeDropped();
    m_dropped += dropped;
    if (m_connected && dropped > 0)
        say(QStringLiteral("slow"),
            QStringLiteral("MQTT: the broker %1 does not keep up; only the newest values are "
                           "sent.")
                .arg(name()));
    pump();
}

void BrokerClient::subscribe(const QString& filter) {
    m_filters << filter;
    if (m_connected)
        mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), QoS);
}

void BrokerClient::pump() {
    while (m_connected && m_inFlight.size() < m_options.maxInFlight) {
        const std::optional<BrokerQueue::Message> message = m_queue.take();
        if (!message)
            break;
        int mid = 0;
        const QByteArray topic = message->topic.toUtf8();
        const int rc = mosquitto_publish(m_mosq, &mid, topic.constData(),
                                         static_cast<int>(message->payload.size()),
                                         message->payload.constData(), QoS, message->retained);
        if (rc == MOSQ_ERR_SUCCESS) {
            m_inFlight.insert(mid);
        } else if (rc == MOSQ_ERR_NO_CONN) {
            // The connection went a moment ago; the value waits for the next one.
            m_queue.put(message->topic, message->payload, message->retained);
            break;
        } else {
            ++m_dropped;
        }
    }
    settle();
}

// The end of an episode: connected, and everything waiting has left.
void BrokerClient::settle() {
    if (!m_connected || m_saidKey.isEmpty() || !m_queue.isEmpty() || !m_inFlight.isEmpty())
        return;
    m_dropped += m_incomingDropped.exchange(0);
    QString text = QStringLiteral("MQTT: connected to the broker %1").arg(name());
    if (m_dropped > 0)
        text += QStringLiteral("; %1 message(s) were dropped meanwhile, the newest values are "
                               "published")
                    .arg(m_dropped);
    m_saidKey.clear();
    m_dropped = 0;
    Q_EMIT recovery(text + u'.');
}

void BrokerClient::say(const QString& key, const QString& text) {
    if (key == m_saidKey)
        return;
    m_saidKey = key;
    Q_EMIT problem(text);
}

void BrokerClient::finish(const QString& topic, const QByteArray& payload) {
    if (m_finished)
        return;
    m_finished = true;
    m_reachTimer.stop();
    m_restartTimer.stop();
    if (!m_mosq)
        return;
    bool taken = false;
    if (m_connected) {
        // What waits leaves first, then the last word; the broker takes them in order.
        m_options.maxInFlight = std::numeric_limits<int>::max();
        pump();
        const QByteArray topicBytes = topic.toUtf8();
        int mid = 0;
        if (mosquitto_publish(m_mosq, &mid, topicBytes.constData(),
                              static_cast<int>(payload.size()), payload.constData(), QoS,
                              true) == MOSQ_ERR_SUCCESS) {
            QElapsedTimer waited;
            waited.start();
            while (m_lastTakenMid != mid && waited.elapsed() < m_options.finishWaitMs)
                QThread::msleep(5);
            taken = m_lastTakenMid == mid;
        }
    }
    mosquitto_disconnect(m_mosq);
    // A thread that may hang in a connect is cancelled rather than waited for.
    if (m_loopRunning)
        mosquitto_loop_stop(m_mosq, !taken);
    m_loopRunning = false;
    m_connected = false;
}

// Callbacks on libmosquitto's thread: they touch nothing but atomics and post.

bool BrokerClient::post(std::function<void()> call, bool bounded) {
    if (bounded && m_posted.load() >= m_options.maxIncoming)
        return false;
    ++m_posted;
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            --m_posted;
            call();
        },
        Qt::QueuedConnection);
    return true;
}

void BrokerClient::onConnectCallback(mosquitto*, void* self, int rc) {
    auto* client = static_cast<BrokerClient*>(self);
    client->post([client, rc] { client->onConnect(rc); }, false);
}

void BrokerClient::onDisconnectCallback(mosquitto*, void* self, int rc) {
    auto* client = static_cast<BrokerClient*>(self);
    client->post([client, rc] { client->onDisconnect(rc); }, false);
}

void BrokerClient::onPublishCallback(mosquitto*, void* self, int mid) {
    auto* client = static_cast<BrokerClient*>(self);
    client->m_lastTakenMid = mid;
    client->post([client, mid] { client->onPublished(mid); }, false);
}

void BrokerClient::onMessageCallback(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<BrokerClient*>(self);
    const QString topic = QString::fromUtf8(message->topic);
    // A payload longer than any command is cut; the cut one is refused as too long.
    const QByteArray payload(static_cast<const char*>(message->payload),
                             std::min(message->payloadlen, 1025));
    const bool retained = message->retain;
    if (!client->post([client, topic, payload,
                       retained] { Q_EMIT client->messageArrived(topic, payload, retained); },
                      true))
        ++client->m_incomingDropped;
}

void BrokerClient::onLogCallback(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR)
        return;
    auto* client = static_cast<BrokerClient*>(self);
    const QString line = libraryText(text).left(300);
    client->post([client, line] { client->onLibraryError(line); }, true);
}

// On the UI thread.

void BrokerClient::onConnect(int rc) {
    if (m_finished)
        return;
    if (rc != 0)
        return say(QStringLiteral("refused"),
                   QStringLiteral("MQTT: the broker %1 refused the connection (%2). Counting "
                                  "goes on; the client tries again.")
                       .arg(name(), trimmedSentence(mosquitto_connack_string(rc))));
    m_connected = true;
    m_reachTimer.stop();
    for (const QString& filter : std::as_const(m_filters))
        mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), QoS);
    m_queue.republishRetained();
    m_dropped += m_queue.takeDropped();
    Q_EMIT connected();
    pump();
}

void BrokerClient::onDisconnect(int rc) {
    const bool wasConnected = std::exchange(m_connected, false);
    m_inFlight.clear();
    if (m_finished)
        return;
    if (wasConnected)
        say(QStringLiteral("lost"),
            QStringLiteral("MQTT: lost the broker %1 (%2); counting goes on and the client "
                           "reconnects.")
                .arg(name(), libraryText(mosquitto_strerror(rc))));
    if (!m_reachTimer.isActive())
        m_reachTimer.start(m_options.reachMs);
    if (endsTheLoop(rc) && m_loopRunning) {
        // The thread returns right after this callback.
        mosquitto_loop_stop(m_mosq, false);
        m_loopRunning = false;
        m_restartTimer.start(m_options.reconnectMaxS * 1000);
    }
}

void BrokerClient::onPublished(int mid) {
    m_inFlight.remove(mid);
    pump();
}

// The library's own words on a failed TLS handshake (a certificate that cannot
// be verified or names another host) say more than its error number.
void BrokerClient::onLibraryError(const QString& text) {
    if (m_finished || m_connected)
        return;
    if (m_settings.tls && (text.contains(QStringLiteral("SSL")) ||
                           text.contains(QStringLiteral("certificate"), Qt::CaseInsensitive)))
        say(QStringLiteral("tls"),
            QStringLiteral("MQTT: the TLS connection to %1 was refused (%2); the server's "
                           "certificate must be signed by a trusted authority and name the "
                           "host. Counting goes on; the client tries again.")
                .arg(name(), text));
}
