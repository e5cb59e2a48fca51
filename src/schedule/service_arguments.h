#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// What the Linux service program was asked to do on its command line:
//   tolvane-service --schedule FILE [--user UID] [--interval SECONDS]
struct LinuxServiceOptions {
    std::string schedule;               // absolute path of the user's schedule file
    std::optional<std::uint32_t> user;  // whose file and sessions these are
    int intervalSeconds = 45;
};

inline constexpr const char* kLinuxServiceUsage =
    "usage: tolvane-service --schedule FILE [--user UID] [--interval SECONDS]\n"
    "       tolvane-service --help | --version\n"
    "  FILE      the schedule file's absolute path\n"
    "  UID       the user whose schedule and sessions these are; required as root\n"
    "  SECONDS   whole seconds between checks of the schedule, 1 to 59 (45)\n";

// The arguments after the program's name. Nothing, with one line saying why in
// `error`, when they are not exactly what the service takes.
std::optional<LinuxServiceOptions> ParseLinuxServiceArguments(
    const std::vector<std::string>& arguments, std::string& error);

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

// What tolvane-service.exe was asked to do on its command line.
struct WindowsServiceOptions {
    bool help = false;
    bool printUser = false;  // --print-user: say whose program this is, and end
    bool console = false;    // the loop in the foreground, the log on standard error
    int ticks = 0;           // stop after this many ticks; 0: until stopped
    double intervalSeconds = kWindowsServiceTickSeconds;
    // --schedule: the full path of the schedule file; empty for rebootdata.kx
    // beside the program.
    std::string schedule;
    // --user: the security identifier (SID) of the one user whose schedule
    // and sessions these are, as Windows writes it ("S-1-5-21-...").
    std::optional<std::string> user;
};

// The arguments after the program's name. Nothing, with one line saying why in
// `error`, when they ask for something the program does not do.
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
// itself. Empty when running may go on; otherwise one line saying why not.
std::string WindowsServiceStartProblem(const std::string& runningAs,
                                       const WindowsServiceOptions& options);

}  // namespace tolvane
