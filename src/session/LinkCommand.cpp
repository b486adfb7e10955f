#include "session/LinkCommand.h"

#include "common/ParseNumber.h"
#include "session/LinkProtocol.h"

#include <cmath>
#include <limits>

namespace {
QString shortened(const QString& text) {
    QString shown = text.left(40);
    return shown.size() < text.size() ? shown + QStringLiteral("...") : shown;
}
} // namespace

LinkCommand LinkCommand::refused(const QString& why) {
    LinkCommand command;
    command.kind = Kind::Refused;
    command.refusal = why;
    return command;
}

LinkCommand LinkCommand::parseExecute(const QString& text) {
    if (text.size() > LinkProtocol::MaxCommandLength)
        return refused(QStringLiteral("The command is %1 characters long; at most %2 are taken.")
                           .arg(text.size())
                           .arg(LinkProtocol::MaxCommandLength));
    if (text.trimmed().isEmpty())
        return refused(QStringLiteral("The command is empty."));

    const qsizetype equals = text.indexOf(u'=');
    QString command = equals >= 0 ? text.left(equals) : text;
    while (command.endsWith(u' '))
        command.chop(1);
    command = command.toUpper();

    LinkCommand result;
    if (command == u"AD_GET_CYCLOMARKATOR") {
        // Without a value the client only wanted to read the count item.
        if (equals >= 0)
            result = countFrom(text.mid(equals + 1));
    } else if (command == u"AD_GET_VOLTAGE") {
        // Accepted and ignored, also with a value: a voltage command must not
        // change the count.
    } else {
        result.kind = Kind::ShowToUser;
    }
    return result;
}

LinkCommand LinkCommand::countFrom(QString valueText) {
    const QString given = valueText.trimmed();
    // Read as ParseNumber reads (the first comma is the decimal separator),
    // but in double precision so that counts above 2^24 stay exact.
    const qsizetype comma = valueText.indexOf(u',');
    if (comma >= 0)
        valueText[comma] = u'.';
    qsizetype end = 0;
    const double value = parseLeadingNumber(valueText, end);
    // Without a digit the reader gives 0, which would wipe out the test's progress.
    if (end == 0)
        return refused(
            QStringLiteral("\"%1\" is no count: the value has no digit.").arg(shortened(given)));
    // "0x10", "5abc" or "12,5,6" would be taken as their first digits.
    if (!QStringView(valueText).mid(end).trimmed().isEmpty())
        return refused(QStringLiteral("\"%1\" is no count: only blanks may follow the number.")
                           .arg(shortened(given)));
    if (!std::isfinite(value))
        return refused(
            QStringLiteral("\"%1\" is no count: it is not a finite number.").arg(shortened(given)));
    if (value < 0)
        return refused(QStringLiteral("%1 is no count: counts are never negative.").arg(value));
    // The default rounding mode rounds halves to the even neighbour, as the
    // described system does (12.5 gives 12).
    const double rounded = std::nearbyint(value);
    if (rounded > std::numeric_limits<int32_t>::max())
        return refused(QStringLiteral("\"%1\" is no count: the largest count is %2.")
                           .arg(shortened(given))
                           .arg(std::numeric_limits<int32_t>::max()));
    LinkCommand result;
    result.kind = Kind::SetCount;
    result.count = static_cast<int32_t>(rounded);
    return result;
}

LinkCommand::Poke LinkCommand::pokeWord(const QString& text) {
    const QString word = text.trimmed().toUpper();
    if (word == u"STOP")
        return Poke::Stop;
    if (word == u"UNLOAD")
        return Poke::Unload;
    return Poke::Ignored;
}
