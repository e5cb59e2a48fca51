// This platform's adapters for the tests shared by every platform.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "native_platform.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"

namespace tolvane::testing {

std::string MakeScratchFolder() {
    std::string pattern = "/tmp/tolvane-test-XXXXXX";
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no scratch folder";
    return pattern;
}

std::unique_ptr<FileSystem> MakeNativeFileSystem(const std::string& programFolder) {
    return std::make_unique<PosixFileSystem>(programFolder);
}

std::vector<NativeFileSystemMaker> NativeFileSystemMakers() {
    return {{"Posix", MakeNativeFileSystem}};
}

std::unique_ptr<Clock> MakeNativeClock() {
    return std::make_unique<PosixClock>();
}

}  // namespace tolvane::testing
