#include "devices/IioBuffer.h"

#include "devices/DeviceError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString failure(const QString& what, const QString& path, int error) {
    return QStringLiteral("cannot %1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

// A file opened without blocking and without following into anything that
// is not a plain attribute; -1 after throwing is never returned.
int openAttribute(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw DeviceError(failure(QStringLiteral("open"), path, errno));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw DeviceError(QStringLiteral("%1 is not a regular file").arg(path));
    }
    return fd;
}

constexpr size_t ReadChunk = 65536;

} // namespace

IioBuffer::Descriptor::~Descriptor() {
    if (fd >= 0)
        ::close(fd);
}

QByteArray IioBuffer::readAttribute(const QString& path) {
    const int fd = openAttribute(path, O_RDONLY);
    char buffer[128];
    ssize_t got = -1;
    do {
        got = ::read(fd, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    if (got < 0)
        throw DeviceError(failure(QStringLiteral("read"), path, error));
    return QByteArray(buffer, static_cast<qsizetype>(got)).trimmed();
}

void IioBuffer::writeAttribute(const QString& path, const QByteArray& text) {
    const int fd = openAttribute(path, O_WRONLY | O_TRUNC);
    const QByteArray line = text + '\n';
    ssize_t put = -1;
    do {
        put = ::write(fd, line.constData(), static_cast<size_t>(line.size()));
    } while (put < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    if (put != line.size())
        throw DeviceError(failure(QStringLiteral("write \"%1\" to").arg(QString::fromLatin1(text)),
                                  path, put < 0 ? error : EIO));
}

// The node is opened first: while another program reads the device the
// kernel refuses it, so an enabled buffer found afterwards was left by a run
// that ended without disabling it, and is ours to take over.
IioBuffer::IioBuffer(Setup setup, Stopwatch stopwatch)
    : m_setup(std::move(setup)), m_now(std::move(stopwatch)) {
    if (m_setup.channels.empty() || m_setup.channels.size() > MaxChannels)
        throw DeviceError(QStringLiteral("a stream takes 1 to %1 channels").arg(MaxChannels));
    openDevice();
    const QString enable = m_setup.node + QStringLiteral("/buffer/enable");
    m_tookOver = readAttribute(enable) == "1";
    if (m_tookOver)
        writeAttribute(enable, "0");
    m_layout = chooseElements();
    m_channelElements.assign(m_setup.channels.size(), nullptr);
    for (const IioScanLayout::Element& element : m_layout.elements()) {
        if (element.role == IioScanLayout::Timestamp)
            m_stampElement = &element;
        else if (element.role >= 0)
            m_channelElements[static_cast<size_t>(element.role)] = &element;
    }
    setRate();
    m_length = std::max<int64_t>(static_cast<int64_t>(std::ceil(m_rate * BufferSeconds)), 16);
    writeAttribute(m_setup.node + QStringLiteral("/buffer/length"), QByteArray::number(m_length));
    writeAttribute(enable, "1");
    m_enabled = true;
    m_newest.assign(m_setup.channels.size(), 0);
    m_lastData = m_now();
}

IioBuffer::~IioBuffer() {
    if (!m_enabled)
        return;
    try {
        writeAttribute(m_setup.node + QStringLiteral("/buffer/enable"), "0");
    } catch (const DeviceError&) {
        // A device that went away has no buffer left to stop.
    }
}

void IioBuffer::openDevice() {
    const QByteArray path = QFile::encodeName(m_setup.device);
    m_device.fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_device.fd < 0 && errno == EBUSY)
        throw DeviceError(QStringLiteral("%1 is in use by another program").arg(m_setup.device));
    if (m_device.fd < 0)
        throw DeviceError(failure(QStringLiteral("open"), m_setup.device, errno));
    struct stat status {};
    if (::fstat(m_device.fd, &status) != 0 ||
        !(S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)))
        throw DeviceError(QStringLiteral("%1 is not a device node").arg(m_setup.device));
}

// Our channels and the timestamp are enabled, anything else another program
// enabled is disabled; what stays enabled (read back) makes the layout.
IioScanLayout IioBuffer::chooseElements() {
    static const QRegularExpression enableFile(QStringLiteral("^(.+)_en$"));
    const QDir folder(m_setup.node + QStringLiteral("/scan_elements"));
    std::vector<IioScanLayout::Element> elements;
    std::vector<bool> present(m_setup.channels.size(), false);
    for (const QString& file : folder.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = enableFile.match(file);
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1);
        IioScanLayout::Element element;
        if (name == u"in_timestamp")
            element.role = IioScanLayout::Timestamp;
        for (size_t c = 0; c < m_setup.channels.size(); ++c)
            if (name == QStringLiteral("in_voltage%1").arg(m_setup.channels[c].index))
                element.role = static_cast<int32_t>(c);
        const QString base = folder.filePath(name);
        try {
            writeAttribute(base + QStringLiteral("_en"),
                           element.role == IioScanLayout::Ignored ? "0" : "1");
        } catch (const DeviceError&) {
            if (element.role >= 0)
                throw;
        }
        if (readAttribute(base + QStringLiteral("_en")) != "1")
            continue;
        bool ok = false;
        element.scanIndex = readAttribute(base + QStringLiteral("_index")).toInt(&ok);
        if (!ok)
            throw DeviceError(QStringLiteral("%1_index holds no scan index").arg(base));
        element.type = IioScanLayout::parseType(readAttribute(base + QStringLiteral("_type")));
        if (element.role >= 0)
            present[static_cast<size_t>(element.role)] = true;
        elements.push_back(element);
    }
    for (size_t c = 0; c < present.size(); ++c)
        if (!present[c])
            throw DeviceError(QStringLiteral("in_voltage%1 cannot be captured: %2 has no "
                                             "scan element for it")
                                  .arg(m_setup.channels[c].index)
                                  .arg(folder.path()));
    return IioScanLayout(std::move(elements));
}

