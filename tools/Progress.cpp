#include "Progress.h"

#include <sys/stat.h>
#include <unistd.h>

Progress::Progress(std::FILE* input) {
    m_enabled = ::isatty(STDERR_FILENO) != 0;
    struct stat st {};
    if (m_enabled && ::fstat(::fileno(input), &st) == 0 && S_ISREG(st.st_mode))
        m_total = st.st_size;
    m_next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
}

void Progress::show(int64_t fileBytes, int64_t samples) {
    const auto now = std::chrono::steady_clock::now();
    if (now < m_next)
        return;
    m_next = now + std::chrono::seconds(1);
    m_shown = true;
    if (m_total > 0)
        std::fprintf(stderr, "\r%3d%%  %lld samples ", static_cast<int>(100 * fileBytes / m_total),
                     static_cast<long long>(samples));
    else
        std::fprintf(stderr, "\r%lld samples ", static_cast<long long>(samples));
    std::fflush(stderr);
}

void Progress::done() {
    if (m_shown)
        std::fputs("\r                                        \r", stderr);
}
