#include "platform/win32/win32_service.h"

#include <sddl.h>

#include <cmath>
#include <cstdio>
#include <exception>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system_power.h"
#include "schedule/schedule_file.h"

namespace tolvane {

const char* const kServiceUsage =
    "tolvane-service.exe carries out Tolvane's schedule as the Windows service\n"
    "\"Tolvane\", even when nobody is logged on. Install it with installs.bat and\n"
    "remove it with removeit.bat, as administrator.\n"
    "\n"
    "  tolvane-service.exe --user SID --schedule FILE\n"
    "      the service itself, started by the service manager;\n"
    "  tolvane-service.exe --console [--user SID] [--schedule FILE] [--ticks N]\n"
    "                      [--interval SECONDS]\n"
    "      runs the schedule in this console until Ctrl+C (or for N ticks),\n"
    "      checking it every 45 seconds or every SECONDS (at most 45);\n"
    "  tolvane-service.exe --print-user\n"
    "      writes the SID of the user running it (installs.bat records it).\n"
    "\n"
    "FILE is the schedule file's full path (C:\\...\\rebootdata.kx); without it,\n"
    "rebootdata.kx beside tolvane-service.exe. SID is the security identifier of\n"
    "the one user whose schedule it is (S-1-5-21-...): log off and lock act on that\n"
    "user's sessions only. Running as LocalSystem it needs one; any other account\n"
    "acts only for itself.\n";

std::string ScheduleFolderOf(const std::string& schedulePath) {
    const auto cut = schedulePath.find_last_of("\\/");
    if (cut == std::string::npos) return {};
    // At a drive's root keep "C:\" whole, as the program's folder does.
    if (cut == 2 && schedulePath[1] == ':') return schedulePath.substr(0, 3);
    return schedulePath.substr(0, cut);
}

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
                                NoLinkFileSystem& files, std::string& actFor) {
    const auto self = identity.runningAs();
    if (!self) return "the account this program runs as could not be read";
    std::string problem = WindowsServiceStartProblem(*self, options);
    if (!problem.empty()) return problem;
    if (options.user && !identity.isUserAccount(*options.user)) {
        return "--user names no user's account on this computer: " + *options.user;
    }
    // A folder, a link or a second name where the schedule should be is a
    // mistake or an attack; either way nothing is carried out.
    problem = files.Refusal(ServiceSchedulePath(options, files));
    if (!problem.empty()) return problem;
    actFor = options.user.value_or(*self);
    return "";
}

void RunTicks(ScheduleService& service, ServiceLog& log, HANDLE stop, double intervalSeconds,
              int ticks) {
    const auto interval = static_cast<ULONGLONG>(std::llround(intervalSeconds * 1000.0));
    ULONGLONG next = GetTickCount64();
    for (int done = 0;;) {
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return;
        try {
            service.Tick();
        } catch (const std::exception& e) {
            log.Error(std::string("The schedule could not be carried out: ") + e.what());
        }
        if (ticks != 0 && ++done >= ticks) return;
        // Counted from the first tick, so a slow tick does not push the next
        // one later; after a long pause (sleep) it starts counting afresh.
        next += interval;
        const ULONGLONG now = GetTickCount64();
        if (next < now) next = now;
        if (WaitForSingleObject(stop, static_cast<DWORD>(next - now)) == WAIT_OBJECT_0) return;
    }
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
               ServiceLog& log) {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop) {
        log.Error("Not started: " + ErrorText(GetLastError()));
        return 1;
    }
    consoleStop = stop;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    {
        ScheduleService service(files, ServiceSchedulePath(options, files), clock, power, log);
        log.Info("Started; carrying out " + service.SchedulePath());
        RunTicks(service, log, stop, options.intervalSeconds, options.ticks);
        log.Info("Stopped.");
    }
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    consoleStop = nullptr;
    CloseHandle(stop);
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
    HANDLE stop = nullptr;
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
        process.stop);
    process.statusHandle = RegisterServiceCtrlHandlerExA(kServiceName, OnServiceControl, &process);
    if (!process.statusHandle) return;  // the service manager cannot be told anything

    Win32EventLog log;
    Win32FileNodes nodes;
    NoLinkFileSystem files(nodes, Win32FileSystem().ProgramFolder(),
                           ScheduleFolderOf(process.options.schedule), &log);
    Win32Clock clock;
    // main() started the dispatcher only once --user was checked.
    Win32SystemPower power(process.options.user.value_or(""));
    {
        ScheduleService service(files, ServiceSchedulePath(process.options, files), clock, power,
                                log);
        process.control->ReportRunning();
        log.Info("Started; carrying out " + service.SchedulePath());
        RunTicks(service, log, process.stop, kServiceTickSeconds, 0);
        log.Info("Stopped.");
    }
    process.control->ReportStopped(NO_ERROR);
}

}  // namespace

int RunAsService(const ServiceOptions& options) {
    static ServiceProcess process;
    process.options = options;
    process.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!process.stop) {
        std::fprintf(stderr, "%s\n", ErrorText(GetLastError()).c_str());
        return 1;
    }
    serviceProcess = &process;
    char name[] = "Tolvane";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            std::fputs(kServiceUsage, stderr);
        } else {
            std::fprintf(stderr, "The service could not start: %s\n", ErrorText(error).c_str());
        }
        return 1;
    }
    return 0;
}

// ---- Logs ----

void ConsoleLog::Write(const char* kind, const std::string& text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::fprintf(stderr, "%04u-%02u-%02u %02u:%02u:%02u %s: %s\n", now.wYear, now.wMonth, now.wDay,
                 now.wHour, now.wMinute, now.wSecond, kind, text.c_str());
    std::fflush(stderr);
}

Win32EventLog::Win32EventLog() {
    // Registered once; the handle lives as long as any copy of the writer.
    std::shared_ptr<void> source(RegisterEventSourceA(nullptr, kServiceName), [](HANDLE h) {
        if (h) DeregisterEventSource(h);
    });
    write_ = [source](WORD type, DWORD eventId, const std::string& text) {
        if (!source) return;
        const char* strings[] = {text.c_str()};
        ReportEventA(source.get(), type, 0, eventId, nullptr, 1, 0, strings, nullptr);
    };
}

}  // namespace tolvane
