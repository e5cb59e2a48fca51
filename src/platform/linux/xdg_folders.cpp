#include "platform/linux/xdg_folders.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvane {

std::string HomeFolder() {
    const char* home = ::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string XdgBaseFolder(const char* variable, const char* fallbackUnderHome) {
    const char* value = ::getenv(variable);
    if (value && value[0] == '/') return value;
    std::string home = HomeFolder();
    if (home.size() > 1 && home.back() == '/') home.pop_back();
    return (home == "/" ? "" : home) + "/" + fallbackUnderHome;
}

bool MakeFolders(const std::string& path, std::string& reason) {
    // Walk down from the root, making each missing level.
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string level = path.substr(0, cut);
        if (!level.empty() && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            reason = std::strerror(errno);
            return false;
        }
        if (cut == std::string::npos) break;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        reason = path + " is not a folder";
        return false;
    }
    return true;
}

}  // namespace tolvane
