#pragma once
// The conversations link clients hold open, at most one per client connection
// (its unique bus name). A client whose connection ends without closing its
// conversation (it exited, crashed or was killed) loses it, so that a dead
// client can never keep the program locked.
#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <functional>

class QDBusServiceWatcher;

class LinkConversations final : public QObject {
    Q_OBJECT
public:
    enum class Opened { Now, Already, TooMany };

    // `changed` is called whenever the number of open conversations changes.
    LinkConversations(int maxConversations, std::function<void()> changed,
                      QObject* parent = nullptr);
    ~LinkConversations() override;

    // Starts watching clients on `connection`; conversations of an earlier
    // connection are forgotten (their clients cannot reach us any more).
    void attach(const QDBusConnection& connection);
    // Forgets every conversation: the connection is gone.
    void detach();

    Opened open(const QString& client);
    // False when `client` had no conversation open.
    bool close(const QString& client);
    int count() const { return static_cast<int>(m_open.size()); }

private:
    void vanished(const QString& client);
    void checkStillThere(const QString& client);

    int m_max;
    std::function<void()> m_changed;
    QDBusConnection m_connection{QString()};
    QDBusServiceWatcher* m_watcher = nullptr;
    QSet<QString> m_open;
};
