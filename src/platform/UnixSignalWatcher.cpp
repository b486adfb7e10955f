#include "platform/UnixSignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t graceLeft = 0; // seconds; 0: no grace period
volatile sig_atomic_t graceArmed = 0;

void onSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing to do if the pipe is full: a shutdown is already pending.
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    if (graceLeft > 0 && graceArmed == 0) {
        graceArmed = 1;
        ::alarm(static_cast<unsigned>(graceLeft));
    }
    errno = saved;
}

// The orderly end did not come in time (a call that no signal interrupts).
// Nothing is lost by ending here: every counted extremum and every other
// change of the count was saved durably before anyone saw it, and a save cut
// short leaves the old settings file whole (its leftover is removed at the
// next start). Only the window's place and the chart of this run are not
// written back.
void onGraceOver(int) {
    ::_exit(0);
}

void install(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking call returns EINTR
    ::sigaction(signalNumber, &action, nullptr);
}
} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent, unsigned graceSeconds) : QObject(parent) {
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    graceLeft = static_cast<sig_atomic_t>(graceSeconds);
    graceArmed = 0;
    if (graceSeconds > 0)
        install(SIGALRM, onGraceOver);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        install(signalNumber, onSignal);
}

UnixSignalWatcher::~UnixSignalWatcher() {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        install(signalNumber, SIG_DFL);
}

void UnixSignalWatcher::readSignal() {
    unsigned char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
