#pragma once
// What the device layer throws when a device does not answer or a transport
// address cannot be used. The text says why in words fit for the status line;
// callers catch it (or std::exception) and never see undefined behaviour.
#include <QString>
#include <stdexcept>

class DeviceError : public std::runtime_error {
public:
    explicit DeviceError(const QString& why) : std::runtime_error(why.toStdString()) {}
    QString why() const { return QString::fromStdString(what()); }
};
