#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// What a service program was asked to do on its command line. Both programs
// read theirs the same way; each takes only some of these options.
struct ServiceOptions {
    bool help = false;       // --help (and /? on Windows): the usage, and end
    bool version = false;    // --version (Linux): the program's version, and end
    bool printUser = false;  // --print-user (Windows): say whose program this is, and end
    // --print-schedule (Windows): the schedule file the window keeps for the
    // user running this, and end.
    bool printSchedule = false;
    bool canInstall = false;  // --can-install (Windows): whether this copy may be installed
    bool install = false;  // --install (Windows): register the service, with --user and --schedule
    bool remove = false;   // --remove (Windows): stop and delete the service
    bool console =
        false;      // --console (Windows): the loop in the foreground, the log on standard error
    int ticks = 0;  // --ticks (Windows): stop after this many ticks; 0: until stopped
    double intervalSeconds = 45.0;
    // --schedule: the full path of the schedule file; empty when not given.
    std::string schedule;
    // --user: the one user whose schedule and sessions these are, as the
    // program writes a user (a uid on Linux, a SID on Windows).
    std::optional<std::string> user;
    bool machine = false;  // --machine: the machine's schedule, for every user
    std::string state;     // --state: the machine's state folder; empty when not given
    // --check FILE: say which lines of that schedule can never run, and end.
    std::optional<std::string> check;
};

// The exit status of a service program that refuses its command line.
inline constexpr int kServiceRefused = 2;
// The exit status of tolvane-service.exe asked to install or remove the
// service from a folder that others than administrators could change.
inline constexpr int kServiceNotAllUsers = 3;
// The exit status of tolvane-service.exe --install or --remove that the
// service manager refused for want of administrator rights.
inline constexpr int kServiceNeedsRights = 4;

// The opening both service programs share, before any step of their
// platform's: the arguments after the program's name read with `parse`, a
// refusal handed to `refuse` (which writes why where the platform's user will
// see it), and --help answered with `usage` through `show` (standard output
// when none is given; stdio, not streams, keeps the root service small). Returns the options to
// go on with; nothing when the program ends here, with `exitStatus` to end
// with (kServiceRefused, or 0 after the usage).
template <typename Options>
std::optional<Options> OpenServiceProgram(
    const std::vector<std::string>& arguments,
    std::optional<Options> (*parse)(const std::vector<std::string>&, std::string&),
    const char* usage, const std::function<void(const std::string& why)>& refuse, int& exitStatus,
    const std::function<void(const char* text)>& show = {}) {
    std::string error;
    auto options = parse(arguments, error);
    if (!options) {
        refuse(error);
        exitStatus = kServiceRefused;
        return std::nullopt;
    }
    if (options->help) {
        if (show) {
            show(usage);
        } else {
            std::fputs(usage, stdout);
        }
        exitStatus = 0;
        return std::nullopt;
    }
    return options;
}

// ---- Linux: tolvane-service ----

// What the Linux service program was asked to do on its command line:
//   tolvane-service --schedule FILE [--user UID] [--interval SECONDS]
//   tolvane-service --machine [--schedule FILE] [--state DIR] [--interval SECONDS]
//   tolvane-service --check FILE
//   tolvane-service --help | --version
struct LinuxServiceOptions {
    bool help = false;
    bool version = false;
    // A schedule to check (any path, as the shell names it), and nothing else.
    std::optional<std::string> check;
    // Absolute path of the schedule file: the user's, or the machine's
    // (kLinuxMachineSchedule unless --schedule names another).
    std::string schedule;
    std::optional<std::uint32_t> user;  // whose file and sessions these are
    int intervalSeconds = 45;
    // The machine's schedule, for every user, with its state folder
    // (kLinuxMachineState unless --state names another).
    bool machine = false;
    std::string state;
};

inline constexpr const char* kLinuxServiceUsage =
    "usage: tolvane-service --schedule FILE [--user UID] [--interval SECONDS]\n"
    "       tolvane-service --machine [--schedule FILE] [--state DIR] [--interval SECONDS]\n"
    "       tolvane-service --check FILE\n"
    "       tolvane-service --help | --version\n"
    "  FILE      the schedule file's absolute path (for the machine,\n"
    "            /etc/tolvane/rebootdata.kx when not given); for --check, any path\n"
    "  --check   prints each line of FILE that can never run, and why; exits 0 when\n"
    "            every line can run, 1 when some cannot, 2 when FILE cannot be read\n"
    "  UID       the user whose schedule and sessions these are; required as root\n"
    "  DIR       where the machine's schedule keeps what has run (/var/lib/tolvane)\n"
    "  SECONDS   whole seconds between checks of the schedule, 1 to 59 (45)\n"
    "  --machine carries out the administrators' schedule for the whole machine,\n"
    "            as root only\n";

// The arguments after the program's name. Nothing, with one line saying why in
// `error`, when they are not what the service takes. --help or --version
// among arguments it takes asks for that alone; --check goes alone;
// otherwise --schedule is required, except with --machine; --state goes
// with --machine alone, and --user never does.
std::optional<LinuxServiceOptions> ParseLinuxServiceArguments(
    const std::vector<std::string>& arguments, std::string& error);

