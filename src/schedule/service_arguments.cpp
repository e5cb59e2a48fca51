#include "schedule/service_arguments.h"

#include <charconv>

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

}  // namespace tolvane
