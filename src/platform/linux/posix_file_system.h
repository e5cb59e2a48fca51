#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tolvane {

class PosixFileSystem final : public FileSystem {
  public:
    // `programFolder` holds the program; the schedule file lives in
    // `scheduleFolder` (the program's folder when empty), which is made on the
    // first write: a program installed under /usr cannot write beside itself.
    explicit PosixFileSystem(std::string programFolder, std::string scheduleFolder = {});
    ~PosixFileSystem() override;
    PosixFileSystem(const PosixFileSystem&) = delete;
    PosixFileSystem& operator=(const PosixFileSystem&) = delete;

    // Lets the first write into `folder` create it (and what is missing above it).
    void CreateOnFirstWrite(std::string folder) { madeOnDemand_.push_back(std::move(folder)); }

    std::string ProgramFolder() override { return programFolder_; }
    std::string ScheduleFolder() override {
        return scheduleFolder_.empty() ? programFolder_ : scheduleFolder_;
    }
    char PathSeparator() const override { return '/'; }
    FileRead ReadFile(const std::string& path, std::size_t maxBytes) override;
    bool Exists(const std::string& path) override;
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override;
    bool MoveFileOver(const std::string& from, const std::string& to, std::string& reason) override;
    bool RemoveFile(const std::string& path) override;
    // Temporary files are named prefix, six letters or digits, ".tmp".
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override;
    // flock(2): released with the last descriptor of the open file. One
    // wait at a time per lock: a request that gives up leaves its wait to
    // the next request for the same lock.
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override;
    bool LockedElsewhere(const std::string& path) override;
    std::string LinkTarget(const std::string& path) override;

  private:
    std::string programFolder_;
    std::string scheduleFolder_;
    std::vector<std::string> madeOnDemand_;
    struct LockWait;
    std::vector<std::shared_ptr<LockWait>> waits_;
};

}  // namespace tolvane
