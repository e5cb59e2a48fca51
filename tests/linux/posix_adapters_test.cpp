// The plain Linux adapters: per-user folders and the schedule folder made on demand.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "native_platform.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/signal_service_waiter.h"
#include "platform/linux/xdg_folders.h"
#include "schedule/schedule_file.h"

namespace tolvane {
namespace {

// Sets an environment variable for one scope, then puts the old value back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(XdgBaseFolder, UsesAnAbsoluteVariableAndFallsBackUnderHomeOtherwise) {
    const struct {
        const char* value;
        const char* home;
        std::string expected;
    } cases[] = {
        {"/data/alice", "/home/alice", "/data/alice"},
        {nullptr, "/home/alice", "/home/alice/.local/share"},
        {"", "/home/alice", "/home/alice/.local/share"},
        {"relative/path", "/home/alice", "/home/alice/.local/share"},
        {nullptr, "/home/alice/", "/home/alice/.local/share"},
        {nullptr, "/", "/.local/share"},
    };
    for (const auto& c : cases) {
        const ScopedVariable variable("XDG_DATA_HOME", c.value);
        const ScopedVariable home("HOME", c.home);
        EXPECT_EQ(XdgBaseFolder("XDG_DATA_HOME", ".local/share"), c.expected)
            << (c.value ? c.value : "(unset)") << " with HOME " << c.home;
    }
}

TEST(PosixFileSystem, TheScheduleFolderIsMadeWithItsParentsOnTheFirstWrite) {
    const std::string root = testing::MakeScratchFolder();
    const std::string scheduleFolder = root + "/home/.local/share/tolvane";
    PosixFileSystem files(root + "/usr/lib/tolvane", scheduleFolder);
    ScheduleList list;
    struct NoEvents final : EventPump {
        void ProcessPendingEvents() override {}
        void WaitForEvents(double) override {}
    } pump;
    ScheduleFile file(list, files, pump);
    EXPECT_EQ(file.Path(), scheduleFolder + "/rebootdata.kx");
    EXPECT_EQ(files.ProgramFolder(), root + "/usr/lib/tolvane");

    ASSERT_TRUE(file.AddLine("7:05 AM-ShutDown-Repeat YES-Monday"));
    EXPECT_EQ(files.ReadWholeFile(scheduleFolder + "/rebootdata.kx"),
              "7:05 AM-ShutDown-Repeat YES-Monday\r\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(root + "/usr")) << "nothing is written beside the program";
    std::filesystem::remove_all(root);
}

TEST(PosixFileSystem, AScheduleKeptAsALinkStaysALinkAndItsTargetGetsTheEdit) {
    namespace fs = std::filesystem;
    const std::string root = testing::MakeScratchFolder();
    fs::create_directories(root + "/data/real");
    fs::create_directories(root + "/app");
    std::ofstream(root + "/data/real/schedule.txt", std::ios::binary) << "A\r\n\r\n";
    // A relative link to a link, as a user's dotfiles often are.
    fs::create_symlink("../data/hop", root + "/app/rebootdata.kx");
    fs::create_symlink("real/schedule.txt", root + "/data/hop");
    PosixFileSystem files(root + "/app");
    EXPECT_EQ(files.LinkTarget(root + "/app/rebootdata.kx"), root + "/app/../data/real/schedule.txt");

    ScheduleList list;
    struct NoEvents final : EventPump {
        void ProcessPendingEvents() override {}
        void WaitForEvents(double) override {}
    } pump;
    ScheduleFile file(list, files, pump);
    file.GetRebootData();
    ASSERT_TRUE(file.AddLine("B"));
    EXPECT_TRUE(fs::is_symlink(root + "/app/rebootdata.kx"));
    EXPECT_TRUE(fs::is_symlink(root + "/data/hop"));
    EXPECT_EQ(files.ReadWholeFile(root + "/data/real/schedule.txt"), "A\r\nB\r\n\r\n");
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"A", "B"}));
    fs::remove_all(root);
}

TEST(MakeFolders, FailsWithAReasonWhereAFileStandsInTheWay) {
    const std::string root = testing::MakeScratchFolder();
    std::string reason;
    ASSERT_TRUE(ReplaceFileContents(*testing::MakeNativeFileSystem(root), root + "/file", "x"));
    EXPECT_FALSE(MakeFolders(root + "/file/below", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(MakeFolders(root + "/a/b/c", reason));
    EXPECT_TRUE(MakeFolders(root + "/a/b/c", reason)) << "an existing folder is fine";
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(PosixFileSystem, ABoundedReadTakesNothingOfAFileOverTheBound) {
    const std::string folder = testing::MakeScratchFolder();
    PosixFileSystem files(folder);
    const std::string path = folder + "/rebootdata.kx";
    // Gigabytes that cost nothing on the disk: the size alone refuses them.
    {
        std::ofstream sparse(path);
        sparse.seekp(8LL * 1024 * 1024 * 1024);
        sparse << 'x';
    }
    bool tooLarge = false;
    EXPECT_FALSE(files.ReadFileUpTo(path, 4096, tooLarge));
    EXPECT_TRUE(tooLarge);

    const struct {
        std::size_t size;
        bool read;
    } cases[] = {{0, true}, {4096, true}, {4097, false}, {200000, false}};
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::trunc) << std::string(c.size, 'a');
        const auto bytes = files.ReadFileUpTo(path, 4096, tooLarge);
        EXPECT_EQ(bytes.has_value(), c.read) << c.size;
        EXPECT_EQ(tooLarge, !c.read) << c.size;
        if (bytes) {
            EXPECT_EQ(bytes->size(), c.size);
        }
    }
    files.RemoveFile(path);
    EXPECT_FALSE(files.ReadFileUpTo(path, 4096, tooLarge));
    EXPECT_FALSE(tooLarge) << "a missing file is no schedule, not a large one";
    std::filesystem::remove_all(folder);
}

}  // namespace
// systemd stops the service with SIGTERM, Ctrl+C sends SIGINT: either, sent
// to the process, ends a wait of hours at once, and every wait after it.
TEST(SignalServiceWaiter, AStopSignalEndsTheWaitAndEveryOneAfterIt) {
    sigset_t before;
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &before), 0);
    for (const int stop : {SIGTERM, SIGINT}) {
        SignalServiceWaiter waiter;
        ASSERT_EQ(waiter.Problem(), "");
        EXPECT_TRUE(waiter.WaitFor(0)) << "no signal yet";
        // Blocked now: it waits for the waiter instead of ending the test.
        ASSERT_EQ(::kill(::getpid(), stop), 0);
        // Hours to wait: returning at all shows the signal ended the wait.
        EXPECT_FALSE(waiter.WaitFor(6 * 3600.0)) << stop;
        EXPECT_FALSE(waiter.WaitFor(0)) << stop;
    }
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, &before, nullptr), 0);
}

}  // namespace tolvane
