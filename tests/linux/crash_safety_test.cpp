// The schedule file under real crashes: a child process replaces it again and
// again through the real file system and is killed with SIGKILL at a random
// moment, hundreds of times. Whenever the kill lands, the file afterwards is
// one complete version, byte for byte, never a mix, a cut-short copy or
// nothing; and the temporary files the killed writers leave behind are
// cleared away by the next write once they are old enough to be leftovers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "native_platform.h"
#include "platform/linux/posix_file_system.h"
#include "schedule/schedule_file.h"

namespace tolvane {
namespace {

// Version n of the file: its number on the first line, then a body whose
// length depends on n (up to 256 KB), so a copy cut short never passes for a
// whole one and two versions never share their bytes.
std::string Version(long n) {
    std::string bytes = "version " + std::to_string(n) + "\r\n";
    const std::size_t length = static_cast<std::size_t>(n * 7919) % (256 * 1024);
    for (std::size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>('a' + (static_cast<std::size_t>(n) + i) % 26);
    }
    bytes += "\r\n";
    return bytes;
}

long VersionNumber(const std::string& bytes) {
    long n = -1;
    return std::sscanf(bytes.c_str(), "version %ld\r\n", &n) == 1 ? n : -1;
}

// Everything in the folder apart from the schedule file itself.
std::vector<std::string> OtherFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != "rebootdata.kx") names.push_back(name);
    }
    return names;
}

TEST(CrashSafety, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
    const std::string folder = testing::MakeScratchFolder();
    PosixFileSystem fs(folder);
    const std::string path = folder + "/rebootdata.kx";
    ASSERT_TRUE(ReplaceFileContents(fs, path, Version(0)));

    // Kills are counted, not timed: a slow machine makes more of them, never
    // fewer of either kind. The last bound only guards against a test that
    // never finds a kill inside a write.
    constexpr int kKillsAfterAFinishedWrite = 200;
    constexpr int kKillsInsideAWrite = 20;
    constexpr int kHangGuard = 20000;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
    long last = 0;
    int kills = 0;
    int killsThatLeftATemporaryFile = 0;
    std::size_t othersBefore = 0;
    while (kills < kKillsAfterAFinishedWrite || killsThatLeftATemporaryFile < kKillsInsideAWrite) {
        ASSERT_LT(kills, kHangGuard) << killsThatLeftATemporaryFile << " kills inside a write";
        int began[2];
        ASSERT_EQ(::pipe2(began, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test
            ::close(began[0]);
            ReplaceFileContents(fs, path, Version(last + 1));
            // One write is whole: from here on a kill lands anywhere in the loop.
            if (::write(began[1], "w", 1) != 1) ::_exit(1);
            for (long n = last + 2;; ++n) ReplaceFileContents(fs, path, Version(n));
        }
        ::close(began[1]);
        char said = 0;
        const bool loopBegan = ::read(began[0], &said, 1) == 1;
        ::close(began[0]);
        if (loopBegan) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_TRUE(testing::WaitForExit(child, status));
        ASSERT_TRUE(loopBegan) << "the writer ended before its first write was done";
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "kill " << kills;

        const auto bytes = fs.ReadWholeFile(path);
        ASSERT_TRUE(bytes) << "the schedule file is gone after kill " << kills;
        const long n = VersionNumber(*bytes);
        ASSERT_GT(n, last) << "kill " << kills << " left a file that is no version, or not "
                           << "the newest finished one";
        ASSERT_EQ(*bytes, Version(n)) << "kill " << kills << " left version " << n << " broken";
        last = n;
        ++kills;

        const std::size_t others = OtherFiles(folder).size();
        killsThatLeftATemporaryFile += others > othersBefore;
        othersBefore = others;
    }
    std::printf("%d kills, each after a finished write; %d inside one (a temporary file left)\n",
                kills, killsThatLeftATemporaryFile);

    // What the killed writers left is only their own temporary files; young
    // ones stay (another copy may be writing), old ones go with the next write.
    const auto leftovers = OtherFiles(folder);
    for (const auto& name : leftovers) {
        EXPECT_EQ(name.rfind("rebootdata.kx.", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << name;
    }
    ASSERT_TRUE(ReplaceFileContents(fs, path, Version(last + 1)));
    EXPECT_EQ(OtherFiles(folder).size(), leftovers.size());
    const auto twoMinutesAgo =
        std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const auto& name : leftovers) {
        std::filesystem::last_write_time(folder + "/" + name, twoMinutesAgo);
    }
    ASSERT_TRUE(ReplaceFileContents(fs, path, Version(last + 2)));
    EXPECT_TRUE(OtherFiles(folder).empty());
    EXPECT_EQ(fs.ReadWholeFile(path), Version(last + 2));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolvane
