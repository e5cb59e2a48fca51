#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/admin_only.h"
#include "platform/file_system.h"

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
// machine's schedule that ran, each as written, one per CR LF line. A line
// stays there while it stands in the schedule; removed from the schedule, it
// leaves the record, and added again it runs again.
inline constexpr std::string_view kMachineDoneName = "rebootdata.kx.done";

// The machine's schedule as a user's window and service see it.
struct MachineLines {
    // Its lines still to run, in the file's order: one-time lines that ran
    // are left out. Empty when there is no machine schedule or it is refused.
    std::vector<std::string> lines;
    // Why it is refused (others than administrators can change it, or it
    // cannot be read); empty when it is read, or simply missing.
    std::string problem;
};
MachineLines ReadMachineLines(FileSystem& files, const std::string& schedulePath,
                              const std::string& stateFolder, AdminOnlyCheck& adminOnly);

// The state folder's done record, for `stateFolder` written with `separator`.
std::string MachineDonePath(const std::string& stateFolder, char separator);

}  // namespace tolvane
