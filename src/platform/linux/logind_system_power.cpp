#include "platform/linux/logind_system_power.h"

#include <systemd/sd-bus.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tolvane {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr std::uint64_t kBlockInhibitorsForRoot = 1;

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// Frees what sd-bus put in the error, whichever way the call ends.
struct Error {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&error); }
};

std::string Describe(const sd_bus_error& error, int result) {
    if (!sd_bus_error_is_set(&error)) return std::strerror(-result);
    return std::string(error.name) + ": " + (error.message ? error.message : "");
}

// One method of logind's manager, called with nobody to ask: the message says
// no interactive authorization may be started for it. Waits for the answer;
// false with the reason (and whether logind lacks the method) on an error.
template <typename... Arguments>
bool CallManager(sd_bus* bus, const char* method, std::string& reason, bool* unknownMethod,
                 Message* reply, const char* signature, Arguments... arguments) {
    Error error;
    sd_bus_message* made = nullptr;
    int result = sd_bus_message_new_method_call(bus, &made, kLogind, kLogindPath, kManager, method);
    const Message call(made);
    if (result >= 0) result = sd_bus_message_set_allow_interactive_authorization(made, 0);
    if (result >= 0 && signature) result = sd_bus_message_append(made, signature, arguments...);
    sd_bus_message* answer = nullptr;
    // 0: sd-bus's own time limit for an answer (25 s, as libdbus has it).
    if (result >= 0) result = sd_bus_call(bus, made, 0, &error.error, &answer);
    Message answered(answer);
    if (result < 0) {
        reason = Describe(error.error, result);
        if (unknownMethod) {
            *unknownMethod = sd_bus_error_has_name(&error.error, SD_BUS_ERROR_UNKNOWN_METHOD);
        }
        return false;
    }
    if (reply) *reply = std::move(answered);
    return true;
}

}  // namespace

void SystemBusCloser::operator()(sd_bus* bus) const {
    sd_bus_flush_close_unref(bus);
}

SystemBus OpenSystemBus(std::string& error) {
    sd_bus* opened = nullptr;
    int result = sd_bus_open_system(&opened);
    SystemBus bus(opened);
    // Connecting may finish later; the bus's greeting (our unique name) shows
    // that it is there and takes us, as a connection made at once would.
    const char* unique = nullptr;
    if (result >= 0) result = sd_bus_get_unique_name(bus.get(), &unique);
    if (result >= 0) return bus;
    // The address sd-bus took, for the log: it reads the same variable.
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    error = std::string("Failed to connect to ") +
            (address && *address ? address : "unix:path=/run/dbus/system_bus_socket") + ": " +
            std::strerror(-result);
    return nullptr;
}

LogindSystemPower::LogindSystemPower(sd_bus* systemBus, uid_t user)
    : bus_(systemBus), user_(user) {}

LogindSystemPower::LogindSystemPower(sd_bus* systemBus) : bus_(systemBus) {}

bool LogindSystemPower::EndMachine(const char* withFlags, const char* plain, bool force,
                                   std::string& reason) {
    if (!force) {
        bool unknown = false;
        if (CallManager(bus_, withFlags, reason, &unknown, nullptr, "t", kBlockInhibitorsForRoot)) {
            return true;
        }
        if (!unknown) return false;
    }
    return CallManager(bus_, plain, reason, nullptr, nullptr, "b", 0);
}

bool LogindSystemPower::Reboot(bool force, std::string& reason) {
    return EndMachine("RebootWithFlags", "Reboot", force, reason);
}

bool LogindSystemPower::ShutDown(bool force, std::string& reason) {
    return EndMachine("PowerOffWithFlags", "PowerOff", force, reason);
}

bool LogindSystemPower::LogOff(bool, std::string& reason) {
    return ForEachSession("TerminateSession", reason);
}

bool LogindSystemPower::Lock(std::string& reason) {
    return ForEachSession("LockSession", reason);
}

bool LogindSystemPower::AnnounceEnd(bool reboot, double secondsFromNow, std::string& reason) {
    // logind takes the moment as microseconds of the real-time clock.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const double ahead = std::isfinite(secondsFromNow) && secondsFromNow > 0 ? secondsFromNow : 0;
    const Scheduled ours{reboot ? "reboot" : "poweroff",
                         std::uint64_t(now.tv_sec) * 1000000u + std::uint64_t(now.tv_nsec) / 1000u +
                             std::uint64_t(std::llround(ahead * 1e6))};
    const std::optional<Scheduled> current = ScheduledEnd();
    // Nothing scheduled shows as no action, or a moment of 0 or "never".
    const bool pending =
        current && !current->action.empty() && current->when != 0 && current->when != UINT64_MAX;
    if (pending && current != announced_) {
        reason = "logind already has a " + current->action +
                 " scheduled by someone else, which is left in place";
        return false;
    }
    const std::string type = "dry-" + ours.action;
    if (!CallManager(bus_, "ScheduleShutdown", reason, nullptr, nullptr, "st", type.c_str(),
                     ours.when)) {
        return false;
    }
    announced_ = ours;
    return true;
}

