#include "platform/win32/win32_service.h"

#include <sddl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/win32/win32_admin_only.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system_power.h"
#include "schedule/action_records.h"
#include "schedule/log_text.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"
#include "schedule/schedule_file.h"
#include "service/service_loop.h"

namespace tolvane {

std::string ServiceSchedulePath(const ServiceOptions& options, FileSystem& files) {
    if (!options.schedule.empty()) return options.schedule;
    return JoinPath(files.ScheduleFolder(), files.PathSeparator(), kScheduleFileName);
}

Win32Identity RealIdentity() {
    Win32Identity identity;
    identity.runningAs = []() -> std::optional<std::string> {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
        alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD length = 0;
        const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
        CloseHandle(token);
        char* text = nullptr;
        if (!read ||
            !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
            return std::nullopt;
        }
        std::string sid = text;
        LocalFree(text);
        return sid;
    };
    identity.isUserAccount = [](const std::string& text) {
        PSID sid = nullptr;
        if (!ConvertStringSidToSidA(text.c_str(), &sid)) return false;
        char name[256], domain[256];
        DWORD nameLength = sizeof name, domainLength = sizeof domain;
        SID_NAME_USE use = SidTypeUnknown;
        const bool found =
            LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use);
        LocalFree(sid);
        return found && use == SidTypeUser;
    };
    return identity;
}

std::string ServiceStartProblem(const ServiceOptions& options, const Win32Identity& identity,
                                std::string& actFor) {
    const auto self = identity.runningAs();
    if (!self) return "the account this program runs as could not be read";
    std::string problem = WindowsServiceStartProblem(*self, options);
    if (!problem.empty()) return problem;
    if (options.machine) {
        actFor = std::string(kRecordAllUsers);
        return "";
    }
    if (options.user && !identity.isUserAccount(*options.user)) {
        return "--user names no user's account on this computer: " + *options.user;
    }
    actFor = options.user.value_or(*self);
    return "";
}

MachineRun MachinePlaces(const ServiceOptions& options, const std::string& home) {
    MachineRun run;
    run.schedule = !options.schedule.empty()
                       ? options.schedule
                       : JoinPath(home, '\\', std::string(kMachineScheduleName));
    run.machine.stateFolder = !options.state.empty()
                                  ? options.state
                                  : JoinPath(home, '\\', std::string(kMachineStateFolderName));
    return run;
}

std::string MachineHome() {
    const std::string programData = KnownFolder(FOLDERID_ProgramData);
    if (programData.empty()) return {};
    return JoinPath(programData, '\\', std::string(kMachineFolderName));
}

std::string MakeMachineFolder(const std::string& path) {
    // Owned by Administrators where the account may give it to them (an
    // administrator, LocalSystem); otherwise by the account itself.
    for (const std::string sddl :
         {std::string(kMachineFolderSddl), std::string(kMachineFolderSddl).substr(5)}) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
                sddl.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
            return "its permissions could not be made: " + ErrorText(GetLastError());
        }
        UniqueLocalMemory descriptor(attributes.lpSecurityDescriptor);
        if (CreateDirectoryA(path.c_str(), &attributes)) return "";
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS) {
            const DWORD attributesOfIt = GetFileAttributesA(path.c_str());
            if (attributesOfIt != INVALID_FILE_ATTRIBUTES &&
                (attributesOfIt & FILE_ATTRIBUTE_DIRECTORY)) {
                return "";
            }
            return "something else than a folder stands there";
        }
        if (error != ERROR_INVALID_OWNER) return ErrorText(error);
    }
    return ErrorText(ERROR_INVALID_OWNER);
}

bool LowerServicePriority() {
    return SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS) != FALSE;
}

bool StopEventWaiter::WaitFor(double seconds) {
    const double milliseconds = std::ceil(seconds * 1000.0);
    const DWORD timeout =
        milliseconds <= 0 ? 0 : static_cast<DWORD>(std::min(milliseconds, double(INFINITE - 1)));
    return WaitForSingleObject(stop_, timeout) == WAIT_TIMEOUT;
}

