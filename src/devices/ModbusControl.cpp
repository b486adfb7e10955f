#include "devices/ModbusControl.h"

#include "devices/AddressOptions.h"
#include "devices/DeviceError.h"
#include "devices/SystemHostLookup.h"
#include "platform/MillisecondClock.h"

#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <modbus/modbus.h>
#include <optional>

namespace {

const QString Scheme = QStringLiteral("modbus-tcp");

QString modbusError(int error) {
    return QString::fromLocal8Bit(modbus_strerror(error));
}

// The number of milliseconds from `since` to `now` on the wrapping clock.
int32_t elapsed(int32_t since, int32_t now) {
    return static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(since));
}

// What in an answer does not fit its request, or nothing. libmodbus reads a
// TCP answer by its byte count and looks at neither the unit id nor the
// length field, so a module that lies in either would give a sample.
QString mismatch(const uint8_t* answer, int length, int unit, int function, int count) {
    const auto word = [answer](int at) { return answer[at] << 8 | answer[at + 1]; };
    const auto differs = [](const char* field, int got, int wanted) {
        return QStringLiteral("%1 %2, not %3").arg(QLatin1String(field)).arg(got).arg(wanted);
    };
    if (word(0) != 0) // libmodbus sends a raw request as transaction 0
        return differs("transaction id", word(0), 0);
    if (word(2) != 0)
        return differs("protocol id", word(2), 0);
    if (word(4) != length - 6)
        return differs("length field", word(4), length - 6);
    if (answer[6] != unit)
        return differs("unit id", answer[6], unit);
    if (answer[7] == (function | 0x80)) // a refusal: libmodbus took its one code byte
        return QString();
    if (answer[7] != function)
        return differs("function code", answer[7], function);
    if (answer[8] != 2 * count) // libmodbus read as many bytes as it says
        return differs("byte count", answer[8], 2 * count);
    return QString();
}

QString refusal(int code) {
    return code > 0 && code < MODBUS_EXCEPTION_MAX ? modbusError(MODBUS_ENOBASE + code)
                                                   : QStringLiteral("exception code %1").arg(code);
}

} // namespace

ModbusControl::Options ModbusControl::parse(const QString& text) {
    const auto [where, query] = AddressOptions::split(text);
    // host, host:port, [v6], [v6]:port
    static const QRegularExpression hostPort(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9_.-]+))(?::(\\d{1,5}))?$"));
    const QRegularExpressionMatch match = hostPort.match(where);
    if (!match.hasMatch())
        throw DeviceError(QStringLiteral("%1: \"%2\" is no host[:port] (as in "
                                         "modbus-tcp://192.0.2.10:502)")
                              .arg(Scheme, where));
    Options parsed;
    parsed.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (match.hasCaptured(3)) {
        parsed.port = match.captured(3).toInt();
        if (parsed.port < 1 || parsed.port > 65535)
            throw DeviceError(QStringLiteral("%1: the port must be from 1 to 65535, not %2")
                                  .arg(Scheme)
                                  .arg(parsed.port));
    }
    const AddressOptions options(Scheme, query,
                                 {QStringLiteral("unit"), QStringLiteral("register"),
                                  QStringLiteral("channels"), QStringLiteral("kind"),
                                  QStringLiteral("format"), QStringLiteral("word_order"),
                                  QStringLiteral("scale"), QStringLiteral("offset"),
                                  QStringLiteral("range"), QStringLiteral("timeout_ms")});
    parsed.unit = static_cast<int>(options.whole(QStringLiteral("unit"), 1, 0, 255));
    parsed.firstRegister = static_cast<int>(options.whole(QStringLiteral("register"), 0, 0, 65535));
    parsed.holding =
        options.choice(QStringLiteral("kind"), {QStringLiteral("input"), QStringLiteral("holding")},
                       QStringLiteral("input")) == u"holding";
    const QString format = options.choice(
        QStringLiteral("format"),
        {QStringLiteral("int16"), QStringLiteral("uint16"), QStringLiteral("float32")},
        QStringLiteral("int16"));
    parsed.format = format == u"float32"  ? Format::Float32
                    : format == u"uint16" ? Format::Uint16
                                          : Format::Int16;
    const int width = parsed.format == Format::Float32 ? 2 : 1;
    // One request carries at most 125 registers.
    parsed.channels = static_cast<int>(
        options.whole(QStringLiteral("channels"), 8, 1, MODBUS_MAX_READ_REGISTERS / width));
    if (parsed.firstRegister + parsed.channels * width > 65536)
        throw DeviceError(options.refusal(QStringLiteral("channels"),
                                          QStringLiteral("reaches beyond register 65535")));
    parsed.wordsLittle = options.choice(QStringLiteral("word_order"),
                                        {QStringLiteral("big"), QStringLiteral("little")},
                                        QStringLiteral("big")) == u"little";
    const double lowest = std::numeric_limits<double>::lowest();
    parsed.scale = options.number(QStringLiteral("scale"), 1.0, lowest);
    if (parsed.scale == 0.0)
        throw DeviceError(
            options.refusal(QStringLiteral("scale"), QStringLiteral("must not be 0")));
    parsed.offset = options.number(QStringLiteral("offset"), 0.0, lowest);
    parsed.range = options.number(QStringLiteral("range"), 0.0, 0.0);
    if (options.has(QStringLiteral("range")) && parsed.range == 0.0)
        throw DeviceError(
            options.refusal(QStringLiteral("range"), QStringLiteral("must be above 0")));
    parsed.timeoutMs =
        static_cast<int>(options.whole(QStringLiteral("timeout_ms"), DefaultTimeoutMs, 5, 1000));
    return parsed;
}