bool LogindSystemPower::CancelAnnouncement(std::string& reason) {
    if (!announced_) return true;
    // Lapsed, taken back by an administrator, or replaced by another's: not
    // this service's to cancel. Where logind cannot say, ours is cancelled.
    const std::optional<Scheduled> current = ScheduledEnd();
    if (current && *current != *announced_) {
        announced_.reset();
        return true;
    }
    // Its answer says whether anything was scheduled: either way none is now.
    if (!CallManager(bus_, "CancelScheduledShutdown", reason, nullptr, nullptr, nullptr)) {
        return false;  // still the service's, for its next announcement to replace
    }
    announced_.reset();
    return true;
}

std::optional<LogindSystemPower::Scheduled> LogindSystemPower::ScheduledEnd() {
    Error error;
    sd_bus_message* answer = nullptr;
    int result = sd_bus_get_property(bus_, kLogind, kLogindPath, kManager, "ScheduledShutdown",
                                     &error.error, &answer, "(st)");
    const Message reply(answer);
    const char* action = nullptr;
    std::uint64_t when = 0;
    if (result >= 0) result = sd_bus_message_read(reply.get(), "(st)", &action, &when);
    if (result < 0) return std::nullopt;
    return Scheduled{action ? action : "", when};
}

bool LogindSystemPower::IsPersonsSession(const char* path, std::string& reason) {
    Error error;
    char* sessionClass = nullptr;
    const int result = sd_bus_get_property_string(bus_, kLogind, path, kSession, "Class",
                                                  &error.error, &sessionClass);
    if (result < 0) {
        if (!sd_bus_error_has_name(&error.error, SD_BUS_ERROR_UNKNOWN_OBJECT)) {
            reason = Describe(error.error, result);
        }
        return false;
    }
    // Newer logind tells a person's sessions apart further ("user-early",
    // "user-incomplete"); "greeter", "lock-screen", "background" and a
    // user's service manager ("manager") are nobody's work.
    const bool person =
        std::strcmp(sessionClass, "user") == 0 || std::strncmp(sessionClass, "user-", 5) == 0;
    std::free(sessionClass);
    return person;
}

std::vector<std::string> LogindSystemPower::Sessions(std::string& reason) {
    std::vector<std::string> sessions;
    std::vector<std::string> unread;
    Message reply;
    if (!CallManager(bus_, "ListSessions", reason, nullptr, &reply, nullptr)) return sessions;
    // a(susso): id, uid, user name, seat, object path.
    int result = sd_bus_message_enter_container(reply.get(), 'a', "(susso)");
    const char *id = nullptr, *name = nullptr, *seat = nullptr, *path = nullptr;
    std::uint32_t uid = 0;
    std::vector<std::pair<std::string, std::string>> listed;
    while (result > 0 && (result = sd_bus_message_read(reply.get(), "(susso)", &id, &uid, &name,
                                                       &seat, &path)) > 0) {
        if (!user_ || uid == *user_) listed.emplace_back(id, path);
    }
    if (result < 0) {
        // Half a list could leave out a session of the user's: none is acted on.
        reason =
            std::string("logind's list of sessions could not be read: ") + std::strerror(-result);
        return sessions;
    }
    for (const auto& [session, object] : listed) {
        // A user's own service acts on whatever that user has open.
        if (user_) {
            sessions.push_back(session);
            continue;
        }
        std::string problem;
        if (IsPersonsSession(object.c_str(), problem)) sessions.push_back(session);
        if (!problem.empty()) unread.push_back("session " + session + ": " + problem);
    }
    if (!unread.empty()) {
        // A session that may be somebody's is not passed over in silence:
        // the others are acted on, and the whole is a failure.
        reason = "not known whether these are a person's, so not acted on: ";
        for (std::size_t i = 0; i < unread.size(); ++i) reason += (i ? "; " : "") + unread[i];
    } else if (sessions.empty()) {
        reason = user_ ? "no session of user " + std::to_string(*user_) : "nobody is logged on";
    }
    return sessions;
}

bool LogindSystemPower::ForEachSession(const char* method, std::string& reason) {
    reason.clear();
    const std::vector<std::string> sessions = Sessions(reason);
    bool all = !sessions.empty() && reason.empty();
    for (const std::string& id : sessions) {
        std::string failed;
        if (!CallManager(bus_, method, failed, nullptr, nullptr, "s", id.c_str())) {
            all = false;
            reason += (reason.empty() ? "" : "; ") + ("session " + id + ": " + failed);
        }
    }
    return all;
}

}  // namespace tolvane
