#include "platform/win32/win32_settings_store.h"

#include <windows.h>

#include "platform/win32/win32_handles.h"

namespace tolvane {

std::string Win32SettingsStore::SectionKey(const std::string& application,
                                           const std::string& section) const {
    return root_ + "\\" + application + "\\" + section;
}

std::string Win32SettingsStore::GetSetting(const std::string& application,
                                           const std::string& section, const std::string& key,
                                           const std::string& defaultValue) {
    UniqueRegistryKey opened;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SectionKey(application, section).c_str(), 0,
                      KEY_QUERY_VALUE, opened.Out()) != ERROR_SUCCESS) {
        return defaultValue;
    }
    // The value may grow between asking its size and reading it; ask again then.
    std::string data(64, '\0');
    for (;;) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status = RegQueryValueExA(opened.Get(), key.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + 1);
            continue;
        }
        // Only text counts; a number or binary value someone else put there
        // is not one of ours.
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return defaultValue;
        }
        data.resize(size);
        // The stored text normally carries its terminating NUL; it may not.
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    }
}

void Win32SettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                     const std::string& key, const std::string& value) {
    UniqueRegistryKey created;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SectionKey(application, section).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, created.Out(),
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(created.Get(), key.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

}  // namespace tolvane