ModbusControl::ModbusControl(const MillisecondClock& clock, Options options,
                             std::unique_ptr<HostLookup> lookup)
    : m_clock(clock), m_options(std::move(options)),
      m_lookup(lookup ? std::move(lookup) : std::make_unique<SystemHostLookup>()) {}

ModbusControl::~ModbusControl() {
    if (m_context) {
        modbus_close(m_context);
        modbus_free(m_context);
    }
}

QString ModbusControl::endpoint() const {
    const QString host =
        m_options.host.contains(u':') ? u'[' + m_options.host + u']' : m_options.host;
    return QStringLiteral("%1:%2 unit %3").arg(host).arg(m_options.port).arg(m_options.unit);
}

ConverterControl::Found ModbusControl::connect() {
    m_tried = false;
    m_fetched = false;
    Found found;
    const int width = registersPerChannel();
    for (int i = 0; i < m_options.channels; ++i)
        found.channelNames
            << QStringLiteral("register %1").arg(m_options.firstRegister + i * width);
    const char* format = m_options.format == Format::Float32  ? "float32"
                         : m_options.format == Format::Uint16 ? "uint16"
                                                              : "int16";
    found.description =
        QStringLiteral("%1, %2 %3 registers (%4)")
            .arg(endpoint())
            .arg(m_options.channels * width)
            .arg(m_options.holding ? QStringLiteral("holding") : QStringLiteral("input"))
            .arg(QLatin1String(format));
    double low = -10.0;
    double high = 10.0;
    if (m_options.range > 0.0) {
        low = -m_options.range;
        high = m_options.range;
    } else if (m_options.format != Format::Float32) {
        const bool isSigned = m_options.format == Format::Int16;
        const double a = (isSigned ? -32768.0 : 0.0) * m_options.scale + m_options.offset;
        const double b = (isSigned ? 32767.0 : 65535.0) * m_options.scale + m_options.offset;
        low = std::min(a, b);
        high = std::max(a, b);
    }
    found.span = {static_cast<float>(low), static_cast<float>(high)};
    return found;
}

void ModbusControl::disconnect() {
    if (m_connected)
        modbus_close(m_context);
    m_connected = false;
}

void ModbusControl::beginTick(int32_t) {
    m_fetched = false;
}

// Whatever comes late on this connection would answer the next request.
void ModbusControl::dropConnection() {
    if (m_connected)
        modbus_close(m_context);
    m_connected = false;
}

[[noreturn]] void ModbusControl::fail(const QString& why) {
    m_failure = QStringLiteral("%1: %2").arg(endpoint(), why);
    throw DeviceError(m_failure);
}

