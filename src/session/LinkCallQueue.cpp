#include "session/LinkCallQueue.h"

#include "session/LinkProtocol.h"

#include <QDBusVariant>
#include <QElapsedTimer>

namespace {
// How long answering may hold the event loop before the tick gets its turn.
constexpr qint64 TurnMs = 4;
// A client flooding us with long texts is refused long before memory runs short.
constexpr qsizetype MaxCharacters = 16 << 20;
constexpr qsizetype PerCall = 64;
} // namespace

LinkCallQueue::LinkCallQueue(std::function<bool(const QDBusMessage&)> answer, QObject* parent)
    : QObject(parent), m_answer(std::move(answer)) {
    m_turn.setSingleShot(true);
    connect(&m_turn, &QTimer::timeout, this, &LinkCallQueue::workOff);
}

LinkCallQueue::Taken LinkCallQueue::add(const QDBusMessage& call) {
    const qsizetype characters = charactersOf(call);
    if (characters < 0)
        return Taken::NotForTheQueue;
    if (m_characters + characters > MaxCharacters)
        return Taken::Full;
    m_calls.enqueue(call);
    m_characters += characters;
    if (!m_turn.isActive())
        m_turn.start(0);
    return Taken::Queued;
}

void LinkCallQueue::clear() {
    m_turn.stop();
    m_calls.clear();
    m_characters = 0;
}

// The link's calls take only texts (a property's new value being a text in a
// variant); -1 for anything else or for a text longer than any command.
qsizetype LinkCallQueue::charactersOf(const QDBusMessage& call) {
    qsizetype characters = PerCall;
    for (const QVariant& argument : call.arguments()) {
        const QVariant value = argument.metaType() == QMetaType::fromType<QDBusVariant>()
                                   ? argument.value<QDBusVariant>().variant()
                                   : argument;
        if (value.metaType() != QMetaType::fromType<QString>())
            return -1;
        const qsizetype length = value.toString().size();
        if (length > LinkProtocol::MaxCommandLength)
            return -1;
        characters += length;
    }
    return characters;
}

void LinkCallQueue::workOff() {
    QElapsedTimer spent;
    spent.start();
    while (!m_calls.isEmpty() && spent.elapsed() < TurnMs) {
        const QDBusMessage call = m_calls.dequeue();
        m_characters -= charactersOf(call);
        if (m_answer(call))
            break;
    }
    if (!m_calls.isEmpty())
        m_turn.start(0);
}
