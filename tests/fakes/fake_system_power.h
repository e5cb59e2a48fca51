#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/service_log.h"
#include "platform/system_power.h"

namespace tolvane::testing {

// Records each request as "reboot", "forced shutdown", "lock" and so on.
class FakeSystemPower final : public SystemPower {
  public:
    std::vector<std::string> requests;
    bool refuse = false;                    // every request is refused at once
    std::string refusal = "Access denied";  // in these words
    std::function<void()> onRequest;        // runs as a request is made
    Failed told;                            // where later failures go, as the window set it

    bool Reboot(bool force, std::string& reason) override {
        return Record(force, "reboot", reason);
    }
    bool ShutDown(bool force, std::string& reason) override {
        return Record(force, "shutdown", reason);
    }
    bool LogOff(bool force, std::string& reason) override {
        return Record(force, "log-off", reason);
    }
    bool Lock(std::string& reason) override { return Record(false, "lock", reason); }
    void TellFailures(Failed failed) override { told = std::move(failed); }
    // Among the requests as "announce reboot in 270 s" and "take back the announcement".
    bool AnnounceEnd(bool reboot, double secondsFromNow, std::string& reason) override {
        return Record(false,
                      std::string("announce ") + (reboot ? "reboot" : "shutdown") + " in " +
                          std::to_string(static_cast<long>(secondsFromNow)) + " s",
                      reason);
    }
    bool CancelAnnouncement(std::string& reason) override {
        return Record(false, "take back the announcement", reason);
    }

  private:
    bool Record(bool force, const std::string& what, std::string& reason) {
        requests.push_back(force ? "forced " + what : what);
        if (onRequest) onRequest();
        if (refuse) reason = refusal;
        return !refuse;
    }
};

class FakeServiceLog final : public ServiceLog {
  public:
    std::vector<std::string> infos;
    std::vector<std::string> errors;
    std::vector<ActionRecord> records;  // also among infos or errors, by their message
    void Info(const std::string& text) override { infos.push_back(text); }
    void Error(const std::string& text) override { errors.push_back(text); }
    void Record(const ActionRecord& record) override {
        records.push_back(record);
        (record.error ? errors : infos).push_back(record.message);
    }
};

}  // namespace tolvane::testing
