#include "broker/BrokerPublisher.h"

#include "common/PrintableText.h"
#include "counting/CounterCore.h"
#include "counting/WatchState.h"
#include "platform/MillisecondClock.h"
#include "session/CounterSession.h"
#include "session/LinkCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
// Longer than any count anybody types; longer payloads are refused unread.
constexpr qsizetype LongestCommand = 64;
// Topics of unknown commands longer than this get no answer of their own.
constexpr qsizetype LongestAnsweredTopic = 256;

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString untrusted(const QString& text) {
    return QString::fromStdString(printableText(text.toStdString()));
}
} // namespace

BrokerPublisher::BrokerPublisher(CounterSession& session, const MillisecondClock& clock,
                                 BrokerSettings settings, BrokerClient::Options options,
                                 QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock), m_client(std::move(settings), options) {
    // "online" is the first retained topic, so it leads after every reconnect.
    m_client.publish(m_client.settings().topic(QStringLiteral("state")), "online", true);
    m_client.subscribe(m_client.settings().topic(QStringLiteral("set/#")));
    connect(&m_client, &BrokerClient::problem, this,
            [this](const QString& text) { m_session.reportProblem(text); });
    connect(&m_client, &BrokerClient::recovery, this,
            [this](const QString& text) { m_session.reportRecovery(text); });
    connect(&m_client, &BrokerClient::messageArrived, this, &BrokerPublisher::onMessage);
}

BrokerPublisher::~BrokerPublisher() {
    m_session.setFollower(nullptr);
}

std::unique_ptr<BrokerPublisher> BrokerPublisher::attach(CounterSession& session,
                                                         const MillisecondClock& clock,
                                                         const QString& defaultRig) {
    auto read = BrokerSettings::read(session.settings().file(), defaultRig);
    if (const auto* refusal = std::get_if<QString>(&read)) {
        session.reportProblem(*refusal);
        return nullptr;
    }
    auto* settings = std::get_if<BrokerSettings>(&read);
    if (!settings)
        return nullptr;
    auto publisher = std::make_unique<BrokerPublisher>(session, clock, std::move(*settings));
    session.setFollower(publisher.get());
    return publisher;
}

QString BrokerPublisher::time() const {
    return now().toUTC().toString(Qt::ISODateWithMs);
}

void BrokerPublisher::runStarted() {
    m_startTime = time();
    m_client.publish(m_client.settings().topic(QStringLiteral("info")), info(), true);
    m_client.start(m_client.settings().topic(QStringLiteral("state")));
}

QByteArray BrokerPublisher::info() const {
    const CountingState& state = m_session.state();
    AdcFacade& adc = m_session.adc();
    return json({
        {"version", CounterSession::versionLabel().mid(1)},
        {"converter", adc.interfaceName()},
        {"channel", state.ADChannel},
        {"channelName", adc.ready() ? adc.ADC_channel_name(state.ADChannel) : QString()},
        {"threshold", static_cast<double>(state.Threshold)},
        {"hysteresis", static_cast<double>(state.Hysteresis)},
        {"extremaPerCycle", state.ExtremaPerCycle},
        {"countMode", static_cast<int>(state.CountMode)},
        {"triggerEnabled", state.TriggerEnabled},
        {"triggerSource", static_cast<int>(state.TriggerSource)},
        {"triggerDelayMs", state.TriggerDelayMs},
        {"start", m_startTime},
    });
}

// Before the first count the label carries the version: no count.
void BrokerPublisher::countShown(const QString& text) {
    static const QRegularExpression count(QStringLiteral("^[0-9]+$"));
    if (count.match(text).hasMatch())
        m_client.publish(m_client.settings().topic(QStringLiteral("count")), text.toUtf8(), true);
}

// The label has the user's decimal separator; the topic always a point.
void BrokerPublisher::voltageShown(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+([.,][0-9]+)?$"));
    if (number.match(text).hasMatch())
        m_voltageWaiting = QString(text).replace(u',', u'.');
    if (m_voltageWaiting.isEmpty())
        return;
    const int32_t nowMs = m_clock.timeGetTime();
    const auto since =
        static_cast<int32_t>(static_cast<uint32_t>(nowMs) - static_cast<uint32_t>(m_voltageSentMs));
    if (m_voltageSent && since >= 0 && since < VoltageIntervalMs)
        return;
    m_voltageSent = true;
    m_voltageSentMs = nowMs;
    publishVoltage(std::exchange(m_voltageWaiting, QString()));
}

void BrokerPublisher::publishVoltage(const QString& value) {
    m_client.publish(m_client.settings().topic(QStringLiteral("voltage")), value.toUtf8(), true);
}

