#include "service/service_arguments.h"

#include "schedule/machine_schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

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

// Seconds as a decimal number: digits first, so no blank, sign or "inf".
bool ParseSeconds(const std::string& text, double& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    char* rest = nullptr;
    value = std::strtod(text.c_str(), &rest);
    return rest == text.c_str() + text.size() && std::isfinite(value);
}

bool IsWindowsSeparator(char c) {
    return c == '\\' || c == '/';
}

// ---- One command line for both services ----

enum class Option {
    Help,
    Version,
    PrintUser,
    PrintSchedule,
    CanInstall,
    Install,
    Remove,
    Console,
    Ticks,
    Interval,
    Schedule,
    User,
    Machine,
    State,
    Check
};

bool TakesValue(Option option) {
    return option == Option::Ticks || option == Option::Interval || option == Option::Schedule ||
           option == Option::User || option == Option::State || option == Option::Check;
}

enum class Refusal {
    Unknown,              // `text` is the argument
    NoValue,              // `text` is the option's name
    Repeated,             // `text` is the second value
    Invalid,              // `text` is the value
    NoSchedule,           // and the program needs one
    LoopWithoutConsole,   // --ticks or --interval without --console
    NotAlone,             // `option` goes alone
    InstallNeeds,         // --install without --user and --schedule, or with others
    StateWithoutMachine,  // --state for a user's schedule
    MachineWithUser,      // --machine acts for everybody, never for one user
};

// How one service program reads its command line, and what it says when it
// cannot.
struct CommandLineRules {
    // The options it takes, by the names it takes them by.
    std::vector<std::pair<std::string_view, Option>> names;
    // --schedule: what names the same file from any working folder; a path
    // ending in a separator names a folder.
    bool (*isFullPath)(std::string_view path);
    std::string_view separators;
    // --user: the user as the program writes it; nothing when the text names none.
    std::optional<std::string> (*readUser)(const std::string& text);
    // --interval: the seconds it takes, and whether only whole ones.
    double minSeconds;
    double maxSeconds;
    double defaultSeconds;
    bool wholeSeconds;
    // Without --schedule it has no schedule to carry out.
    bool needsSchedule;
    // --ticks and --interval shape the console's loop; the installed service
    // keeps its own pace.
    bool loopOptionsNeedConsole;
    // The one line saying why the arguments are refused; `option` is the one
    // it concerns, where there is one.
    std::string (*refusal)(Refusal why, Option option, const std::string& text);
};

std::optional<ServiceOptions> ParseServiceArguments(const std::vector<std::string>& arguments,
                                                    const CommandLineRules& rules,
                                                    std::string& error) {
    ServiceOptions options;
    options.intervalSeconds = rules.defaultSeconds;
    std::vector<Option> given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto named = std::find_if(rules.names.begin(), rules.names.end(),
                                        [&](const auto& name) { return name.first == argument; });
        if (named == rules.names.end()) {
            error = rules.refusal(Refusal::Unknown, Option::Help, argument);
            return std::nullopt;
        }
        const Option option = named->second;
        const bool repeated = std::find(given.begin(), given.end(), option) != given.end();
        given.push_back(option);
        if (!TakesValue(option)) {
            // A flag said twice asks for the same thing.
            if (option == Option::Help) options.help = true;
            if (option == Option::Version) options.version = true;
            if (option == Option::PrintUser) options.printUser = true;
            if (option == Option::PrintSchedule) options.printSchedule = true;
            if (option == Option::CanInstall) options.canInstall = true;
            if (option == Option::Install) options.install = true;
            if (option == Option::Remove) options.remove = true;
            if (option == Option::Console) options.console = true;
            if (option == Option::Machine) options.machine = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = rules.refusal(Refusal::NoValue, option, argument);
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        // Two values for one option: which one was meant is anybody's guess.
        if (repeated) {
            error = rules.refusal(Refusal::Repeated, option, value);
            return std::nullopt;
        }
        bool valid = false;
        switch (option) {
            case Option::Schedule:
                // A service starts in a folder of the system's: a relative
                // path would be read there, not where the window keeps it.
                valid = rules.isFullPath(value) &&
                        rules.separators.find(value.back()) == std::string_view::npos;
                options.schedule = value;
                break;
            case Option::State:
                valid = rules.isFullPath(value) &&
                        rules.separators.find(value.back()) == std::string_view::npos;
                options.state = value;
                break;
            case Option::User:
                options.user = rules.readUser(value);
                valid = options.user.has_value();
                break;
            case Option::Check:
                // Run by hand or by a tool from its own folder: any path the
                // shell can name, relative ones too.
                options.check = value;
                valid = !value.empty();
                break;
            case Option::Interval:
                // Longer than the platform allows could let a minute pass without a tick.
                if (rules.wholeSeconds) {
                    int seconds = 0;
                    valid = ParseWhole(value, seconds);
                    options.intervalSeconds = seconds;
                } else {
                    valid = ParseSeconds(value, options.intervalSeconds);
                }
                valid = valid && options.intervalSeconds >= rules.minSeconds &&
                        options.intervalSeconds <= rules.maxSeconds;
                break;
            default:  // --ticks
                valid = ParseWhole(value, options.ticks) && options.ticks >= 1;
                break;
        }
        if (!valid) {
            error = rules.refusal(Refusal::Invalid, option, value);
            return std::nullopt;
        }
    }
    // Help or the version is all that is done: what else was asked for need
    // not fit together.
    if (options.help || options.version) return options;
    const auto was = [&](Option option) {
        return std::find(given.begin(), given.end(), option) != given.end();
    };
    std::optional<Refusal> refused;
    Option concerned = Option::Help;
    // These answer one question or do one thing; what else was asked could
    // only be a mistake.
    for (const Option alone : {Option::PrintUser, Option::PrintSchedule, Option::CanInstall,
                               Option::Remove, Option::Check}) {
        // The machine's service is removed as the user's is, with --machine.
        const bool withMachine = alone == Option::Remove && options.machine;
        if (was(alone) && given.size() != (withMachine ? 2u : 1u)) {
            refused = Refusal::NotAlone;
            concerned = alone;
        }
    }
    if (refused) {
        // said above
    } else if (options.install &&
               (options.machine ? given.size() != 2
                                : !was(Option::User) || !was(Option::Schedule) || given.size() != 3)) {
        refused = Refusal::InstallNeeds;
    } else if (rules.loopOptionsNeedConsole && (was(Option::Ticks) || was(Option::Interval)) &&
               !options.console) {
        refused = Refusal::LoopWithoutConsole;
    } else if (was(Option::State) && !options.machine) {
        refused = Refusal::StateWithoutMachine;
    } else if (options.machine && was(Option::User)) {
        refused = Refusal::MachineWithUser;
    } else if (rules.needsSchedule && !was(Option::Schedule) && !was(Option::Check) &&
               !options.machine) {
        refused = Refusal::NoSchedule;
    }
    if (refused) {
        error = rules.refusal(*refused, concerned, "");
        return std::nullopt;
    }
    return options;
}

