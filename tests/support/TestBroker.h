#pragma once
// A private mosquitto broker on 127.0.0.1 at a port the test picked, plain or
// with TLS (a test CA and a server certificate for the given names, made with
// openssl), optionally with one user; and a subscriber that records what the
// broker hands out. Every wait is bounded and runs the test's event loop.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testbroker {

// Runs the event loop until `done` or 20 s.
inline bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
    return done();
}

inline int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

inline bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

inline QString mosquittoProgram() {
    return QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"});
}

class Broker {
public:
    struct Setup {
        QString user, password;     // a password file with this user
        QStringList certificateFor; // TLS: subjectAltName entries ("IP:127.0.0.1")
    };
    explicit Broker(Setup setup = {}) : m_setup(std::move(setup)), port(freePort()) {
        QStringList conf{QStringLiteral("listener %1 127.0.0.1").arg(port),
                         "log_dest file " + path("broker.log"),
                         // as root it would become "mosquitto", who cannot read the files here
                         QStringLiteral("user ") + getpwuid(geteuid())->pw_name};
        if (m_setup.user.isEmpty()) {
            conf << "allow_anonymous true";
        } else {
            conf << "allow_anonymous false"
                 << "password_file " + path("passwd");
            QProcess::execute("mosquitto_passwd",
                              {"-c", "-b", path("passwd"), m_setup.user, m_setup.password});
        }
        if (!m_setup.certificateFor.isEmpty()) {
            makeCertificates();
            conf << "cafile " + path("ca.crt") << "certfile " + path("server.crt")
                 << "keyfile " + path("server.key");
        }
        QFile file(path("mosquitto.conf"));
        file.open(QIODevice::WriteOnly);
        file.write(conf.join('\n').toUtf8() + '\n');
    }
    ~Broker() { stop(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool start() {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(mosquittoProgram(), {"-c", path("mosquitto.conf")});
        return m_process.waitForStarted(5000) && waitFor([this] { return accepts(port); }, 10000);
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    void openssl(const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start("openssl", arguments);
        process.waitForFinished(30000);
    }
    void makeCertificates() {
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        openssl(QStringList{"req", "-x509"} + ec +
                QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                            "/CN=Test CA"});
        openssl(
            QStringList{"req"} + ec +
            QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=test broker"});
        QFile ext(path("san.ext"));
        ext.open(QIODevice::WriteOnly);
        ext.write("subjectAltName=" + m_setup.certificateFor.join(',').toUtf8() + '\n');
        ext.close();
        openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "san.ext"});
    }

    Setup m_setup;
    QTemporaryDir m_dir;
    QProcess m_process;

public:
    const int port;
};

// Subscribes to `filter` with QoS 1; keeps the newest payload of each topic
// and every message in order.
class Subscriber {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained;
    };
    Subscriber(int port, const QString& filter) : m_filter(filter.toUtf8()) {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* m, void* self, int) {
            mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(self)->m_filter, 1);
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self,
                                                  const mosquitto_message* m) {
            auto* me = static_cast<Subscriber*>(self);
            const std::lock_guard lock(me->m_mutex);
            me->m_messages.append({QString::fromUtf8(m->topic),
                                   QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                                   m->retain});
        });
        mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
        mosquitto_connect_async(m_mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_mosq);
    }
    ~Subscriber() {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
    QList<Message> messages() const {
        const std::lock_guard lock(m_mutex);
        return m_messages;
    }
    // The newest payload on `topic`, or a null array.
    QByteArray last(const QString& topic) const {
        const QList<Message> all = messages();
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            if (it->topic == topic)
                return it->payload;
        return {};
    }
    void publish(const QString& topic, const QByteArray& payload, bool retain = false) {
        mosquitto_publish(m_mosq, nullptr, topic.toUtf8(), static_cast<int>(payload.size()),
                          payload.constData(), 1, retain);
    }

private:
    QByteArray m_filter;
    mosquitto* m_mosq = nullptr;
    mutable std::mutex m_mutex;
    QList<Message> m_messages;
};

} // namespace testbroker
