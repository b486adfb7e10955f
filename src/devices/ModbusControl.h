#pragma once
// The "modbus-tcp://" transport: an analog input module that answers
// Modbus/TCP. One request per tick reads the registers of every channel
// (registers counted from 0 as on the wire); volts = raw * scale + offset,
// float32 in two registers, high word first unless word_order=little.
// Every answer is checked against its request (transaction and protocol id,
// length field, unit id, function code, byte count): one that does not fit
// is a failed reading and ends the connection, which may be out of step.
// Nothing here may stall the user-interface thread: a host name is looked up
// while the ticks go on (given up after LookupLimitMs), connecting and each
// answer are given timeout_ms (DefaultTimeoutMs unless the address says
// otherwise, for a module far away), a name not found or a module that is
// gone is tried again at most every ReconnectMs of the program's clock, and
// between the tries a reading fails at once. Opening needs no answer, so a
// module (or a name server) that starts after the program is counted as soon
// as it answers.
#include "devices/ConverterControl.h"
#include "devices/HostLookup.h"

#include <QString>
#include <cstdint>
#include <memory>
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
    static constexpr int32_t LookupLimitMs = 5000;

    // The clock paces the tries to reconnect; it must outlive the control.
    // Without a lookup the C library's resolver finds the host.
    ModbusControl(const MillisecondClock& clock, Options options,
                  std::unique_ptr<HostLookup> lookup = nullptr);
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
    void findHost(int32_t now);
    void reach();
    void fetch();
    void decode(const uint8_t* bytes);
    void dropConnection();
    [[noreturn]] void fail(const QString& why);

    const MillisecondClock& m_clock;
    Options m_options;
    std::unique_ptr<HostLookup> m_lookup;
    bool m_lookingUp = false;
    int32_t m_lookupStart = 0;
    _modbus* m_context = nullptr;
    bool m_connected = false;
    bool m_tried = false;
    int32_t m_lastTry = 0;
    QString m_lastError;
    std::vector<Reading> m_values;
    bool m_fetched = false; // m_values (or m_failure) belong to this tick
    QString m_failure;
};