// ---- Linux ----

std::string LinuxRefusal(Refusal why, Option option, const std::string& text) {
    switch (why) {
        case Refusal::Unknown:
            return "unknown argument: " + text;
        case Refusal::NoValue:
            return text + " needs a value";
        case Refusal::NoSchedule:
            return "--schedule is required (or --machine)";
        case Refusal::StateWithoutMachine:
            return "--state goes with --machine";
        case Refusal::MachineWithUser:
            return "--machine acts for every user: no --user";
        case Refusal::Repeated:
        case Refusal::Invalid:
            if (option == Option::Schedule) {
                return "--schedule needs the schedule file's absolute path, once: \"" + text + "\"";
            }
            if (option == Option::User) {
                return "--user needs a user's number (uid), once: \"" + text + "\"";
            }
            if (option == Option::State) {
                return "--state needs a folder's absolute path, once: \"" + text + "\"";
            }
            if (option == Option::Check) return "--check needs the schedule file to check, once";
            return "--interval needs whole seconds from 1 to 59, once: \"" + text + "\"";
        case Refusal::NotAlone:
            return "--check FILE goes alone";
        default:  // the options that lead to these are Windows' alone
            return "unknown argument";
    }
}

const CommandLineRules kLinuxRules = {
    .names = {{"--help", Option::Help},
              {"--version", Option::Version},
              {"--schedule", Option::Schedule},
              {"--user", Option::User},
              {"--interval", Option::Interval},
              {"--machine", Option::Machine},
              {"--state", Option::State},
              {"--check", Option::Check}},
    .isFullPath = [](std::string_view path) { return !path.empty() && path.front() == '/'; },
    .separators = "/",
    .readUser = [](const std::string& text) -> std::optional<std::string> {
        std::uint32_t uid = 0;
        // (uid_t)-1 means "no change" to the calls that take an identity.
        if (!ParseWhole(text, uid) || uid == UINT32_MAX) return std::nullopt;
        return std::to_string(uid);
    },
    .minSeconds = 1,
    .maxSeconds = 59,
    .defaultSeconds = 45,
    .wholeSeconds = true,
    .needsSchedule = true,
    .loopOptionsNeedConsole = false,
    .refusal = LinuxRefusal,
};

// ---- Windows ----

