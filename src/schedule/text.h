#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small text rules shared by the schedule and the shell. Case folding touches
// only the ASCII letters: every word the program looks for is ASCII, and other
// bytes of a line must pass through unchanged.
namespace tolvane::text {

std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);

// Removes the space character (only that one) from both ends.
std::string_view TrimSpaces(std::string_view s);

// Cuts at every occurrence of `separator`; empty pieces count, and a text with
// no separator is one piece.
std::vector<std::string_view> Split(std::string_view s, std::string_view separator);

bool Contains(std::string_view haystack, std::string_view needle);

// Deletes every occurrence of `needle`, scanning from the start.
std::string EraseAll(std::string_view s, std::string_view needle);

}  // namespace tolvane::text
