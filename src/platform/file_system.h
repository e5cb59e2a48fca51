#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvane {

// What a read of a whole file found.
struct FileRead {
    enum class Outcome {
        Read,        // `bytes` holds the file
        Missing,     // nothing stands at the path
        Unreadable,  // something stands there that cannot be read (`reason` says why)
        TooLarge,    // a regular file larger than the reader's bound
    };
    Outcome outcome = Outcome::Missing;
    std::string bytes;
    std::string reason;
};

// An advisory lock held on a file, honoured by every Tolvane process that
// opens the same file. Released when the object goes, and by the system when
// the process ends however it ends.
class FileLock {
  public:
    virtual ~FileLock() = default;
};

enum class LockKind {
    Shared,     // many holders at once, none exclusive
    Exclusive,  // one holder alone
};

// Paths and contents are bytes, passed through as they are: no text mode, no
// code-page conversion.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The folder that holds the program file, without a trailing separator
    // (except at a drive's root, where the platform's own form is kept).
    virtual std::string ProgramFolder() = 0;
    // The folder of the schedule file: the program's folder where the program
    // may write beside itself, a per-user data folder where it cannot.
    virtual std::string ScheduleFolder() { return ProgramFolder(); }
    virtual char PathSeparator() const = 0;

    // The whole regular file at `path` when it holds at most `maxBytes`;
    // otherwise what stood in the way. The one read each file system makes;
    // the two below are written in terms of it.
    virtual FileRead ReadFile(const std::string& path, std::size_t maxBytes) = 0;
    // The whole file, or nothing when it is missing, cannot be read or is no
    // regular file (a pipe or a device is never waited on).
    std::optional<std::string> ReadWholeFile(const std::string& path) {
        bool tooLarge = false;
        return ReadFileUpTo(path, std::string().max_size(), tooLarge);
    }
    // The same, for a reader that must not hold more than `maxBytes` whatever
    // stands at `path`: a larger file is not read, and `tooLarge` says so.
    std::optional<std::string> ReadFileUpTo(const std::string& path, std::size_t maxBytes,
                                            bool& tooLarge) {
        FileRead read = ReadFile(path, maxBytes);
        tooLarge = read.outcome == FileRead::Outcome::TooLarge;
        if (read.outcome != FileRead::Outcome::Read) return std::nullopt;
        return std::move(read.bytes);
    }
    // Whether anything stands at `path`, readable or not: a file that exists
    // but cannot be read must not be replaced as if it were missing.
    virtual bool Exists(const std::string& path) { return ReadWholeFile(path).has_value(); }

    // Creates a file with a fresh unique name in `folder`, its name starting with
    // `prefix`, writes `bytes`, flushes them to the disk and closes it. Returns its
    // path, or nothing (leaving no file behind, and the platform's words for the
    // cause in `reason`) when any of that fails.
    virtual std::optional<std::string> WriteTemporaryFile(const std::string& folder,
                                                          const std::string& prefix,
                                                          std::string_view bytes,
                                                          std::string& reason) = 0;

    // Puts `from` in place of `to` in one step: afterwards `to` is either still
    // the old file or completely the new one.
    virtual bool MoveFileOver(const std::string& from, const std::string& to,
                              std::string& reason) = 0;

    virtual bool RemoveFile(const std::string& path) = 0;

    // The files WriteTemporaryFile made in `folder` with `prefix` that were
    // last written at least `minimumAgeSeconds` ago: left behind by a writer
    // that was killed, or lost its power, between writing and moving. Only
    // names of the adapter's own temporary form are listed, never another
    // file that merely starts with the prefix.
    virtual std::vector<std::string> StaleTemporaryFiles(const std::string& folder,
                                                         const std::string& prefix,
                                                         double minimumAgeSeconds) = 0;

    // Takes a lock on the file at `path`, made empty when missing, waiting
    // up to `waitSeconds` while another holder's lock stands in the way.
    // Nothing, with the reason, when it could not be had.
    virtual std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind,
                                               double waitSeconds, std::string& reason) = 0;
    // Whether any process holds a lock on the file at `path` at this moment.
    // A missing file has none, and is not made.
    virtual bool LockedElsewhere(const std::string& path) = 0;

    // The file that symbolic links at `path` finally lead to, so a write can
    // replace that file and leave the links in place; `path` itself when it
    // is no link.
    virtual std::string LinkTarget(const std::string& path) { return path; }
};

}  // namespace tolvane
