#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_power.h"

struct sd_bus;

namespace tolvane {

struct SystemBusCloser {
    void operator()(sd_bus* bus) const;
};
// A connection to the system bus through libsystemd's sd-bus, closed (after
// what is queued has gone out) when it goes.
using SystemBus = std::unique_ptr<sd_bus, SystemBusCloser>;

// The system bus, connected and greeted (as sd-bus finds it: the address in
// DBUS_SYSTEM_BUS_ADDRESS, or the machine's own socket). Nothing, with the
// reason in `error`, when there is none to talk to.
SystemBus OpenSystemBus(std::string& error);

// What the service does to the machine through systemd-logind. The service
// runs as root with nobody to ask, so every call is non-interactive:
//   reboot, shut down   RebootWithFlags / PowerOffWithFlags(1): block
//                       inhibitors hold even for root, so applications can
//                       veto; Reboot(false) / PowerOff(false) where logind
//                       lacks the WithFlags methods
//   the same, forced    Reboot(false) / PowerOff(false): root passes inhibitors
//   log off             TerminateSession of each of the user's sessions; with
//                       no desktop of its own to ask, plain and forced are one
//   lock                LockSession of each of the user's sessions
//   announce the end    ScheduleShutdown("dry-reboot" / "dry-poweroff", when):
//                       logind warns every terminal and refuses new logins in
//                       the last five minutes, as for `shutdown +N`, but the
//                       dry type leaves the action to the service, which
//                       requests it as above and so keeps inhibitors and its
//                       record of the outcome; left behind by a service that
//                       ended, it lapses at its time and nothing happens.
//                       logind holds one scheduled shutdown: one that is not
//                       this service's (an administrator's `shutdown -r +30`)
//                       is never replaced, and the announcement fails
//   take it back        CancelScheduledShutdown, only while what logind has
//                       scheduled is still this service's announcement
// Shut down means power off: logind's halt leaves the machine running.
// "The user" is the one whose schedule the service carries out; for the
// machine's schedule, every user: each session of class "user" or "user-..."
// (a display manager's greeter or lock screen is nobody's work to end). Each call waits
// for logind's answer, so no event loop needs to run.
class LogindSystemPower final : public SystemPower {
  public:
    // `systemBus` stays the caller's and must outlive this. Log off and lock
    // act on `user`'s sessions.
    LogindSystemPower(sd_bus* systemBus, uid_t user);
    // The machine's: log off and lock act on every user's sessions.
    explicit LogindSystemPower(sd_bus* systemBus);

    bool Reboot(bool force, std::string& reason) override;
    bool ShutDown(bool force, std::string& reason) override;
    bool LogOff(bool force, std::string& reason) override;
    bool Lock(std::string& reason) override;
    bool AnnounceEnd(bool reboot, double secondsFromNow, std::string& reason) override;
    bool CancelAnnouncement(std::string& reason) override;

  private:
    // What logind has scheduled: its action ("reboot", "poweroff"... never
    // with "dry-") and moment; nothing when it cannot be read.
    struct Scheduled {
        std::string action;
        std::uint64_t when = 0;
        bool operator==(const Scheduled&) const = default;
    };
    std::optional<Scheduled> ScheduledEnd();

    bool EndMachine(const char* withFlags, const char* plain, bool force, std::string& reason);
    bool ForEachSession(const char* method, std::string& reason);
    std::vector<std::string> Sessions(std::string& reason);
    // Whether the session at `path` is a person's ("user" class); a session
    // gone since it was listed is not.
    bool IsPersonsSession(const char* path, std::string& reason);

    sd_bus* bus_;
    std::optional<uid_t> user_;           // nothing: every user's
    std::optional<Scheduled> announced_;  // this service's, while logind holds it
};

}  // namespace tolvane
