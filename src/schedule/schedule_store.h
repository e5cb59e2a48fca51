#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The files every Tolvane process of one schedule shares, beside it:
//   "<schedule>.lock"    held while one of them reads and rewrites the
//                        schedule or the run record, so no edit is lost;
//   "<schedule>.runs"    which line ran at which minute, so a due line runs
//                        once whoever comes to it and however often;
//   "<schedule>.window"  held by every running window, so the service knows
//                        to leave the schedule to it.
inline constexpr std::string_view kLockFileSuffix = ".lock";
inline constexpr std::string_view kRunRecordSuffix = ".runs";
inline constexpr std::string_view kWindowLockSuffix = ".window";

// How long a writer waits for another one's turn before it gives up: a turn
// is one read and one write.
inline constexpr double kScheduleLockWaitSeconds = 10.0;
// The longest single wait for the lock of a writer that may be told to stop
// or to give up: the service must end within a second of its stop, whoever
// holds the lock.
inline constexpr double kLockStepSeconds = 0.5;
// Runs older (or, after the clock was set back, newer) than this are dropped.
inline constexpr WallMinute kRunRecordMinutes = 24 * 60;

// The schedule file as all its writers share it. Every change is made under
// the shared lock, to the file as it is at that moment, never to an older copy.
class ScheduleStore {
  public:
    // `sharedFiles`: where the lock, run record and window lock stand, as a
    // path their suffixes are added to; the schedule's own path when empty.
    // A schedule nobody may write beside (the machine's) keeps them elsewhere.
    ScheduleStore(FileSystem& files, std::string path, std::size_t maxBytes,
                  std::string sharedFiles = {});

    const std::string& Path() const { return path_; }
    std::size_t MaxBytes() const { return maxBytes_; }

    FileRead Read() { return files_.ReadFile(path_, maxBytes_); }

    // The bytes a change makes of the file's bytes as found (empty for a
    // missing file); nothing leaves the file as it is.
    using Change = std::function<std::optional<std::string>(const std::string& found)>;
    struct Changed {
        bool ok = true;
        std::string reason;  // why it failed
        bool written = false;
        std::string bytes;  // the file as this change left it
        explicit operator bool() const { return ok; }
    };
    // Under the lock: reads the file, applies `change`, replaces the file
    // with the result. A file that stands but cannot be read, or is over the
    // bound, is never replaced.
    Changed Edit(const Change& change);

    enum class Claim {
        Run,         // this process carries the line out
        AlreadyRan,  // some process claimed it for this minute
        Gone,        // a one-time line no longer in the schedule
        Failed,      // a one-time line that could not be taken out (`problem` says why)
    };
    struct Claimed {
        Claim claim = Claim::Run;
        // What went wrong on the way, also when the line is still to run
        // (a run record that could not be written).
        std::string problem;
    };
    // Claims `line`'s run at `minute`, first come first served among all
    // processes: an entry in the run record, made before the action starts.
    // A one-time line also leaves the schedule in the same turn: `takeOut`
    // makes the file's bytes without it, or nothing when it is not there.
    Claimed ClaimRun(const std::string& line, WallMinute minute, bool oneTime,
                     const Change& takeOut);

    // Every run due in one tick, claimed in one turn of the lock: one wait,
    // one read of the record, one rewrite of the schedule for all the
    // one-time lines among them and one of the record, however many there
    // are. `takeOut` makes the file's bytes without `line`, or nothing when
    // it is not there. The lock is waited for in steps of at most
    // kLockStepSeconds for as long as `keepWaiting` says between them
    // (nothing waits for the lock in more than one thread at a time). Given
    // up while another process holds it, every run fails unclaimed (it may
    // be claiming the same lines); a lock that cannot be had at all fails
    // only the one-time runs.
    struct DueRun {
        std::string line;
        WallMinute minute = 0;
        bool oneTime = false;
    };
    using TakeOut =
        std::function<std::optional<std::string>(const std::string& found, const std::string& line)>;
    // One claim for each DueRun, in their order.
    std::vector<Claimed> ClaimRuns(const std::vector<DueRun>& runs, const std::function<bool()>& keepWaiting,
                     const TakeOut& takeOut);

    // Held by a window while it runs; many windows can hold it at once.
    std::unique_ptr<FileLock> HoldWindowLock(std::string& reason);
    bool WindowRunning() { return files_.LockedElsewhere(shared_ + std::string(kWindowLockSuffix)); }

  private:
    struct RunRecord {
        std::string kept;  // the entries still young enough
        std::set<std::pair<WallMinute, std::string>> runs;  // the same, to look up
        bool Ran(const std::string& line, WallMinute minute) const {
            return runs.count({minute, line}) != 0;
        }
    };
    std::unique_ptr<FileLock> Lock(std::string& reason);
    // The lock, waited for in steps while `keepWaiting` says so.
    std::unique_ptr<FileLock> LockInSteps(const std::function<bool()>& keepWaiting,
                                          std::string& reason);
    // The record's entries within a day of `minute`.
    RunRecord LoadRecord(WallMinute minute);
    // Writes the record with these runs added; false, with the reason, when
    // it could not be written.
    bool SaveRecord(RunRecord& record, const std::vector<const DueRun*>& added,
                    std::string& reason);

    FileSystem& files_;
    std::string path_;
    std::size_t maxBytes_;
    std::string shared_;
};

// The file's bytes without every line equal to `line` (compared as the reader
// trims it); every other byte stays as it was, unreadable lines included.
std::string RemoveScheduleLine(std::string_view bytes, std::string_view line);

// The edits of the window, each on the file's bytes as found; the result is
// the file's bytes for the resulting list, as the window writes them.
std::string AddScheduleLine(std::string_view bytes, const std::string& line);
// Nothing when no copy of `line` was there.
std::optional<std::string> RemoveOneScheduleLine(std::string_view bytes, std::string_view line);
std::optional<std::string> RemoveEveryScheduleLine(std::string_view bytes, std::string_view line);

}  // namespace tolvane