void BrokerPublisher::triggerShown(const QString& text) {
    bool ok = false;
    const int cycle = text.section(u' ', 0, 0).toInt(&ok);
    if (!ok)
        return;
    m_client.publish(
        m_client.settings().topic(QStringLiteral("trigger")),
        json({{"cycle", cycle}, {"time", time()}, {"events", m_session.state().ExtraEvents + 1}}),
        false);
}

void BrokerPublisher::statusReported(const QString& text, bool problem) {
    m_client.publish(m_client.settings().topic(QStringLiteral("status")),
                     json({{"time", time()}, {"problem", problem}, {"text", text}}), true);
}

// The state, N_f and the reference, retained. A new kind of state ("FAILED",
// "stalled") goes out at once; the running departure of "watching ±2.1 %" at
// most once a second, as the voltage.
void BrokerPublisher::watchShown(const QString& text) {
    const WatchState& state = m_session.core().watch().watch().state();
    QJsonObject object{{"state", text},
                       {"n_f", QJsonValue::Null},
                       {"criterion", QJsonValue::Null},
                       {"reference", QJsonValue::Null}};
    if (state.failure.failed) {
        object["n_f"] = state.failure.cycle;
        object["criterion"] = QString::fromLatin1(criterionName(state.failure.criterion));
    }
    if (state.reference.taken)
        object["reference"] = QJsonObject{{"peak", state.reference.peak},
                                          {"valley", state.reference.valley},
                                          {"amplitude", state.reference.amplitude},
                                          {"from_cycle", state.reference.fromCycle},
                                          {"to_cycle", state.reference.toCycle}};
    const QByteArray payload = json(object);
    const QString kind = text.section(u' ', 0, 0);
    const int32_t nowMs = m_clock.timeGetTime();
    const auto since =
        static_cast<int32_t>(static_cast<uint32_t>(nowMs) - static_cast<uint32_t>(m_watchSentMs));
    if (payload == m_watchSent || (kind == m_watchKind && since >= 0 && since < VoltageIntervalMs))
        return;
    m_watchSent = payload;
    m_watchKind = kind;
    m_watchSentMs = nowMs;
    m_client.publish(m_client.settings().topic(QStringLiteral("watch")), payload, true);
}

void BrokerPublisher::runEnding() {
    m_client.finish(m_client.settings().topic(QStringLiteral("state")), "stopped");
}

// Commands. Our own answers come back on .../result: never a command.
void BrokerPublisher::onMessage(const QString& topic, const QByteArray& payload, bool retained) {
    const QString base = m_client.settings().topic(QStringLiteral("set/"));
    if (!topic.startsWith(base) || topic.section(u'/', -1) == u"result")
        return;
    const QString command = topic.mid(base.size());
    if (command == u"count")
        return setCount(topic + QStringLiteral("/result"), payload, retained);
    if (topic.size() <= LongestAnsweredTopic)
        answer(topic + QStringLiteral("/result"),
               QStringLiteral("set/%1 is no command of this counter; it takes set/count only.")
                   .arg(untrusted(command.left(60))));
}

void BrokerPublisher::setCount(const QString& resultTopic, const QByteArray& payload,
                               bool retained) {
    if (!m_client.settings().allowRemoteSetCount)
        return answer(resultTopic, QStringLiteral("Commands from the broker are off; "
                                                  "AllowRemoteSetCount=1 in [MQTT] allows "
                                                  "set/count. The count is unchanged."));
    // A retained command would set the count again at every reconnect.
    if (retained)
        return answer(resultTopic, QStringLiteral("A retained command is not taken; publish "
                                                  "it without the retain flag."));
    if (payload.size() > LongestCommand)
        return answer(resultTopic, QStringLiteral("The value has more than %1 bytes; it is no "
                                                  "count.")
                                       .arg(LongestCommand));
    const LinkCommand command = LinkCommand::parseCount(QString::fromUtf8(payload));
    if (command.kind != LinkCommand::Kind::SetCount)
        return answer(resultTopic, untrusted(command.refusal));
    if (!m_session.setCountFromOutside(command.count))
        return answer(resultTopic, QStringLiteral("The count could not be saved in the settings "
                                                  "file, so it was not changed."));
    answer(resultTopic, {}, command.count);
}

void BrokerPublisher::answer(const QString& topic, const QString& refusal, int32_t count) {
    QJsonObject object{{"ok", refusal.isEmpty()}};
    if (refusal.isEmpty())
        object.insert("count", count);
    else
        object.insert("error", refusal);
    m_client.publish(topic, json(object), false);
}
