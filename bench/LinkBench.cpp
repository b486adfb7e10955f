// Figures of the link, measured on the running program (headless, simulated
// converter) on a private bus, for `make bench`; never run as a test:
//  - Get of the count property: round trip through the bus daemon;
//  - a counted extremum to a subscribed client's PropertiesChanged;
//  - the program's CPU with 50 subscribed clients and with none;
//  - 10 000 Execute calls from 4 clients at once: ticks late, calls lost.
// A tick is seen as the program rewriting the voltages in ~ADC.txt, read
// every half millisecond by a thread of this program. LINK_FIGURE_SECONDS
// sets the length of the timed runs (default 60).
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
const QString Service = QStringLiteral("org.cyclomarkator.LinkBench");
const QString Path = QStringLiteral("/Control");
const QString Interface = QStringLiteral("org.cyclomarkator.Link1");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

QString loadAverage() {
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 2)
                                          : QStringLiteral("?");
}

void waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

void settle(int msToWait) {
    waitFor([] { return false; }, msToWait);
}

// Reads ~ADC.txt every half millisecond; records when the voltages changed
// (a tick) and when the count changed (a counted extremum or a set count).
class ExchangeWatcher {
public:
    explicit ExchangeWatcher(const QString& path) : m_path(path.toStdString()) {}
    ~ExchangeWatcher() { stop(); }
    void start() {
        m_running = true;
        m_thread = std::thread([this] { run(); });
    }
    void stop() {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<Clock::time_point> ticks() {
        std::lock_guard lock(m_mutex);
        return m_ticks;
    }
    QHash<int, Clock::time_point> counts() {
        std::lock_guard lock(m_mutex);
        return m_counts;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_ticks.clear();
        m_counts.clear();
    }

private:
    void run() {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        char last[32] = {};
        while (m_running) {
            char now[32];
            if (::pread(fd, now, sizeof now, 0) == 32) {
                const auto at = Clock::now();
                std::lock_guard lock(m_mutex);
                if (std::memcmp(now + 4, last + 4, 28) != 0)
                    m_ticks.push_back(at);
                if (std::memcmp(now, last, 4) != 0) {
                    float count = 0;
                    std::memcpy(&count, now, 4);
                    m_counts.insert(static_cast<int>(count), at);
                }
                std::memcpy(last, now, 32);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        ::close(fd);
    }
    std::string m_path;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_ticks;
    QHash<int, Clock::time_point> m_counts;
};

// How late the ticks came: the gaps between successive ones beyond 40 ms.
void printTicks(const char* label, const std::vector<Clock::time_point>& ticks) {
    std::vector<double> late;
    for (size_t i = 1; i < ticks.size(); ++i)
        late.push_back(std::max(0.0, ms(ticks[i] - ticks[i - 1]) - 40.0));
    const auto over = std::count_if(late.begin(), late.end(), [](double l) { return l > 40.0; });
    std::printf("%s: %zu ticks seen, late by p99 %.1f ms, at most %.1f ms; %td later than 40 ms\n",
                label, ticks.size(), percentile(late, 0.99),
                late.empty() ? 0.0 : *std::max_element(late.begin(), late.end()), over);
}

class Receiver : public QObject {
    Q_OBJECT
public:
    QHash<int, Clock::time_point> counts; // count -> when it was announced to us
    int signals = 0;
public Q_SLOTS:
    void changed(const QString&, const QVariantMap& values, const QStringList&) {
        ++signals;
        const auto at = Clock::now();
        const QVariant count = values.value(QStringLiteral("Label_AD_get_cyclomarkator"));
        if (count.isValid() && !counts.contains(count.toInt()))
            counts.insert(count.toInt(), at);
    }
};

class Rig {
public:
    Rig(const QString& busAddress, int clockSpeed) {
        for (const char* name : {"program", "tmp", "config"})
            QDir(m_dir.path()).mkpath(name);
        QFile settings(m_dir.filePath("program/Cyclomarkator.INI"));
        settings.open(QIODevice::WriteOnly);
        settings.write("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
        settings.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", m_dir.filePath("tmp"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        m_program.setProcessEnvironment(environment);
        m_program.setStandardOutputFile(QProcess::nullDevice());
        m_program.setStandardErrorFile(QProcess::nullDevice());
        m_program.start(PROGRAM_PATH,
                        {"--headless", "--config-dir", m_dir.filePath("program"), "--link-name",
                         Service, "--test-clock-rate", QString::number(clockSpeed)});
        m_program.waitForStarted(5000);
    }
    ~Rig() {
        m_program.terminate();
        m_program.waitForFinished(10000);
    }
    QString exchangePath() const { return m_dir.filePath("tmp/~ADC.txt"); }
    qint64 pid() const { return m_program.processId(); }
    double cpuSeconds() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0.0;
        const QString text = QString::fromLatin1(stat.readAll());
        const QStringList fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
               static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_program;
};

QDBusConnection connectClient(const QString& address, const QString& name) {
    return QDBusConnection::connectToBus(address, name);
}

QDBusMessage getCount() {
    return QDBusMessage::createMethodCall(Service, Path, Properties, "Get")
           << Interface << QStringLiteral("Label_AD_get_cyclomarkator");
}

bool waitForCounter(QDBusConnection& client) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (client.call(getCount(), QDBus::Block, 1000).type() == QDBusMessage::ReplyMessage)
            return true;
        QThread::msleep(50);
    }
    return false;
}

void roundTrips(const QString& address) {
    Rig rig(address, 1);
    QDBusConnection client = connectClient(address, "round-trips");
    if (!waitForCounter(client)) {
        std::puts("Get round trip: the counter did not come up");
        return;
    }
    settle(2000);
    std::vector<double> times;
    const QString load = loadAverage();
    for (int i = 0; i < 5000; ++i) {
        const auto before = Clock::now();
        const QDBusMessage reply = client.call(getCount(), QDBus::Block, 5000);
        times.push_back(ms(Clock::now() - before));
        if (reply.type() != QDBusMessage::ReplyMessage)
            std::printf("Get failed: %s\n", qPrintable(reply.errorMessage()));
    }
    std::printf("Get of the count, 5000 round trips: median %.3f ms, p99 %.3f ms, max %.3f ms "
                "(load %s)\n",
                percentile(times, 0.5), percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()), qPrintable(load));
    client = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus("round-trips");
}

void extremumLatency(const QString& address, int seconds) {
    // At 100 times the speed the sine's period is 0.2 s: about five counted
    // maxima a second.
    Rig rig(address, 100);
    QDBusConnection client = connectClient(address, "latency");
    if (!waitForCounter(client)) {
        std::puts("extremum latency: the counter did not come up");
        return;
    }
    Receiver receiver;
    client.connect(Service, Path, Properties, "PropertiesChanged", &receiver,
                   SLOT(changed(QString, QVariantMap, QStringList)));
    ExchangeWatcher watcher(rig.exchangePath());
    watcher.start();
    const QString load = loadAverage();
    settle(seconds * 1000);
    watcher.stop();
    const QHash<int, Clock::time_point> counted = watcher.counts();
    std::vector<double> latency;
    for (auto it = counted.begin(); it != counted.end(); ++it)
        if (receiver.counts.contains(it.key()))
            latency.push_back(ms(receiver.counts.value(it.key()) - it.value()));
    std::printf("counted extremum to PropertiesChanged, %zu extrema over %d s: median %.2f ms, "
                "p99 %.2f ms, max %.2f ms (load %s, now %s)\n",
                latency.size(), seconds, percentile(latency, 0.5), percentile(latency, 0.99),
                latency.empty() ? 0.0 : *std::max_element(latency.begin(), latency.end()),
                qPrintable(load), qPrintable(loadAverage()));
    printTicks("  ticks meanwhile (each counted extremum saves the settings first)",
               watcher.ticks());
    client = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus("latency");
}

void cpuWithSubscribers(const QString& address, int seconds) {
    Rig rig(address, 1);
    QDBusConnection probe = connectClient(address, "probe");
    if (!waitForCounter(probe)) {
        std::puts("CPU: the counter did not come up");
        return;
    }
    settle(3000);
    const auto measure = [&](const char* label) {
        const QString load = loadAverage();
        const double before = rig.cpuSeconds();
        settle(seconds * 1000);
        const double used = rig.cpuSeconds() - before;
        std::printf("headless program CPU with %s: %.2f %% of one core over %d s (load %s)\n",
                    label, 100.0 * used / seconds, seconds, qPrintable(load));
        return 100.0 * used / seconds;
    };
    const double none = measure("no subscribed client");
    std::vector<std::unique_ptr<Receiver>> receivers;
    QStringList names;
    for (int i = 0; i < 50; ++i) {
        names << QStringLiteral("subscriber-%1").arg(i);
        QDBusConnection client = connectClient(address, names.last());
        receivers.push_back(std::make_unique<Receiver>());
        client.connect(Service, Path, Properties, "PropertiesChanged", receivers.back().get(),
                       SLOT(changed(QString, QVariantMap, QStringList)));
    }
    settle(3000);
    const double fifty = measure("50 subscribed clients");
    int received = 0;
    for (const auto& receiver : receivers)
        received += receiver->signals;
    std::printf("  difference %+.2f percentage points; the 50 clients received %d signals\n",
                fifty - none, received);
    for (const QString& name : names)
        QDBusConnection::disconnectFromBus(name);
    probe = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus("probe");
}

void executeFlood(const QString& address) {
    // At 7 times the speed every tick changes the voltage by more than one
    // step of the converter, so that every tick is seen.
    Rig rig(address, 7);
    QList<QDBusConnection> clients;
    for (int i = 0; i < 4; ++i)
        clients << connectClient(address, QStringLiteral("flood-%1").arg(i));
    if (!waitForCounter(clients[0])) {
        std::puts("Execute flood: the counter did not come up");
        return;
    }
    ExchangeWatcher watcher(rig.exchangePath());
    watcher.start();
    settle(5000);
    printTicks("ticks over 5 s before the flood", watcher.ticks());
    watcher.clear();

    const QString load = loadAverage();
    std::vector<std::unique_ptr<QDBusPendingCallWatcher>> calls;
    const auto started = Clock::now();
    for (int n = 0; n < 2500; ++n)
        for (int c = 0; c < 4; ++c) {
            const QString text = c < 2 ? QStringLiteral("AD_GET_CYCLOMARKATOR=%1").arg(n * 2 + c)
                                       : QStringLiteral("HELLO %1").arg(n * 2 + c);
            QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, "Execute")
                                << text;
            calls.push_back(
                std::make_unique<QDBusPendingCallWatcher>(clients[c].asyncCall(call, 300000)));
        }
    waitFor(
        [&] {
            return std::all_of(calls.begin(), calls.end(),
                               [](const auto& call) { return call->isFinished(); });
        },
        300000);
    const double took = ms(Clock::now() - started);
    settle(500);
    watcher.stop();
    int answered = 0, failed = 0;
    for (const auto& call : calls) {
        if (!call->isFinished())
            continue;
        ++answered;
        failed += call->isError() ? 1 : 0;
    }
    std::printf("10000 Execute calls from 4 clients at once (5000 counts set and saved, 5000 "
                "unknown commands): %d answered, %d refused, %d lost, in %.0f ms (load %s)\n",
                answered, failed, 10000 - answered, took, qPrintable(load));
    printTicks("  ticks meanwhile", watcher.ticks());
    for (int i = 0; i < 4; ++i)
        QDBusConnection::disconnectFromBus(QStringLiteral("flood-%1").arg(i));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("LINK_FIGURE_SECONDS")
                            ? qEnvironmentVariableIntValue("LINK_FIGURE_SECONDS")
                            : 60;
    PrivateBus bus;
    if (!bus.start()) {
        std::printf("link figures: %s\n", qPrintable(bus.error));
        return 1;
    }
    std::printf("link figures on %d cores, load average at start %s\n", QThread::idealThreadCount(),
                qPrintable(loadAverage()));
    roundTrips(bus.address());
    extremumLatency(bus.address(), seconds);
    cpuWithSubscribers(bus.address(), seconds);
    executeFlood(bus.address());
    return 0;
}

#include "LinkBench.moc"