// The host's address is looked up while the ticks go on: until the name
// server has answered every reading fails at once, and a name that is not
// found (or not in LookupLimitMs) is asked for again like a module that
// refuses the connection.
void ModbusControl::findHost(int32_t now) {
    if (!m_lookingUp) {
        m_lookup->start(m_options.host);
        m_lookingUp = true;
        m_lookupStart = now;
    }
    std::optional<HostLookup::Answer> answer = m_lookup->answer();
    if (!answer) {
        const int32_t waited = elapsed(m_lookupStart, now);
        if (waited >= 0 && waited < LookupLimitMs)
            fail(QStringLiteral("looking up the host \"%1\"; the name server has not answered yet")
                     .arg(m_options.host));
        answer = HostLookup::Answer{
            QString(),
            QStringLiteral("the name server did not answer within %1 s").arg(LookupLimitMs / 1000)};
    }
    m_lookingUp = false;
    m_tried = true;
    m_lastTry = now;
    if (answer->address.isEmpty()) {
        m_lastError =
            QStringLiteral("cannot find the host \"%1\": %2").arg(m_options.host, answer->why);
        fail(m_lastError);
    }
    m_context = modbus_new_tcp_pi(answer->address.toLatin1().constData(),
                                  QByteArray::number(m_options.port).constData());
    if (!m_context) {
        m_lastError = modbusError(errno);
        fail(m_lastError);
    }
    // No byte timeout: the whole answer must come within the response
    // timeout, which also bounds connecting.
    const std::chrono::microseconds timeout = std::chrono::milliseconds(m_options.timeoutMs);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    modbus_set_response_timeout(m_context, static_cast<uint32_t>(seconds.count()),
                                static_cast<uint32_t>((timeout - seconds).count()));
    modbus_set_byte_timeout(m_context, 0, 0);
}

void ModbusControl::reach() {
    const int32_t now = m_clock.timeGetTime();
    const int32_t since = elapsed(m_lastTry, now);
    if (m_tried && !m_lastError.isEmpty() && since >= 0 && since < ReconnectMs)
        fail(m_lastError + QStringLiteral(" (tried again every 2 s)"));
    if (!m_context)
        findHost(now);
    m_tried = true;
    m_lastTry = now;
    if (modbus_connect(m_context) == -1) {
        m_lastError = QStringLiteral("no connection: %1").arg(modbusError(errno));
        fail(m_lastError);
    }
    m_lastError.clear();
    m_connected = true;
}

void ModbusControl::fetch() {
    m_fetched = true;
    m_failure.clear();
    if (!m_connected)
        reach();
    const int count = m_options.channels * registersPerChannel();
    const int function =
        m_options.holding ? MODBUS_FC_READ_HOLDING_REGISTERS : MODBUS_FC_READ_INPUT_REGISTERS;
    const int first = m_options.firstRegister;
    // At most 125 registers: the count's high byte is 0.
    const uint8_t request[] = {static_cast<uint8_t>(m_options.unit),
                               static_cast<uint8_t>(function),
                               static_cast<uint8_t>(first >> 8),
                               static_cast<uint8_t>(first),
                               0,
                               static_cast<uint8_t>(count)};
    uint8_t answer[MODBUS_TCP_MAX_ADU_LENGTH] = {};
    int length = -1;
    if (modbus_send_raw_request(m_context, request, sizeof request) != -1)
        length = modbus_receive_confirmation(m_context, answer);
    if (length == -1) {
        m_lastError = modbusError(errno);
        dropConnection();
        fail(m_lastError);
    }
    const QString wrong = mismatch(answer, length, m_options.unit, function, count);
    if (!wrong.isEmpty()) {
        m_lastError = QStringLiteral("the answer does not fit the request (%1)").arg(wrong);
        dropConnection();
        fail(m_lastError);
    }
    // A refusal that fits the request leaves the connection in step.
    if (answer[7] != function)
        fail(QStringLiteral("the module refused the request: %1").arg(refusal(answer[8])));
    decode(answer + 9);
}

void ModbusControl::decode(const uint8_t* bytes) {
    const auto registers = [bytes](size_t i) {
        return static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    };
    m_values.assign(static_cast<size_t>(m_options.channels), Reading{});
    for (size_t i = 0; i < m_values.size(); ++i) {
        Reading& reading = m_values[i];
        double value = 0.0;
        switch (m_options.format) {
        case Format::Int16:
            reading.raw = static_cast<int16_t>(registers(i));
            value = reading.raw;
            break;
        case Format::Uint16:
            reading.raw = registers(i);
            value = reading.raw;
            break;
        case Format::Float32: {
            const uint16_t first = registers(2 * i);
            const uint16_t second = registers(2 * i + 1);
            const uint32_t bits = m_options.wordsLittle ? (uint32_t{second} << 16) | first
                                                        : (uint32_t{first} << 16) | second;
            float number = 0.0f;
            std::memcpy(&number, &bits, sizeof number);
            value = number;
            break;
        }
        }
        reading.volts = value * m_options.scale + m_options.offset;
    }
}

ModbusControl::Reading ModbusControl::take(int32_t channel) {
    if (!m_fetched)
        fetch();
    else if (!m_failure.isEmpty())
        throw DeviceError(m_failure); // one request per tick, answered or not
    return m_values[static_cast<size_t>(channel - 1)];
}
