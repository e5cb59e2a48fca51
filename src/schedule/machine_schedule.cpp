#include "schedule/machine_schedule.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "schedule/due_lines.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"

namespace tolvane {

std::string MachineDonePath(const std::string& stateFolder, char separator) {
    std::string path = stateFolder;
    if (path.empty() || path.back() != separator) path += separator;
    return path + std::string(kMachineDoneName);
}

bool IsOneTimeLine(const std::string& line) {
    return IsOneTime(SplitScheduleLine(line).repeatPiece);
}

std::vector<SpentLine> ReadDoneRecord(std::string_view bytes) {
    std::vector<SpentLine> spent;
    for (const std::string& entry : ScheduleFileLines(bytes)) {
        const auto tab = entry.find('\t');
        if (tab == std::string::npos || tab == 0) continue;
        long long minute = 0;
        const auto [end, error] = std::from_chars(entry.data(), entry.data() + tab, minute);
        if (error != std::errc() || end != entry.data() + tab) continue;
        spent.push_back({minute, entry.substr(tab + 1)});
    }
    return spent;
}

std::string DoneRecordBytes(const std::vector<SpentLine>& spent) {
    std::vector<std::string> entries;
    entries.reserve(spent.size());
    for (const SpentLine& s : spent) entries.push_back(std::to_string(s.minute) + "\t" + s.line);
    return ScheduleFileBytes(entries);
}

MachineLines ReadMachineLines(FileSystem& files, const std::string& schedulePath,
                              const std::string& stateFolder, AdminOnlyCheck& adminOnly,
                              long long keepSpentFrom) {
    MachineLines result;
    // Judged before it is read: what others can change is never taken in.
    // The machine's service refuses its schedule over a state folder others
    // can change too, and then nothing of it runs: neither may it be shown
    // as acting, nor may a user's line give way to it.
    std::string why = adminOnly.WhyOthersCanChange(schedulePath);
    if (why.empty()) {
        const std::string state = adminOnly.WhyOthersCanChange(stateFolder);
        if (!state.empty()) why = "its state folder: " + state;
    }
    const FileRead read = files.ReadFile(schedulePath, kMachineScheduleMaxBytes);
    switch (read.outcome) {
        case FileRead::Outcome::Missing:
            return result;
        case FileRead::Outcome::TooLarge:
            result.problem = "it is larger than " +
                             std::to_string(kMachineScheduleMaxBytes / (1024 * 1024)) + " MiB";
            return result;
        case FileRead::Outcome::Unreadable:
            result.problem = read.reason;
            return result;
        case FileRead::Outcome::Read:
            break;
    }
    if (!why.empty()) {
        result.problem = why;
        return result;
    }
    const auto done = files.ReadFile(MachineDonePath(stateFolder, files.PathSeparator()),
                                     kMachineScheduleMaxBytes);
    const std::vector<SpentLine> ran = done.outcome == FileRead::Outcome::Read
                                           ? ReadDoneRecord(done.bytes)
                                           : std::vector<SpentLine>{};
    for (std::string& line : ScheduleFileLines(read.bytes)) {
        const bool spent =
            IsOneTimeLine(line) && std::any_of(ran.begin(), ran.end(), [&](const SpentLine& s) {
                return s.line == line && s.minute < keepSpentFrom;
            });
        if (!spent) result.lines.push_back(std::move(line));
    }
    return result;
}

bool MachineActsAt(const std::vector<std::string>& lines, WallMinute minute) {
    DueLineWalk walk({StartOfWallMinute(minute)});
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        const std::optional<DueLine> due = walk.Check(line);
        return due && due->action;
    });
}

std::vector<WallMinute> MachineActingMinutes(FileSystem& files,
                                             const MachineScheduleSource& machine,
                                             const std::vector<WallMinute>& minutes) {
    std::vector<WallMinute> acts;
    if (minutes.empty() || !machine.adminOnly) return acts;
    // A one-time line the machine ran in these minutes acted in them.
    const WallMinute oldest = *std::min_element(minutes.begin(), minutes.end());
    const MachineLines lines = ReadMachineLines(files, machine.schedulePath, machine.stateFolder,
                                                *machine.adminOnly, oldest);
    for (const WallMinute minute : minutes) {
        if (MachineActsAt(lines.lines, minute)) acts.push_back(minute);
    }
    return acts;
}

}  // namespace tolvane
