#pragma once
// The recorder data file ("Data.dat"): the whole sample ring and trigger-mark
// list in a flat little-endian layout that starts with the magic
// "Cyclomarkator" and the version 1 and is always FileSize bytes long.
//
// Saving replaces the file atomically, so a crash while saving leaves the
// previous chart whole. Loading reads the whole file first and takes it over
// only when it is a complete file of this format and version whose counts
// and index the arrays can hold; anything else leaves the recording as it
// was. Every failure is reported to the problem sink as the operation's title,
// the quoted file name and the reason.
#include <QByteArray>
#include <QString>
#include <cstdint>

class ProblemSink;
struct XtRecording;

namespace RecorderDataFile {
inline constexpr char Magic[] = "Cyclomarkator";
constexpr int32_t Version = 1;

constexpr qsizetype MagicLength = sizeof(Magic) - 1;
constexpr qsizetype VersionOffset = MagicLength;
constexpr qsizetype SampleCountOffset = VersionOffset + 4;
constexpr qsizetype SampleIndexOffset = SampleCountOffset + 4;
constexpr qsizetype RingOffset = SampleIndexOffset + 4;
constexpr qsizetype MarkCountOffset = RingOffset + 10000 * 8;
constexpr qsizetype MarksOffset = MarkCountOffset + 4;
constexpr qsizetype FileSize = MarksOffset + 1000 * 8;

enum class Verdict { Ok, InvalidFormat, InvalidVersion };

// The file's bytes for `recording`.
QByteArray encode(const XtRecording& recording);

// Takes the file's content over into `recording` when the verdict is Ok; any
// other verdict leaves it untouched. A file without samples keeps the ring
// and SampleIndex of `recording` and sets SampleCount to 0.
Verdict decode(const QByteArray& bytes, XtRecording& recording);

// SaveData and LoadData: true on success; failures are reported under the
// titles "Save Data" and "Load Data".
bool save(const QString& Filename, const XtRecording& recording, ProblemSink& problems);
// `why` (when given) receives why a file was refused: "unreadable",
// "invalid-version" or "invalid-format".
bool load(const QString& Filename, XtRecording& recording, ProblemSink& problems,
          QString* why = nullptr);
} // namespace RecorderDataFile
