#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "schedule/no_link_file_system.h"

namespace tolvane::testing {

// A new empty folder under the temporary folder, named for this process.
std::string MakeScratchFolder();
// Deletes a folder and everything in it.
void RemoveFolderTree(const std::string& folder);

// The real Windows file functions, with the program's folder (where the
// schedule file lives) moved to a scratch folder.
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
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override {
        return real_.StaleTemporaryFiles(folder, prefix, minimumAgeSeconds);
    }

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
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return files_.ReadWholeFile(path);
    }
    std::optional<std::string> ReadFileUpTo(const std::string& path, std::size_t maxBytes,
                                            bool& tooLarge) override {
        return files_.ReadFileUpTo(path, maxBytes, tooLarge);
    }
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
    std::string Refusal(const std::string& path) { return files_.Refusal(path); }

  private:
    Win32FileNodes nodes_;
    NoLinkFileSystem files_;
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

}  // namespace tolvane::testing
