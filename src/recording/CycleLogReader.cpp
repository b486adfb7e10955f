#include "recording/CycleLogReader.h"

#include "platform/ProblemSink.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {
constexpr std::string_view FirstLine = "# Cyclomarkator cycle log";
constexpr std::size_t ChunkBytes = 1 << 20;
// The column row without its newline.
constexpr std::string_view Columns =
    std::string_view(CycleLogFile::ColumnRow)
        .substr(0, std::string_view(CycleLogFile::ColumnRow).size() - 1);

bool toFloat(std::string_view text, float& value) {
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool toFlag(std::string_view text, CycleLogFlag& flag) {
    for (int i = 0; i <= static_cast<int>(CycleLogFlag::Set); ++i) {
        if (text == cycleLogFlagName(static_cast<CycleLogFlag>(i))) {
            flag = static_cast<CycleLogFlag>(i);
            return true;
        }
    }
    return false;
}

QString shown(std::string_view text) {
    constexpr std::size_t Most = 40;
    QString result =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(std::min(text.size(), Most)));
    for (QChar& c : result) {
        if (!c.isPrint())
            c = u'?';
    }
    return text.size() > Most ? result + QStringLiteral("...") : result;
}

// "drop 10 %" in the watch line: 10; "drop off": 0.
double percentAfter(const QString& line, const QString& key) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("\\b%1 ([0-9.]+) %").arg(key)).match(line);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}
} // namespace

CycleLogReader::CycleLogReader(const QString& path, ProblemSink& problems)
    : m_path(path), m_problems(problems) {}

