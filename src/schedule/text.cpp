#include "schedule/text.h"

namespace tolvane::text {

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string ToUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string_view TrimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> Split(std::string_view s, std::string_view separator) {
    std::vector<std::string_view> pieces;
    if (separator.empty()) return {s};
    std::size_t start = 0;
    for (;;) {
        const auto at = s.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.push_back(s.substr(start));
            return pieces;
        }
        pieces.push_back(s.substr(start, at - start));
        start = at + separator.size();
    }
}

bool Contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

std::string EraseAll(std::string_view s, std::string_view needle) {
    // What stands between the needles, put back together.
    std::string out;
    out.reserve(s.size());
    for (const std::string_view piece : Split(s, needle)) out.append(piece);
    return out;
}

}  // namespace tolvane::text
