#include "schedule/schedule_file.h"

#include <algorithm>

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

WriteResult ReplaceFileContents(FileSystem& fs, const std::string& path, std::string_view bytes) {
    const auto cut = path.find_last_of(std::string{'/', fs.PathSeparator()});
    const std::string folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);

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

WriteResult ScheduleFile::SetFileData() {
    // The bytes come from the list as it is at this one moment. Handing control
    // to the window line by line here would let a nested write (a removal made
    // meanwhile) finish first and then be overwritten with the older lines.
    return ReplaceFileContents(fs_, Path(), ScheduleFileBytes(list_.Items()));
}

void ScheduleFile::GetFileData() {
    const auto bytes = fs_.ReadWholeFile(Path());
    if (!bytes) return;
    // A file edited by hand may hold its lines in any order. Taken in that
    // order each would land inside the list and shift the lines after it, so a
    // long file would take time growing with the square of its length; taken
    // sorted, each lands at the end of a list filled from empty. Equal lines
    // are the same bytes, so the list ends the same either way.
    auto lines = ScheduleFileLines(*bytes);
    if (!std::is_sorted(lines.begin(), lines.end())) std::sort(lines.begin(), lines.end());
    bool first = true;
    for (auto& line : lines) {
        if (!first) pump_.ProcessPendingEvents();
        first = false;
        list_.Add(std::move(line));
    }
}

}  // namespace tolvane
