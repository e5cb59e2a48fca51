#include "schedule/schedule_file.h"

#include <algorithm>

#include "schedule/paths.h"
#include "schedule/text.h"

namespace tolvane {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}

std::string ScheduleFileBytes(const std::vector<std::string>& lines) {
    std::string body;
    for (const auto& line : lines) {
        body += line;
        body += kLineEnd;
    }
    std::string bytes(text::TrimSpaces(body));
    bytes += kLineEnd;
    return bytes;
}

std::vector<std::string> ScheduleFileLines(std::string_view bytes) {
    auto pieces = text::Split(bytes, kLineEnd);
    pieces.pop_back();  // the text after the last CR LF, even when not empty
    std::vector<std::string> lines;
    for (auto piece : pieces) {
        const auto line = text::TrimSpaces(piece);
        if (!line.empty()) lines.emplace_back(line);
    }
    return lines;
}

std::string JoinPath(std::string_view folder, char separator, std::string_view name) {
    std::string path(folder);
    if (path.empty() || (path.back() != separator && path.back() != '/')) path += separator;
    path += name;
    return path;
}

WriteResult ReplaceFileContents(FileSystem& fs, const std::string& linkOrPath,
                                std::string_view bytes) {
    // A file kept as a link stays one: the file it leads to is replaced, in
    // its own folder, since a rename cannot cross to another disk.
    const std::string path = fs.LinkTarget(linkOrPath);
    const std::string separators{'/', fs.PathSeparator()};
    std::string folder = FolderOf(path, separators);
    if (folder.empty()) folder = ".";
    const std::string name = FileNameOf(path, separators);

    const std::string prefix = name + ".";
    for (const auto& stale : fs.StaleTemporaryFiles(folder, prefix, kStaleTemporaryFileSeconds)) {
        fs.RemoveFile(stale);
    }

    WriteResult result;
    const auto temporary = fs.WriteTemporaryFile(folder, prefix, bytes, result.reason);
    if (temporary && fs.MoveFileOver(*temporary, path, result.reason)) return result;
    if (temporary) fs.RemoveFile(*temporary);
    result.ok = false;
    return result;
}

std::string ScheduleFile::Path() {
    return JoinPath(fs_.ScheduleFolder(), fs_.PathSeparator(), kScheduleFileName);
}

void ScheduleFile::GetFileData() {
    const FileRead read = Store().Read();
    if (read.outcome == FileRead::Outcome::Read) AddLines(read.bytes);
}

void ScheduleFile::AddLines(const std::string& bytes) {
    seen_ = bytes;
    // A file edited by hand may hold its lines in any order. Taken in that
    // order each would land inside the list and shift the lines after it, so a
    // long file would take time growing with the square of its length; taken
    // sorted, each lands at the end of a list filled from empty. Equal lines
    // are the same bytes, so the list ends the same either way.
    auto lines = ScheduleFileLines(bytes);
    if (!std::is_sorted(lines.begin(), lines.end())) std::sort(lines.begin(), lines.end());
    bool first = true;
    for (auto& line : lines) {
        if (!first) pump_.ProcessPendingEvents();
        first = false;
        list_.Add(std::move(line));
    }
}

std::string ScheduleFile::GetRebootData() {
    const FileRead read = Store().Read();
    switch (read.outcome) {
        case FileRead::Outcome::Read:
            AddLines(read.bytes);
            return {};
        case FileRead::Outcome::Missing:
            return {};
        case FileRead::Outcome::TooLarge:
            return "The file is larger than " +
                   std::to_string(kWindowMaxScheduleBytes / (1024 * 1024)) + " MiB.";
        case FileRead::Outcome::Unreadable:
            break;
    }
    return read.reason;
}

std::optional<std::string> ScheduleFile::WithPending(const std::string& found) const {
    std::optional<std::string> bytes;
    for (const Edit& edit : pending_) {
        const std::string& now = bytes ? *bytes : found;
        if (edit.add) {
            bytes = AddScheduleLine(now, edit.line);
        } else if (auto without = RemoveOneScheduleLine(now, edit.line)) {
            // Someone else may have removed it from the file first: then
            // that removal changes nothing.
            bytes = std::move(without);
        }
    }
    return bytes;
}

