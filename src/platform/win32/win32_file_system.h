#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_system.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

namespace tolvane {

// The ANSI file functions with byte paths; files are opened in binary, so a
// CR LF is two bytes on the way in and on the way out.
class Win32FileSystem final : public FileSystem {
  public:
    Win32FileSystem() = default;
    // The schedule file lives in `scheduleFolder` instead (the program's
    // folder when empty): the service may be told where the window keeps it.
    explicit Win32FileSystem(std::string scheduleFolder)
        : scheduleFolder_(std::move(scheduleFolder)) {}

    std::string ProgramFolder() override;
    std::string ScheduleFolder() override {
        return scheduleFolder_.empty() ? ProgramFolder() : scheduleFolder_;
    }
    char PathSeparator() const override { return '\\'; }
    FileRead ReadFile(const std::string& path, std::size_t maxBytes) override;
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override;
    bool MoveFileOver(const std::string& from, const std::string& to, std::string& reason) override;
    bool RemoveFile(const std::string& path) override;
    // Temporary files are named prefix, process number, "-", counter, ".tmp".
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override;
    // LockFileEx on the whole file, which is opened as itself (a link in its
    // place is refused, not followed).
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override;
    bool LockedElsewhere(const std::string& path) override;
    // Symbolic links are read one at a time, a relative one from its own folder.
    std::string LinkTarget(const std::string& path) override;

  private:
    std::string scheduleFolder_;
};

// The full path of this program's file, as the system loaded it; empty when
// it cannot be had.
std::string ThisProgramFile();

// The target a symbolic link's reparse data (as FSCTL_GET_REPARSE_POINT
// gives it) names, in the plain form ("C:\x", "\\server\share\x", or
// relative to the link's folder, which `relative` then says); nothing for
// other reparse data or a name the ANSI code page cannot hold.
std::optional<std::string> SymbolicLinkTarget(std::string_view reparseData, bool& relative);

// Whether `path` is `folder` itself or lies inside it, by the names, without
// regard to case ("C:\Program Files\Tolvane\x.exe" inside "c:\program files";
// "C:\Program Files Evil\x.exe" not).
bool IsInsideFolder(std::string_view path, std::string_view folder);

// A known folder (FOLDERID_...) as the ANSI functions take it; empty when
// it cannot be read or the code page cannot hold its name.
std::string KnownFolder(const KNOWNFOLDERID& id);

// The machine's own folder, %ProgramData%\Tolvane, where administrators keep
// its schedule; empty when the known folder cannot be read.
std::string MachineFolder();

// The folder of the window's schedule file for the user running this: beside
// the program, unless the program lies in Program Files, which its users
// cannot write; then the user's own %LOCALAPPDATA%\Tolvane.
std::string WindowScheduleFolder(const std::string& programFolder);

}  // namespace tolvane
