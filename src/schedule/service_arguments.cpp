#include "schedule/service_arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tolvane {

namespace {

// Decimal digits only: no sign, no blanks, no leading "+", within the type.
template <typename Number>
bool ParseWhole(const std::string& text, Number& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && rest == end;
}

}  // namespace

std::optional<LinuxServiceOptions> ParseLinuxServiceArguments(
    const std::vector<std::string>& arguments, std::string& error) {
    LinuxServiceOptions options;
    bool scheduleGiven = false;
    bool intervalGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name != "--schedule" && name != "--user" && name != "--interval") {
            error = "unknown argument: " + name;
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        if (name == "--schedule") {
            // The service starts in /: a relative path would be read there.
            if (scheduleGiven || value.empty() || value.front() != '/' || value.back() == '/') {
                error =
                    "--schedule needs the schedule file's absolute path, once: \"" + value + "\"";
                return std::nullopt;
            }
            options.schedule = value;
            scheduleGiven = true;
        } else if (name == "--user") {
            std::uint32_t uid = 0;
            // (uid_t)-1 means "no change" to the calls that take an identity.
            if (options.user || !ParseWhole(value, uid) || uid == UINT32_MAX) {
                error = "--user needs a user's number (uid), once: \"" + value + "\"";
                return std::nullopt;
            }
            options.user = uid;
        } else {
            // A minute or more between ticks could pass over a whole minute.
            int seconds = 0;
            if (intervalGiven || !ParseWhole(value, seconds) || seconds < 1 || seconds > 59) {
                error = "--interval needs whole seconds from 1 to 59, once: \"" + value + "\"";
                return std::nullopt;
            }
            options.intervalSeconds = seconds;
            intervalGiven = true;
        }
    }
    if (!scheduleGiven) {
        error = "--schedule is required";
        return std::nullopt;
    }
    return options;
}

std::string ServiceUserProblem(std::uint32_t runningAs, const std::optional<std::uint32_t>& user) {
    if (runningAs == 0) {
        if (!user) return "running as root, the service needs --user: the schedule's owner";
        if (*user == 0) return "the service does not act for root; --user must name another user";
        return "";
    }
    if (user && *user != runningAs) {
        return "only root can act for user " + std::to_string(*user) + "; this is user " +
               std::to_string(runningAs);
    }
    return "";
}

// ---- Windows ----

namespace {

bool IsWindowsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Seconds as a decimal number: digits first, so no blank, sign or "inf".
bool ParseSeconds(const std::string& text, double& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    char* rest = nullptr;
    value = std::strtod(text.c_str(), &rest);
    return rest == text.c_str() + text.size() && std::isfinite(value);
}

bool IsServiceAccount(const std::string& sid) {
    // LocalSystem, LocalService, NetworkService.
    return sid == kLocalSystemSid || sid == "S-1-5-19" || sid == "S-1-5-20";
}

}  // namespace

bool IsFullWindowsPath(std::string_view path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsWindowsSeparator(path[2])) {
        return true;
    }
    if (path.size() < 3 || !IsWindowsSeparator(path[0]) || !IsWindowsSeparator(path[1]) ||
        IsWindowsSeparator(path[2])) {
        return false;
    }
    // "\\?\" and "\\.\" lead into the system's device names, not to a share.
    const bool device =
        (path[2] == '?' || path[2] == '.') && (path.size() == 3 || IsWindowsSeparator(path[3]));
    return !device;
}

std::optional<std::string> CanonicalSid(std::string_view text) {
    if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') {
        return std::nullopt;
    }
    std::vector<std::uint32_t> numbers;
    std::size_t start = 2;
    for (;;) {
        const std::size_t end = std::min(text.find('-', start), text.size());
        std::uint32_t number = 0;
        if (!ParseWhole(std::string(text.substr(start, end - start)), number)) return std::nullopt;
        numbers.push_back(number);
        if (end == text.size()) break;
        start = end + 1;
    }
    // Revision, authority, then one to fifteen sub-authorities.
    if (numbers.size() < 3 || numbers.size() > 17 || numbers[0] != 1) return std::nullopt;
    std::string sid = "S";
    for (const std::uint32_t number : numbers) sid += "-" + std::to_string(number);
    return sid;
}

std::optional<WindowsServiceOptions> ParseWindowsServiceArguments(
    const std::vector<std::string>& arguments, std::string& error) {
    WindowsServiceOptions options;
    bool loopOptions = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--help" || argument == "/?") {
            options.help = true;
        } else if (argument == "--print-user") {
            options.printUser = true;
        } else if (argument == "--console") {
            options.console = true;
        } else if (argument == "--ticks") {
            if (!hasValue || !ParseWhole(arguments[++i], options.ticks) || options.ticks < 1) {
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
            if (!IsFullWindowsPath(options.schedule) ||
                IsWindowsSeparator(options.schedule.back())) {
                error =
                    "--schedule needs the schedule file's full path (such as "
                    "C:\\Tolvane\\rebootdata.kx), not \"" +
                    options.schedule + "\".";
                return std::nullopt;
            }
        } else if (argument == "--user") {
            const auto sid = hasValue ? CanonicalSid(arguments[++i]) : std::nullopt;
            if (!sid || options.user) {
                error = "--user needs the user's security identifier (S-1-5-21-...), once" +
                        (hasValue ? ": \"" + arguments[i] + "\"." : std::string("."));
                return std::nullopt;
            }
            options.user = sid;
        } else if (argument == "--interval") {
            // More than 45 seconds could let a minute pass without a tick.
            if (!hasValue || !ParseSeconds(arguments[++i], options.intervalSeconds) ||
                options.intervalSeconds < 0.01 ||
                options.intervalSeconds > kWindowsServiceTickSeconds) {
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
    if (options.printUser && arguments.size() != 1) {
        error = "--print-user goes alone.";
        return std::nullopt;
    }
    return options;
}

std::string WindowsServiceStartProblem(const std::string& runningAs,
                                       const WindowsServiceOptions& options) {
    const std::string self = CanonicalSid(runningAs).value_or(runningAs);
    const bool system = self == kLocalSystemSid;
    if (options.user) {
        if (IsServiceAccount(*options.user)) {
            return "the service does not act for a service account (" + *options.user +
                   "); --user must name a person's account";
        }
        if (!system && *options.user != self) {
            return "only LocalSystem can act for user " + *options.user +
                   "; this program runs as " + self;
        }
    } else if (system) {
        return "running as LocalSystem, the service needs --user: the SID of the user whose "
               "schedule it carries out";
    } else if (!options.console) {
        return "the service needs --user: the SID of the user whose schedule it carries out "
               "(installs.bat gives it)";
    }
    if (!options.console && options.schedule.empty()) {
        return "the service needs --schedule: the full path of its user's schedule file";
    }
    return "";
}

}  // namespace tolvane
