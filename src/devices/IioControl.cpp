#include "devices/IioControl.h"

#include "devices/AddressOptions.h"
#include "devices/DeviceError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// A sysfs attribute is one short regular file. It is opened without waiting
// and refused when it is anything else: a FIFO put in its place would hold
// the tick until a writer came. `gone` tells a missing file (or a removed
// device) from one that is there but cannot be read.
QByteArray readAttribute(const QString& path, bool* gone = nullptr) {
    const QByteArray name = QFile::encodeName(path);
    char buffer[128];
    ssize_t got = -1;
    int error = 0;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat status {};
    if (fd < 0) {
        error = errno;
    } else if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw DeviceError(QStringLiteral("%1 is not a regular file").arg(path));
    } else {
        do {
            got = ::read(fd, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        error = got < 0 ? errno : 0;
        ::close(fd);
    }
    if (gone)
        *gone = got < 0 && (error == ENOENT || error == ENODEV || error == ENXIO);
    if (got < 0)
        throw DeviceError(QStringLiteral("cannot read %1: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    return QByteArray(buffer, static_cast<qsizetype>(got)).trimmed();
}

double numberIn(const QString& path) {
    const QByteArray text = readAttribute(path);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw DeviceError(QStringLiteral("%1 holds \"%2\", not a number")
                              .arg(path, QString::fromLatin1(text.left(40))));
    return value;
}

// "le:s16/16>>0": the raw counts a channel can give, or false when the file
// is missing or says something else.
bool rawLimits(const QString& typeFile, int64_t& min, int64_t& max) {
    static const QRegularExpression format(
        QStringLiteral("^(?:be|le):([su])(\\d+)/\\d+(?:X\\d+)?(?:>>\\d+)?$"));
    QByteArray text;
    try {
        text = readAttribute(typeFile);
    } catch (const DeviceError&) {
        return false;
    }
    const QRegularExpressionMatch match = format.match(QString::fromLatin1(text));
    const int bits = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (bits < 1 || bits > 62)
        return false;
    const bool isSigned = match.captured(1) == u"s";
    min = isSigned ? -(int64_t{1} << (bits - 1)) : 0;
    max = isSigned ? (int64_t{1} << (bits - 1)) - 1 : (int64_t{1} << bits) - 1;
    return true;
}

QString channelFile(int index, const char* attribute) {
    return QStringLiteral("in_voltage%1_%2").arg(index).arg(QLatin1String(attribute));
}

} // namespace

IioControl::Options IioControl::parse(const QString& text) {
    const auto [target, query] = AddressOptions::split(text);
    const AddressOptions options(
        QStringLiteral("iio"), query,
        {QStringLiteral("root"), QStringLiteral("rate"), QStringLiteral("dev")});
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.:+-]+$"));
    if (target.isEmpty())
        throw DeviceError(QStringLiteral("iio: the address names no device (iio:NAME or "
                                         "iio:iio:deviceN)"));
    if (!plain.match(target).hasMatch())
        throw DeviceError(
            QStringLiteral("iio: \"%1\" is no device name or node (letters, digits, _ . : + -)")
                .arg(target));
    Options parsed;
    parsed.target = target;
    parsed.root = options.text(QStringLiteral("root"), parsed.root);
    if (parsed.root.isEmpty())
        throw DeviceError(options.refusal(QStringLiteral("root"), QStringLiteral("is empty")));
    parsed.rate = options.number(QStringLiteral("rate"), 0.0, 0.0);
    if (options.has(QStringLiteral("rate")) && !(parsed.rate > 0.0 && parsed.rate <= 1e6))
        throw DeviceError(options.refusal(QStringLiteral("rate"),
                                          QStringLiteral("must be above 0 and at most 1000000")));
    parsed.device = options.text(QStringLiteral("dev"), QString());
    if (options.has(QStringLiteral("dev")) && (parsed.device.isEmpty() || parsed.rate <= 0.0))
        throw DeviceError(options.refusal(QStringLiteral("dev"),
                                          QStringLiteral("needs a path, and rate= beside it")));
    return parsed;
}

int64_t IioControl::steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

IioControl::IioControl(Options options, Stopwatch stopwatch)
    : m_options(std::move(options)), m_now(std::move(stopwatch)) {}

QString IioControl::findNode() const {
    const QDir root(m_options.root);
    if (!root.exists())
        throw DeviceError(
            QStringLiteral("no Industrial I/O devices: %1 does not exist").arg(root.path()));
    if (m_options.target.startsWith(QLatin1String("iio:device"))) {
        if (!QFileInfo(root.filePath(m_options.target)).isDir())
            throw DeviceError(
                QStringLiteral("there is no %1 in %2").arg(m_options.target, root.path()));
        return root.filePath(m_options.target);
    }
    QStringList matches;
    QStringList seen;
    for (const QString& node : root.entryList({QStringLiteral("iio:device*")},
                                              QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QString name;
        try {
            name = QString::fromUtf8(readAttribute(root.filePath(node) + QStringLiteral("/name")));
        } catch (const DeviceError&) {
            continue; // a node without a name is found by its node only
        }
        seen << QStringLiteral("%1 \"%2\"").arg(node, name);
        if (name == m_options.target)
            matches << root.filePath(node);
    }
    if (matches.size() > 1)
        throw DeviceError(QStringLiteral("%1 devices are named \"%2\" (%3): give the node, as in "
                                         "iio:iio:device0")
                              .arg(matches.size())
                              .arg(m_options.target, seen.join(QStringLiteral(", "))));
    if (matches.isEmpty())
        throw DeviceError(
            QStringLiteral("no Industrial I/O device is named \"%1\" in %2 (found: %3)")
                .arg(m_options.target, root.path(),
                     seen.isEmpty() ? QStringLiteral("none") : seen.join(QStringLiteral(", "))));
    return matches.first();
}

std::vector<IioControl::Channel> IioControl::listChannels(const QString& node) const {
    static const QRegularExpression rawFile(QStringLiteral("^in_voltage(\\d+)_raw$"));
    const QDir folder(node);
    std::vector<Channel> channels;
    // FIFOs and devices too, so that one in place of a channel is refused
    // by name rather than left out.
    for (const QString& file : folder.entryList(QDir::Files | QDir::System)) {
        const QRegularExpressionMatch match = rawFile.match(file);
        if (!match.hasMatch())
            continue;
        Channel channel;
        channel.index = match.captured(1).toInt();
        // A channel's own scale and offset go before the shared ones.
        for (const auto& [own, shared, chosen] :
             {std::tuple{channelFile(channel.index, "scale"), QStringLiteral("in_voltage_scale"),
                         &channel.scale},
              std::tuple{channelFile(channel.index, "offset"), QStringLiteral("in_voltage_offset"),
                         &channel.offset}}) {
            if (folder.exists(own))
                *chosen = own;
            else if (folder.exists(shared))
                *chosen = shared;
        }
        rawLimits(
            folder.filePath(QStringLiteral("scan_elements/") + channelFile(channel.index, "type")),
            channel.rawMin, channel.rawMax);
        channels.push_back(channel);
    }
    std::sort(channels.begin(), channels.end(),
              [](const Channel& a, const Channel& b) { return a.index < b.index; });
    return channels;
}

// The scale and offset files are read once for the whole stream.
void IioControl::startStream() {
    m_channels.resize(std::min(m_channels.size(), IioBuffer::MaxChannels));
    IioBuffer::Setup setup;
    setup.node = m_node;
    setup.root = m_options.root;
    setup.device = m_options.device.isEmpty()
                       ? QStringLiteral("/dev/") + QFileInfo(m_node).fileName()
                       : QDir(m_options.root).filePath(m_options.device);
    setup.rate = m_options.rate;
    for (const Channel& channel : m_channels)
        setup.channels.push_back(
            {channel.index, channel.scale.isEmpty() ? 1.0 : numberIn(m_node + u'/' + channel.scale),
             channel.offset.isEmpty() ? 0.0 : numberIn(m_node + u'/' + channel.offset)});
    m_buffer = std::make_unique<IioBuffer>(std::move(setup), m_now);
    m_drainedTick = 0;
}

ConverterControl::Found IioControl::connect() {
    m_buffer.reset();
    m_node = findNode();
    m_channels = listChannels(m_node);
    const QString node = QFileInfo(m_node).fileName();
    m_name = node;
    try {
        m_name = QString::fromUtf8(readAttribute(m_node + QStringLiteral("/name")));
    } catch (const DeviceError&) {
    }
    if (m_channels.empty())
        throw DeviceError(
            QStringLiteral("%1 (%2) has no in_voltageN_raw channels").arg(m_name, node));
    // Every channel once: its files must hold numbers, and the time a
    // reading takes tells whether the device is slow.
    m_tick = 0;
    m_perRead = 0;
    m_lost = false;
    // While the buffer runs the kernel refuses single readings.
    if (m_options.rate > 0.0)
        startStream();
    Found found;
    bool spanKnown = false;
    for (Channel& channel : m_channels) {
        if (!m_buffer)
            readChannel(channel);
        found.channelNames << QStringLiteral("voltage%1").arg(channel.index);
        if (channel.rawMax < channel.rawMin)
            continue;
        const double scale =
            channel.scale.isEmpty() ? 1.0 : numberIn(m_node + u'/' + channel.scale);
        const double offset =
            channel.offset.isEmpty() ? 0.0 : numberIn(m_node + u'/' + channel.offset);
        const auto a = static_cast<float>((channel.rawMin + offset) * scale / 1000.0);
        const auto b = static_cast<float>((channel.rawMax + offset) * scale / 1000.0);
        const std::pair<float, float> span{std::min(a, b), std::max(a, b)};
        found.span = spanKnown ? std::pair{std::min(found.span.first, span.first),
                                           std::max(found.span.second, span.second)}
                               : span;
        spanKnown = true;
    }
    m_slow = false;
    plan();
    found.description = description();
    return found;
}

QString IioControl::description() const {
    const auto count = static_cast<qsizetype>(m_channels.size());
    QString text = QStringLiteral("%1, %2 (%3)")
                       .arg(m_name,
                            count == 1 ? QStringLiteral("1 channel")
                                       : QStringLiteral("%1 channels").arg(count),
                            QFileInfo(m_node).fileName());
    if (m_buffer)
        text += QStringLiteral(", ") + m_buffer->description();
    if (m_slow)
        text += QStringLiteral(", slow (%1 ms a reading): the counted channel every tick, the "
                               "others in turn")
                    .arg(static_cast<double>(m_perRead) / 1e6, 0, 'f', 1);
    return text;
}

IioControl::Reading IioControl::readChannel(Channel& channel) {
    const QString rawPath = m_node + u'/' + channelFile(channel.index, "raw");
    const int64_t start = m_now();
    QByteArray text;
    bool gone = false;
    try {
        text = readAttribute(rawPath, &gone);
    } catch (const DeviceError& error) {
        if (gone) {
            m_lost = true;
            m_lostWhy = QStringLiteral("%1 is gone (%2)").arg(m_name, error.why());
            throw DeviceError(m_lostWhy);
        }
        throw;
    }
    const int64_t took = std::max<int64_t>(m_now() - start, 0);
    m_perRead = m_perRead == 0 ? took : (3 * m_perRead + took) / 4;
    m_spent += took;
    bool ok = false;
    const qlonglong raw = text.toLongLong(&ok);
    if (!ok)
        throw DeviceError(QStringLiteral("%1 holds \"%2\", not a whole number")
                              .arg(rawPath, QString::fromLatin1(text.left(40))));
    if (channel.rawMin <= channel.rawMax && (raw < channel.rawMin || raw > channel.rawMax))
        throw DeviceError(QStringLiteral("%1 holds %2, beyond the converter's counts %3 ... %4")
                              .arg(rawPath)
                              .arg(raw)
                              .arg(channel.rawMin)
                              .arg(channel.rawMax));
    const double scale = channel.scale.isEmpty() ? 1.0 : numberIn(m_node + u'/' + channel.scale);
    const double offset = channel.offset.isEmpty() ? 0.0 : numberIn(m_node + u'/' + channel.offset);
    channel.last.volts = (static_cast<double>(raw) + offset) * scale / 1000.0;
    channel.last.raw = static_cast<int32_t>(std::clamp<qlonglong>(
        raw, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    channel.haveLast = true;
    channel.tick = m_tick;
    return channel.last;
}

// A node that came back (perhaps under another number) is taken again when
// it has the same channels; their last readings are too old to stand in.
void IioControl::relocate() {
    if (m_lookedFor == m_tick)
        throw DeviceError(m_lostWhy);
    m_lookedFor = m_tick;
    try {
        const QString node = findNode();
        std::vector<Channel> channels = listChannels(node);
        const auto sameIndices = [](const Channel& a, const Channel& b) {
            return a.index == b.index;
        };
        if (!std::equal(channels.begin(), channels.end(), m_channels.begin(), m_channels.end(),
                        sameIndices))
            throw DeviceError(QStringLiteral("%1 came back with other channels").arg(m_name));
        m_node = node;
        m_channels = std::move(channels);
        m_lost = false;
    } catch (const DeviceError& error) {
        m_lostWhy = QStringLiteral("%1 is gone (%2)").arg(m_name, error.why());
        throw DeviceError(m_lostWhy);
    }
}

void IioControl::beginTick(int32_t countedChannel) {
    ++m_tick;
    m_spent = 0;
    m_counted = countedChannel;
    plan();
}

// How many readings fit in the budget decides; the counted channel takes
// one of them, the others take the rest in turn.
void IioControl::plan() {
    const size_t count = m_channels.size();
    m_fresh.assign(count, false);
    const int64_t fits = TickBudgetNs / std::max<int64_t>(m_perRead, 1);
    const bool slow = fits < static_cast<int64_t>(count);
    if (slow != m_slow) {
        m_slow = slow;
        describe(description());
    }
    if (!slow)
        return;
    const bool counts = m_counted >= 1 && m_counted <= static_cast<int32_t>(count);
    int64_t others = fits - (counts ? 1 : 0);
    size_t next = m_turn;
    for (size_t step = 0; step < count && others > 0; ++step) {
        const size_t i = (m_turn + step) % count;
        if (counts && static_cast<int32_t>(i) + 1 == m_counted)
            continue;
        m_fresh[i] = true;
        --others;
        next = (i + 1) % count;
    }
    m_turn = next;
}

IioControl::Reading IioControl::take(int32_t channel) {
    if (m_buffer) {
        if (m_drainedTick != m_tick || m_tick == 0) {
            m_buffer->takeNewest();
            m_drainedTick = m_tick;
        }
        const int64_t raw = m_buffer->newestRaw(channel - 1);
        return {m_buffer->volts(channel - 1, raw),
                static_cast<int32_t>(std::clamp<int64_t>(raw, std::numeric_limits<int32_t>::min(),
                                                         std::numeric_limits<int32_t>::max()))};
    }
    if (m_lost)
        relocate();
    Channel& wanted = m_channels[static_cast<size_t>(channel - 1)];
    if (wanted.haveLast && wanted.tick == m_tick)
        return wanted.last;
    const bool counted = channel == m_counted;
    bool fresh =
        !wanted.haveLast || counted || !m_slow || m_fresh[static_cast<size_t>(channel - 1)];
    // Whatever the plan said, the reads of one tick stay within the budget.
    if (fresh && !counted && wanted.haveLast && m_spent + m_perRead > TickBudgetNs)
        fresh = false;
    if (!fresh) {
        wanted.tick = m_tick;
        return wanted.last;
    }
    return readChannel(wanted);
}
