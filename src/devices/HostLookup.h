#pragma once
// Finds the numeric address of a host name without making the caller wait:
// start() hands the name on, answer() is asked again later. The Modbus
// transport uses it, and tests give it one whose name server they script.
#include <QString>
#include <optional>

class HostLookup {
public:
    struct Answer {
        QString address; // "192.0.2.10", "::1"; empty when the name was not found
        QString why;     // why not, in words fit for the status line
    };
    virtual ~HostLookup() = default;
    // Starts looking `host` up, giving up any lookup still under way.
    virtual void start(const QString& host) = 0;
    // Nothing while the name server has not answered; the answer once, after
    // which a new start() is needed.
    virtual std::optional<Answer> answer() = 0;
};
