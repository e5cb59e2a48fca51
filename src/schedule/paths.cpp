#include "schedule/paths.h"

namespace tolvane {

std::string FolderOf(std::string_view path, std::string_view separators) {
    const auto cut = path.find_last_of(separators);
    if (cut == std::string_view::npos) return {};
    if (cut == 0) return std::string(path.substr(0, 1));
    const bool windows = separators.find('\\') != std::string_view::npos;
    if (windows && cut == 2 && path[1] == ':') return std::string(path.substr(0, 3));
    return std::string(path.substr(0, cut));
}

std::string FileNameOf(std::string_view path, std::string_view separators) {
    const auto cut = path.find_last_of(separators);
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace tolvane
