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

std::string FileAddress(std::string_view absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address = "file://";
    for (const char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || std::string_view("/-._~").find(c) != std::string_view::npos) {
            address += c;
        } else {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0xF];
        }
    }
    return address;
}

}  // namespace tolvane