// ---- Console mode ----

namespace {

HANDLE consoleStop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
    // Ctrl+C, Ctrl+Break, the console closing: end after the current tick.
    SetEvent(consoleStop);
    return TRUE;
}

}  // namespace

int RunConsole(const ServiceOptions& options, FileSystem& files, Clock& clock, SystemPower& power,
               ServiceLog& log, const MachineRun* machine,
               const ScheduleService::MachineBeside* beside) {
    UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop) {
        log.Error("Not started: " + ErrorText(GetLastError()));
        return 1;
    }
    consoleStop = stop.Get();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    if (!LowerServicePriority()) log.Error("Runs at normal priority: " + ErrorText(GetLastError()));
    {
        ScheduleService service(
            machine ? ScheduleService::Setup{files, machine->schedule, clock, power, log,
                                             std::string(kRecordAllUsers), machine->machine}
                    : ScheduleService::Setup{files, ServiceSchedulePath(options, files), clock,
                                             power, log, options.user.value_or(""), std::nullopt,
                                             beside ? std::optional(*beside) : std::nullopt});
        log.Info(std::string("Started; carrying out ") +
                 (machine ? "the machine's schedule " : "") + service.SchedulePath());
        // The schedule may read a test's clock; the intervals are real time.
        Win32Clock loopClock;
        StopEventWaiter waiter(stop.Get());
        service.StopWhen([&] { return !waiter.WaitFor(0); });
        RunServiceLoop(waiter, loopClock, options.intervalSeconds, options.ticks,
                       [&] { service.Tick(); });
        log.Info("Stopped.");
    }
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    consoleStop = nullptr;
    return 0;
}

// ---- Service mode ----

ServiceControl::ServiceControl(Reporter report, HANDLE stop)
    : report_(std::move(report)), stop_(stop) {
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = SERVICE_START_PENDING;
}

void ServiceControl::Report(DWORD state, DWORD accepted, DWORD waitHint, DWORD exitCode) {
    status_.dwCurrentState = state;
    status_.dwControlsAccepted = accepted;
    status_.dwWaitHint = waitHint;
    status_.dwWin32ExitCode = exitCode;
    status_.dwCheckPoint = state == SERVICE_STOP_PENDING ? status_.dwCheckPoint + 1 : 0;
    SERVICE_STATUS copy = status_;
    report_(copy);
}

void ServiceControl::ReportRunning() {
    std::lock_guard lock(mutex_);
    // A stop that came first wins: the service is on its way out.
    if (status_.dwCurrentState != SERVICE_START_PENDING) return;
    Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN, 0, NO_ERROR);
}

void ServiceControl::ReportStopped(DWORD exitCode) {
    std::lock_guard lock(mutex_);
    Report(SERVICE_STOPPED, 0, 0, exitCode);
}

