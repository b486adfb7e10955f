#pragma once
// The C library's resolver asked without waiting (getaddrinfo_a): the name
// server is asked in the library's own thread and answer() only looks whether
// it has answered. A numeric address is answered at once. A lookup given up
// before its answer came is cancelled, or left to end in that thread, which
// then frees it; nothing here ever waits for it.
#include "devices/HostLookup.h"

#include <csignal>

class SystemHostLookup final : public HostLookup {
public:
    SystemHostLookup() = default;
    ~SystemHostLookup() override;
    SystemHostLookup(const SystemHostLookup&) = delete;
    SystemHostLookup& operator=(const SystemHostLookup&) = delete;

    void start(const QString& host) override;
    std::optional<Answer> answer() override;

private:
    struct Pending;
    static void release(Pending* pending);
    static void notified(sigval value);
    void abandon();

    Pending* m_pending = nullptr;
    std::optional<Answer> m_answer;
};
