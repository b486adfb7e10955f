#pragma once
// Every rig heard on the lab's broker and what it last said, kept without
// widgets or a network so that the page, the terminal table and the tests read
// the same thing. Fed one message at a time (topic PREFIX/RIG/FIELD, payload,
// arrival time); a payload that cannot be read makes its field unknown, never
// more. Times are the caller's, so tests need no clock.
#include "LabPayloads.h"

#include <QJsonObject>
#include <QString>

#include <deque>
#include <map>

struct LabRig {
    std::optional<QString> state;
    QDateTime stateSince;
    bool stateSinceExact = false; // false: the broker's retained state, older than we know
    std::optional<qint64> count;
    std::deque<std::pair<QDateTime, qint64>> countArrivals; // the last few seconds, for the rate
    std::optional<double> voltage;
    std::optional<LabTrigger> trigger;
    std::optional<LabStatus> status;
    std::optional<LabWatch> watch;
    std::optional<LabInfo> info;
};

class LabBoard {
public:
    // More rigs than this are not kept (a stray publisher cannot fill the memory).
    static constexpr int MaxRigs = 500;
    static constexpr qsizetype MaxRigName = 64;

    explicit LabBoard(const QString& prefix);

    // True when the message changed what the board shows.
    bool apply(const QString& topic, const QByteArray& payload, const QDateTime& arrival,
               bool retained = false);
    const std::map<QString, LabRig>& rigs() const { return m_rigs; }
    // Cycles per second from the counts that arrived in the last seconds; 0
    // once no new count came for a while, unknown before two counts arrived.
    static std::optional<double> cyclesPerSecond(const LabRig& rig, const QDateTime& now);
    // What /state.json and each server-sent event carry.
    QJsonObject snapshot(const QDateTime& now) const;
    // The same as a table for a terminal; texts from the broker made printable.
    QString textTable(const QDateTime& now) const;
    int ignoredRigs() const { return m_ignoredRigs; }

private:
    static void applyCount(LabRig& rig, const QByteArray& payload, const QDateTime& arrival,
                           bool retained);

    QString m_prefix;
    std::map<QString, LabRig> m_rigs;
    int m_ignoredRigs = 0;
};

// "42 s", "5 min", "3 h 12 min", "4 d 3 h": how long a rig has been in its state.
QString durationText(qint64 seconds);