DWORD ServiceControl::Handle(DWORD control) {
    std::lock_guard lock(mutex_);
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            if (status_.dwCurrentState == SERVICE_STOPPED) return NO_ERROR;
            // A tick takes far less than this; the loop ends right after it.
            Report(SERVICE_STOP_PENDING, 0, 5000, NO_ERROR);
            SetEvent(stop_);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

SERVICE_STATUS ServiceControl::Status() {
    std::lock_guard lock(mutex_);
    return status_;
}

namespace {

// What the service's thread and the control handler share; it lives until
// the process ends, so a late control never finds it gone.
struct ServiceProcess {
    ServiceOptions options;
    const MachineRun* machine = nullptr;
    const ScheduleService::MachineBeside* beside = nullptr;
    UniqueHandle stop;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    std::unique_ptr<ServiceControl> control;
};
ServiceProcess* serviceProcess = nullptr;

DWORD WINAPI OnServiceControl(DWORD control, DWORD, LPVOID, LPVOID context) {
    return static_cast<ServiceProcess*>(context)->control->Handle(control);
}

// Its arguments are the ones StartService passed, if any; the ImagePath's own
// (--schedule) reach only main(), which keeps them in `options`.
void WINAPI ServiceMain(DWORD, LPSTR*) {
    ServiceProcess& process = *serviceProcess;
    process.control = std::make_unique<ServiceControl>(
        [&process](SERVICE_STATUS& status) {
            return SetServiceStatus(process.statusHandle, &status);
        },
        process.stop.Get());
    process.statusHandle = RegisterServiceCtrlHandlerExA(
        process.options.machine ? kMachineServiceName : kServiceName, OnServiceControl, &process);
    if (!process.statusHandle) return;  // the service manager cannot be told anything

    Win32EventLog log;
    if (!LowerServicePriority()) log.Error("Runs at normal priority: " + ErrorText(GetLastError()));
    const ServiceOptions& options = process.options;
    // main() made the machine's folders and checked --user before it
    // started the dispatcher.
    Win32FileNodes nodes;
    NoLinkFileSystem files(
        nodes, Win32FileSystem().ProgramFolder(),
        FolderOf(process.machine ? process.machine->schedule : options.schedule, "\\/"), &log);
    Win32Clock clock;
    Win32SystemPower power = options.machine ? Win32SystemPower(Win32SystemPower::EveryUser{})
                                             : Win32SystemPower(options.user.value_or(""));
    {
        ScheduleService service(
            process.machine
                ? ScheduleService::Setup{files, process.machine->schedule, clock, power, log,
                                         std::string(kRecordAllUsers), process.machine->machine}
                : ScheduleService::Setup{
                      files, ServiceSchedulePath(options, files), clock, power, log,
                      options.user.value_or(""), std::nullopt,
                      process.beside ? std::optional(*process.beside) : std::nullopt});
        process.control->ReportRunning();
        log.Info(std::string("Started; carrying out ") +
                 (process.machine ? "the machine's schedule " : "") + service.SchedulePath());
        StopEventWaiter waiter(process.stop.Get());
        service.StopWhen([&] { return !waiter.WaitFor(0); });
        RunServiceLoop(waiter, clock, kServiceTickSeconds, 0, [&] { service.Tick(); });
        log.Info("Stopped.");
    }
    process.control->ReportStopped(NO_ERROR);
}

}  // namespace

int RunAsService(const ServiceOptions& options, const MachineRun* machine,
                 const ScheduleService::MachineBeside* beside) {
    static ServiceProcess process;
    process.options = options;
    process.machine = machine;
    process.beside = beside;
    process.stop.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!process.stop) {
        std::fprintf(stderr, "%s\n", ErrorText(GetLastError()).c_str());
        return 1;
    }
    serviceProcess = &process;
    // A service of its own process: the name here is not looked at.
    std::string name = options.machine ? kMachineServiceName : kServiceName;
    SERVICE_TABLE_ENTRYA table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            std::fputs(kWindowsServiceUsage, stderr);
        } else {
            std::fprintf(stderr, "The service could not start: %s\n", ErrorText(error).c_str());
        }
        return 1;
    }
    return 0;
}

// ---- Logs ----

// One line on standard error, stamped with the local time; `text` is safe
// to print already.
static void WriteStamped(const char* kind, const std::string& text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::fprintf(stderr, "%04u-%02u-%02u %02u:%02u:%02u %s: %s\n", now.wYear, now.wMonth, now.wDay,
                 now.wHour, now.wMinute, now.wSecond, kind, text.c_str());
    std::fflush(stderr);
}

void ConsoleLog::Record(const ActionRecord& record) {
    // The facts are made safe one by one; the whole is one line already.
    WriteStamped(record.error ? "error" : "info", RecordText(record, "; "));
}

void ConsoleLog::Write(const char* kind, const std::string& text) {
    WriteStamped(kind, EscapeForLog(text, LogBytes::CodePage));
}

}  // namespace tolvane
