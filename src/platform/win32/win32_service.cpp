#include "platform/win32/win32_service.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system_power.h"
#include "schedule/schedule_file.h"

namespace tolvane {

const char* const kServiceUsage =
    "tolvane-service.exe carries out Tolvane's schedule as the Windows service\n"
    "\"Tolvane\", even when nobody is logged on. Install it with installs.bat and\n"
    "remove it with removeit.bat, as administrator.\n"
    "\n"
    "  tolvane-service.exe [--schedule FILE]\n"
    "      the service itself, started by the service manager;\n"
    "  tolvane-service.exe --console [--schedule FILE] [--ticks N] [--interval SECONDS]\n"
    "      runs the schedule in this console until Ctrl+C (or for N ticks),\n"
    "      checking it every 45 seconds or every SECONDS (at most 45).\n"
    "\n"
    "FILE is the schedule file's full path (C:\\...\\rebootdata.kx); without it,\n"
    "rebootdata.kx beside tolvane-service.exe.\n";

namespace {

bool ParseNumber(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && rest == end;
}

bool ParseNumber(const std::string& text, double& value) {
    char* rest = nullptr;
    value = std::strtod(text.c_str(), &rest);
    return !text.empty() && rest == text.c_str() + text.size() && std::isfinite(value);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

bool IsFullPath(std::string_view path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           !IsSeparator(path[2]);
}

std::string ScheduleFolderOf(const std::string& schedulePath) {
    const auto cut = schedulePath.find_last_of("\\/");
    if (cut == std::string::npos) return {};
    // At a drive's root keep "C:\" whole, as the program's folder does.
    if (cut == 2 && schedulePath[1] == ':') return schedulePath.substr(0, 3);
    return schedulePath.substr(0, cut);
}

std::optional<ServiceOptions> ParseServiceArguments(const std::vector<std::string>& arguments,
                                                    std::string& error) {
    ServiceOptions options;
    bool loopOptions = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--help" || argument == "/?") {
            options.help = true;
        } else if (argument == "--console") {
            options.console = true;
        } else if (argument == "--ticks") {
            if (!hasValue || !ParseNumber(arguments[++i], options.ticks) || options.ticks < 1) {
                error = "--ticks needs a whole number of at least 1.";
                return std::nullopt;
            }
            loopOptions = true;
        } else if (argument == "--schedule") {
            // The service starts in System32: a relative path would be read
            // there, not where the window keeps the file.
            if (!hasValue || !options.schedule.empty()) {
                error = "--schedule needs the schedule file's full path, once.";
                return std::nullopt;
            }
            options.schedule = arguments[++i];
            if (!IsFullPath(options.schedule) || IsSeparator(options.schedule.back())) {
                error =
                    "--schedule needs the schedule file's full path (such as "
                    "C:\\Tolvane\\rebootdata.kx), not \"" +
                    options.schedule + "\".";
                return std::nullopt;
            }
        } else if (argument == "--interval") {
            // More than 45 seconds could let a minute pass without a tick.
            if (!hasValue || !ParseNumber(arguments[++i], options.intervalSeconds) ||
                options.intervalSeconds < 0.01 || options.intervalSeconds > kServiceTickSeconds) {
                error = "--interval needs a number of seconds from 0.01 to 45.";
                return std::nullopt;
            }
            loopOptions = true;
        } else {
            error = "Unknown argument: " + argument;
            return std::nullopt;
        }
    }
    if (loopOptions && !options.console) {
        error = "--ticks and --interval go with --console.";
        return std::nullopt;
    }
    return options;
}

std::string ServiceSchedulePath(const ServiceOptions& options, FileSystem& files) {
    if (!options.schedule.empty()) return options.schedule;
    return JoinPath(files.ScheduleFolder(), files.PathSeparator(), kScheduleFileName);
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
    Win32FileSystem files(ScheduleFolderOf(process.options.schedule));
    Win32Clock clock;
    Win32SystemPower power;
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
