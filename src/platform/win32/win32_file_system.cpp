#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_file_lock.h"
#include "platform/win32/win32_handles.h"
#include "service/no_link_file_system.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"
#include "schedule/schedule_file.h"

namespace tolvane {

namespace {

// How long a rename waits for readers of the file it replaces; as long as
// a writer waits for another's lock.
constexpr ULONGLONG kReaderWaitMs = 10000;

unsigned long long Ticks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::string ThisProgramFile() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string Win32FileSystem::ProgramFolder() {
    const std::string path = ThisProgramFile();
    if (path.empty()) return {};
    // At a drive's root "C:\" stays whole; the path joiner adds no second separator.
    return FolderOf(path, "\\/");
}

FileRead Win32FileSystem::ReadFile(const std::string& path, std::size_t maxBytes) {
    FileRead read;
    auto fail = [&](DWORD error) {
        read.outcome = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                           ? FileRead::Outcome::Missing
                           : FileRead::Outcome::Unreadable;
        read.reason = ErrorText(error);
        read.bytes.clear();
        return read;
    };
    // Shared for deletion too, so this reader is no reason of its own for
    // another writer's replacement of the file to be refused.
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            read.outcome = FileRead::Outcome::Unreadable;
            read.reason = "It is a folder.";
            return read;
        }
        return fail(error);
    }
    // Only a file on a disk: a pipe or a device in its place would hold the
    // reader up, or never end.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        read.outcome = FileRead::Outcome::Unreadable;
        read.reason = "It is no regular file.";
        return read;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return fail(GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        read.outcome = FileRead::Outcome::TooLarge;
        return read;
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            return fail(GetLastError());
        }
        if (got == 0) {
            read.outcome = FileRead::Outcome::Read;
            return read;
        }
        // A file that grew since its size was read.
        if (got > maxBytes - read.bytes.size()) {
            read.bytes.clear();
            read.outcome = FileRead::Outcome::TooLarge;
            return read;
        }
        read.bytes.append(buffer, got);
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
        UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
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
            ok = WriteFile(file.Get(), rest.data(), chunk, &written, nullptr) != 0 && written > 0;
            rest.remove_prefix(written);
        }
        ok = ok && FlushFileBuffers(file.Get()) != 0;
        const DWORD error = GetLastError();
        ok = CloseHandle(file.Release()) != 0 && ok;
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
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        // The system refuses to rename over a file while anyone has it open,
        // and every window reads the file the moment it changes: such a
        // reader is gone again within a moment. A folder or a read-only file
        // there refuses for good.
        const DWORD target = GetFileAttributesA(to.c_str());
        const bool plainFile = target != INVALID_FILE_ATTRIBUTES &&
                               (target & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || !plainFile ||
            GetTickCount64() - start >= kReaderWaitMs) {
            reason = ErrorText(error);
            return false;
        }
        Sleep(1);
    }
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
    const UniqueFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return stale;
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
    } while (FindNextFileA(search.Get(), &found));
    return stale;
}

namespace {

class Win32FileLock final : public FileLock {
  public:
    explicit Win32FileLock(UniqueFileHandle file) : file_(std::move(file)) {}
    ~Win32FileLock() override {
        // Unlocked before the close: the system releases a closed handle's
        // locks only when it gets round to it.
        UnlockWholeFile(file_.Get());
    }
    Win32FileLock(const Win32FileLock&) = delete;
    Win32FileLock& operator=(const Win32FileLock&) = delete;

  private:
    UniqueFileHandle file_;
};

// A lock file opened as itself: a link or a folder in its place is refused,
// and so is anything that is no file on a disk.
UniqueFileHandle OpenLockFile(const std::string& path, DWORD disposition, std::string& reason) {
    UniqueFileHandle file(CreateFileA(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        reason = ErrorText(GetLastError());
        return file;
    }
    BY_HANDLE_FILE_INFORMATION facts{};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.Get(), &facts) ||
        (facts.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        reason = "The lock file " + path + " is no regular file.";
        return {};
    }
    return file;
}

}  // namespace

std::unique_ptr<FileLock> Win32FileSystem::LockFile(const std::string& path, LockKind kind,
                                                    double waitSeconds, std::string& reason) {
    UniqueFileHandle file = OpenLockFile(path, OPEN_ALWAYS, reason);
    if (!file) return nullptr;
    DWORD error = 0;
    switch (LockWholeFile(file.Get(), kind, waitSeconds, error)) {
        case HandleLock::Locked:
            return std::make_unique<Win32FileLock>(std::move(file));
        case HandleLock::Busy:
            reason = "Another program holds the lock " + path + ".";
            break;
        case HandleLock::Failed:
            reason = ErrorText(error);
            break;
    }
    return nullptr;
}

