#pragma once

#include <map>
#include <string>

#include "platform/file_system.h"

namespace tolvane::testing {

// Files in memory, with each step of a write able to fail on demand.
class FakeFileSystem final : public FileSystem {
  public:
    std::string folder = "C:\\Program Files\\Tolvane";
    std::map<std::string, std::string> files;
    bool failRead = false;
    bool failTemporaryWrite = false;
    bool failMoveOver = false;
    std::string failureReason = "Access is denied.";
    int temporaryFilesCreated = 0;

    std::string ProgramFolder() override { return folder; }
    char PathSeparator() const override { return '\\'; }

    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        const auto found = files.find(path);
        if (failRead || found == files.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::string> WriteTemporaryFile(const std::string& inFolder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override {
        if (failTemporaryWrite) {
            reason = failureReason;
            return std::nullopt;
        }
        const std::string path =
            inFolder + "\\" + prefix + std::to_string(++temporaryFilesCreated) + ".tmp";
        files[path] = std::string(bytes);
        return path;
    }
    bool MoveFileOver(const std::string& from, const std::string& to,
                      std::string& reason) override {
        const auto found = files.find(from);
        if (failMoveOver || found == files.end()) {
            reason = failureReason;
            return false;
        }
        files[to] = found->second;
        files.erase(from);
        return true;
    }
    bool RemoveFile(const std::string& path) override { return files.erase(path) > 0; }
};

}  // namespace tolvane::testing
