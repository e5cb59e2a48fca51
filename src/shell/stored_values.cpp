#include "shell/stored_values.h"

#include <cstdlib>

#include "schedule/text.h"

namespace tolvane {

std::optional<bool> StoredBoolean(std::string_view text) {
    const std::string lower = text::ToLower(text::TrimSpaces(text));
    if (lower == "true") return true;
    if (lower == "false") return false;
    return std::nullopt;
}

std::optional<int> StoredCheckValue(std::string_view text) {
    const auto value = text::TrimSpaces(text);
    if (value == "0" || value == "1" || value == "2") return value[0] - '0';
    return std::nullopt;
}

bool StoredServiceInstalled(std::string_view text) {
    // A decimal number, sign and fraction allowed, is installed unless it is
    // zero ("0", "00", "-0.0"); anything else is no number and counts as absent.
    auto value = text::TrimSpaces(text);
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) value.remove_prefix(1);
    bool digits = false;
    bool nonZero = false;
    bool point = false;
    for (char c : value) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            nonZero = nonZero || c != '0';
        } else {
            return false;
        }
    }
    return digits && nonZero;
}

}  // namespace tolvane
