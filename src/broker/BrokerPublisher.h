#pragma once
// The rig on the lab's MQTT broker: publishes under PREFIX/RIG/ what the
// session shows, at the moments the link announces it (the count after it is
// saved, the voltage at most once a second, each trigger, the status line's
// problems and recoveries, the run's settings at start, "online" and at the
// end "stopped"), and takes the one command the rig may allow, set/count.
// Everything from the broker is untrusted: a bad command gets an answer on
// its topic's /result and changes nothing. Lives on the user-interface thread;
// the session must outlive it.
#include "broker/BrokerClient.h"
#include "session/RunFollower.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>

class CounterSession;
class MillisecondClock;

class BrokerPublisher final : public QObject, public RunFollower {
    Q_OBJECT
public:
    static constexpr int VoltageIntervalMs = 1000;

    BrokerPublisher(CounterSession& session, const MillisecondClock& clock, BrokerSettings settings,
                    BrokerClient::Options options = {}, QObject* parent = nullptr);
    ~BrokerPublisher() override;

    // The publisher the rig's [MQTT] section asks for, made the session's
    // follower; null without Broker= or with a bad section (then the status
    // line says why). Call after LoadSettings() and before Form_Load().
    static std::unique_ptr<BrokerPublisher>
    attach(CounterSession& session, const MillisecondClock& clock, const QString& defaultRig);

    BrokerClient& client() { return m_client; }
    // Wall-clock time of the published texts (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };

    void runStarted() override;
    void countShown(const QString& text) override;
    void voltageShown(const QString& text) override;
    void triggerShown(const QString& text) override;
    void statusReported(const QString& text, bool problem) override;
    void watchShown(const QString& text) override;
    void runEnding() override;

private:
    void publishVoltage(const QString& value);
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);
    void setCount(const QString& resultTopic, const QByteArray& payload, bool retained);
    void answer(const QString& topic, const QString& refusal, int32_t count = -1);
    QByteArray info() const;
    QString time() const;

    CounterSession& m_session;
    const MillisecondClock& m_clock;
    BrokerClient m_client;
    QString m_startTime;
    bool m_voltageSent = false;
    int32_t m_voltageSentMs = 0;
    QString m_voltageWaiting; // newer than the last sent, held back by the interval
    QByteArray m_watchSent;   // the last `watch` published
    QString m_watchKind;      // its state's first word ("watching", "FAILED", ...)
    int32_t m_watchSentMs = 0;
};
