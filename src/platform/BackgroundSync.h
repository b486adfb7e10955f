#pragma once
// Makes a file durable (fdatasync) on a thread of its own, so that the loop
// that writes the file never waits for a slow or dying disk. The thread syncs
// its own duplicate of the descriptor: the writer may close its descriptor at
// any time, and dropping a BackgroundSync never waits for a sync in progress.
#include <cstdint>
#include <functional>
#include <memory>

class BackgroundSync {
public:
    // Syncs a descriptor; 0 or an errno. ::fdatasync when not given.
    using SyncCall = std::function<int(int)>;

    explicit BackgroundSync(int fd, SyncCall sync = {});
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    // Asks for a sync of everything written so far. A sync already asked for
    // and not yet begun covers this one too; one in progress is followed by
    // another.
    void request();
    // The errno of a sync that failed since the last call, or 0.
    int takeError();
    // Syncs finished so far.
    uint64_t finished() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
