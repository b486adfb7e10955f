#pragma once
// The options of a transport address, "unit=1&register=0" after its '?':
// each item name=value, no name twice, only the names the transport knows,
// and typed values checked against their limits. Every refusal is a
// DeviceError that names the transport, the option and what it must be.
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>

class AddressOptions {
public:
    // `scheme` ("modbus-tcp") starts every message; `known` are the names taken.
    AddressOptions(QString scheme, const QString& text, const QStringList& known);

    // An address cut at its last '?': what it reaches, and the options (empty without).
    static std::pair<QString, QString> split(const QString& rest);

    bool has(const QString& name) const { return m_values.contains(name); }
    QString text(const QString& name, const QString& fallback) const {
        return m_values.value(name, fallback);
    }
    int64_t whole(const QString& name, int64_t fallback, int64_t min, int64_t max) const;
    // A finite number with a decimal point, at least `min`.
    double number(const QString& name, double fallback, double min) const;
    // One of `choices`; the fallback when the option is missing.
    QString choice(const QString& name, const QStringList& choices, const QString& fallback) const;

    // "modbus-tcp: option "unit" " + why, for the transports' own checks.
    QString refusal(const QString& name, const QString& why) const;

private:
    QString m_scheme;
    QMap<QString, QString> m_values;
};
