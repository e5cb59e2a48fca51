#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/settings_store.h"

namespace tolvane {

// The settings as one INI file per application in a per-user folder
// ("<folder>/Tolvane 2.1.ini"), one INI section per settings section. Every
// read goes to the file and every save rewrites it at once, crash-safely
// (a flushed temporary file renamed over the old one), so two copies of the
// program see each other's changes and a crash never leaves half a file.
class IniSettingsStore final : public SettingsStore {
  public:
    // `report` receives one line for each save that could not be written.
    IniSettingsStore(std::string folder, FileSystem& files,
                     std::function<void(const std::string&)> report);

    std::string FilePath(const std::string& application) const;

    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

  private:
    std::string folder_;
    FileSystem& files_;
    std::function<void(const std::string&)> report_;
};

}  // namespace tolvane
