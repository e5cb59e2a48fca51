#pragma once

#include "platform/file_system.h"

namespace tolvane {

// The ANSI file functions with byte paths; files are opened in binary, so a
// CR LF is two bytes on the way in and on the way out.
class Win32FileSystem final : public FileSystem {
  public:
    std::string ProgramFolder() override;
    char PathSeparator() const override { return '\\'; }
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override;
    bool MoveFileOver(const std::string& from, const std::string& to, std::string& reason) override;
    bool RemoveFile(const std::string& path) override;
    // Temporary files are named prefix, process number, "-", counter, ".tmp".
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override;
};

}  // namespace tolvane
