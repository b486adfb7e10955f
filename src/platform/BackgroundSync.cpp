#include "platform/BackgroundSync.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

struct BackgroundSync::State {
    std::mutex mutex;
    std::condition_variable wake;
    bool requested = false;
    bool stop = false;
    bool threadless = false; // no thread could be started: request() syncs itself
    int fd = -1;
    SyncCall sync;
    std::atomic<int> error{0};
    std::atomic<uint64_t> finished{0};

    void syncNow() {
        const int result = fd < 0 ? EBADF : sync(fd);
        if (result != 0)
            error.store(result);
        finished.fetch_add(1);
    }

    // Runs until the owner lets go; the last sync asked for is still done.
    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return requested || stop; });
            if (!requested)
                break;
            requested = false;
            lock.unlock();
            syncNow();
            lock.lock();
        }
        if (fd >= 0)
            ::close(fd);
    }
};

BackgroundSync::BackgroundSync(int fd, SyncCall sync) : m_state(std::make_shared<State>()) {
    m_state->fd = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    m_state->sync = sync ? std::move(sync) : [](int d) { return ::fdatasync(d) == 0 ? 0 : errno; };
    // The thread keeps the state alive after this object is gone.
    try {
        std::thread([state = m_state] { state->run(); }).detach();
    } catch (const std::system_error&) {
        m_state->threadless = true;
    }
}

BackgroundSync::~BackgroundSync() {
    if (m_state->threadless) {
        if (m_state->fd >= 0)
            ::close(m_state->fd);
        return;
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stop = true;
    }
    m_state->wake.notify_one();
}

void BackgroundSync::request() {
    if (m_state->threadless)
        return m_state->syncNow();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->requested = true;
    }
    m_state->wake.notify_one();
}

int BackgroundSync::takeError() {
    return m_state->error.exchange(0);
}

uint64_t BackgroundSync::finished() const {
    return m_state->finished.load();
}
