#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"

// The adapters of the platform the tests were built for; each platform's test
// file provides these.
namespace tolvane::testing {

// A new empty folder for one test, with the platform's separators.
std::string MakeScratchFolder();
std::unique_ptr<FileSystem> MakeNativeFileSystem(const std::string& programFolder);
std::unique_ptr<Clock> MakeNativeClock();

}  // namespace tolvane::testing
