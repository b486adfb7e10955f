#pragma once
// The bytes of a recorded history from an open file or pipe, inflated on the
// fly when they are gzip-compressed (known by their first two bytes), so that a
// reader sees the same bytes for `load.txt` and `load.txt.gz`. Memory stays
// flat whatever the size. A read error, damaged or cut-off compressed data ends
// the stream with error() saying what happened; the caller adds where.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class InputStream {
public:
    // `file` is not owned and must outlive the stream.
    explicit InputStream(std::FILE* file);
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Refuse plain data: for a file whose name says it is compressed, reading
    // it as text would only give a confusing message about its first line.
    void requireCompressed() { m_requireCompressed = true; }

    // Up to `size` bytes into `buffer`; 0 at the end and after an error.
    size_t read(char* buffer, size_t size);

    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }
    bool compressed() const { return m_inflater != nullptr; }
    // Bytes taken from the file so far (compressed bytes for gzip): for progress.
    int64_t fileBytesRead() const { return m_fileBytes; }

private:
    bool start();
    bool fillRaw();
    size_t inflateInto(char* buffer, size_t size);
    bool nextMember();

    struct Inflater;
    std::FILE* m_file;
    std::unique_ptr<char[]> m_raw;
    size_t m_rawStart = 0;
    size_t m_rawEnd = 0;
    bool m_rawEof = false;
    bool m_started = false;
    bool m_requireCompressed = false;
    bool m_memberEnded = false;
    std::unique_ptr<Inflater> m_inflater;
    int64_t m_fileBytes = 0;
    std::string m_error;
};
