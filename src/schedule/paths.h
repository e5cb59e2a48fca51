#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// The folder a path names its file in: everything before its last separator
// (any character of `separators`). The separator stays where it is the root
// itself: "/" for "/x", "\" for "\x" and, when '\' is among the separators
// (Windows' paths), "C:\" for "C:\x", since "C:" alone is that drive's
// current folder. Empty when the path has no separator at all.
std::string FolderOf(std::string_view path, std::string_view separators);

// What follows the path's last separator; the whole path when it has none.
std::string FileNameOf(std::string_view path, std::string_view separators);

// A file's address for a browser: "file://" and the absolute path, every byte
// but letters, digits, "/" and "-._~" written as %XX.
std::string FileAddress(std::string_view absolutePath);

}  // namespace tolvane