// The device's own rate, else the rate of the trigger it is attached to.
QString IioBuffer::frequencyFile() const {
    const QString own = m_setup.node + QStringLiteral("/sampling_frequency");
    if (QFileInfo::exists(own))
        return own;
    const QString current = m_setup.node + QStringLiteral("/trigger/current_trigger");
    const QByteArray trigger = QFileInfo::exists(current) ? readAttribute(current) : QByteArray();
    const QDir root(m_setup.root);
    for (const QString& entry : root.entryList({QStringLiteral("trigger*")}, QDir::Dirs)) {
        const QString name = root.filePath(entry) + QStringLiteral("/name");
        if (!trigger.isEmpty() && QFileInfo::exists(name) && readAttribute(name) == trigger)
            return root.filePath(entry) + QStringLiteral("/sampling_frequency");
    }
    throw DeviceError(
        QStringLiteral("%1 has no sampling_frequency and no trigger with one (%2)")
            .arg(m_setup.node, trigger.isEmpty()
                                   ? QStringLiteral("trigger/current_trigger names none")
                                   : QStringLiteral("current trigger \"%1\" not found in %2")
                                         .arg(QString::fromLatin1(trigger), root.path())));
}

void IioBuffer::setRate() {
    // The kernel's timestamps come from the wall clock unless told otherwise,
    // and a clock that is set would look like lost scans.
    const QString clock = m_setup.node + QStringLiteral("/current_timestamp_clock");
    if (QFileInfo::exists(clock)) {
        try {
            writeAttribute(clock, "monotonic");
        } catch (const DeviceError&) {
        }
    }
    const QString file = frequencyFile();
    writeAttribute(file, QByteArray::number(m_setup.rate, 'g', 12));
    const QByteArray text = readAttribute(file);
    bool ok = false;
    m_rate = text.toDouble(&ok);
    if (!ok || !std::isfinite(m_rate) || m_rate <= 0.0)
        throw DeviceError(QStringLiteral("%1 holds \"%2\", not a rate")
                              .arg(file, QString::fromLatin1(text.left(40))));
}

QString IioBuffer::description() const {
    QString text = QStringLiteral("stream of %1 at %2 scans/s")
                       .arg(channels() == 1 ? QStringLiteral("1 channel")
                                            : QStringLiteral("%1 channels").arg(channels()))
                       .arg(m_rate);
    if (m_rate != m_setup.rate)
        text += QStringLiteral(" (%1 asked)").arg(m_setup.rate);
    if (m_tookOver)
        text += QStringLiteral(", took over a buffer left running");
    return text;
}

