#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"

// The adapters of the platform the tests were built for; each platform's test
// file provides these.
namespace tolvane::testing {

// A new empty folder for one test, with the platform's separators.
std::string MakeScratchFolder();
std::unique_ptr<FileSystem> MakeNativeFileSystem(const std::string& programFolder);
std::unique_ptr<Clock> MakeNativeClock();

// Every file system adapter of this platform that keeps the common rules: a
// name for the test's name, and how to make one for a scratch folder.
struct NativeFileSystemMaker {
    std::string name;
    std::function<std::unique_ptr<FileSystem>(const std::string& folder)> make;
};
std::vector<NativeFileSystemMaker> NativeFileSystemMakers();
// Test names and messages show the adapter by its name.
inline void PrintTo(const NativeFileSystemMaker& maker, std::ostream* out) {
    *out << maker.name;
}

}  // namespace tolvane::testing
