#pragma once
// Progress of a long run on stderr, only when stderr is a terminal: the share
// of the file read (when its size is known) and the samples so far, at most
// once a second and only after the first second, so short runs stay quiet.
#include <chrono>
#include <cstdint>
#include <cstdio>

class Progress {
public:
    // `input` tells the size of a regular file; pipes have none.
    explicit Progress(std::FILE* input);

    // Cheap enough for every batch of samples.
    void update(int64_t fileBytes, int64_t samples) {
        if (m_enabled && ++m_calls % 64 == 0)
            show(fileBytes, samples);
    }
    // Clears the line before the results and messages follow.
    void done();

private:
    void show(int64_t fileBytes, int64_t samples);

    bool m_enabled = false;
    bool m_shown = false;
    int64_t m_total = 0;
    uint32_t m_calls = 0;
    std::chrono::steady_clock::time_point m_next;
};
