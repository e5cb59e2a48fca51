#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"

namespace tolvane {

// The most of the machine's settings file that is read: a few lines are
// expected, and a file grown huge is not the administrators' doing.
inline constexpr std::size_t kMachineSettingsMaxBytes = 64 * 1024;

// How many minutes before a reboot or shutdown line of the machine's schedule
// everyone is told of it: NoticeMinutes under [Options] in the machine's
// settings file (kLinuxMachineConfig), written as in a user's settings file.
// Read by the machine's service and by every user's window alike. The
// default (5) where the file is missing, unreadable, too large or not a
// regular file, or the value is not a whole number of minutes up to a day;
// 0 turns the notice off.
int MachineNoticeMinutes(FileSystem& files, const std::string& settingsPath);

// Makes the machine's state folder when nothing stands at `path`: root's,
// 0755 whatever the umask (every user's service reads the done record in it
// to give way at the machine's minutes). Only the last name is made, and a
// name already there (a folder, or a link anybody put there) is left as it
// is, never followed: whether it may be used is the administrators-only
// check's to judge, at every tick. False, with why, when it could not be
// made; true when it was made or something already stands there.
bool MakeMachineStateFolder(const std::string& path, std::string& problem);

}  // namespace tolvane
