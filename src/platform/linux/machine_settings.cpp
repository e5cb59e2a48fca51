#include "platform/linux/machine_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/ini_document.h"
#include "shell/notice_timer.h"
#include "shell/settings_keys.h"

namespace tolvane {

int MachineNoticeMinutes(FileSystem& files, const std::string& settingsPath) {
    const FileRead read = files.ReadFile(settingsPath, kMachineSettingsMaxBytes);
    if (read.outcome != FileRead::Outcome::Read) return NoticeTimer::kDefaultMinutes;
    const auto& key = settings_keys::kNoticeMinutes;
    const auto value = IniDocument(read.bytes).Get(key.section, key.key);
    // One rule for the machine's value and a user's.
    return value ? StoredNoticeMinutes(*value) : NoticeTimer::kDefaultMinutes;
}

bool MakeMachineStateFolder(const std::string& path, std::string& problem) {
    // mkdir never follows a link in the last name: one standing there is EEXIST.
    if (::mkdir(path.c_str(), 0700) != 0) {
        if (errno == EEXIST) return true;
        problem = "the state folder " + path + " could not be made: " + std::strerror(errno);
        return false;
    }
    // Made private first, so nobody reads it half-made; opened without
    // following a link, in case the name was swapped since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat made {};
    const bool ok =
        fd >= 0 && ::fstat(fd, &made) == 0 && made.st_uid == ::geteuid() && ::fchmod(fd, 0755) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!ok) {
        problem = "the state folder " + path +
                  " could not be opened to others for reading: " + std::strerror(error);
        return false;
    }
    return true;
}

}  // namespace tolvane
