#include "devices/SystemHostLookup.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <atomic>
#include <netdb.h>

// One request to the resolver. Two hold it: the lookup that asked, and the
// resolver's notification when it is done; whoever lets go last frees it, so
// a lookup given up while the name server is still asked never waits for it.
struct SystemHostLookup::Pending {
    QByteArray name;
    addrinfo hints{};
    gaicb request{};
    std::atomic<int> holders{2};
};

namespace {

HostLookup::Answer numeric(const addrinfo* found) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* address =
        found->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    ::inet_ntop(found->ai_family, address, text, sizeof text);
    return {QString::fromLatin1(text), QString()};
}

HostLookup::Answer notFound(int error) {
    return {QString(), QString::fromLocal8Bit(::gai_strerror(error))};
}

} // namespace

void SystemHostLookup::release(Pending* pending) {
    if (pending->holders.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    if (pending->request.ar_result)
        ::freeaddrinfo(pending->request.ar_result);
    delete pending;
}

void SystemHostLookup::notified(sigval value) {
    release(static_cast<Pending*>(value.sival_ptr));
}

SystemHostLookup::~SystemHostLookup() {
    abandon();
}

void SystemHostLookup::abandon() {
    if (!m_pending)
        return;
    // A request cancelled before it ran is never notified: let go for both.
    if (::gai_cancel(&m_pending->request) == EAI_CANCELED)
        release(m_pending);
    release(m_pending);
    m_pending = nullptr;
}

void SystemHostLookup::start(const QString& host) {
    abandon();
    m_answer.reset();
    auto* pending = new Pending;
    pending->name = host.toUtf8();
    pending->hints.ai_family = AF_UNSPEC;
    pending->hints.ai_socktype = SOCK_STREAM;
    pending->hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(pending->name.constData(), nullptr, &pending->hints, &found) == 0) {
        m_answer = numeric(found);
        ::freeaddrinfo(found);
        delete pending;
        return;
    }
    pending->hints.ai_flags = 0;
    pending->request.ar_name = pending->name.constData();
    pending->request.ar_request = &pending->hints;
    sigevent done{};
    done.sigev_notify = SIGEV_THREAD;
    done.sigev_notify_function = notified;
    done.sigev_value.sival_ptr = pending;
    gaicb* list[] = {&pending->request};
    const int rc = ::getaddrinfo_a(GAI_NOWAIT, list, 1, &done);
    if (rc != 0) {
        m_answer = notFound(rc);
        delete pending;
        return;
    }
    m_pending = pending;
}

std::optional<HostLookup::Answer> SystemHostLookup::answer() {
    if (m_pending) {
        const int rc = ::gai_error(&m_pending->request);
        if (rc == EAI_INPROGRESS)
            return std::nullopt;
        const addrinfo* found = m_pending->request.ar_result;
        m_answer = rc == 0 && found ? numeric(found) : notFound(rc == 0 ? EAI_NONAME : rc);
        release(m_pending);
        m_pending = nullptr;
    }
    std::optional<Answer> given;
    given.swap(m_answer);
    return given;
}
