#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the texts of the settings store turn back into the options' states.
// Texts the program never writes and that do not convert count as absent.
namespace tolvane {

// "True" or "False" in any letter case, spaces around allowed.
std::optional<bool> StoredBoolean(std::string_view text);
// A state of the Force box: 0, 1 or 2.
std::optional<int> StoredCheckValue(std::string_view text);
// The service flag: a number; 0 (or no number at all) means not installed.
bool StoredServiceInstalled(std::string_view text);

inline std::string BooleanText(bool value) {
    return value ? "True" : "False";
}

}  // namespace tolvane
