#include "schedule/schedule_store.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "schedule/schedule_file.h"
#include "schedule/text.h"

namespace tolvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A record of one day's runs holds a few lines; one larger than this was not
// written by Tolvane and is started afresh.
constexpr std::size_t kRunRecordMaxBytes = 1024 * 1024;

std::string Unreadable(const std::string& path, const FileRead& read) {
    if (read.outcome == FileRead::Outcome::TooLarge) {
        return "the file " + path + " is too large to be read";
    }
    return "the file " + path + " cannot be read (" + read.reason + ")";
}

}  // namespace

std::string RemoveScheduleLine(std::string_view bytes, std::string_view line) {
    const auto pieces = text::Split(bytes, kLineEnd);
    std::string kept;
    kept.reserve(bytes.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();  // never read as a line
        if (!last && text::TrimSpaces(pieces[i]) == line) continue;
        kept += pieces[i];
        if (!last) kept += kLineEnd;
    }
    return kept;
}

std::string AddScheduleLine(std::string_view bytes, const std::string& line) {
    // In the list's order, whatever order a hand-edited file had: equal
    // lines are equal bytes, so no order among them needs keeping.
    auto lines = ScheduleFileLines(bytes);
    lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return ScheduleFileBytes(lines);
}

std::optional<std::string> RemoveOneScheduleLine(std::string_view bytes, std::string_view line) {
    auto lines = ScheduleFileLines(bytes);
    const auto found = std::find(lines.begin(), lines.end(), line);
    if (found == lines.end()) return std::nullopt;
    lines.erase(found);
    std::sort(lines.begin(), lines.end());
    return ScheduleFileBytes(lines);
}

std::optional<std::string> RemoveEveryScheduleLine(std::string_view bytes,
                                                   std::string_view line) {
    auto lines = ScheduleFileLines(bytes);
    const auto kept = std::remove(lines.begin(), lines.end(), line);
    if (kept == lines.end()) return std::nullopt;
    lines.erase(kept, lines.end());
    std::sort(lines.begin(), lines.end());
    return ScheduleFileBytes(lines);
}

ScheduleStore::ScheduleStore(FileSystem& files, std::string path, std::size_t maxBytes,
                             std::string sharedFiles)
    : files_(files),
      path_(std::move(path)),
      maxBytes_(maxBytes),
      shared_(sharedFiles.empty() ? path_ : std::move(sharedFiles)) {}

std::unique_ptr<FileLock> ScheduleStore::Lock(std::string& reason) {
    return files_.LockFile(shared_ + std::string(kLockFileSuffix), LockKind::Exclusive,
                           kScheduleLockWaitSeconds, reason);
}

std::unique_ptr<FileLock> ScheduleStore::HoldWindowLock(std::string& reason) {
    return files_.LockFile(shared_ + std::string(kWindowLockSuffix), LockKind::Shared,
                           kScheduleLockWaitSeconds, reason);
}

ScheduleStore::Changed ScheduleStore::Edit(const Change& change) {
    Changed result;
    const auto lock = Lock(result.reason);
    if (!lock) {
        result.ok = false;
        return result;
    }
    FileRead found = Read();
    if (found.outcome != FileRead::Outcome::Read && found.outcome != FileRead::Outcome::Missing) {
        result.ok = false;
        result.reason = found.outcome == FileRead::Outcome::TooLarge
                            ? "It is larger than " + std::to_string(maxBytes_ / (1024 * 1024)) +
                                  " MiB, more than a schedule can hold."
                            : found.reason;
        return result;
    }
    auto bytes = change(found.bytes);
    if (!bytes) {
        result.bytes = std::move(found.bytes);
        return result;
    }
    const WriteResult written = ReplaceFileContents(files_, path_, *bytes);
    result.ok = written.ok;
    result.reason = written.reason;
    result.written = written.ok;
    result.bytes = written.ok ? std::move(*bytes) : std::move(found.bytes);
    return result;
}

ScheduleStore::Claimed ScheduleStore::ClaimRun(const std::string& line, WallMinute minute,
                                               bool oneTime, const Change& takeOut) {
    const DueRun run{line, minute, oneTime};
    auto steps = static_cast<int>(kScheduleLockWaitSeconds / kLockStepSeconds);
    std::vector<Claimed> claims = ClaimRuns(
        {run}, [&] { return --steps > 0; },
        [&](const std::string& found, const std::string&) { return takeOut(found); });
    Claimed claimed = std::move(claims.front());
    // The window's own memory keeps a repeating line from acting twice, and
    // its user is there to see it: it acts even past a holder of the lock.
    if (claimed.claim == Claim::Failed && !oneTime) claimed.claim = Claim::Run;
    return claimed;
}

