#include "platform/linux/signal_service_waiter.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

namespace tolvane {

namespace {

double Monotonic() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

}  // namespace

SignalServiceWaiter::SignalServiceWaiter() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    const int blocked = pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    if (blocked != 0) {
        problem_ = std::strerror(blocked);
        return;
    }
    fd_ = signalfd(-1, &stops, SFD_CLOEXEC);
    if (fd_ < 0) problem_ = std::strerror(errno);
}

SignalServiceWaiter::~SignalServiceWaiter() {
    if (fd_ >= 0) ::close(fd_);
}

bool SignalServiceWaiter::WaitFor(double seconds) {
    if (stopped_ || fd_ < 0) return false;
    const double deadline = Monotonic() + seconds;
    for (;;) {
        // Rounded up, so the wait is never shorter than asked for.
        const double left = std::ceil((deadline - Monotonic()) * 1000.0);
        pollfd signals{fd_, POLLIN, 0};
        const int ready =
            ::poll(&signals, 1, static_cast<int>(std::clamp(left, 0.0, 1.0 * INT_MAX)));
        if (ready == 0) return true;
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0) {
            signalfd_siginfo signal{};
            (void)!::read(fd_, &signal, sizeof signal);
        }
        stopped_ = true;
        return false;
    }
}

}  // namespace tolvane
