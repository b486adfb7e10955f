#pragma once
// Calls of link clients waiting for their answer. They are worked off from the
// event loop a few milliseconds' worth at a time, and a call whose answer
// waited for the disk (a saved count) ends its turn, so that a flood of calls
// from several clients never holds up the counting tick. Only calls whose
// arguments are short texts wait here, and only so many characters of them.
#include <QDBusMessage>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <functional>

class LinkCallQueue final : public QObject {
    Q_OBJECT
public:
    enum class Taken {
        Queued,
        NotForTheQueue, // an argument is no text or too long: refuse it at once, it costs nothing
        Full,           // too much is waiting already: the client may try again
    };

    // `answer` answers one call and says whether that waited for the disk.
    explicit LinkCallQueue(std::function<bool(const QDBusMessage&)> answer,
                           QObject* parent = nullptr);

    Taken add(const QDBusMessage& call);
    void clear();

private:
    static qsizetype charactersOf(const QDBusMessage& call);
    void workOff();

    std::function<bool(const QDBusMessage&)> m_answer;
    QQueue<QDBusMessage> m_calls;
    qsizetype m_characters = 0;
    QTimer m_turn;
};