bool CycleLogReader::read(int64_t mostBytes) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error =
            QStringLiteral("Cannot read the cycle log \"%1\": %2").arg(m_path, file.errorString());
        return false;
    }
    if (file.size() < m_offset) {
        m_problems.reportProblem(
            QStringLiteral("Cycle log \"%1\" got shorter: read again from its start").arg(m_path));
        startOver();
    }
    if (file.size() == 0) {
        m_error = QStringLiteral("The cycle log \"%1\" is empty").arg(m_path);
        return false;
    }
    m_error.clear();
    // A log read again every second mostly grew by a few rows.
    const auto chunk = static_cast<qint64>(
        std::clamp<int64_t>(file.size() - m_offset, 1, static_cast<int64_t>(ChunkBytes)));
    std::vector<char> buffer(static_cast<std::size_t>(chunk));
    file.seek(m_offset);
    qint64 got = 0;
    for (int64_t taken = 0; m_error.isEmpty() && taken < mostBytes; taken += got) {
        got = file.read(buffer.data(), std::min<int64_t>(chunk, mostBytes - taken));
        if (got <= 0)
            break;
        m_offset += got;
        consume(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    m_behind = std::max<int64_t>(file.size() - m_offset, 0);
    if (got < 0 && m_error.isEmpty())
        m_error =
            QStringLiteral("Cannot read the cycle log \"%1\": %2").arg(m_path, file.errorString());
    m_waiting = static_cast<int64_t>(m_partial.size());
    return m_error.isEmpty();
}

void CycleLogReader::consume(std::string_view chunk) {
    while (!chunk.empty() && m_error.isEmpty()) {
        const std::size_t newline = chunk.find('\n');
        const bool whole = newline != std::string_view::npos;
        const std::string_view piece = whole ? chunk.substr(0, newline) : chunk;
        chunk = whole ? chunk.substr(newline + 1) : std::string_view();
        if (m_skippingLongLine) {
            m_skippingLongLine = !whole;
        } else if (m_partial.size() + piece.size() > LongestLine) {
            if (!m_firstLineSeen)
                return notALog();
            ++m_lineNumber;
            bad(QStringLiteral("longer than %1 bytes").arg(LongestLine));
            m_partial.clear();
            m_skippingLongLine = !whole;
        } else if (!whole) {
            m_partial.append(piece);
        } else if (m_partial.empty()) {
            line(piece);
        } else {
            m_partial.append(piece);
            line(m_partial);
            m_partial.clear();
        }
    }
}

void CycleLogReader::line(std::string_view text) {
    ++m_lineNumber;
    if (text.ends_with('\r'))
        text.remove_suffix(1);
    if (!std::exchange(m_firstLineSeen, true) && text != FirstLine)
        return notALog();
    if (text.empty())
        return;
    QString why;
    if (text.starts_with('#'))
        headerLine(text);
    else if (text != Columns && !row(text, why))
        bad(why);
}

void CycleLogReader::headerLine(std::string_view text) {
    const QString line =
        QString::fromUtf8(text.data() + 1, static_cast<qsizetype>(text.size() - 1)).trimmed();
    const qsizetype colon = line.indexOf(u':');
    const QString key = line.left(std::max<qsizetype>(colon, 0)).toLower();
    const QString value = line.mid(colon + 1).trimmed();
    if (colon < 0 || value.isEmpty())
        return;
    // A test's own name beats the rig's, which beats the converter's line.
    const QStringList keys{"converter", "rig", "test"};
    if (keys.contains(key) && keys.indexOf(key) >= m_testKey) {
        m_header.test = value;
        m_testKey = static_cast<int>(keys.indexOf(key));
    } else if (key == u"criterion") {
        m_header.criterion = value;
    } else if (key == u"watch") {
        m_header.dropPercent = percentAfter(value, QStringLiteral("drop"));
        m_header.bandPercent = percentAfter(value, QStringLiteral("band"));
        QStringList parts;
        if (m_header.dropPercent > 0)
            parts << QStringLiteral("amplitude drop %1 %").arg(m_header.dropPercent);
        if (m_header.bandPercent > 0)
            parts << QStringLiteral("peak/valley band %1 %").arg(m_header.bandPercent);
        if (m_header.criterion.isEmpty())
            m_header.criterion = parts.isEmpty() ? QStringLiteral("no failure criterion")
                                                 : parts.join(QStringLiteral(", "));
    }
}

// cycle,time,seconds,peak,valley,mean,amplitude,samples,flag
bool CycleLogReader::row(std::string_view text, QString& why) {
    std::array<std::string_view, 9> fields;
    std::size_t count = 0;
    for (std::size_t from = 0;; ++count) {
        const std::size_t comma = text.find(',', from);
        if (count < fields.size())
            fields[count] = text.substr(from, comma == text.npos ? text.npos : comma - from);
        if (comma == text.npos)
            break;
        from = comma + 1;
    }
    if (++count != fields.size()) {
        why = QStringLiteral("%1 fields where a row has 9").arg(count);
        return false;
    }
    CycleLogMark mark;
    const auto [end, error] =
        std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), mark.cycle);
    if (error != std::errc() || end != fields[0].data() + fields[0].size() || fields[0].empty()) {
        why = QStringLiteral("the cycle \"%1\" is no whole number").arg(shown(fields[0]));
        return false;
    }
    if (!toFlag(fields[8], mark.flag)) {
        why = QStringLiteral("unknown flag \"%1\"").arg(shown(fields[8]));
        return false;
    }
    const bool empty = fields[3].empty() && fields[4].empty() && fields[6].empty();
    mark.values = !empty;
    if (empty && mark.flag == CycleLogFlag::None) {
        why = QStringLiteral("a cycle row without peak, valley and amplitude");
        return false;
    }
    if (!empty && (!toFloat(fields[3], mark.peak) || !toFloat(fields[4], mark.valley) ||
                   !toFloat(fields[6], mark.amplitude))) {
        why = QStringLiteral("peak, valley or amplitude is no number");
        return false;
    }
    if (mark.flag == CycleLogFlag::None)
        m_rows.push_back({mark.cycle, mark.peak, mark.valley, mark.amplitude});
    else
        m_marks.push_back(mark);
    return true;
}

void CycleLogReader::notALog() {
    m_error = QStringLiteral("\"%1\" is no cycle log: its first line is not \"%2\"")
                  .arg(m_path, QLatin1String(FirstLine.data(), FirstLine.size()));
}

void CycleLogReader::bad(const QString& why) {
    ++m_badLines;
    if (m_badLines <= SaidBadLines)
        m_problems.reportProblem(QStringLiteral("Cycle log \"%1\", line %2: %3; the line is "
                                                "skipped")
                                     .arg(m_path)
                                     .arg(m_lineNumber)
                                     .arg(why));
    else if (m_badLines == SaidBadLines + 1)
        m_problems.reportProblem(QStringLiteral("Cycle log \"%1\": more damaged lines after line "
                                                "%2 are skipped and only counted")
                                     .arg(m_path)
                                     .arg(m_lineNumber));
}

void CycleLogReader::startOver() {
    m_offset = m_lineNumber = m_waiting = m_badLines = 0;
    m_firstLineSeen = m_skippingLongLine = false;
    m_testKey = -1;
    m_partial.clear();
    m_header = {};
    m_rows.clear();
    m_marks.clear();
}
