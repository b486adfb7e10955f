#include "recording/RecorderDataFile.h"

#include "common/ErrorText.h"
#include "platform/AtomicFile.h"
#include "platform/ProblemSink.h"
#include "recording/XtRecording.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RecorderDataFile {
static_assert(MarkCountOffset == 80025 && MarksOffset == 80029 && FileSize == 88029);

namespace {
constexpr int32_t FileNotFound = 53;
constexpr int32_t PathFileAccessError = 75;
constexpr int32_t PathNotFound = 76;

bool folderExists(const QString& path) {
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

bool report(ProblemSink& problems, const QString& Filename, const QString& reason,
            const QString& title) {
    problems.reportProblem(QStringLiteral("%1: \"%2\": %3").arg(title, Filename, reason));
    return false;
}

void putInt32(QByteArray& bytes, qsizetype offset, int32_t value) {
    qToLittleEndian<qint32>(value, bytes.data() + offset);
}

int32_t int32At(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

// Both record kinds are two 32-bit fields, the file's layout in memory; a
// little-endian machine copies them as one block.
template <typename Record, size_t N>
void putRecords(QByteArray& bytes, qsizetype offset, const std::array<Record, N>& records) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes.data() + offset, records.data(), sizeof(records));
    } else {
        for (const Record& record : records) {
            putInt32(bytes, offset, std::bit_cast<std::array<int32_t, 2>>(record)[0]);
            putInt32(bytes, offset + 4, std::bit_cast<std::array<int32_t, 2>>(record)[1]);
            offset += 8;
        }
    }
}

template <typename Record, size_t N>
void takeRecords(const QByteArray& bytes, qsizetype offset, std::array<Record, N>& records) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(records.data(), bytes.constData() + offset, sizeof(records));
    } else {
        for (Record& record : records) {
            const std::array<int32_t, 2> fields{int32At(bytes, offset), int32At(bytes, offset + 4)};
            record = std::bit_cast<Record>(fields);
            offset += 8;
        }
    }
}

// At most FileSize + 1 bytes: enough to see that a file is too long without
// reading all of a huge one. errorNumber is 0 on success.
QByteArray readHead(const QString& Filename, int32_t& errorNumber) {
    errorNumber = 0;
    // O_NONBLOCK keeps a FIFO in the file's place from hanging the start-up.
    const int fd = ::open(QFile::encodeName(Filename).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        errorNumber =
            err == ENOENT && folderExists(Filename) ? FileNotFound : errorNumberForErrno(err);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errorNumber = PathFileAccessError;
        return {};
    }
    QByteArray bytes(FileSize + 1, '\0');
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got =
            ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            errorNumber = errorNumberForErrno(errno);
            break;
        }
        if (got == 0)
            break;
        filled += got;
    }
    ::close(fd);
    bytes.truncate(filled);
    return bytes;
}
} // namespace

QByteArray encode(const XtRecording& recording) {
    QByteArray bytes(FileSize, '\0');
    std::memcpy(bytes.data(), Magic, MagicLength);
    putInt32(bytes, VersionOffset, Version);
    putInt32(bytes, SampleCountOffset, recording.SampleCount);
    putInt32(bytes, SampleIndexOffset, recording.SampleIndex);
    putInt32(bytes, MarkCountOffset, recording.MarkCount);
    putRecords(bytes, RingOffset, recording.SampleRing);
    putRecords(bytes, MarksOffset, recording.TriggerMarks);
    return bytes;
}

Verdict decode(const QByteArray& bytes, XtRecording& recording) {
    if (bytes.size() < MagicLength || std::memcmp(bytes.constData(), Magic, MagicLength) != 0)
        return Verdict::InvalidFormat;
    if (bytes.size() < VersionOffset + 4)
        return Verdict::InvalidFormat;
    if (int32At(bytes, VersionOffset) != Version)
        return Verdict::InvalidVersion;
    // Only a whole file is taken over: a short one would leave part of the
    // ring undefined, and a long one is not a file of this version.
    if (bytes.size() != FileSize)
        return Verdict::InvalidFormat;
    const int32_t sampleCount = int32At(bytes, SampleCountOffset);
    const int32_t sampleIndex = int32At(bytes, SampleIndexOffset);
    const int32_t markCount = int32At(bytes, MarkCountOffset);
    if (!XtRecording::isValid(sampleCount, sampleIndex, markCount))
        return Verdict::InvalidFormat;

    if (sampleCount > 0) {
        recording.SampleCount = sampleCount;
        recording.SampleIndex = sampleIndex;
        takeRecords(bytes, RingOffset, recording.SampleRing);
    } else {
        recording.SampleCount = 0;
    }
    recording.MarkCount = markCount;
    takeRecords(bytes, MarksOffset, recording.TriggerMarks);
    return Verdict::Ok;
}

bool save(const QString& Filename, const XtRecording& recording, ProblemSink& problems) {
    const QString title = QStringLiteral("Save Data");
    if (!folderExists(Filename))
        return report(problems, Filename, ErrorText(PathNotFound), title);
    // AtomicFile reports its failure as text only; the errno it failed with is
    // still set when it returns (the clean-up after a failure does not change it).
    errno = 0;
    if (AtomicFile::write(Filename, encode(recording)))
        return true;
    const int err = errno;
    return report(problems, Filename, ErrorText(errorNumberForErrno(err)), title);
}

bool load(const QString& Filename, XtRecording& recording, ProblemSink& problems, QString* why) {
    const QString title = QStringLiteral("Load Data");
    const auto refuse = [&](const QString& reason, const char* slug) {
        if (why)
            *why = QLatin1String(slug);
        return report(problems, Filename, reason, title);
    };
    int32_t errorNumber = 0;
    const QByteArray bytes = readHead(Filename, errorNumber);
    if (errorNumber != 0)
        return refuse(ErrorText(errorNumber), "unreadable");
    switch (decode(bytes, recording)) {
    case Verdict::Ok:
        return true;
    case Verdict::InvalidVersion:
        return refuse(QStringLiteral("Invalid version"), "invalid-version");
    case Verdict::InvalidFormat:
        break;
    }
    return refuse(QStringLiteral("Invalid file format"), "invalid-format");
}
} // namespace RecorderDataFile
