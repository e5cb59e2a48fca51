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

WriteResult ScheduleFile::Apply(const ScheduleStore::Change& change) {
    const ScheduleStore::Changed changed = Store().Edit(change);
    if (!changed) return WriteResult{false, changed.reason};
    Show(changed.bytes);
    return {};
}

WriteResult ScheduleFile::AddLine(std::string line) {
    list_.Add(line);
    return Apply([&](const std::string& found) { return AddScheduleLine(found, line); });
}

WriteResult ScheduleFile::RemoveLine(int index) {
    const std::string line = list_.Item(index);
    if (!list_.Remove(index)) return {};
    // Someone else may have removed it from the file first: then nothing
    // is written, and the list shows the file as it is.
    return Apply([&](const std::string& found) { return RemoveOneScheduleLine(found, line); });
}

bool ScheduleFile::ClaimRun(const std::string& line, WallMinute minute, bool oneTime) {
    const ScheduleStore::Claimed claimed =
        Store().ClaimRun(line, minute, oneTime, [&](const std::string& found) {
            return RemoveEveryScheduleLine(found, line);
        });
    switch (claimed.claim) {
        case ScheduleStore::Claim::AlreadyRan:
        case ScheduleStore::Claim::Gone:
            return false;
        case ScheduleStore::Claim::Run:
        case ScheduleStore::Claim::Failed:
            break;
    }
    // A one-time line that could not be taken out of the file still runs,
    // once: it leaves the list, which the window runs from.
    if (oneTime) {
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
    auto lines = ScheduleFileLines(bytes);
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