std::string WindowsRefusal(Refusal why, Option option, const std::string& text) {
    switch (why) {
        case Refusal::Unknown:
            return "Unknown argument: " + text;
        case Refusal::LoopWithoutConsole:
            return "--ticks and --interval go with --console.";
        case Refusal::NotAlone:
            return std::string(option == Option::PrintUser       ? "--print-user"
                               : option == Option::PrintSchedule ? "--print-schedule"
                               : option == Option::CanInstall    ? "--can-install"
                               : option == Option::Check         ? "--check FILE"
                                                                 : "--remove") +
                   (option == Option::Remove ? " goes alone, or with --machine." : " goes alone.");
        case Refusal::InstallNeeds:
            return "--install needs --user SID and --schedule FILE, or --machine, and nothing "
                   "else.";
        case Refusal::StateWithoutMachine:
            return "--state goes with --machine.";
        case Refusal::MachineWithUser:
            return "--machine acts for every user: no --user.";
        default:
            break;
    }
    switch (option) {
        case Option::Check:
            return "--check needs the schedule file to check, once.";
        case Option::Ticks:
            return "--ticks needs a whole number of at least 1.";
        case Option::Interval:
            return "--interval needs a number of seconds from 0.01 to 45.";
        case Option::Schedule:
            if (why != Refusal::Invalid) {
                return "--schedule needs the schedule file's full path, once.";
            }
            return "--schedule needs the schedule file's full path (such as "
                   "C:\\Tolvane\\rebootdata.kx), not \"" +
                   text + "\".";
        case Option::State:
            return "--state needs the full path of the machine's state folder, once" +
                   (why == Refusal::Invalid ? ", not \"" + text + "\"." : std::string("."));
        default:  // --user
            return "--user needs the user's security identifier (S-1-5-21-...), once" +
                   (why != Refusal::NoValue ? ": \"" + text + "\"." : std::string("."));
    }
}

const CommandLineRules kWindowsRules = {
    .names = {{"--help", Option::Help},
              {"/?", Option::Help},
              {"--print-user", Option::PrintUser},
              {"--print-schedule", Option::PrintSchedule},
              {"--can-install", Option::CanInstall},
              {"--install", Option::Install},
              {"--remove", Option::Remove},
              {"--console", Option::Console},
              {"--ticks", Option::Ticks},
              {"--interval", Option::Interval},
              {"--schedule", Option::Schedule},
              {"--user", Option::User},
              {"--machine", Option::Machine},
              {"--state", Option::State},
              {"--check", Option::Check}},
    .isFullPath = IsFullWindowsPath,
    .separators = "\\/",
    .readUser = [](const std::string& text) { return CanonicalSid(text); },
    .minSeconds = 0.01,
    .maxSeconds = kWindowsServiceTickSeconds,
    .defaultSeconds = kWindowsServiceTickSeconds,
    .wholeSeconds = false,
    // Without it, rebootdata.kx beside the program.
    .needsSchedule = false,
    .loopOptionsNeedConsole = true,
    .refusal = WindowsRefusal,
};

bool IsServiceAccount(const std::string& sid) {
    // LocalSystem, LocalService, NetworkService.
    return sid == kLocalSystemSid || sid == "S-1-5-19" || sid == "S-1-5-20";
}

}  // namespace

std::optional<LinuxServiceOptions> ParseLinuxServiceArguments(
    const std::vector<std::string>& arguments, std::string& error) {
    const auto options = ParseServiceArguments(arguments, kLinuxRules, error);
    if (!options) return std::nullopt;
    LinuxServiceOptions read;
    read.help = options->help;
    read.version = options->version;
    read.schedule = options->schedule;
    read.machine = options->machine;
    if (read.machine) {
        if (read.schedule.empty()) read.schedule = kLinuxMachineSchedule;
        read.state = options->state.empty() ? std::string(kLinuxMachineState) : options->state;
    }
    read.check = options->check;
    if (options->user) {
        // The rules wrote it back as a plain number within the type.
        std::uint32_t uid = 0;
        ParseWhole(*options->user, uid);
        read.user = uid;
    }
    read.intervalSeconds = static_cast<int>(options->intervalSeconds);
    return read;
}

std::string MachineServiceProblem(std::uint32_t runningAs) {
    if (runningAs == 0) return "";
    return "only root runs the machine's schedule (this is user " + std::to_string(runningAs) +
           "): it acts on every user's sessions and keeps its record in root's folder";
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
    return ParseServiceArguments(arguments, kWindowsRules, error);
}

std::string WindowsServiceStartProblem(const std::string& runningAs,
                                       const WindowsServiceOptions& options) {
    const std::string self = CanonicalSid(runningAs).value_or(runningAs);
    const bool system = self == kLocalSystemSid;
    // The machine's schedule is carried out with the rights of the account
    // that runs it (LocalSystem, as installed; a person, in the console),
    // and its check trusts that account's files alone beside the
    // administrators': it can never do more than the account could itself.
    if (options.machine) return "";
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
