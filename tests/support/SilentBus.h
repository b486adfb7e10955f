#pragma once
// A session bus that lets a client connect and then never serves it, on a
// unix socket of the test's own: Silent accepts and never finishes the login;
// NoHello finishes the login and reads every message without answering one.
// It is served from a thread of its own, so it stays silent whatever the
// test's thread is doing, and it lets go of its clients (closes them) when
// destroyed or at the latest after `holdMs`, so a client that waits on it
// without limit is freed in the end and a test fails instead of hanging.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

class SilentBus {
public:
    enum class Mode { Silent, NoHello };

    SilentBus(const QString& path, Mode mode, int holdMs = 20000) : m_mode(mode) {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path.toLocal8Bit();
        std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 16) != 0)
            return;
        m_address = QStringLiteral("unix:path=") + path;
        m_thread = std::thread([this, holdMs] { serve(std::chrono::milliseconds(holdMs)); });
    }
    ~SilentBus() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }
    SilentBus(const SilentBus&) = delete;
    SilentBus& operator=(const SilentBus&) = delete;

    // Empty when the socket could not be made.
    QString address() const { return m_address; }
    // Still holding its clients (neither destroyed nor out of time).
    bool holding() const { return !m_released; }
    int clients() const { return m_clients; }

private:
    void serve(std::chrono::milliseconds hold) {
        const auto end = std::chrono::steady_clock::now() + hold;
        std::map<int, QByteArray> clients; // socket -> login text not yet answered
        while (!m_stop && std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> watched{{m_listener, POLLIN, 0}};
            for (const auto& client : clients)
                if (m_mode == Mode::NoHello) // a silent bus does not even read
                    watched.push_back({client.first, POLLIN, 0});
            if (::poll(watched.data(), watched.size(), 20) <= 0)
                continue;
            if (watched[0].revents & POLLIN) {
                const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0)
                    clients[client];
                m_clients = static_cast<int>(clients.size());
            }
            for (std::size_t i = 1; i < watched.size(); ++i)
                if (watched[i].revents && !readFrom(watched[i].fd, clients[watched[i].fd]))
                    clients.erase(watched[i].fd);
        }
        m_released = true;
        for (const auto& client : clients)
            ::close(client.first);
        ::close(std::exchange(m_listener, -1)); // and nobody gets in any more
    }
    // Answers the login and swallows the messages after it. False: the
    // client has gone.
    bool readFrom(int client, QByteArray& login) {
        char buffer[4096];
        const ssize_t got = ::read(client, buffer, sizeof buffer);
        if (got <= 0) {
            ::close(client);
            return false;
        }
        if (login.endsWith("BEGIN\r\n"))
            return true; // the messages after the login
        login.append(buffer, got);
        for (qsizetype end; (end = login.indexOf("\r\n")) >= 0 && !login.startsWith("BEGIN");) {
            const QByteArray line = login.left(end);
            login.remove(0, end + 2);
            const char* answer =
                line.contains("AUTH") ? "OK 0123456789abcdef0123456789abcdef\r\n" : "ERROR\r\n";
            if (::write(client, answer, std::strlen(answer)) < 0)
                return false;
        }
        if (login.startsWith("BEGIN"))
            login = "BEGIN\r\n";
        return true;
    }

    Mode m_mode;
    int m_listener = -1;
    QString m_address;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_released{false};
    std::atomic<int> m_clients{0};
};
