#include "broker/BrokerQueue.h"

#include <algorithm>

void BrokerQueue::put(const QString& topic, const QByteArray& payload, bool retained) {
    if (!retained) {
        if (m_others.size() >= m_maxOthers) {
            m_others.removeFirst();
            ++m_dropped;
        }
        m_others.append({topic, payload, false});
        return;
    }
    if (!m_newest.contains(topic))
        m_order.append(topic);
    m_newest.insert(topic, payload);
    if (m_waitingTopics.contains(topic))
        ++m_dropped;
    else
        m_waitingTopics.append(topic);
}

std::optional<BrokerQueue::Message> BrokerQueue::take() {
    if (!m_waitingTopics.isEmpty()) {
        // The order of first appearance: "state" before the values, always.
        const auto first = std::min_element(m_waitingTopics.begin(), m_waitingTopics.end(),
                                            [this](const QString& a, const QString& b) {
                                                return m_order.indexOf(a) < m_order.indexOf(b);
                                            });
        const QString topic = *first;
        m_waitingTopics.erase(first);
        return Message{topic, m_newest.value(topic), true};
    }
    if (!m_others.isEmpty())
        return m_others.takeFirst();
    return std::nullopt;
}

void BrokerQueue::republishRetained() {
    m_waitingTopics = m_order;
}
