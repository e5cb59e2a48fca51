#pragma once

#include <string>

namespace tolvane {

// What a system service may do to the machine and to its users' sessions.
// A service cannot end "its own" session or lock "its" desktop as the window
// does, so each platform maps these onto its system-wide services.
class SystemPower {
  public:
    virtual ~SystemPower() = default;
    // Each returns false, with the platform's words in `reason`, when the
    // request was refused or could not be made.
    virtual bool Reboot(bool force, std::string& reason) = 0;
    virtual bool ShutDown(bool force, std::string& reason) = 0;
    virtual bool LogOff(bool force, std::string& reason) = 0;
    virtual bool Lock(std::string& reason) = 0;
};

// Where a service writes what it did: the system's log.
class ServiceLog {
  public:
    virtual ~ServiceLog() = default;
    virtual void Info(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
};

}  // namespace tolvane