// Whether the machine's schedule may run: it acts on every user's sessions,
// and only the machine's own administrator (root) may do that; a user's
// process asking for it is refused at its start rather than at every tick.
// Empty when running may go on.
std::string MachineServiceProblem(std::uint32_t runningAs);

// Whose rights the service may take for its files, and whose sessions it may
// act on: the user named at installation. Root never acts for itself (that
// would make every file operation root's), and a program that is not root
// cannot act for anybody but itself. Empty when running may go on.
std::string ServiceUserProblem(std::uint32_t runningAs, const std::optional<std::uint32_t>& user);

// ---- Windows: tolvane-service.exe ----

// Shorter than a minute, so no minute of the schedule passes without a tick.
inline constexpr double kWindowsServiceTickSeconds = 45.0;

// The account Windows services run as by default, with every right.
inline constexpr const char* kLocalSystemSid = "S-1-5-18";

// What tolvane-service.exe was asked to do on its command line: --schedule
// empty for rebootdata.kx beside the program; --user the security identifier
// (SID) of the one user whose schedule and sessions these are, as Windows
// writes it ("S-1-5-21-...").
using WindowsServiceOptions = ServiceOptions;

inline constexpr const char* kWindowsServiceUsage =
    "tolvane-service.exe carries out Tolvane's schedule as the Windows service\n"
    "\"Tolvane\", even when nobody is logged on. Install it with installs.bat and\n"
    "remove it with removeit.bat, from the all-users installation (Program Files).\n"
    "\n"
    "  tolvane-service.exe --user SID --schedule FILE\n"
    "      the service itself, started by the service manager;\n"
    "  tolvane-service.exe --console [--user SID] [--schedule FILE] [--ticks N]\n"
    "                      [--interval SECONDS]\n"
    "      runs the schedule in this console until Ctrl+C (or for N ticks),\n"
    "      checking it every 45 seconds or every SECONDS (at most 45);\n"
    "  tolvane-service.exe --print-user | --print-schedule\n"
    "      writes the SID of the user running it, or the schedule file the window\n"
    "      keeps for that user (installs.bat records both);\n"
    "  tolvane-service.exe --can-install\n"
    "      says whether this copy stands where only administrators can change it;\n"
    "  tolvane-service.exe --install --user SID --schedule FILE | --remove\n"
    "      registers and starts the service for that user, or stops and deletes it\n"
    "      (as administrator, from the all-users installation only);\n"
    "  tolvane-service.exe --machine [--console] [--schedule FILE] [--state DIR] ...\n"
    "  tolvane-service.exe --install --machine | --remove --machine\n"
    "      the machine's schedule (%ProgramData%\\Tolvane\\rebootdata.kx, its run\n"
    "      state in DIR, %ProgramData%\\Tolvane\\state), for every user, refused\n"
    "      while others than administrators can change it; its service\n"
    "      \"TolvaneMachine\" runs as LocalSystem;\n"
    "  tolvane-service.exe --check FILE\n"
    "      says which lines of the schedule FILE (any path) can never run, for any\n"
    "      user; exits with 0 when every line can run, 1 when some cannot, 2 when\n"
    "      FILE cannot be read.\n"
    "\n"
    "FILE is the schedule file's full path (C:\\...\\rebootdata.kx); without it,\n"
    "rebootdata.kx beside tolvane-service.exe. SID is the security identifier of\n"
    "the one user whose schedule it is (S-1-5-21-...): log off and lock act on that\n"
    "user's sessions only. Running as LocalSystem it needs one; any other account\n"
    "acts only for itself.\n";

// The arguments after the program's name. Nothing, with one line saying why in
// `error`, when they ask for something the program does not do. --ticks and
// --interval go with --console; --print-user, --print-schedule,
// --can-install, --remove and --check alone; --install with --user and
// --schedule only; --machine (with --state) never with --user, and --install
// and --remove take it as their only companion; --help or /? among arguments
// it takes asks for the usage alone.
std::optional<WindowsServiceOptions> ParseWindowsServiceArguments(
    const std::vector<std::string>& arguments, std::string& error);

// A path that names the same file whatever the working folder is: "C:\..."
// or "\\server\share\...". Not "\..." (the current drive), "C:..." (that
// drive's current folder), nor the device paths "\\?\..." and "\\.\...".
bool IsFullWindowsPath(std::string_view path);

// A security identifier as Windows writes it ("S-1-5-21-1004336348-1177238915-
// 682003330-1001"): revision 1, an authority, one to fifteen 32-bit
// sub-authorities, in decimal. Nothing for any other text.
std::optional<std::string> CanonicalSid(std::string_view text);

// Whether the program may run as asked, given the account it runs as (a SID).
// LocalSystem acts for the one user named at installation, never for itself
// or another service account; an installed service (not --console) always
// names its user and its schedule file; any other account can act only for
// itself. The machine's schedule (--machine) runs for any account, with its
// rights. Empty when running may go on; otherwise one line saying why not.
std::string WindowsServiceStartProblem(const std::string& runningAs,
                                       const WindowsServiceOptions& options);

}  // namespace tolvane
