#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/admin_only.h"
#include "platform/file_system.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The machine's schedule: the administrators' own file, run by the machine's
// service for everybody, never rewritten by the program.
//   Linux:   /etc/tolvane/rebootdata.kx, its run state in /var/lib/tolvane,
//            the notice minutes in /etc/tolvane/tolvane.conf ([Options]
//            NoticeMinutes=5, as the user's settings file writes it);
//   Windows: %ProgramData%\Tolvane\rebootdata.kx, its run state in
//            %ProgramData%\Tolvane\state, the notice minutes in
//            HKLM\Software\Tolvane, value NoticeMinutes.
inline constexpr std::string_view kLinuxMachineSchedule = "/etc/tolvane/rebootdata.kx";
inline constexpr std::string_view kLinuxMachineState = "/var/lib/tolvane";
inline constexpr std::string_view kLinuxMachineConfig = "/etc/tolvane/tolvane.conf";
inline constexpr std::string_view kMachineFolderName = "Tolvane";  // in %ProgramData%
inline constexpr std::string_view kMachineStateFolderName = "state";
inline constexpr std::string_view kMachineScheduleName = "rebootdata.kx";

// In the state folder, beside the run record: the one-time lines of the
// machine's schedule that ran, one per CR LF line, each as the minute it ran
// at, a tab and the line as written. A line stays there while it stands in
// the schedule; removed from the schedule, it leaves the record, and added
// again it runs again.
inline constexpr std::string_view kMachineDoneName = "rebootdata.kx.done";

// The most of the machine's schedule, or of its done record, that is read:
// as much as a user's schedule may hold.
inline constexpr std::size_t kMachineScheduleMaxBytes = 4 * 1024 * 1024;

// Whether a line runs only once ("Repeat NO").
bool IsOneTimeLine(const std::string& line);

struct SpentLine {
    long long minute = 0;  // a WallMinute
    std::string line;
    bool operator==(const SpentLine&) const = default;
};
// The done record's entries; what is not an entry is passed over.
std::vector<SpentLine> ReadDoneRecord(std::string_view bytes);
std::string DoneRecordBytes(const std::vector<SpentLine>& spent);

// The machine's schedule as a user's window and service see it.
struct MachineLines {
    // Its lines still to run, in the file's order: one-time lines that ran
    // are left out. Empty when there is no machine schedule or it is refused.
    std::vector<std::string> lines;
    // Why it is refused (others than administrators can change it or its
    // state folder, or it cannot be read); empty when it is read, or simply
    // missing.
    std::string problem;
};
// One-time lines that ran are left out, except those that ran at
// `keepSpentFrom` or later (the machine acted at that minute after all).
MachineLines ReadMachineLines(FileSystem& files, const std::string& schedulePath,
                              const std::string& stateFolder, AdminOnlyCheck& adminOnly,
                              long long keepSpentFrom = (1LL << 62));

// Where a user's window or service finds the machine's schedule beside the
// user's own.
struct MachineScheduleSource {
    std::string schedulePath;
    std::string stateFolder;
    AdminOnlyCheck* adminOnly = nullptr;
};

// Whether one of `lines` (the machine's) that names an action is due at
// `minute`: there the machine's service acts, and a user's lines give way. A
// line naming no action does nothing, and nothing gives way to it.
bool MachineActsAt(const std::vector<std::string>& lines, WallMinute minute);

// The minutes among `minutes` at which the machine's schedule acts, read
// afresh; a schedule that is refused or missing acts at no minute.
std::vector<WallMinute> MachineActingMinutes(FileSystem& files,
                                             const MachineScheduleSource& machine,
                                             const std::vector<WallMinute>& minutes);

// The state folder's done record, for `stateFolder` written with `separator`.
std::string MachineDonePath(const std::string& stateFolder, char separator);

}  // namespace tolvane
