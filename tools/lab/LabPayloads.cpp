#include "LabPayloads.h"

#include <QJsonDocument>

#include <cmath>

namespace {
// Whole numbers that a double holds exactly: JSON numbers are doubles.
constexpr double MaxWhole = 9007199254740992.0;

std::optional<QJsonObject> object(const QByteArray& payload) {
    if (payload.size() > LabPayloads::MaxPayload)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<qint64> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < 0 || number > MaxWhole || std::floor(number) != number)
        return std::nullopt;
    return static_cast<qint64>(number);
}

QString text(const QJsonValue& value) {
    if (value.isDouble())
        return QString::number(value.toDouble());
    return value.toString().left(LabPayloads::MaxText);
}

QDateTime time(const QJsonValue& value) {
    return value.isString() ? QDateTime::fromString(value.toString(), Qt::ISODateWithMs)
                            : QDateTime();
}
} // namespace

namespace LabPayloads {
std::optional<QString> state(const QByteArray& payload) {
    const QByteArray word = payload.trimmed().toLower();
    if (word == "online" || word == "offline" || word == "stopped")
        return QString::fromLatin1(word);
    return std::nullopt;
}

std::optional<qint64> count(const QByteArray& payload) {
    const QByteArray digits = payload.trimmed();
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    for (const char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    return digits.toLongLong();
}

std::optional<double> voltage(const QByteArray& payload) {
    const QByteArray number = payload.trimmed();
    if (number.isEmpty() || number.size() > 40)
        return std::nullopt;
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<LabTrigger> trigger(const QByteArray& payload) {
    const auto fields = object(payload);
    if (!fields)
        return std::nullopt;
    const auto cycle = wholeNumber(fields->value(u"cycle"));
    if (!cycle)
        return std::nullopt;
    return LabTrigger{*cycle, time(fields->value(u"time")),
                      wholeNumber(fields->value(u"events")).value_or(-1)};
}

std::optional<LabStatus> status(const QByteArray& payload, const QDateTime& arrival) {
    if (payload.trimmed().isEmpty() || payload.size() > MaxPayload)
        return std::nullopt;
    if (!payload.trimmed().startsWith('{'))
        return LabStatus{QString::fromUtf8(payload.trimmed()).left(MaxText), arrival, {}};
    const auto fields = object(payload);
    if (!fields || !fields->value(u"text").isString())
        return std::nullopt;
    const QDateTime when = time(fields->value(u"time"));
    const QJsonValue problem = fields->value(u"problem");
    return LabStatus{text(fields->value(u"text")), when.isValid() ? when : arrival,
                     problem.isBool() ? std::optional<bool>(problem.toBool()) : std::nullopt};
}

std::optional<LabWatch> watch(const QByteArray& payload) {
    const auto fields = object(payload);
    if (!fields || !fields->value(u"state").isString())
        return std::nullopt;
    const QString state = text(fields->value(u"state")).left(40);
    if (state.isEmpty())
        return std::nullopt;
    const QJsonValue nF = fields->value(u"n_f");
    if (!nF.isNull() && !nF.isUndefined() && !wholeNumber(nF))
        return std::nullopt;
    return LabWatch{state, nF.isDouble() ? std::optional<double>(nF.toDouble()) : std::nullopt};
}

std::optional<LabInfo> info(const QByteArray& payload) {
    const auto fields = object(payload);
    if (!fields)
        return std::nullopt;
    return LabInfo{text(fields->value(u"version")), text(fields->value(u"converter")),
                   text(fields->value(u"channel")), time(fields->value(u"start")),
                   fields->value(u"counting").toObject()};
}
} // namespace LabPayloads
