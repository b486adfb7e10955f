#pragma once
// What each topic of a rig carries, read from payloads that anyone who may
// publish on the broker can write. One small function per topic; each gives
// nothing (std::nullopt) for a payload it cannot read, so that a malformed
// value shows as unknown and never reaches the page as anything else.
#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

struct LabTrigger {
    qint64 cycle = 0;
    QDateTime time;     // invalid when the payload gave none or an unreadable one
    qint64 events = -1; // -1: not given
};

struct LabStatus {
    QString text;
    QDateTime time;              // the payload's, else the arrival time
    std::optional<bool> problem; // unknown for a plain-text status
};

struct LabWatch {
    QString state;
    std::optional<double> cyclesToFailure; // "n_f"
};

struct LabInfo {
    QString version;
    QString converter;
    QString channel;
    QDateTime start;
    QJsonObject counting;
};

namespace LabPayloads {
// Longer payloads are not read at all; texts are cut to a tile's worth.
inline constexpr qsizetype MaxPayload = 4096;
inline constexpr qsizetype MaxText = 300;

std::optional<QString> state(const QByteArray& payload);  // online, offline or stopped
std::optional<qint64> count(const QByteArray& payload);   // plain decimal, not negative
std::optional<double> voltage(const QByteArray& payload); // plain number with a point
std::optional<LabTrigger> trigger(const QByteArray& payload);
// JSON {"text","time","problem"} or plain text, which then took place at `arrival`.
std::optional<LabStatus> status(const QByteArray& payload, const QDateTime& arrival);
std::optional<LabWatch> watch(const QByteArray& payload);
std::optional<LabInfo> info(const QByteArray& payload);
} // namespace LabPayloads
