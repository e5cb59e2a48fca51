#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

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

    // The whole file, or nothing when it is missing, cannot be read or is no
    // regular file (a pipe or a device is never waited on).
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // The same, for a reader that must not hold more than `maxBytes` whatever
    // stands at `path`: a larger file is not read, and `tooLarge` says so.
    virtual std::optional<std::string> ReadFileUpTo(const std::string& path, std::size_t maxBytes,
                                                    bool& tooLarge) {
        auto bytes = ReadWholeFile(path);
        tooLarge = bytes && bytes->size() > maxBytes;
        if (tooLarge) return std::nullopt;
        return bytes;
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
};

}  // namespace tolvane