// Reads until `wanted` bytes wait or the node has no more; the rest of what
// the converter sent stays in the kernel buffer.
void IioBuffer::fill(size_t wanted) {
    m_arrived = false;
    while (m_pending.size() < wanted) {
        const size_t have = m_pending.size();
        const size_t chunk = std::min(wanted - have, ReadChunk);
        m_pending.resize(have + chunk);
        const ssize_t got = ::read(m_device.fd, m_pending.data() + have, chunk);
        const int error = errno;
        m_pending.resize(have + static_cast<size_t>(std::max<ssize_t>(got, 0)));
        if (got > 0) {
            m_arrived = true;
            continue;
        }
        if (got < 0 && error == EINTR)
            continue;
        // Nothing waits (a FIFO without a writer reads as its end).
        if (got == 0 || error == EAGAIN || error == EWOULDBLOCK)
            return;
        throw DeviceError(failure(QStringLiteral("read"), m_setup.device, error));
    }
}

// Timestamps of scans the kernel took in one batch may be equal, so a jump
// is measured from the last timestamp that moved, in whole scan periods.
int64_t IioBuffer::lostBefore(int64_t stamp, int64_t index) const {
    if (!m_haveStamp || stamp <= m_stamp)
        return 0;
    const double periods = static_cast<double>(stamp - m_stamp) * m_rate / 1e9;
    const double lost = std::round(periods) - static_cast<double>(index - m_stampIndex);
    return lost >= 1.0 ? static_cast<int64_t>(std::min(lost, 1e15)) : 0;
}

// Decodes up to `scans` whole scans into the block. A scan after lost ones
// begins the next block, since a block's loss lies before its first scan.
size_t IioBuffer::decode(ScanBlock& block, size_t scans) {
    const size_t scanBytes = m_layout.scanBytes();
    const auto count = static_cast<size_t>(channels());
    block.values.resize(scans * count);
    int64_t index = m_next;
    size_t taken = 0;
    for (; taken < scans; ++taken) {
        const uint8_t* scan = m_pending.data() + taken * scanBytes;
        if (m_stampElement) {
            const int64_t stamp =
                IioScanLayout::decode(m_stampElement->type, scan + m_stampElement->offset);
            const int64_t lost = lostBefore(stamp, index);
            if (lost > 0 && taken > 0)
                break;
            block.lost += lost;
            index += lost;
            if (!m_haveStamp || stamp != m_stamp) {
                m_haveStamp = true;
                m_stamp = stamp;
                m_stampIndex = index;
            }
        }
        for (size_t c = 0; c < count; ++c) {
            const IioScanLayout::Element& element = *m_channelElements[c];
            const int64_t raw = IioScanLayout::decode(element.type, scan + element.offset);
            block.values[taken * count + c] =
                static_cast<float>(volts(static_cast<int32_t>(c), raw));
            m_newest[c] = raw;
        }
        ++index;
    }
    block.values.resize(taken * count);
    block.firstIndex = m_next + block.lost;
    m_next = index;
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + static_cast<std::ptrdiff_t>(taken * scanBytes));
    return taken;
}

void IioBuffer::takeScans(ScanBlock& block, int64_t maxScans) {
    block.clear();
    block.channels = channels();
    block.firstIndex = m_next;
    const size_t scanBytes = m_layout.scanBytes();
    const auto most = static_cast<size_t>(std::max<int64_t>(maxScans, 0));
    fill(most * scanBytes);
    const int64_t now = m_now();
    const size_t whole = std::min(m_pending.size() / scanBytes, most);
    if (m_arrived || whole > 0) {
        m_lastData = now;
    } else {
        const auto period = static_cast<int64_t>(1e9 / m_rate);
        const int64_t silent = now - m_lastData;
        if (silent > StallNs && silent > StallPeriods * period)
            throw DeviceError(QStringLiteral("no scans from %1 for %2 s")
                                  .arg(m_setup.device)
                                  .arg(static_cast<double>(silent) / 1e9, 0, 'f', 1));
    }
    if (whole > 0)
        decode(block, whole);
}

void IioBuffer::takeNewest() {
    takeScans(m_drained, m_length);
    if (m_next == 0)
        throw DeviceError(QStringLiteral("no scan has come from %1 yet").arg(m_setup.device));
}

int64_t IioBuffer::newestRaw(int32_t channel) const {
    if (channel < 0 || channel >= channels())
        throw DeviceError(QStringLiteral("channel %1 is not in the stream").arg(channel + 1));
    return m_newest[static_cast<size_t>(channel)];
}

double IioBuffer::volts(int32_t channel, int64_t raw) const {
    const Channel& wanted = m_setup.channels[static_cast<size_t>(channel)];
    return (static_cast<double>(raw) + wanted.offset) * wanted.scale / 1000.0;
}
