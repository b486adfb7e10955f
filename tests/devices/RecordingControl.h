#pragma once
// A device control that writes down every call with its arguments, in order,
// and answers as the test sets: `voltage` of (channel, number of the call or
// of the block sample), an open that fails, or an error for every reading.
#include "devices/DeviceControl.h"
#include "devices/DeviceError.h"

#include <QStringList>
#include <functional>

struct ControlScript {
    QStringList calls;
    bool opens = true;
    bool failing = false;
    std::function<float(int32_t, int)> voltage = [](int32_t channel, int) {
        return static_cast<float>(channel);
    };
};

class RecordingControl final : public DeviceControl {
public:
    // The script outlives the control, so the test sees every call.
    explicit RecordingControl(ControlScript& script) : m_s(script) {}

    bool open(const QString& device) override {
        log("open " + device);
        return m_s.opens;
    }
    void close() override { log("close"); }
    float readVoltage(int32_t channel, int32_t range) override {
        log(QStringLiteral("read %1 %2").arg(channel).arg(range));
        return answer(channel, static_cast<int>(m_s.calls.size()));
    }
    void setBlockTiming(float interval, int32_t& samples) override {
        log(QStringLiteral("timing %1 %2").arg(interval).arg(samples));
    }
    void addBlockChannel(int32_t& channel, int32_t& range) override {
        log(QStringLiteral("channel %1 %2").arg(channel).arg(range));
    }
    void acquireBlock() override { log("acquire"); }
    float blockSample(int32_t& channel, int32_t& sample) override {
        log(QStringLiteral("sample %1 %2").arg(channel).arg(sample));
        return answer(channel, sample);
    }

private:
    void log(const QString& call) { m_s.calls.append(call); }
    float answer(int32_t channel, int n) {
        if (m_s.failing)
            throw DeviceError(QStringLiteral("unplugged"));
        return m_s.voltage(channel, n);
    }
    ControlScript& m_s;
};
