#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_nodes.h"
#include "platform/file_system.h"
#include "platform/service_log.h"

namespace tolvane {

// A full Windows path taken apart: the root of its volume or share ("C:\",
// "\\server\share\") and the names below it, each a plain name.
struct WalkPath {
    std::string root;
    std::vector<std::string> names;
};

// Nothing, with the reason, for anything but a full path of plain names:
// relative paths, device paths ("\\?\", "\\.\"), empty names, "." and "..",
// stream names ("file:stream"), names the Win32 functions would read as
// another name (a trailing dot or blank) and names with wildcard or control
// characters.
std::optional<WalkPath> SplitWalkPath(std::string_view path, std::string& reason);

// The names of the temporary files Windows writers make beside a file:
// prefix, process number, "-", counter, ".tmp". The window's writer and the
// service's make and recognise the same ones.
std::string NumberedTemporaryName(std::string_view prefix, std::uint32_t process, unsigned counter);
bool IsNumberedTemporaryName(std::string_view name, std::string_view prefix);

// The service's files on Windows. It runs as LocalSystem, and the schedule
// lives in a folder its user can change: a junction, a symbolic link or a
// second name (hard link) placed anywhere on the schedule's path would turn a
// write, read or delete of the system's into one somewhere else. So no path
// is ever handed to the system whole: each one is walked from its volume's
// root one name at a time, each name opened inside the folder opened before
// it without following links, and a link anywhere on the way is refused, as
// is a file with more than one name. Every read, write, rename, listing and
// delete then acts on the objects so checked, never on a path looked up
// again. A folder swapped for a link once it was checked changes nothing: the
// open folder is what is used.
//
// Refusals are written to the log (when given), once while they last.
class NoLinkFileSystem final : public FileSystem {
  public:
    NoLinkFileSystem(FileNodes& nodes, std::string programFolder, std::string scheduleFolder = {},
                     ServiceLog* log = nullptr);

    std::string ProgramFolder() override { return programFolder_; }
    std::string ScheduleFolder() override {
        return scheduleFolder_.empty() ? programFolder_ : scheduleFolder_;
    }
    char PathSeparator() const override { return '\\'; }

    // The size is judged before a byte is read; a file that grows meanwhile
    // is caught while reading.
    FileRead ReadFile(const std::string& path, std::size_t maxBytes) override;
    bool Exists(const std::string& path) override;
    std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override;
    bool MoveFileOver(const std::string& from, const std::string& to, std::string& reason) override;
    bool RemoveFile(const std::string& path) override;
    std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override;
    // The lock file is walked to and checked like any other file before a
    // lock is taken on it: a link, a second name or a folder in its place is
    // refused and left unlocked, as a lock on a file the service reached
    // through one would hold up whoever else uses that file. One that is
    // missing is made, in the checked folder.
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override;
    // False also for a lock file that is refused.
    bool LockedElsewhere(const std::string& path) override;

    // Why the file at `path` must not be used at all: a link or a second
    // name on the way or in its place, something that is no regular file, a
    // path that is not plain. Empty when it is a plain file, or when nothing
    // (or nothing this process can open) stands there yet.
    std::string Refusal(const std::string& path);

  private:
    class Held;
    class NodeLock;
    struct Failure;

    std::optional<Held> OpenFolder(const WalkPath& path, std::size_t depth, FileNodes::Use use,
                                   Failure& failure);
    std::optional<Held> OpenFolder(const std::string& folder, FileNodes::Use use, Failure& failure);
    // `create`: a missing file is made (empty) and opened for Use::Lock.
    std::optional<Held> OpenFile(const std::string& path, FileNodes::Use use, Failure& failure,
                                 FileNodeFacts& facts, bool create = false);
    // Passes a refusal to the log unless it was the last one written.
    void Report(const Failure& failure);

    FileNodes& nodes_;
    std::string programFolder_;
    std::string scheduleFolder_;
    ServiceLog* log_;
    std::string lastReported_;
    unsigned counter_ = 0;
};

}  // namespace tolvane
