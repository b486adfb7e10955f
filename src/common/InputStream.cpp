#include "common/InputStream.h"

#include <cerrno>
#include <cstring>
#include <zlib.h>

namespace {
constexpr size_t RawBlockSize = 1 << 18;

bool gzipMagic(const char* bytes) {
    return static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x8b;
}
} // namespace

struct InputStream::Inflater {
    z_stream stream{};
    Inflater() = default;
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater() { inflateEnd(&stream); }
};

InputStream::InputStream(std::FILE* file) : m_file(file), m_raw(new char[RawBlockSize]) {}

InputStream::~InputStream() = default;

bool InputStream::fillRaw() {
    if (m_rawStart > 0) {
        std::memmove(m_raw.get(), m_raw.get() + m_rawStart, m_rawEnd - m_rawStart);
        m_rawEnd -= m_rawStart;
        m_rawStart = 0;
    }
    while (!m_rawEof && m_rawEnd < RawBlockSize) {
        const size_t got = std::fread(m_raw.get() + m_rawEnd, 1, RawBlockSize - m_rawEnd, m_file);
        m_rawEnd += got;
        m_fileBytes += static_cast<int64_t>(got);
        if (got > 0)
            break;
        if (std::ferror(m_file)) {
            m_error = std::string("read error: ") + std::strerror(errno);
            return false;
        }
        m_rawEof = true;
    }
    return true;
}

bool InputStream::start() {
    m_started = true;
    // Two bytes decide; a pipe may deliver them one at a time.
    while (m_rawEnd < 2 && !m_rawEof) {
        if (!fillRaw())
            return false;
    }
    if (m_rawEnd < 2 || !gzipMagic(m_raw.get())) {
        if (m_requireCompressed)
            m_error = "the data is not gzip-compressed";
        return !m_requireCompressed;
    }
    auto inflater = std::make_unique<Inflater>();
    // 15 + 16: the largest window, gzip wrapper only.
    if (inflateInit2(&inflater->stream, 15 + 16) != Z_OK) {
        m_error = "cannot start decompression (out of memory?)";
        return false;
    }
    m_inflater = std::move(inflater);
    return true;
}

size_t InputStream::read(char* buffer, size_t size) {
    if (!m_started && !start())
        return 0;
    if (failed() || size == 0)
        return 0;
    if (m_inflater)
        return inflateInto(buffer, size);
    if (m_rawStart < m_rawEnd) {
        const size_t n = std::min(size, m_rawEnd - m_rawStart);
        std::memcpy(buffer, m_raw.get() + m_rawStart, n);
        m_rawStart += n;
        return n;
    }
    if (m_rawEof)
        return 0;
    // Plain data goes straight into the caller's buffer, without a copy.
    const size_t got = std::fread(buffer, 1, size, m_file);
    m_fileBytes += static_cast<int64_t>(got);
    if (got == 0) {
        if (std::ferror(m_file))
            m_error = std::string("read error: ") + std::strerror(errno);
        m_rawEof = true;
    }
    return got;
}

// After the end of one gzip member: another member follows (as `cat a.gz b.gz`
// and parallel compressors write), or the data ends. Anything else is damage.
bool InputStream::nextMember() {
    while (m_rawEnd - m_rawStart < 2 && !m_rawEof) {
        if (!fillRaw())
            return false;
    }
    if (m_rawStart == m_rawEnd)
        return false;
    if (m_rawEnd - m_rawStart < 2 || !gzipMagic(m_raw.get() + m_rawStart)) {
        m_error = "damaged compressed data: unexpected bytes after the end of the stream";
        return false;
    }
    inflateReset(&m_inflater->stream);
    m_memberEnded = false;
    return true;
}

size_t InputStream::inflateInto(char* buffer, size_t size) {
    z_stream& z = m_inflater->stream;
    size_t produced = 0;
    while (produced == 0) {
        if (m_memberEnded && !nextMember())
            return 0;
        if (m_rawStart == m_rawEnd) {
            if (m_rawEof) {
                m_error = "the compressed data is cut off (truncated file?)";
                return 0;
            }
            if (!fillRaw())
                return 0;
            continue;
        }
        z.next_in = reinterpret_cast<Bytef*>(m_raw.get() + m_rawStart);
        z.avail_in = static_cast<uInt>(m_rawEnd - m_rawStart);
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        const uInt outBefore = z.avail_out;
        const int result = inflate(&z, Z_NO_FLUSH);
        m_rawStart = m_rawEnd - z.avail_in;
        produced = outBefore - z.avail_out;
        if (result == Z_STREAM_END) {
            m_memberEnded = true;
        } else if (result == Z_BUF_ERROR) {
            // No progress possible with this input: more is needed.
            if (m_rawEof && m_rawStart == m_rawEnd && produced == 0) {
                m_error = "the compressed data is cut off (truncated file?)";
                return 0;
            }
        } else if (result != Z_OK) {
            // The bytes produced before the damage are still good; the
            // error ends the stream at the next read.
            m_error = std::string("damaged compressed data: ") + (z.msg ? z.msg
                                                                  : result == Z_MEM_ERROR
                                                                      ? "out of memory"
                                                                      : "inflate failed");
            return produced;
        }
    }
    return produced;
}
