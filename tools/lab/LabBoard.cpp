#include "LabBoard.h"

#include <QJsonArray>

#include <algorithm>

namespace {
// Counts older than this (before the newest) no longer shape the rate.
constexpr qint64 RateWindowMs = 10000;
constexpr size_t RateSamples = 64;

QJsonValue orNull(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue timeJson(const QDateTime& time) {
    return time.isValid() ? QJsonValue(time.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonObject rigJson(const QString& name, const LabRig& rig, const QDateTime& now) {
    QJsonObject tile{{"rig", name},
                     {"state", rig.state ? QJsonValue(*rig.state) : QJsonValue()},
                     {"stateSince", rig.state ? timeJson(rig.stateSince) : QJsonValue()},
                     {"stateSinceExact", rig.stateSinceExact},
                     {"count", rig.count ? QJsonValue(double(*rig.count)) : QJsonValue()},
                     {"cyclesPerSecond", orNull(LabBoard::cyclesPerSecond(rig, now))},
                     {"voltage", orNull(rig.voltage)}};
    tile["trigger"] =
        rig.trigger ? QJsonObject{{"cycle", double(rig.trigger->cycle)},
                                  {"time", timeJson(rig.trigger->time)},
                                  {"events", rig.trigger->events < 0 ? QJsonValue()
                                                                     : double(rig.trigger->events)}}
                    : QJsonValue();
    tile["status"] =
        rig.status ? QJsonObject{{"text", rig.status->text},
                                 {"time", timeJson(rig.status->time)},
                                 {"problem", rig.status->problem ? QJsonValue(*rig.status->problem)
                                                                 : QJsonValue()}}
                   : QJsonValue();
    tile["watch"] = rig.watch ? QJsonObject{{"state", rig.watch->state},
                                            {"n_f", orNull(rig.watch->cyclesToFailure)}}
                              : QJsonValue();
    tile["info"] = rig.info ? QJsonObject{{"version", rig.info->version},
                                          {"converter", rig.info->converter},
                                          {"channel", rig.info->channel},
                                          {"start", timeJson(rig.info->start)},
                                          {"counting", rig.info->counting}}
                            : QJsonValue();
    return tile;
}
} // namespace

LabBoard::LabBoard(const QString& prefix) : m_prefix(prefix + u'/') {}

bool LabBoard::apply(const QString& topic, const QByteArray& payload, const QDateTime& arrival,
                     bool retained) {
    if (!topic.startsWith(m_prefix))
        return false;
    const QStringList levels = topic.mid(m_prefix.size()).split(u'/');
    static const QStringList fields = {"state",  "count", "voltage", "trigger",
                                       "status", "watch", "info"};
    if (levels.size() != 2 || levels[0].isEmpty() || !fields.contains(levels[1]))
        return false;
    const QString& name = levels[0];
    auto found = m_rigs.find(name);
    if (found == m_rigs.end()) {
        if (name.size() > MaxRigName || int(m_rigs.size()) >= MaxRigs) {
            ++m_ignoredRigs;
            return false;
        }
        found = m_rigs.emplace(name, LabRig{}).first;
    }
    LabRig& rig = found->second;
    const QString& field = levels[1];
    const QByteArray data = payload.size() > LabPayloads::MaxPayload ? QByteArray() : payload;
    if (field == u"state") {
        const auto state = LabPayloads::state(data);
        if (state != rig.state) {
            rig.stateSince = arrival;
            rig.stateSinceExact = !retained;
        }
        rig.state = state;
    } else if (field == u"count") {
        applyCount(rig, data, arrival, retained);
    } else if (field == u"voltage") {
        rig.voltage = LabPayloads::voltage(data);
    } else if (field == u"trigger") {
        rig.trigger = LabPayloads::trigger(data);
    } else if (field == u"status") {
        rig.status = LabPayloads::status(data, arrival);
    } else if (field == u"watch") {
        rig.watch = LabPayloads::watch(data);
    } else {
        rig.info = LabPayloads::info(data);
    }
    return true;
}

void LabBoard::applyCount(LabRig& rig, const QByteArray& payload, const QDateTime& arrival,
                          bool retained) {
    rig.count = LabPayloads::count(payload);
    auto& arrivals = rig.countArrivals;
    // A retained count is older than its arrival, a smaller count was set or
    // reset: neither says anything about the rate.
    if (!rig.count || retained || (!arrivals.empty() && *rig.count < arrivals.back().second) ||
        (!arrivals.empty() && arrival < arrivals.back().first))
        arrivals.clear();
    if (!rig.count || retained)
        return;
    arrivals.emplace_back(arrival, *rig.count);
    while (arrivals.size() > RateSamples ||
           (arrivals.size() > 2 && arrivals.front().first.msecsTo(arrival) > RateWindowMs))
        arrivals.pop_front();
}

std::optional<double> LabBoard::cyclesPerSecond(const LabRig& rig, const QDateTime& now) {
    const auto& arrivals = rig.countArrivals;
    if (arrivals.size() < 2)
        return std::nullopt;
    const auto& [firstTime, firstCount] = arrivals.front();
    const auto& [lastTime, lastCount] = arrivals.back();
    const qint64 span = firstTime.msecsTo(lastTime);
    const qint64 lastGap = arrivals[arrivals.size() - 2].first.msecsTo(lastTime);
    if (lastTime.msecsTo(now) > std::max<qint64>(RateWindowMs, 3 * lastGap))
        return 0.0;
    if (span <= 0)
        return std::nullopt;
    return double(lastCount - firstCount) * 1000.0 / double(span);
}

QJsonObject LabBoard::snapshot(const QDateTime& now) const {
    QJsonArray tiles;
    for (const auto& [name, rig] : m_rigs)
        tiles.append(rigJson(name, rig, now));
    return {{"now", timeJson(now)}, {"rigs", tiles}};
}

QString durationText(qint64 seconds) {
    seconds = std::max<qint64>(seconds, 0);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min").arg(seconds / 60);
    if (seconds < 86400)
        return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
    return QStringLiteral("%1 d %2 h").arg(seconds / 86400).arg(seconds % 86400 / 3600);
}
