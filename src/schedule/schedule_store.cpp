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

ScheduleStore::ScheduleStore(FileSystem& files, std::string path, std::size_t maxBytes)
    : files_(files), path_(std::move(path)), maxBytes_(maxBytes) {}

std::unique_ptr<FileLock> ScheduleStore::Lock(std::string& reason) {
    return files_.LockFile(path_ + std::string(kLockFileSuffix), LockKind::Exclusive,
                           kScheduleLockWaitSeconds, reason);
}

std::unique_ptr<FileLock> ScheduleStore::HoldWindowLock(std::string& reason) {
    return files_.LockFile(path_ + std::string(kWindowLockSuffix), LockKind::Shared,
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
    Claimed result;
    std::string reason;
    const auto lock = Lock(reason);
    if (!lock) {
        // Without the lock nobody can be asked. A repeating line acts, as a
        // schedule without a record would, and the process's own memory
        // still keeps it from acting twice; a one-time line that cannot be
        // taken out is not run.
        result.problem = "the schedule could not be locked (" + reason + ")";
        if (oneTime) result.claim = Claim::Failed;
        return result;
    }
    RunRecord record = LoadRecord(line, minute);
    if (record.ran) {
        result.claim = Claim::AlreadyRan;
        return result;
    }
    if (oneTime) {
        const FileRead found = Read();
        if (found.outcome == FileRead::Outcome::Missing) {
            result.claim = Claim::Gone;
            return result;
        }
        if (found.outcome != FileRead::Outcome::Read) {
            result.claim = Claim::Failed;
            result.problem = Unreadable(path_, found);
            return result;
        }
        const auto without = takeOut(found.bytes);
        if (!without) {
            result.claim = Claim::Gone;
            return result;
        }
        const WriteResult written = ReplaceFileContents(files_, path_, *without);
        if (!written) {
            result.claim = Claim::Failed;
            result.problem = "the one-time line could not be taken out of " + path_ + " (" +
                             written.reason + ")";
            return result;
        }
    }
    if (!SaveRecord(record, line, minute, reason)) {
        result.problem = "the run record could not be written (" + reason + ")";
    }
    return result;
}

ScheduleStore::RunRecord ScheduleStore::LoadRecord(const std::string& line, WallMinute minute) {
    const FileRead found = files_.ReadFile(path_ + std::string(kRunRecordSuffix), kRunRecordMaxBytes);
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
        if (when == minute && entry.substr(tab + 1) == line) record.ran = true;
        record.kept.append(entry);
        record.kept.append(kLineEnd);
    }
    return record;
}

bool ScheduleStore::SaveRecord(RunRecord& record, const std::string& line, WallMinute minute,
                               std::string& reason) {
    record.kept += std::to_string(minute);
    record.kept += '\t';
    record.kept += line;
    record.kept += kLineEnd;
    const WriteResult written =
        ReplaceFileContents(files_, path_ + std::string(kRunRecordSuffix), record.kept);
    reason = written.reason;
    return written.ok;
}

}  // namespace tolvane
