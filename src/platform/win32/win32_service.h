#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/service_waiter.h"
#include "platform/system_power.h"
#include "service/no_link_file_system.h"
#include "service/schedule_service.h"
#include "service/service_arguments.h"

namespace tolvane {

// The name the service manager knows it by; the batch files use the same one.
inline constexpr const char* kServiceName = "Tolvane";
// The service that carries out the machine's schedule, for every user.
inline constexpr const char* kMachineServiceName = "TolvaneMachine";
inline constexpr const char* kMachineServiceDisplayName = "Tolvane (machine schedule)";
inline constexpr double kServiceTickSeconds = kWindowsServiceTickSeconds;

// The file --schedule names; without it, rebootdata.kx in the file system's
// schedule folder.
std::string ServiceSchedulePath(const ServiceOptions& options, FileSystem& files);

// Who this program runs as, and who an account is, as the system says.
struct Win32Identity {
    // The SID of the account this process runs as; nothing when it cannot be read.
    std::function<std::optional<std::string>()> runningAs;
    // Whether `sid` names a user's account (not a group, a well-known
    // identity or an unknown one).
    std::function<bool(const std::string& sid)> isUserAccount;
};

// Through the process token and LookupAccountSid.
Win32Identity RealIdentity();

// Whether the program may start as asked: its options for the account it
// runs as (see WindowsServiceStartProblem) and the account --user names.
// `actFor` is then the user whose sessions it acts on: --user, or the
// account it runs as. Empty when it may start; otherwise one line saying why
// not. What stands at the schedule's path is no reason not to start: each
// tick walks to it afresh and refuses (and logs once) what is not a plain
// file, and carries it out again once it is.
std::string ServiceStartProblem(const ServiceOptions& options, const Win32Identity& identity,
                                std::string& actFor);

// The machine's schedule (--machine): the administrators' file and the
// folder of its run state, by default in %ProgramData%\Tolvane.
struct MachineRun {
    std::string schedule;
    ScheduleService::Machine machine;
};

// --schedule and --state, or rebootdata.kx and state in `home`
// (%ProgramData%\Tolvane).
MachineRun MachinePlaces(const ServiceOptions& options, const std::string& home);

// %ProgramData%\Tolvane; empty when the system does not say where ProgramData is.
std::string MachineHome();

// Makes the folder at `path` with the machine folder's permissions
// (kMachineFolderSddl) when it is missing. One that stands there already is
// left as it is, whoever made it: the administrators-only check then judges
// it. Empty when the folder stands; otherwise why not.
std::string MakeMachineFolder(const std::string& path);

// The service is a background task: below normal priority for its processor
// time, so a huge schedule cannot make the machine sluggish. False when the
// system refused.
bool LowerServicePriority();

// The service's loop waits on an event that the stop signals (the control
// handler, Ctrl+C). A wait that fails is taken for a stop: the service could
// not be stopped otherwise.
class StopEventWaiter final : public ServiceWaiter {
  public:
    explicit StopEventWaiter(HANDLE stop) : stop_(stop) {}
    bool WaitFor(double seconds) override;

  private:
    HANDLE stop_;
};

// The console mode: the service's loop in the foreground until Ctrl+C, or
// until the ticks asked for are done. Returns the process's exit code.
// With `machine`, the machine's schedule for every user; with `beside`, a
// user's schedule whose lines give way at the minutes the machine's acts.
int RunConsole(const ServiceOptions& options, FileSystem& files, Clock& clock, SystemPower& power,
               ServiceLog& log, const MachineRun* machine = nullptr,
               const ScheduleService::MachineBeside* beside = nullptr);

// The service mode: hands the main thread to the service manager until the
// service has stopped. Returns the exit code; 1, with a word on standard
// error, when the service manager did not start this process. The options
// come from the program's command line: the registered ImagePath.
// With `machine` (which lives as long as the process), the machine's
// schedule for every user, as the service "TolvaneMachine"; `beside` as for
// RunConsole.
int RunAsService(const ServiceOptions& options, const MachineRun* machine = nullptr,
                 const ScheduleService::MachineBeside* beside = nullptr);

// The state the service reports to the service manager, and what each control
// asks of it. Controls arrive on the dispatcher's thread while the service's
// own thread reports its progress, so every change is made under a lock.
class ServiceControl {
  public:
    // Passes a status to the service manager (SetServiceStatus).
    using Reporter = std::function<BOOL(SERVICE_STATUS&)>;

    ServiceControl(Reporter report, HANDLE stop);

    // Running, taking the stop and shutdown controls.
    void ReportRunning();
    void ReportStopped(DWORD exitCode);
    // The answer to one control from the service manager (HandlerEx).
    DWORD Handle(DWORD control);
    SERVICE_STATUS Status();

  private:
    void Report(DWORD state, DWORD accepted, DWORD waitHint, DWORD exitCode);

    Reporter report_;
    HANDLE stop_;
    std::mutex mutex_;
    SERVICE_STATUS status_{};
};

// Lines on standard error: the local time, "info" or "error", the text.
class ConsoleLog final : public ServiceLog {
  public:
    void Info(const std::string& text) override { Write("info", text); }
    void Error(const std::string& text) override { Write("error", text); }
    void Record(const ActionRecord& record) override;

  private:
    static void Write(const char* kind, const std::string& text);
};

}  // namespace tolvane
