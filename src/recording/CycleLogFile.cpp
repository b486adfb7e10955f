#include "recording/CycleLogFile.h"

#include "platform/ProblemSink.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* FirstLine = "# Cyclomarkator cycle log\n";
constexpr const char* StartedKey = "# started: ";

// "2024-05-01T12:00:01" for `second` since the epoch.
void dateTimeText(int64_t second, char* out) {
    const auto t = static_cast<std::time_t>(second);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    std::strftime(out, 24, "%Y-%m-%dT%H:%M:%S", &tm);
}

void appendNumber(std::string& out, float value) {
    char text[32];
    out.append(text,
               std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9).ptr);
}

template <typename Int> void appendInt(std::string& out, Int value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

QString isoText(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

const char* cycleLogFlagName(CycleLogFlag flag) {
    static constexpr const char* names[] = {"",        "reference", "failure", "stall",
                                            "restart", "gap",       "set"};
    return names[static_cast<std::size_t>(flag)];
}

CycleLogFile::CycleLogFile(ProblemSink& problems, const CycleLogSchedule& schedule,
                           std::size_t bufferBytes)
    : m_problems(problems), m_schedule(schedule), m_bufferBytes(bufferBytes) {
    m_ring.reserve(RingCycles);
}

CycleLogFile::~CycleLogFile() {
    close();
    m_syncer.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void CycleLogFile::startHeader(int64_t startUtcMs, const QStringList& headerLines) {
    m_startUtcMs = startUtcMs;
    m_pending = FirstLine;
    m_pending += StartedKey + isoText(startUtcMs).toStdString() + "\n";
    for (QString line : headerLines) {
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        m_pending += "# " + line.toUtf8().toStdString() + "\n";
    }
    m_pending += ColumnRow;
    m_keep = m_pending.size();
}

void CycleLogFile::create(const QString& folder, const QString& base, int64_t startUtcMs,
                          const QStringList& headerLines) {
    m_folder = folder;
    m_base = base;
    startHeader(startUtcMs, headerLines);
    writePending();
}

bool CycleLogFile::openNew() {
    const int64_t second = m_startUtcMs / 1000 - (m_startUtcMs % 1000 < 0 ? 1 : 0);
    int error = EEXIST;
    for (int64_t next = second; error == EEXIST && next < second + 100; ++next) {
        char stamp[24];
        dateTimeText(next, stamp);
        QString name = QString::fromLatin1(stamp).remove(u'-').remove(u':') + u'Z';
        const QString path = QDir(m_folder).filePath(m_base + "-cycles-" + name + ".csv");
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
        error = m_fd >= 0 ? 0 : errno;
        if (m_fd >= 0) {
            m_path = path;
            syncFolder(m_folder);
        }
    }
    if (m_fd < 0)
        failed(QStringLiteral("create a file in %1").arg(m_folder), error);
    return m_fd >= 0;
}

bool CycleLogFile::createAt(const QString& path, int64_t startUtcMs, const QStringList& headerLines,
                            QString& error) {
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = QStringLiteral("Cannot create the cycle log \"%1\": %2")
                    .arg(path, errno == EEXIST ? QStringLiteral("it exists, and a log is never "
                                                                "overwritten")
                                               : errorText(errno));
        return false;
    }
    m_path = path;
    startHeader(startUtcMs, headerLines);
    return true;
}

void CycleLogFile::cycle(const CycleLogRow& row) {
    const bool logged = m_schedule.logged(row.cycle);
    if (m_ring.size() < RingCycles)
        m_ring.push_back({row, logged});
    else
        m_ring[m_ringNext] = {row, logged};
    m_ringNext = (m_ringNext + 1) % RingCycles;
    if (logged)
        append(row, CycleLogFlag::None);
    m_lastCycle = row.cycle;
}

void CycleLogFile::flagRow(const CycleLogRow& row, CycleLogFlag flag) {
    append(row, flag);
}

void CycleLogFile::writeBacklog() {
    const std::size_t start = m_ring.size() < RingCycles ? 0 : m_ringNext;
    for (std::size_t i = 0; i < m_ring.size(); ++i) {
        Kept& kept = m_ring[(start + i) % m_ring.size()];
        if (!kept.logged) {
            append(kept.row, CycleLogFlag::None);
            kept.logged = true;
        }
    }
}

void CycleLogFile::append(const CycleLogRow& row, CycleLogFlag flag) {
    format(m_pending, row, flag);
    if (m_failing && m_pending.size() > m_bufferBytes)
        dropOldest();
}

void CycleLogFile::format(std::string& out, const CycleLogRow& row, CycleLogFlag flag) {
    appendInt(out, row.cycle);
    out += ',';
    const int64_t ms = m_startUtcMs + std::llround(row.seconds * 1000.0);
    const int64_t second = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    if (second != m_stampSecond) {
        m_stampSecond = second;
        dateTimeText(second, m_stamp);
    }
    out += m_stamp;
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03dZ,", static_cast<int>(ms - second * 1000));
    out += millis;
    char text[40];
    out.append(
        text,
        std::to_chars(text, text + sizeof text, row.seconds, std::chars_format::fixed, 3).ptr);
    out += ',';
    if (row.values) {
        for (float value : {row.peak, row.valley, row.mean, row.amplitude}) {
            appendNumber(out, value);
            out += ',';
        }
    } else {
        out += ",,,,";
    }
    appendInt(out, row.samples);
    out += ',';
    out += cycleLogFlagName(flag);
    out += '\n';
}

void CycleLogFile::flush(double seconds) {
    m_lastSeconds = seconds;
    if (!m_pending.empty())
        writePending();
    if (m_syncer)
        if (const int error = m_syncer->takeError())
            return failed(QStringLiteral("make it durable"), error);
    // The tick only asks for the sync: a slow disk holds up the syncing
    // thread, never the counting.
    if (m_fd >= 0 && m_unsynced && !m_failing && seconds - m_lastSync >= m_syncSeconds) {
        if (!m_syncer)
            m_syncer = std::make_unique<BackgroundSync>(m_fd, m_syncCall);
        m_syncer->request();
        m_lastSync = seconds;
        m_unsynced = false;
    }
}

bool CycleLogFile::close() {
    if (!m_pending.empty())
        writePending();
    if (m_fd >= 0 && m_unsynced && ::fdatasync(m_fd) == 0)
        m_unsynced = false;
    return m_pending.empty() && !m_unsynced;
}

void CycleLogFile::writePending() {
    if (m_fd < 0 && (m_folder.isEmpty() || !openNew()))
        return;
    const ssize_t written = ::write(m_fd, m_pending.data(), m_pending.size());
    if (written < 0)
        return failed(QStringLiteral("write"), errno);
    const auto n = static_cast<std::size_t>(written);
    m_unsynced = m_unsynced || n > 0;
    if (n == m_pending.size()) {
        m_pending.clear();
        m_keep = m_gapBytes = 0;
        if (std::exchange(m_failing, false))
            m_problems.reportProblem(QStringLiteral("Cycle log \"%1\" is written again (%2 rows "
                                                    "lost).")
                                         .arg(m_path)
                                         .arg(m_gap.samples));
        return;
    }
    // The rest of a line written in part must follow it unchanged.
    const bool midLine = n > 0 && m_pending[n - 1] != '\n';
    if (n >= m_keep + m_gapBytes || midLine)
        m_gapBytes = 0;
    m_pending.erase(0, n);
    m_keep = midLine ? m_pending.find('\n') + 1 : (n >= m_keep ? 0 : m_keep - n);
}

void CycleLogFile::failed(const QString& what, int error) {
    if (m_failing)
        return;
    m_failing = true;
    m_gap = {m_lastCycle, m_lastSeconds, 0, 0, 0, 0, 0, false};
    markGap();
    const QString file = m_path.isEmpty() ? m_base + "-cycles-*.csv" : m_path;
    m_problems.reportProblem(QStringLiteral("Cycle log \"%1\": cannot %2: %3. Counting goes on; "
                                            "the rows wait and are written when it can.")
                                 .arg(file, what, errorText(error)));
}

void CycleLogFile::markGap() {
    std::string text;
    format(text, m_gap, CycleLogFlag::Gap);
    m_pending.replace(m_keep, m_gapBytes, text);
    m_gapBytes = text.size();
}

void CycleLogFile::dropOldest() {
    if (m_gapBytes == 0)
        m_gap = {m_lastCycle, m_lastSeconds, 0, 0, 0, 0, 0, false};
    const std::size_t at = m_keep + m_gapBytes;
    int64_t dropped = 0;
    while (m_pending.size() > m_bufferBytes) {
        const std::size_t end = m_pending.find('\n', at);
        if (end == std::string::npos || end + 1 == m_pending.size())
            break;
        int32_t cycle = 0;
        std::from_chars(m_pending.data() + at, m_pending.data() + end, cycle);
        m_gap.cycle = std::max(m_gap.cycle, cycle);
        m_pending.erase(at, end + 1 - at);
        ++dropped;
    }
    m_droppedRows += dropped;
    m_gap.samples += dropped;
    markGap();
}

bool CycleLogFile::resume(const QString& path, QString& error) {
    const auto refuse = [&](const QString& why) {
        error = QStringLiteral("Cannot continue the cycle log \"%1\": %2").arg(path, why);
        m_syncer.reset();
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
        return false;
    };
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return refuse(errorText(errno));
    char head[4096];
    const ssize_t headBytes = ::pread(m_fd, head, sizeof head, 0);
    const std::string_view text(head, static_cast<std::size_t>(std::max<ssize_t>(headBytes, 0)));
    const std::size_t started = text.find(StartedKey);
    if (!S_ISREG(st.st_mode) || !text.starts_with(FirstLine) || started == std::string_view::npos)
        return refuse(QStringLiteral("it is no cycle log"));
    const std::size_t from = started + std::strlen(StartedKey);
    const QDateTime start = QDateTime::fromString(
        QString::fromLatin1(text.substr(from, text.find('\n', from) - from)), Qt::ISODateWithMs);
    if (!start.isValid())
        return refuse(QStringLiteral("its start time cannot be read"));
    m_startUtcMs = start.toMSecsSinceEpoch();
    // A crash can leave the last line torn; a line is far shorter than this.
    char tail[4096];
    const off_t tailFrom = std::max<off_t>(0, st.st_size - static_cast<off_t>(sizeof tail));
    const ssize_t tailBytes = ::pread(m_fd, tail, sizeof tail, tailFrom);
    const std::string_view end(tail, static_cast<std::size_t>(std::max<ssize_t>(tailBytes, 0)));
    const std::size_t lastNewline = end.rfind('\n');
    if (lastNewline == std::string_view::npos)
        return refuse(QStringLiteral("its last line is too long"));
    m_path = path;
    if (lastNewline + 1 != end.size()) {
        if (::ftruncate(m_fd, tailFrom + static_cast<off_t>(lastNewline) + 1) != 0)
            return refuse(
                QStringLiteral("its torn last line cannot be cut: %1").arg(errorText(errno)));
        ::fdatasync(m_fd);
        m_problems.reportProblem(QStringLiteral("Cycle log \"%1\": the torn last line a crash left "
                                                "(%2 bytes) was cut.")
                                     .arg(path)
                                     .arg(end.size() - lastNewline - 1));
    }
    const std::size_t lineStart = end.rfind('\n', lastNewline - 1);
    const std::string_view last =
        end.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1);
    std::from_chars(last.data(), last.data() + last.size(), m_lastCycle);
    return true;
}
