#pragma once

#include <functional>
#include <string>

namespace tolvane {

// What the program asks of the machine and of its user's session: reboot,
// shut down, log off, lock. The window asks for the session it runs in, a
// service for its one user's sessions; each platform maps these onto its own
// services.
class SystemPower {
  public:
    virtual ~SystemPower() = default;
    // Each returns false, with the platform's words in `reason`, when the
    // request was refused at once or could not be made. Forced: applications
    // get no say; a lock has nothing to force.
    virtual bool Reboot(bool force, std::string& reason) = 0;
    virtual bool ShutDown(bool force, std::string& reason) = 0;
    virtual bool LogOff(bool force, std::string& reason) = 0;
    virtual bool Lock(std::string& reason) = 0;

    // Where failures that come only after a request was made are told, in
    // words that say what failed and why, on the window's thread. Only a
    // platform whose answers come later tells any; an empty `told` stops it.
    using Failed = std::function<void(const std::string& what)>;
    virtual void TellFailures(Failed told) { static_cast<void>(told); }

    // For the machine's schedule: tells everyone on the machine, as the
    // system's own delayed shutdown does, that it reboots (`reboot`) or
    // shuts down in `secondsFromNow`; a second announcement takes the
    // first's place. Only an announcement: the action itself is requested
    // as ever, after CancelAnnouncement. Platforms without one do nothing.
    virtual bool AnnounceEnd(bool reboot, double secondsFromNow, std::string& reason) {
        static_cast<void>(reboot), static_cast<void>(secondsFromNow), static_cast<void>(reason);
        return true;
    }
    virtual bool CancelAnnouncement(std::string& reason) {
        static_cast<void>(reason);
        return true;
    }
};

}  // namespace tolvane
