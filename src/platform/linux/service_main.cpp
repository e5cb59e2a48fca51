// tolvane-service: carries out a user's schedule file with no window, as a
// system service. Usage: tolvane-service --schedule FILE [--user UID] [--interval SECONDS]
// or tolvane-service --check FILE
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/linux/linux_service_start.h"
#include "platform/linux/logind_system_power.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/signal_service_waiter.h"
#include "platform/linux/stderr_service_log.h"
#include "schedule/paths.h"
#include "service/schedule_check_command.h"
#include "service/schedule_service.h"
#include "service/service_arguments.h"
#include "service/service_loop.h"

namespace {

int Refuse(const std::string& why) {
    // The reason may quote an argument, which any user can choose.
    const std::string line = tolvane::EscapeForLog(why, tolvane::LogBytes::Utf8);
    std::fprintf(stderr, "tolvane-service: %s\n%s", line.c_str(), tolvane::kLinuxServiceUsage);
    return tolvane::kServiceRefused;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolvane;
    int exitStatus = 0;
    const auto options = OpenServiceProgram(
        {argv + 1, argv + argc}, ParseLinuxServiceArguments, kLinuxServiceUsage,
        [](const std::string& why) { Refuse(why); }, exitStatus);
    if (!options) return exitStatus;
    if (options->version) {
        std::puts("tolvane-service " TOLVANE_VERSION);
        return 0;
    }
    if (options->check) {
        // Read with the rights of whoever asks, as the file is named: nothing
        // is written, no identity taken, no bus opened.
        PosixFileSystem files(".");
        const ScheduleCheckOutcome checked =
            CheckScheduleFile(files, *options->check, LogBytes::Utf8);
        std::fputs(checked.report.c_str(), stdout);
        if (!checked.problem.empty()) {
            std::fprintf(stderr, "tolvane-service: %s", checked.problem.c_str());
        }
        return checked.exitStatus;
    }
    // The user's identity for files, before the schedule's path is looked at
    // even once (the schedule lives where its user decides what stands on its
    // path), and before any thread starts, so all inherit it.
    const LinuxServiceStart start = TakeServiceUser(::geteuid(), options->user);
    if (start.exitStatus == kServiceRefused) return Refuse(start.problem);
    if (start.exitStatus != 0) {
        std::fprintf(stderr, "tolvane-service: %s\n", start.problem.c_str());
        return start.exitStatus;
    }
    const uid_t owner = start.owner;
    // A session of its own, so no terminal a user names as the schedule can
    // become the service's (systemd starts it so already; by hand, it may
    // already lead a process group, and stays in the caller's session).
    ::setsid();
    // SIGTERM and SIGINT end the loop at its next wait, never in the middle of
    // a tick, and the tick's wait for another process's lock. Blocked here, before any thread starts, so every thread leaves
    // them to the waiter.
    SignalServiceWaiter waiter;
    if (!waiter.Problem().empty()) {
        std::fprintf(stderr, "tolvane-service: %s\n", waiter.Problem().c_str());
        return 1;
    }

    // Every call to logind waits for its answer, so no event loop runs.
    StderrServiceLog log;
    std::string error;
    const SystemBus bus = OpenSystemBus(error);
    if (!bus) {
        log.Error("No system bus: " + error);
        return 1;
    }

    PosixFileSystem files(FolderOf(options->schedule, "/"));
    PosixClock clock;
    LogindSystemPower power(bus.get(), owner);
    ScheduleService service(files, options->schedule, clock, power, log);
    service.StopWhen([&] { return !waiter.WaitFor(0); });
    log.Info("Carrying out " + options->schedule + " for user " + std::to_string(owner) +
             " every " + std::to_string(options->intervalSeconds) + " seconds");

    RunServiceLoop(waiter, clock, options->intervalSeconds, 0, [&] { service.Tick(); });
    return 0;
}
