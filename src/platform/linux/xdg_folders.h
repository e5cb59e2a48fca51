#pragma once

#include <string>

namespace tolvane {

// The per-user base folder a freedesktop.org variable names (XDG_CONFIG_HOME,
// XDG_DATA_HOME...), or `fallbackUnderHome` inside the home folder when the
// variable is unset, empty or not an absolute path (the standard says to
// ignore relative ones).
std::string XdgBaseFolder(const char* variable, const char* fallbackUnderHome);

// $HOME, or the password database's entry when HOME is unset or empty.
std::string HomeFolder();

// Creates `path` and every missing folder above it, each new one private to
// the user (0700, as the freedesktop.org base folders are made). True when the
// folder exists afterwards; otherwise the system's words in `reason`.
bool MakeFolders(const std::string& path, std::string& reason);

}  // namespace tolvane
