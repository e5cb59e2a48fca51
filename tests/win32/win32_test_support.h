#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_token_calls.h"
#include "service/no_link_file_system.h"

namespace tolvane::testing {

// A new empty folder under the temporary folder, named for this process.
std::string MakeScratchFolder();
// Deletes a folder and everything in it.
void RemoveFolderTree(const std::string& folder);
// Writes `bytes` as the whole file at `path`, made or emptied first; a test
// failure when the file cannot be made.
void WriteWholeFile(const std::string& path, const std::string& bytes);
// The names in a folder, "." and ".." (and other names starting with a dot) left out.
std::vector<std::string> FolderNames(const std::string& folder);

// The real Windows file functions, with the program's folder (where the
// schedule file lives) moved to a scratch folder.
class ScratchWin32FileSystem final : public FileSystem {
  public:
    explicit ScratchWin32FileSystem(std::string folder) : folder_(std::move(folder)) {}
    std::string ProgramFolder() override { return folder_; }
    char PathSeparator() const override { return real_.PathSeparator(); }
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override {
        return real_.WriteTemporaryFile(folder, prefix, bytes, reason);
    }
    bool MoveFileOver(const std::string& from, const std::string& to,
                      std::string& reason) override {
        return real_.MoveFileOver(from, to, reason);
    }
    bool RemoveFile(const std::string& path) override { return real_.RemoveFile(path); }
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override {
        return real_.StaleTemporaryFiles(folder, prefix, minimumAgeSeconds);
    }
    FileRead ReadFile(const std::string& path, std::size_t maxBytes) override {
        return real_.ReadFile(path, maxBytes);
    }
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override {
        return real_.LockFile(path, kind, waitSeconds, reason);
    }
    bool LockedElsewhere(const std::string& path) override { return real_.LockedElsewhere(path); }
    std::string LinkTarget(const std::string& path) override { return real_.LinkTarget(path); }

  private:
    std::string folder_;
    Win32FileSystem real_;
};

// The service's files: native requests, every path walked one name at a
// time; the program's and schedule's folder a scratch folder.
class ScratchServiceFileSystem final : public FileSystem {
  public:
    explicit ScratchServiceFileSystem(const std::string& folder, ServiceLog* log = nullptr)
        : files_(nodes_, folder, folder, log) {}
    std::string ProgramFolder() override { return files_.ProgramFolder(); }
    char PathSeparator() const override { return files_.PathSeparator(); }
    bool Exists(const std::string& path) override { return files_.Exists(path); }
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override {
        return files_.WriteTemporaryFile(folder, prefix, bytes, reason);
    }
    bool MoveFileOver(const std::string& from, const std::string& to,
                      std::string& reason) override {
        return files_.MoveFileOver(from, to, reason);
    }
    bool RemoveFile(const std::string& path) override { return files_.RemoveFile(path); }
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override {
        return files_.StaleTemporaryFiles(folder, prefix, minimumAgeSeconds);
    }
    FileRead ReadFile(const std::string& path, std::size_t maxBytes) override {
        return files_.ReadFile(path, maxBytes);
    }
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override {
        return files_.LockFile(path, kind, waitSeconds, reason);
    }
    bool LockedElsewhere(const std::string& path) override { return files_.LockedElsewhere(path); }
    std::string LinkTarget(const std::string& path) override { return files_.LinkTarget(path); }
    std::string Refusal(const std::string& path) { return files_.Refusal(path); }

  private:
    Win32FileNodes nodes_;
    NoLinkFileSystem files_;
};

// A number as the system's headers write it: "0x28".
std::string Hex(DWORD value);

// What the recorders below hand out.
inline const HANDLE kRecordedToken = reinterpret_cast<HANDLE>(0x7070);
inline constexpr LUID kRecordedShutdownLuid{19, 0};

// A stand-in for the token functions both power adapters enable the shutdown
// privilege with: each call is written down in `calls` with its arguments,
// and answers as the test arranged. A test of an adapter derives from it for
// that adapter's other functions.
struct RecordedTokenCalls {
    std::vector<std::string> calls;
    // The handle the adapter is expected to name its own process by.
    HANDLE process = GetCurrentProcess();
    DWORD openTokenError = 0;
    DWORD lookupError = 0;
    // A refusal is FALSE with its error; a privilege the token does not hold
    // is TRUE with ERROR_NOT_ALL_ASSIGNED.
    BOOL adjustResult = TRUE;
    DWORD adjustLastError = ERROR_SUCCESS;

    RecordedTokenCalls() = default;
    // The recorders hold on to this object.
    RecordedTokenCalls(const RecordedTokenCalls&) = delete;
    RecordedTokenCalls& operator=(const RecordedTokenCalls&) = delete;
    virtual ~RecordedTokenCalls() = default;

    void RefuseAdjustment(DWORD error) {
        adjustResult = FALSE;
        adjustLastError = error;
    }

    // Puts the recorders in place of `table`'s functions.
    void Record(Win32TokenCalls& table);
    // How a handle is written down: "token" (the one handed out), "no token"
    // (null) or "other".
    virtual std::string HandleName(HANDLE handle) const;
};

// A registry value under HKEY_CURRENT_USER as stored: its type and bytes
// (text without its final NUL), or nothing when it is absent.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string data;
};
std::optional<RegistryValue> ReadRegistryValue(const std::string& key, const std::string& name);

// A name no other test process uses at the same time.
std::string UniqueName(const std::string& prefix);

// How long a test waits for something that takes a fraction of a second.
// Only a guard against hanging for ever, far beyond what a slow or busy
// machine needs: never a measure of speed.
inline constexpr DWORD kHangGuardMs = 120000;

// Whether `object` was signalled before the hang guard ran out.
bool Signalled(HANDLE object);

// Part of a test on a thread of its own. Join() returns once it has ended;
// past the hang guard the test fails and the process ends there, since the
// thread may still be using the test's objects.
class TestThread {
  public:
    explicit TestThread(std::function<void()> work);
    ~TestThread();
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;
    void Join();

  private:
    static DWORD WINAPI Main(void* self);
    std::function<void()> work_;
    HANDLE handle_ = nullptr;
};

// Puts this process in a job (once), so that every process it starts from
// then on, and every process those start, can be waited for.
void TrackStartedProcesses();
// Waits until every process started since TrackStartedProcesses() has ended:
// after that, nothing they would have done can still happen. False when the
// hang guard ran out first.
bool StartedProcessesEnded();

// Dispatches this thread's window messages until `done` holds, sleeping in
// between until a message comes. False only when the hang guard ran out.
bool DispatchMessagesUntil(const std::function<bool()>& done, int hangGuardSeconds = 120);

}  // namespace tolvane::testing
