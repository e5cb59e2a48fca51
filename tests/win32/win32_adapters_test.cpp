#include <gtest/gtest.h>
#include <windows.h>

#include "native_platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_session_services.h"
#include "power/power_operations.h"

namespace tolvane::testing {

std::string MakeScratchFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    // Wine reuses process ids quickly, so try names until one is free.
    for (unsigned attempt = GetTickCount();; ++attempt) {
        const std::string folder = std::string(base) + "tolvane-test-" +
                                   std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "no scratch folder";
            return folder;
        }
    }
}

// The Windows file system serves the program's own folder; tests point the
// schedule's path at a scratch folder through the path helpers instead.
class ScratchWin32FileSystem final : public FileSystem {
  public:
    explicit ScratchWin32FileSystem(std::string folder) : folder_(std::move(folder)) {}
    std::string ProgramFolder() override { return folder_; }
    char PathSeparator() const override { return real_.PathSeparator(); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return real_.ReadWholeFile(path);
    }
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

  private:
    std::string folder_;
    Win32FileSystem real_;
};

std::unique_ptr<FileSystem> MakeNativeFileSystem(const std::string& programFolder) {
    return std::make_unique<ScratchWin32FileSystem>(programFolder);
}

std::unique_ptr<Clock> MakeNativeClock() {
    return std::make_unique<Win32Clock>();
}

namespace {

TEST(Win32FileSystem, ProgramFolderIsTheExesFolderWithoutTrailingSeparator) {
    Win32FileSystem fs;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string folder = fs.ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(std::string(exe).rfind(folder + "\\", 0), 0u) << exe;
    EXPECT_NE(folder.back(), '\\');
}

// Only the privilege steps run for real: the exit request itself would end
// every process of the Wine prefix (or the Windows session).
TEST(Win32SessionServices, ThePrivilegeRecordIsAcceptedByThePlatform) {
    Win32SessionServices services;
    Handle token = 0;
    ASSERT_TRUE(services.OpenProcessToken(services.GetCurrentProcess(),
                                          kTokenAdjustPrivileges | kTokenQuery, token));
    Luid luid;
    ASSERT_TRUE(services.LookupPrivilegeValueA("", kShutdownPrivilegeName, luid));
    EXPECT_TRUE(luid.lowPart != 0 || luid.highPart != 0);
    TokenPrivileges wanted{1, luid, kPrivilegeEnabled};
    TokenPrivileges previous;
    std::uint32_t length = 0;
    EXPECT_TRUE(
        services.AdjustTokenPrivileges(token, false, wanted, sizeof wanted, previous, length));
    EXPECT_TRUE(services.CloseHandle(token));
}

}  // namespace
}  // namespace tolvane::testing
