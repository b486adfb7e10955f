#pragma once
// What waits to be handed to the broker, bounded whatever the broker does:
// of a retained topic only the newest value waits (and the newest value of
// every retained topic is kept, to be published again after a reconnect), of
// the other messages at most `maxOthers`, the oldest dropped first. Counts the
// messages that were replaced or dropped before they left. No network here.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

class BrokerQueue {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    explicit BrokerQueue(qsizetype maxOthers = 64) : m_maxOthers(maxOthers) {}

    void put(const QString& topic, const QByteArray& payload, bool retained);
    // The next message to hand over: retained values in the order their
    // topics first appeared, then the others oldest first.
    std::optional<Message> take();
    // After a reconnect: every retained topic's newest value waits again
    // (the others still wait, in their bound).
    void republishRetained();
    bool isEmpty() const { return m_waitingTopics.isEmpty() && m_others.isEmpty(); }
    qsizetype waiting() const { return m_waitingTopics.size() + m_others.size(); }
    // Replaced or dropped since the last call.
    qsizetype takeDropped() { return std::exchange(m_dropped, 0); }

private:
    qsizetype m_maxOthers;
    QHash<QString, QByteArray> m_newest; // retained topic -> newest value
    QList<QString> m_order;              // retained topics, first appearance first
    QList<QString> m_waitingTopics;      // retained topics whose newest value waits
    QList<Message> m_others;
    qsizetype m_dropped = 0;
};