bool Win32FileSystem::LockedElsewhere(const std::string& path) {
    std::string reason;
    const UniqueFileHandle file = OpenLockFile(path, OPEN_EXISTING, reason);
    if (!file) return false;
    DWORD error = 0;
    switch (LockWholeFile(file.Get(), LockKind::Exclusive, 0, error)) {
        case HandleLock::Locked:
            UnlockWholeFile(file.Get());
            return false;
        case HandleLock::Busy:
            return true;
        case HandleLock::Failed:
            break;
    }
    return false;
}

namespace {

// The part of a symbolic link's reparse data read here (the layout of the
// kernel's REPARSE_DATA_BUFFER, which only the driver headers declare).
struct SymbolicLinkData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    DWORD flags;
    // The names follow, UTF-16, at the offsets above from here.
};

}  // namespace

std::optional<std::string> SymbolicLinkTarget(std::string_view reparseData, bool& relative) {
    SymbolicLinkData data{};
    if (reparseData.size() < sizeof data) return std::nullopt;
    std::memcpy(&data, reparseData.data(), sizeof data);
    if (data.tag != IO_REPARSE_TAG_SYMLINK) return std::nullopt;
    const std::string_view names = reparseData.substr(sizeof data);
    // The name shown to users is the plain path ("C:\x" or "..\x"); the
    // substitute one the native form ("\??\C:\x").
    std::size_t offset = data.printOffset;
    std::size_t length = data.printLength;
    if (length == 0) {
        offset = data.substituteOffset;
        length = data.substituteLength;
    }
    if (offset + length > names.size() || length % 2 != 0) return std::nullopt;
    std::wstring target(length / 2, L'\0');
    std::memcpy(target.data(), names.data() + offset, length);
    if (target.rfind(L"\\??\\UNC\\", 0) == 0) {
        target = L"\\\\" + target.substr(8);
    } else if (target.rfind(L"\\??\\", 0) == 0) {
        target = target.substr(4);
    }
    if (target.empty()) return std::nullopt;
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, target.data(),
                            static_cast<int>(target.size()), nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, target.data(),
                        static_cast<int>(target.size()), narrow.data(), size, nullptr, &lossy);
    relative = (data.flags & SYMLINK_FLAG_RELATIVE) != 0;
    return narrow;
}

namespace {

// What the symbolic link at `path` holds; nothing when it is no symbolic
// link or its target has no name in the ANSI code page.
std::optional<std::string> ReadSymbolicLink(const std::string& path, bool& relative) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return std::nullopt;
    }
    UniqueFileHandle link(
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return std::nullopt;
    std::string data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE, '\0');
    DWORD got = 0;
    if (!DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                         static_cast<DWORD>(data.size()), &got, nullptr)) {
        return std::nullopt;
    }
    data.resize(got);
    return SymbolicLinkTarget(data, relative);
}

}  // namespace

std::string Win32FileSystem::LinkTarget(const std::string& path) {
    // A loop ends where the system would give up too (63 reparse points).
    std::string current = path;
    for (int hops = 0; hops < 63; ++hops) {
        bool relative = false;
        auto next = ReadSymbolicLink(current, relative);
        if (!next) return current;
        if (relative) {
            const std::string folder = FolderOf(current, "\\/");
            if (!folder.empty()) next = JoinPath(folder, '\\', *next);
        }
        current = std::move(*next);
    }
    return path;
}

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string WithoutTrailingSeparators(std::string_view path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
    return std::string(path);
}

}  // namespace

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    const std::string base = WithoutTrailingSeparators(folder);
    if (base.empty() || path.size() < base.size()) return false;
    if (!SameLetters(path.substr(0, base.size()), base)) return false;
    if (path.size() == base.size()) return true;
    return base.back() == '\\' || path[base.size()] == '\\';
}

std::string KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR wide = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &wide))) return {};
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0,
                                         nullptr, nullptr);
    std::string path(size > 0 ? size : 0, '\0');
    BOOL lost = FALSE;
    const bool converted = size > 0 && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1,
                                                           path.data(), size, nullptr, &lost);
    CoTaskMemFree(wide);
    if (!converted || lost) return {};
    path.resize(size - 1);
    return path;
}

std::string MachineFolder() {
    const std::string data = KnownFolder(FOLDERID_ProgramData);
    if (data.empty()) return {};
    return JoinPath(WithoutTrailingSeparators(data), '\\', std::string(kMachineFolderName));
}

std::string WindowScheduleFolder(const std::string& programFolder) {
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86}) {
        const std::string folder = KnownFolder(*id);
        if (folder.empty() || !IsInsideFolder(programFolder, folder)) continue;
        const std::string local = KnownFolder(FOLDERID_LocalAppData);
        if (local.empty()) break;
        return JoinPath(WithoutTrailingSeparators(local), '\\', "Tolvane");
    }
    return programFolder;
}

}  // namespace tolvane
