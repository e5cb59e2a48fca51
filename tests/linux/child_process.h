#pragma once

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvane::testing {

// Waits for a child of this process to end and reaps it. `hangGuardSeconds`
// only guards against a child that never ends: such a child is killed, and the
// answer is false. Woken by the exit itself (a pidfd), never by polling.
inline bool WaitForExit(pid_t child, int& status, int hangGuardSeconds = 120) {
    // By number: glibc 2.36 declares pidfd_open without C linkage for C++.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    bool ended = true;
    if (pidfd >= 0) {
        pollfd exit{pidfd, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&exit, 1, hangGuardSeconds * 1000);
        } while (ready < 0 && errno == EINTR);
        ended = ready > 0;
        ::close(pidfd);
    }
    if (!ended) ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ended;
}

}  // namespace tolvane::testing
