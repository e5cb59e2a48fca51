// The plain Linux adapters: per-user folders and the schedule folder made on demand.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>

#include "linux/child_process.h"
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

// The root service opens what a user names as the schedule, and lives in a
// session of its own without a terminal: a terminal put in the schedule's
// place (or beside it, as its lock) must not become the service's, or its
// owner could stop the service from the keyboard.
TEST(PosixFileSystem, ATerminalInTheFilesPlaceNeverBecomesTheProgramsOwn) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setsid();  // a session leader without a terminal, as systemd starts it
        PosixFileSystem files("/tmp");
        std::string reason;
        const std::function<void()> opens[] = {
            [&] { files.ReadFile(terminal, 1024); },
            [&] { files.Exists(terminal); },
            [&] { files.LockFile(terminal, LockKind::Exclusive, 0, reason); },
            [&] { files.LockedElsewhere(terminal); },
        };
        int step = 0;
        for (const auto& open : opens) {
            ++step;
            open();
            const int own = ::open("/dev/tty", O_RDONLY | O_NOCTTY);
            if (own >= 0) ::_exit(step);  // it has a controlling terminal now
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_TRUE(testing::WaitForExit(child, status));
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the terminal became the process's own at open "
                                      << WEXITSTATUS(status);
}

namespace {

int ThreadsOfThisProcess() {
    int threads = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        ++threads;
    }
    return threads;
}

}  // namespace

// A lock another program keeps for hours: every request gives up after its
// own wait, but they share one waiting thread, which hands the lock to the
// next request once it comes free, and lets it go at once when nobody is
// waiting any more.
TEST(PosixFileSystem, ALockHeldElsewhereCostsOneWaitingThreadHoweverOftenItIsAskedFor) {
    const std::string folder = testing::MakeScratchFolder();
    const std::string path = folder + "/rebootdata.kx.lock";
    PosixFileSystem files(folder);
    // Another open file of the same lock conflicts with it, in this process too.
    const auto holdElsewhere = [&] {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    };
    std::string reason;
    int holder = holdElsewhere();
    const int threadsBefore = ThreadsOfThisProcess();
    for (int request = 0; request < 6; ++request) {
        EXPECT_EQ(files.LockFile(path, LockKind::Exclusive, 0.01, reason), nullptr);
    }
    EXPECT_LE(ThreadsOfThisProcess(), threadsBefore + 1);
    ::close(holder);
    // Waiting in the kernel: taken the moment the holder let go.
    EXPECT_NE(files.LockFile(path, LockKind::Exclusive, 3600, reason), nullptr) << reason;

    holder = holdElsewhere();
    EXPECT_EQ(files.LockFile(path, LockKind::Exclusive, 0.01, reason), nullptr);
    ::close(holder);
    // The waiting thread now gets the lock with nobody to hand it to: it must
    // let it go, or this wait would never end.
    const int other = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_EQ(::flock(other, LOCK_EX), 0);
    ::close(other);
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
