#include "devices/AddressOptions.h"

#include "devices/DeviceError.h"

#include <cmath>

AddressOptions::AddressOptions(QString scheme, const QString& text, const QStringList& known)
    : m_scheme(std::move(scheme)) {
    for (const QString& item : text.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(u'=');
        const QString name = item.left(equals).trimmed();
        if (equals < 0)
            throw DeviceError(refusal(item.trimmed(), QStringLiteral("is not name=value")));
        if (m_values.contains(name))
            throw DeviceError(refusal(name, QStringLiteral("is given twice")));
        if (!known.contains(name))
            throw DeviceError(refusal(
                name,
                QStringLiteral("is unknown (known: %1)").arg(known.join(QStringLiteral(", ")))));
        m_values.insert(name, item.mid(equals + 1).trimmed());
    }
}

std::pair<QString, QString> AddressOptions::split(const QString& rest) {
    const qsizetype mark = rest.lastIndexOf(u'?');
    if (mark < 0)
        return {rest.trimmed(), QString()};
    return {rest.left(mark).trimmed(), rest.mid(mark + 1)};
}

QString AddressOptions::refusal(const QString& name, const QString& why) const {
    return QStringLiteral("%1: option \"%2\" %3").arg(m_scheme, name, why);
}

int64_t AddressOptions::whole(const QString& name, int64_t fallback, int64_t min,
                              int64_t max) const {
    if (!has(name))
        return fallback;
    bool ok = false;
    const qlonglong value = m_values[name].toLongLong(&ok);
    if (!ok || value < min || value > max)
        throw DeviceError(refusal(name, QStringLiteral("must be a whole number from %1 to %2, "
                                                       "not \"%3\"")
                                            .arg(min)
                                            .arg(max)
                                            .arg(m_values[name])));
    return value;
}

double AddressOptions::number(const QString& name, double fallback, double min) const {
    if (!has(name))
        return fallback;
    bool ok = false;
    const double value = m_values[name].toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw DeviceError(refusal(name, QStringLiteral("needs a number with a decimal point, "
                                                       "not \"%1\"")
                                            .arg(m_values[name])));
    if (value < min)
        throw DeviceError(refusal(name, QStringLiteral("must be at least %1").arg(min)));
    return value;
}

QString AddressOptions::choice(const QString& name, const QStringList& choices,
                               const QString& fallback) const {
    if (!has(name))
        return fallback;
    if (!choices.contains(m_values[name]))
        throw DeviceError(
            refusal(name, QStringLiteral("must be %1, not \"%2\"")
                              .arg(choices.join(QStringLiteral(" or ")), m_values[name])));
    return m_values[name];
}
