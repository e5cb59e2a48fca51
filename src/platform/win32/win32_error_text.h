#pragma once

#include <windows.h>

#include <string>

namespace tolvane {

// The system's own words for an error code, without the line break it ends with.
std::string ErrorText(DWORD error);

}  // namespace tolvane
