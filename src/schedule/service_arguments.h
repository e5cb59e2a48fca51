#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

}  // namespace tolvane
