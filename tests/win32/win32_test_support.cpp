#include "win32_test_support.h"

#include <gtest/gtest.h>

namespace tolvane::testing {

std::string UniqueName(const std::string& prefix) {
    static unsigned counter = 0;
    return prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
           "-" + std::to_string(++counter);
}

std::string MakeScratchFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    // Wine reuses process ids quickly, so try names until one is free.
    for (;;) {
        const std::string folder = std::string(base) + UniqueName("tolvane-test-");
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "no scratch folder";
            return folder;
        }
    }
}

void RemoveFolderTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::optional<RegistryValue> ReadRegistryValue(const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
    }
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if ((value.type == REG_SZ) && !value.data.empty() && value.data.back() == '\0') {
        value.data.pop_back();
    }
    return value;
}

}  // namespace tolvane::testing
