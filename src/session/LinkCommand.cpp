#include "session/LinkCommand.h"

#include "common/ParseNumber.h"
#include "session/LinkProtocol.h"

#include <cmath>
#include <limits>

namespace {
// The number reader skips these anywhere in a number.
bool isIgnored(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

QChar nextSignificant(QStringView text, qsizetype& pos) {
    while (pos < text.size() && isIgnored(text[pos]))
        ++pos;
    return pos < text.size() ? text[pos] : QChar();
}

bool isDigitOf(QChar c, int radix) {
    const char16_t u = c.toUpper().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0' < radix;
    return radix == 16 && u >= u'A' && u <= u'F';
}

// Whether the number reader finds at least one digit at the start of `text`;
// without one it reads 0, which as a count would wipe out the test's progress.
bool startsWithNumber(QStringView text) {
    qsizetype pos = 0;
    QChar c = nextSignificant(text, pos);
    if (c == u'&') {
        ++pos;
        const QChar kind = nextSignificant(text, pos).toUpper();
        if (kind != u'H' && kind != u'O')
            return false;
        ++pos;
        return isDigitOf(nextSignificant(text, pos), kind == u'H' ? 16 : 8);
    }
    if (c == u'+' || c == u'-') {
        ++pos;
        c = nextSignificant(text, pos);
    }
    if (c == u'.') {
        ++pos;
        c = nextSignificant(text, pos);
    }
    return isDigitOf(c, 10);
}

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
    if (!startsWithNumber(valueText))
        return refused(QStringLiteral("\"%1\" is no count: the value has no digit.")
                           .arg(shortened(valueText.trimmed())));
    // Read as ParseNumber reads (the first comma is the decimal separator),
    // but in double precision so that counts above 2^24 stay exact.
    const qsizetype comma = valueText.indexOf(u',');
    if (comma >= 0)
        valueText[comma] = u'.';
    const double value = parseLeadingNumber(valueText);
    if (!std::isfinite(value))
        return refused(QStringLiteral("\"%1\" is no count: it is not a finite number.")
                           .arg(shortened(valueText.trimmed())));
    if (value < 0)
        return refused(QStringLiteral("%1 is no count: counts are never negative.").arg(value));
    // The default rounding mode rounds halves to the even neighbour, as the
    // described system does (12.5 gives 12).
    const double rounded = std::nearbyint(value);
    if (rounded > std::numeric_limits<int32_t>::max())
        return refused(QStringLiteral("%1 is no count: the largest count is %2.")
                           .arg(value, 0, 'g', 12)
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
