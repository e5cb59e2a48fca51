#include "platform/linux/ini_settings_store.h"

#include "platform/linux/ini_document.h"
#include "schedule/schedule_file.h"

namespace tolvane {

IniSettingsStore::IniSettingsStore(std::string folder, FileSystem& files,
                                   std::function<void(const std::string&)> report)
    : folder_(std::move(folder)), files_(files), report_(std::move(report)) {}

std::string IniSettingsStore::FilePath(const std::string& application) const {
    std::string name = application;
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';  // the name must stay one file in the folder
    }
    return JoinPath(folder_, files_.PathSeparator(), name + ".ini");
}

std::string IniSettingsStore::GetSetting(const std::string& application, const std::string& section,
                                         const std::string& key, const std::string& defaultValue) {
    const auto text = files_.ReadWholeFile(FilePath(application));
    if (!text) return defaultValue;
    return IniDocument(*text).Get(section, key).value_or(defaultValue);
}

void IniSettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& value) {
    const std::string path = FilePath(application);
    const auto text = files_.ReadWholeFile(path);
    if (!text && files_.Exists(path)) {
        // Written from nothing, the file would lose every other setting in it.
        if (report_) {
            report_("tolvane: the setting " + section + "/" + key + " was not saved: " + path +
                    " cannot be read, and is left as it is");
        }
        return;
    }
    IniDocument document(text.value_or(""));
    document.Set(section, key, value);
    // The program saves its folder at every start: the same bytes again would
    // cost the start two disk syncs and change nothing.
    if (text && document.Text() == *text) return;
    const WriteResult written = ReplaceFileContents(files_, path, document.Text());
    if (!written && report_) {
        report_("tolvane: the setting " + section + "/" + key + " could not be saved to " + path +
                ": " + written.reason);
    }
}

}  // namespace tolvane
