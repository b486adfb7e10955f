#pragma once
// The "modbus-tcp://" transport: an analog input module that answers
// Modbus/TCP. One request per tick reads the registers of every channel
// (registers counted from 0 as on the wire); volts = raw * scale + offset,
// float32 in two registers, high word first unless word_order=little.
// Nothing here may stall the user-interface thread: connecting and each
// answer are given timeout_ms (DefaultTimeoutMs unless the address says
// otherwise, for a module far away), a module that is gone is tried again at most
// every ReconnectMs of the program's clock, and between the tries a reading
// fails at once. Opening needs no answer, so a module that starts after the
// program is counted as soon as it answers.
#include "devices/ConverterControl.h"

#include <QString>
#include <cstdint>
#include <vector>

class MillisecondClock;
struct _modbus;

class ModbusControl final : public ConverterControl {
public:
    enum class Format { Int16, Uint16, Float32 };
    static constexpr int DefaultTimeoutMs = 40;
    struct Options {
        QString host;
        int port = 502;
        int unit = 1;
        int firstRegister = 0;
        int channels = 8;
        bool holding = false; // kind=holding: function 3, else input registers (4)
        Format format = Format::Int16;
        bool wordsLittle = false;
        double scale = 1.0;
        double offset = 0.0;
        double range = 0.0; // volts either side; 0: what the format can give (float32: 10)
        int timeoutMs = DefaultTimeoutMs;
    };
    // The text after "modbus-tcp://"; throws DeviceError naming the wrong part.
    static Options parse(const QString& text);

    static constexpr int32_t ReconnectMs = 2000;

    // The clock paces the tries to reconnect; it must outlive the control.
    ModbusControl(const MillisecondClock& clock, Options options);
    ~ModbusControl() override;
    ModbusControl(const ModbusControl&) = delete;
    ModbusControl& operator=(const ModbusControl&) = delete;

    void beginTick(int32_t countedChannel) override;

protected:
    Found connect() override;
    void disconnect() override;
    Reading take(int32_t channel) override;

private:
    int registersPerChannel() const { return m_options.format == Format::Float32 ? 2 : 1; }
    QString endpoint() const;
    void reach();
    void fetch();
    void decode(const std::vector<uint16_t>& registers);
    [[noreturn]] void fail(const QString& why, bool dropConnection);

    const MillisecondClock& m_clock;
    Options m_options;
    QString m_numericHost;
    _modbus* m_context = nullptr;
    bool m_connected = false;
    bool m_tried = false;
    int32_t m_lastTry = 0;
    QString m_lastError;
    std::vector<Reading> m_values;
    uint64_t m_tick = 0;
    bool m_fetched = false; // m_values (or m_failure) belong to m_tick
    QString m_failure;
};
