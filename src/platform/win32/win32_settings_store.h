#pragma once

#include <string>

#include "platform/settings_store.h"

namespace tolvane {

// Settings in the user's registry hive, one key per application and section
// under `root`, one REG_SZ value per key name. The registry compares key and
// value names without regard to case, which the store's names require. The
// default root is where earlier versions of the program kept their settings,
// so those are found again.
class Win32SettingsStore final : public SettingsStore {
  public:
    static constexpr const char* kDefaultRoot = "Software\\VB and VBA Program Settings";

    explicit Win32SettingsStore(std::string root = kDefaultRoot) : root_(std::move(root)) {}

    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

    // The key below HKEY_CURRENT_USER that holds one section's values.
    std::string SectionKey(const std::string& application, const std::string& section) const;

  private:
    std::string root_;
};

}  // namespace tolvane
