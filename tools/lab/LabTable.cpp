// The board as a terminal table, for a lab watched over ssh.
#include "LabBoard.h"
#include "common/PrintableText.h"

#include <QLocale>

namespace {
QString printable(const QString& text) {
    return QString::fromStdString(printableText(text.toStdString()));
}

QString stateCell(const LabRig& rig, const QDateTime& now) {
    if (!rig.state)
        return QStringLiteral("?");
    return QStringLiteral("%1 %2%3").arg(*rig.state,
                                         rig.stateSinceExact ? QString() : QStringLiteral(">="),
                                         durationText(rig.stateSince.secsTo(now)));
}

QString triggerCell(const LabRig& rig) {
    if (!rig.trigger)
        return QStringLiteral("-");
    const QDateTime time = rig.trigger->time.toLocalTime();
    return QStringLiteral("%1%2")
        .arg(rig.trigger->cycle)
        .arg(time.isValid() ? time.toString(QStringLiteral(" @ yyyy-MM-dd HH:mm:ss")) : QString());
}

QString problemCell(const LabRig& rig) {
    if (!rig.status || rig.status->problem == false)
        return QStringLiteral("-");
    return rig.status->time.toLocalTime().toString(QStringLiteral("MM-dd HH:mm ")) +
           printable(rig.status->text);
}
} // namespace

QString LabBoard::textTable(const QDateTime& now) const {
    const QStringList header = {"RIG",     "STATE",        "COUNT", "CYC/S",
                                "VOLTAGE", "LAST TRIGGER", "WATCH", "LAST PROBLEM"};
    QList<QStringList> rows = {header};
    for (const auto& [name, rig] : m_rigs) {
        const auto rate = cyclesPerSecond(rig, now);
        rows.append(
            {printable(name), stateCell(rig, now),
             rig.count ? QString::number(*rig.count) : QStringLiteral("?"),
             rate ? QString::number(*rate, 'f', 2) : QStringLiteral("?"),
             rig.voltage ? QString::number(*rig.voltage, 'f', 3) + " V" : QStringLiteral("?"),
             triggerCell(rig),
             rig.watch ? printable(rig.watch->state).toUpper() == u"FAILED"
                             ? QStringLiteral("FAILED")
                             : printable(rig.watch->state)
                       : QStringLiteral("-"),
             problemCell(rig)});
    }
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString table;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        table += line + u'\n';
    }
    return table;
}
