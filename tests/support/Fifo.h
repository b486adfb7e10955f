#pragma once
// A FIFO made by a test where a regular file is meant, put in place in one
// step (the file is never missing) and removed at its end unless replaced.
// Should the code under test wait in open() for a writer, one comes now and
// then after 5 s, so that the test fails instead of hanging.
#include <QFile>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class Fifo {
public:
    explicit Fifo(const QString& path) : m_path(QFile::encodeName(path)) {
        const QByteArray beside = m_path + ".fifo";
        made = ::mkfifo(beside.constData(), 0600) == 0 &&
               ::rename(beside.constData(), m_path.constData()) == 0;
    }
    ~Fifo() {
        m_done = true;
        m_writer.join();
        struct stat status {};
        if (::lstat(m_path.constData(), &status) == 0 && S_ISFIFO(status.st_mode))
            ::unlink(m_path.constData());
    }
    bool made = false;

private:
    QByteArray m_path;
    std::atomic<bool> m_done{false};
    std::thread m_writer{[this] {
        for (int i = 0; i < 1000 && !m_done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (const int fd = i < 500 ? -1 : ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                fd >= 0)
                ::close(fd);
        }
    }};
};
