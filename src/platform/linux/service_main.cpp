// tolvane-service: carries out a schedule file with no window, as a system
// service: a user's (--schedule FILE [--user UID]) or, with --machine, the
// administrators' schedule for the whole machine; or checks a schedule
// (--check FILE). See kLinuxServiceUsage.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/journal_service_log.h"
#include "platform/linux/linux_service_start.h"
#include "platform/linux/logind_system_power.h"
#include "platform/linux/machine_settings.h"
#include "platform/linux/posix_admin_only.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/signal_service_waiter.h"
#include "schedule/action_records.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"
#include "service/schedule_check_command.h"
#include "service/schedule_service.h"
#include "service/service_arguments.h"
#include "service/service_loop.h"

namespace {

using namespace tolvane;

int Refuse(const std::string& why) {
    // The reason may quote an argument, which any user can choose.
    const std::string line = EscapeForLog(why, LogBytes::Utf8);
    std::fprintf(stderr, "tolvane-service: %s\n%s", line.c_str(), kLinuxServiceUsage);
    return kServiceRefused;
}

// Whom the service acts for, settled before any path is looked at.
struct Acting {
    int exitStatus = 0;  // not 0: end with it
    uid_t owner = 0;     // a user's service: the user
    std::string user;    // as records of actions name it
};

Acting SettleWhoActs(const LinuxServiceOptions& options) {
    Acting acting;
    if (options.machine) {
        // Root's own rights for the machine's files: its folders are
        // judged root's alone at every tick before anything in them is used.
        const std::string problem = MachineServiceProblem(::geteuid());
        if (!problem.empty()) acting.exitStatus = Refuse(problem);
        acting.user = std::string(kRecordAllUsers);
        return acting;
    }
    // The user's identity for files, before the schedule's path is looked at
    // even once (the schedule lives where its user decides what stands on its
    // path), and before any thread starts, so all inherit it.
    const LinuxServiceStart start = TakeServiceUser(::geteuid(), options.user);
    if (start.exitStatus == kServiceRefused) {
        acting.exitStatus = Refuse(start.problem);
    } else if (start.exitStatus != 0) {
        std::fprintf(stderr, "tolvane-service: %s\n", start.problem.c_str());
        acting.exitStatus = start.exitStatus;
    }
    acting.owner = start.owner;
    acting.user = start.ownerName;
    return acting;
}

// The schedule carried out every `intervalSeconds` until SIGTERM or SIGINT.
int Serve(const LinuxServiceOptions& options, const Acting& acting, SignalServiceWaiter& waiter) {
    // Every call to logind waits for its answer, so no event loop runs.
    JournalServiceLog log;
    std::string error;
    const SystemBus bus = OpenSystemBus(error);
    if (!bus) {
        log.Error("No system bus: " + error);
        return 1;
    }
    PosixFileSystem files(FolderOf(options.schedule, "/"));
    PosixClock clock;
    PosixAdminOnlyCheck adminOnly;
    std::optional<LogindSystemPower> power;
    std::optional<ScheduleService> service;
    if (options.machine) {
        // systemd makes it for the unit; run by hand, the service does.
        if (!MakeMachineStateFolder(options.state, error)) log.Error(error);
        power.emplace(bus.get());
        // The settings beside the schedule: /etc/tolvane/tolvane.conf for
        // the machine's own, a test's beside its own schedule.
        const int notice =
            MachineNoticeMinutes(files, FolderOf(options.schedule, "/") + "/tolvane.conf");
        service.emplace(
            ScheduleService::Setup{files, options.schedule, clock, *power, log, acting.user,
                                   ScheduleService::Machine{options.state, &adminOnly, notice}});
        log.Info("Carrying out the machine's schedule " + options.schedule + " every " +
                 std::to_string(options.intervalSeconds) + " seconds, its record in " +
                 options.state);
    } else {
        power.emplace(bus.get(), acting.owner);
        // A line of the user's gives way at a minute the machine's acts.
        service.emplace(ScheduleService::Setup{
            files, options.schedule, clock, *power, log, acting.user, std::nullopt,
            ScheduleService::MachineBeside{std::string(kLinuxMachineSchedule),
                                           std::string(kLinuxMachineState), &adminOnly}});
        log.Info("Carrying out " + options.schedule + " for user " + std::to_string(acting.owner) +
                 " every " + std::to_string(options.intervalSeconds) + " seconds");
    }
    service->StopWhen([&] { return !waiter.WaitFor(0); });
    RunServiceLoop(waiter, clock, options.intervalSeconds, 0, [&] { service->Tick(); });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
    const Acting acting = SettleWhoActs(*options);
    if (acting.exitStatus != 0) return acting.exitStatus;
    // A session of its own, so no terminal a user names as the schedule can
    // become the service's (systemd starts it so already; by hand, it may
    // already lead a process group, and stays in the caller's session).
    ::setsid();
    // SIGTERM and SIGINT end the loop at its next wait, never in the middle
    // of a tick, and the tick's wait for another process's lock. Blocked
    // here, before any thread starts, so every thread leaves them to the
    // waiter.
    SignalServiceWaiter waiter;
    if (!waiter.Problem().empty()) {
        std::fprintf(stderr, "tolvane-service: %s\n", waiter.Problem().c_str());
        return 1;
    }
    return Serve(*options, acting, waiter);
}
