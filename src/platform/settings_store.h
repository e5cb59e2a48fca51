#pragma once

#include <string>

namespace tolvane {

// A per-user tree of application, section, key and text value that outlives
// the process. Section and key names compare without regard to letter case.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or `defaultValue` when the application, section or key is absent.
    virtual std::string GetSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;
    // Stores the text, creating what is missing and replacing an earlier value.
    virtual void SaveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

}  // namespace tolvane
