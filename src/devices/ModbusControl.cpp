#include "devices/ModbusControl.h"

#include "devices/AddressOptions.h"
#include "devices/DeviceError.h"
#include "platform/MillisecondClock.h"

#include <QRegularExpression>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <limits>
#include <modbus/modbus.h>
#include <netdb.h>

namespace {

const QString Scheme = QStringLiteral("modbus-tcp");

QString modbusError(int error) {
    return QString::fromLocal8Bit(modbus_strerror(error));
}

bool isException(int error) {
    return error >= EMBXILFUN && error <= EMBXGTAR;
}

// The address as numbers, looked up once when the device opens (where a
// person waits): a name server that does not answer must never hold up a
// reconnection during the counting.
QString numericHost(const QString& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (rc != 0 || !found)
        throw DeviceError(QStringLiteral("%1: cannot find the host \"%2\": %3")
                              .arg(Scheme, host, QString::fromLocal8Bit(::gai_strerror(rc))));
    char text[INET6_ADDRSTRLEN] = {};
    const void* address =
        found->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    ::inet_ntop(found->ai_family, address, text, sizeof text);
    ::freeaddrinfo(found);
    return QString::fromLatin1(text);
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

ModbusControl::ModbusControl(const MillisecondClock& clock, Options options)
    : m_clock(clock), m_options(std::move(options)) {}

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
    if (!m_context) {
        m_numericHost = numericHost(m_options.host);
        m_context = modbus_new_tcp_pi(m_numericHost.toLatin1().constData(),
                                      QByteArray::number(m_options.port).constData());
        if (!m_context)
            throw DeviceError(QStringLiteral("%1: %2").arg(Scheme, modbusError(errno)));
        // No byte timeout: the whole answer must come within the response
        // timeout, which also bounds connecting.
        const auto timeout = static_cast<uint32_t>(m_options.timeoutMs);
        modbus_set_response_timeout(m_context, timeout / 1000, timeout % 1000 * 1000);
        modbus_set_byte_timeout(m_context, 0, 0);
        modbus_set_slave(m_context, m_options.unit);
    }
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
    if (m_context && m_connected)
        modbus_close(m_context);
    m_connected = false;
}

void ModbusControl::beginTick(int32_t) {
    ++m_tick;
    m_fetched = false;
}

[[noreturn]] void ModbusControl::fail(const QString& why, bool dropConnection) {
    if (dropConnection && m_connected) {
        // Whatever comes late on this connection would answer the next request.
        modbus_close(m_context);
        m_connected = false;
    }
    m_failure = QStringLiteral("%1: %2").arg(endpoint(), why);
    throw DeviceError(m_failure);
}

void ModbusControl::reach() {
    const int32_t now = m_clock.timeGetTime();
    const auto since =
        static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(m_lastTry));
    if (m_tried && !m_lastError.isEmpty() && since >= 0 && since < ReconnectMs)
        fail(m_lastError + QStringLiteral(" (tried again every 2 s)"), false);
    m_tried = true;
    m_lastTry = now;
    if (modbus_connect(m_context) == -1) {
        m_lastError = QStringLiteral("no connection: %1").arg(modbusError(errno));
        fail(m_lastError, false);
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
    std::vector<uint16_t> registers(static_cast<size_t>(count));
    const int rc =
        m_options.holding
            ? modbus_read_registers(m_context, m_options.firstRegister, count, registers.data())
            : modbus_read_input_registers(m_context, m_options.firstRegister, count,
                                          registers.data());
    if (rc == count) {
        decode(registers);
        return;
    }
    const int error = rc < 0 ? errno : EMBBADDATA;
    // A refusal leaves the connection in step; anything else may not.
    if (isException(error))
        fail(QStringLiteral("the module refused the request: %1").arg(modbusError(error)), false);
    m_lastError = modbusError(error);
    fail(m_lastError, true);
}

void ModbusControl::decode(const std::vector<uint16_t>& registers) {
    m_values.assign(static_cast<size_t>(m_options.channels), Reading{});
    for (size_t i = 0; i < m_values.size(); ++i) {
        Reading& reading = m_values[i];
        double value = 0.0;
        switch (m_options.format) {
        case Format::Int16:
            reading.raw = static_cast<int16_t>(registers[i]);
            value = reading.raw;
            break;
        case Format::Uint16:
            reading.raw = registers[i];
            value = reading.raw;
            break;
        case Format::Float32: {
            const uint16_t first = registers[2 * i];
            const uint16_t second = registers[2 * i + 1];
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
