// Figures of the rig on a real mosquitto broker on 127.0.0.1 (no timing in
// the tests; here): the time from a durable count to a subscriber having it
// (median, 99th percentile), and, with the broker killed for
// BROKER_DOWN_SECONDS (default 60) while a 40 ms tick runs, the longest tick
// and the resident memory before and after.
#include "broker/BrokerPublisher.h"

#include "adc/LibadxDevices.h"
#include "platform/AtomicFile.h"
#include "session/CounterSession.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"
#include "support/TestBroker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {
using namespace testbroker;

long rssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (mosquittoProgram().isEmpty()) {
        std::puts("mosquitto is not installed");
        return 1;
    }
    QTemporaryDir dir;
    for (const char* folder : {"program", "temp"})
        QDir().mkpath(dir.filePath(folder));
    AtomicFile::write(dir.filePath("program/Cyclomarkator.INI"),
                      "[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    Broker broker;
    broker.start();
    const QString rig = "cyclomarkator/bench/";
    Subscriber watcher(broker.port, rig + "count");
    ManualClock clock;
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    RecordingMainView view;
    CounterSession session({{dir.filePath("program"), "Cyclomarkator", {}, false, {}},
                            dir.filePath("temp"),
                            dir.filePath("config"),
                            "Cyclomarkator"},
                           prompts, clock, devices);
    session.LoadSettings();
    BrokerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = broker.port;
    settings.rig = "bench";
    BrokerPublisher publisher(session, clock, settings, {1, 2, 30, 2000});
    session.setFollower(&publisher);
    session.Form_Load(view);
    session.start();
    waitFor([&] { return publisher.client().isConnected(); });
    int32_t period = 0;
    const auto tick = [&](int32_t at) {
        clock.set(period * 20000 + at);
        QMetaObject::invokeMethod(&session.countingTimer(), "timeout");
    };

    std::vector<double> ms;
    for (int n = 0; n < 1000; ++n) {
        ++period;
        tick(5000);
        QElapsedTimer since;
        since.start();
        tick(15000); // the count is saved and queued when this returns
        const QByteArray expected = QByteArray::number(session.state().CycleCount);
        waitFor([&] { return watcher.last(rig + "count") == expected; }, 5000);
        ms.push_back(since.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("durable count -> subscriber: median %.2f ms, p99 %.2f ms (%zu counts)\n",
                ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.size());

    const int downS = qEnvironmentVariableIntValue("BROKER_DOWN_SECONDS") > 0
                          ? qEnvironmentVariableIntValue("BROKER_DOWN_SECONDS")
                          : 60;
    const long rssBefore = rssKb();
    broker.stop();
    QElapsedTimer down, tickTime;
    down.start();
    double longest = 0;
    int late = 0, ticks = 0;
    while (down.elapsed() < downS * 1000) {
        ++period;
        for (const int32_t at : {5000, 15000}) {
            tickTime.start();
            tick(at);
            const double took = tickTime.nsecsElapsed() / 1e6;
            longest = std::max(longest, took);
            late += took > 40;
            ++ticks;
            QTest::qWait(40);
        }
    }
    const long rssAfter = rssKb();
    std::printf("broker down %d s: %d ticks, longest %.2f ms, %d over 40 ms; RSS %ld -> %ld kB\n",
                downS, ticks, longest, late, rssBefore, rssAfter);
    session.Form_Unload(session.general());
    return 0;
}
