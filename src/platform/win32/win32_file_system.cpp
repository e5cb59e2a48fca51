#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/win32/win32_error_text.h"
#include "schedule/no_link_file_system.h"

namespace tolvane {

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (valid()) ::CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool Close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

  private:
    HANDLE h_;
};

unsigned long long Ticks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::string Win32FileSystem::ProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return {};
    // At a drive's root keep "C:\" whole; the path joiner adds no second separator.
    if (cut == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, cut);
}

std::optional<std::string> Win32FileSystem::ReadWholeFile(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
        if (got == 0) return bytes;
        bytes.append(buffer, got);
    }
}

std::optional<std::string> Win32FileSystem::WriteTemporaryFile(const std::string& folder,
                                                               const std::string& prefix,
                                                               std::string_view bytes,
                                                               std::string& reason) {
    // A name that no other writer holds: the prefix, the process and a counter,
    // created only if it does not exist yet.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + "\\" + NumberedTemporaryName(prefix, GetCurrentProcessId(), ++counter);
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS) continue;
            reason = ErrorText(error);
            return std::nullopt;
        }
        bool ok = true;
        std::string_view rest = bytes;
        while (ok && !rest.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(rest.size() > 1u << 30 ? 1u << 30 : rest.size());
            ok = WriteFile(file.get(), rest.data(), chunk, &written, nullptr) != 0 && written > 0;
            rest.remove_prefix(written);
        }
        ok = ok && FlushFileBuffers(file.get()) != 0;
        const DWORD error = GetLastError();
        ok = file.Close() && ok;
        if (!ok) {
            reason = ErrorText(error);
            DeleteFileA(path.c_str());
            return std::nullopt;
        }
        return path;
    }
    reason = ErrorText(ERROR_FILE_EXISTS);
    return std::nullopt;
}

bool Win32FileSystem::MoveFileOver(const std::string& from, const std::string& to,
                                   std::string& reason) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    reason = ErrorText(GetLastError());
    return false;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

std::vector<std::string> Win32FileSystem::StaleTemporaryFiles(const std::string& folder,
                                                              const std::string& prefix,
                                                              double minimumAgeSeconds) {
    std::vector<std::string> stale;
    WIN32_FIND_DATAA found{};
    const std::string pattern = folder + "\\" + prefix + "*.tmp";
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return stale;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!IsNumberedTemporaryName(found.cFileName, prefix)) continue;
        // File times count 100-nanosecond steps.
        const unsigned long long written = Ticks(found.ftLastWriteTime);
        const unsigned long long current = Ticks(now);
        const double age = current > written ? static_cast<double>(current - written) / 1e7 : 0.0;
        if (age >= minimumAgeSeconds) {
            stale.push_back(folder + "\\" + found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return stale;
}

}  // namespace tolvane
