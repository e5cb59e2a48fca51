#pragma once

#include "platform/file_system.h"

namespace tolvane {

class PosixFileSystem final : public FileSystem {
  public:
    // `programFolder` is where the program keeps its schedule file.
    explicit PosixFileSystem(std::string programFolder)
        : programFolder_(std::move(programFolder)) {}

    std::string ProgramFolder() override { return programFolder_; }
    char PathSeparator() const override { return '/'; }
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override;
    bool MoveFileOver(const std::string& from, const std::string& to, std::string& reason) override;
    bool RemoveFile(const std::string& path) override;

  private:
    std::string programFolder_;
};

}  // namespace tolvane
