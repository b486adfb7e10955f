#include "session/EventCommands.h"

#include "common/NumberText.h"
#include "counting/CounterCore.h"
#include "session/MainView.h"

#include <QDateTime>

namespace {
QString number(float value) {
    return NumberText::shortestSingle(value, QLocale::c());
}
} // namespace

EventCommands::EventCommands(CounterCore& core, MainView& view, Rig rig)
    : m_core(core), m_view(view), m_rig(std::move(rig)),
      m_failure(QStringLiteral("failure"), [this](const QString& t, bool bad) { tell(t, bad); }),
      m_stall(QStringLiteral("stall"), [this](const QString& t, bool bad) { tell(t, bad); }) {}

// A command that did its work is no recovery: the failure or the stall it
// told of keeps the status line's red.
void EventCommands::tell(const QString& text, bool problem) {
    if (problem)
        m_view.reportProblem(text);
    else
        m_view.setStatus(text);
}

void EventCommands::watchShown(WatchEvents) {
    run(WatchEvents::FailureConfirmed);
    run(WatchEvents::StallBegun);
}

void EventCommands::run(uint32_t event) {
    const CoreWatch& watch = m_core.watch();
    if (!watch.commandDue(event))
        return;
    const bool failure = event == WatchEvents::FailureConfirmed;
    const QString command = failure ? watch.commands().onFailure : watch.commands().onStall;
    const QProcessEnvironment variables = environment(event);
    m_core.markWatchCommand(event);
    (failure ? m_failure : m_stall).start(command, variables, watch.commands().timeoutSeconds);
}

QProcessEnvironment EventCommands::environment(uint32_t event) const {
    const CoreWatch& watch = m_core.watch();
    const WatchState& s = watch.watch().state();
    const WatchFailure& f = s.failure;
    const WatchReference& r = s.reference;
    const bool stall = event == WatchEvents::StallBegun;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const auto put = [&env](const char* name, const QString& value) {
        env.insert(QLatin1String(name), value);
    };
    put("CYCLO_EVENT", stall ? QStringLiteral("stall") : QStringLiteral("failure"));
    put("CYCLO_RIG", m_rig.name);
    put("CYCLO_FOLDER", m_rig.folder);
    put("CYCLO_BUS_NAME", m_rig.busName);
    put("CYCLO_COUNT", QString::number(m_core.state().CycleCount));
    put("CYCLO_TEXT", watch.eventText(event));
    put("CYCLO_NF", f.failed ? QString::number(f.cycle) : QString());
    put("CYCLO_CRITERION", f.failed ? QLatin1String(criterionName(f.criterion)) : QString());
    put("CYCLO_PEAK", f.failed ? number(f.peak) : QString());
    put("CYCLO_VALLEY", f.failed ? number(f.valley) : QString());
    put("CYCLO_AMPLITUDE", f.failed ? number(f.amplitude) : QString());
    put("CYCLO_REF_PEAK", r.taken ? number(r.peak) : QString());
    put("CYCLO_REF_VALLEY", r.taken ? number(r.valley) : QString());
    put("CYCLO_REF_AMPLITUDE", r.taken ? number(r.amplitude) : QString());
    put("CYCLO_LAST_CYCLE", stall ? QString::number(s.stall.lastCycle) : QString());
    put("CYCLO_SINCE", stall ? QDateTime::fromMSecsSinceEpoch(
                                   static_cast<qint64>(s.stall.sinceSeconds * 1000.0), Qt::UTC)
                                   .toString(Qt::ISODate)
                             : QString());
    put("CYCLO_STALL_SECONDS", stall ? QString::number(s.stall.limitSeconds) : QString());
    return env;
}