WriteResult ScheduleFile::SavePending() {
    if (pending_.empty()) return {};
    const ScheduleStore::Changed changed =
        Store().Edit([&](const std::string& found) { return WithPending(found); });
    if (!changed) {
        // Nothing typed is lost: the list goes on showing the edits, and the
        // next edit or tick tries them again on the file as it is then.
        Show(seen_);
        return WriteResult{false, changed.reason};
    }
    pending_.clear();
    Show(changed.bytes);
    return {};
}

WriteResult ScheduleFile::AddLine(std::string line) {
    list_.Add(line);
    pending_.push_back({true, std::move(line)});
    return SavePending();
}

WriteResult ScheduleFile::RemoveLine(int index) {
    const std::string line = list_.Item(index);
    if (!list_.Remove(index)) return {};
    // A line added but never saved is simply not added after all.
    const auto unsaved = std::find_if(pending_.rbegin(), pending_.rend(), [&](const Edit& edit) {
        return edit.add && edit.line == line;
    });
    if (unsaved != pending_.rend()) {
        pending_.erase(std::next(unsaved).base());
    } else {
        pending_.push_back({false, line});
    }
    return SavePending();
}

bool ScheduleFile::ClaimRun(const std::string& line, WallMinute minute, bool oneTime) {
    const bool unsaved = std::any_of(pending_.begin(), pending_.end(), [&](const Edit& edit) {
        return edit.add && edit.line == line;
    });
    ScheduleStore::Claimed claimed =
        Store().ClaimRun(line, minute, oneTime, [&](const std::string& found) {
            return RemoveEveryScheduleLine(found, line);
        });
    // Not in the file only because it could not be saved: the run record
    // alone tells whether another process ran it.
    if (claimed.claim == ScheduleStore::Claim::Gone && unsaved) {
        claimed = Store().ClaimRun(line, minute, false, {});
    }
    switch (claimed.claim) {
        case ScheduleStore::Claim::AlreadyRan:
        case ScheduleStore::Claim::Gone:
            return false;
        case ScheduleStore::Claim::Run:
        case ScheduleStore::Claim::Failed:
            break;
    }
    // A one-time line that could not be taken out of the file still runs,
    // once: it leaves the list, which the window runs from, and the edits
    // still to be saved.
    if (oneTime) {
        pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                      [&](const Edit& edit) { return edit.add && edit.line == line; }),
                       pending_.end());
        ScheduleListCursor cursor(list_);
        while (!cursor.AtEnd()) {
            pump_.ProcessPendingEvents();
            if (cursor.AtEnd()) break;
            if (list_.Item(cursor.Position()) == line) {
                list_.Remove(cursor.Position());
            } else {
                cursor.Advance();
            }
        }
    }
    return true;
}

void ScheduleFile::Reload() {
    const FileRead read = Store().Read();
    // A file that cannot be read now says nothing about the schedule; the
    // list keeps showing the last one seen. A file removed is an empty schedule.
    if (read.outcome != FileRead::Outcome::Read && read.outcome != FileRead::Outcome::Missing) {
        return;
    }
    if (read.bytes != seen_) Show(read.bytes);
}

void ScheduleFile::Show(const std::string& bytes) {
    seen_ = bytes;
    const auto shown = WithPending(bytes);
    auto lines = ScheduleFileLines(shown ? *shown : bytes);
    std::sort(lines.begin(), lines.end());
    const std::string selected = list_.Item(list_.Selected());
    const bool hadSelection = list_.Selected() >= 0;

    // Both are sorted: walk them together, removing what the file lacks and
    // adding what the list lacks.
    int at = 0;
    std::size_t next = 0;
    while (at < list_.Count() || next < lines.size()) {
        if (next == lines.size() || (at < list_.Count() && list_.Item(at) < lines[next])) {
            list_.Remove(at);
        } else if (at == list_.Count() || lines[next] < list_.Item(at)) {
            list_.Add(lines[next++]);
            ++at;
        } else {
            ++at;
            ++next;
        }
    }
    // A copy of the selected line that went may leave an equal one behind.
    if (hadSelection && list_.Selected() < 0) {
        const auto same = std::lower_bound(lines.begin(), lines.end(), selected);
        if (same != lines.end() && *same == selected) {
            list_.Select(static_cast<int>(same - lines.begin()));
        }
    }
}

}  // namespace tolvane