std::unique_ptr<FileLock> ScheduleStore::LockInSteps(const std::function<bool()>& keepWaiting,
                                                     std::string& reason) {
    const std::string path = shared_ + std::string(kLockFileSuffix);
    bool heldBefore = true;
    for (;;) {
        auto lock = files_.LockFile(path, LockKind::Exclusive, kLockStepSeconds, reason);
        if (lock || !keepWaiting()) return lock;
        // Only a holder is worth waiting out. A lock found free may have been
        // let go just now, with this process's waiter still on its way to
        // it: that takes a step, not an instant. Found free twice with a step
        // between and still not had, it cannot be had at all (no rights).
        const bool held = files_.LockedElsewhere(path);
        if (!held && !heldBefore) return nullptr;
        heldBefore = held;
    }
}

std::vector<ScheduleStore::Claimed> ScheduleStore::ClaimRuns(const std::vector<DueRun>& runs,
                                               const std::function<bool()>& keepWaiting,
                                               const TakeOut& takeOut) {
    std::vector<Claimed> claims(runs.size());
    if (runs.empty()) return claims;
    std::string reason;
    const auto lock = LockInSteps(keepWaiting, reason);
    if (!lock) {
        // Another process kept the lock for the whole wait: it may be
        // claiming these very lines, so none runs late or twice. A lock that
        // cannot be had at all (a folder the user may only read) asks
        // nobody: a repeating line acts, as a schedule without a record
        // would, and the tick's minutes keep it from acting twice; a
        // one-time line that cannot be taken out is not run.
        const bool held = files_.LockedElsewhere(shared_ + std::string(kLockFileSuffix));
        const std::string problem = "the schedule could not be locked (" + reason + ")";
        for (std::size_t i = 0; i < runs.size(); ++i) {
            claims[i].problem = problem;
            if (held || runs[i].oneTime) claims[i].claim = Claim::Failed;
        }
        return claims;
    }

    WallMinute newest = runs.front().minute;
    for (const DueRun& run : runs) newest = std::max(newest, run.minute);
    RunRecord record = LoadRecord(newest);
    bool anyOneTime = false;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (record.Ran(runs[i].line, runs[i].minute)) {
            claims[i].claim = Claim::AlreadyRan;
        } else {
            anyOneTime = anyOneTime || runs[i].oneTime;
        }
    }

    // The one-time lines leave the file together, in one rewrite: a tick
    // with hundreds of them costs one write of the file, not one each.
    if (anyOneTime) {
        const FileRead found = Read();
        std::optional<std::string> without;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (!runs[i].oneTime || claims[i].claim != Claim::Run) continue;
            if (found.outcome == FileRead::Outcome::Missing) {
                claims[i].claim = Claim::Gone;
            } else if (found.outcome != FileRead::Outcome::Read) {
                claims[i].claim = Claim::Failed;
                claims[i].problem = Unreadable(path_, found);
            } else if (auto taken = takeOut(without ? *without : found.bytes, runs[i].line)) {
                without = std::move(taken);
            } else {
                claims[i].claim = Claim::Gone;
            }
        }
        if (without) {
            const WriteResult written = ReplaceFileContents(files_, path_, *without);
            if (!written) {
                for (std::size_t i = 0; i < runs.size(); ++i) {
                    if (!runs[i].oneTime || claims[i].claim != Claim::Run) continue;
                    claims[i].claim = Claim::Failed;
                    claims[i].problem = "the one-time line could not be taken out of " +
                                             path_ + " (" + written.reason + ")";
                }
            }
        }
    }

    std::vector<const DueRun*> added;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (claims[i].claim == Claim::Run) added.push_back(&runs[i]);
    }
    if (!added.empty() && !SaveRecord(record, added, reason)) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (claims[i].claim != Claim::Run) continue;
            claims[i].problem = "the run record could not be written (" + reason + ")";
        }
    }
    return claims;
}

ScheduleStore::RunRecord ScheduleStore::LoadRecord(WallMinute minute) {
    const FileRead found = files_.ReadFile(shared_ + std::string(kRunRecordSuffix), kRunRecordMaxBytes);
    RunRecord record;
    // Each entry: the minute's number, a tab, the line, CR LF. Entries far
    // from this minute are dropped, so the record stays a day's worth.
    for (auto entry : text::Split(found.bytes, kLineEnd)) {
        const auto tab = entry.find('\t');
        if (tab == std::string_view::npos) continue;
        WallMinute when = 0;
        const auto number = entry.substr(0, tab);
        const auto parsed = std::from_chars(number.data(), number.data() + number.size(), when);
        if (parsed.ec != std::errc() || parsed.ptr != number.data() + number.size()) continue;
        if (when < minute - kRunRecordMinutes || when > minute + kRunRecordMinutes) continue;
        record.runs.emplace(when, std::string(entry.substr(tab + 1)));
        record.kept.append(entry);
        record.kept.append(kLineEnd);
    }
    return record;
}

bool ScheduleStore::SaveRecord(RunRecord& record, const std::vector<const DueRun*>& added,
                               std::string& reason) {
    for (const DueRun* run : added) {
        record.kept += std::to_string(run->minute);
        record.kept += '\t';
        record.kept += run->line;
        record.kept += kLineEnd;
    }
    const WriteResult written =
        ReplaceFileContents(files_, shared_ + std::string(kRunRecordSuffix), record.kept);
    reason = written.reason;
    return written.ok;
}

}  // namespace tolvane
