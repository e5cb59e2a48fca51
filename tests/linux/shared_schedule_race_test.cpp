// Several processes editing one schedule file at once, through the real file
// functions and the real locks: two windows adding and removing lines while
// the service claims and takes out one-time lines, and a reader checking
// every version it sees. Nothing added may be lost, nothing removed may come
// back, no version may be torn, and each one-time line runs once.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "native_platform.h"
#include "platform/linux/posix_file_system.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"
#include "schedule/schedule_store.h"

namespace tolvane {
namespace {

constexpr int kEditsPerWriter = 2000;
constexpr int kOneTimeLines = 300;

std::string OneTime(int i) {
    return "3:00 AM-Reboot-Repeat NO-Every Day #" + std::to_string(i);
}
std::string WritersLine(char writer, int i) {
    return std::string(1, writer) + " #" + std::to_string(i);
}
// Every third edit of a writer removes the line it added just before.
bool RemovedAgain(int i) {
    return i % 3 == 1;
}
// The racers never pause, and a process woken when the lock is let go can
// lose it to one that takes it straight back, again and again on a busy
// machine. A turn refused that way changed nothing and is simply taken again;
// every other failure is one.
bool KeptOut(const std::string& reason) {
    return reason.find("holds the lock") != std::string::npos;
}

// Pipes the parent closes to tell its children: a pipe's reader sees its end
// once every copy of the writing end is closed, the children's included.
struct Pipe {
    int read = -1;
    int write = -1;
};

// Runs `work` in a child that waits until `start` is closed, so all begin
// together; the child's exit status is work's answer.
pid_t Child(const Pipe& start, const Pipe& stop, const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::close(start.write);
    ::close(stop.write);
    char none;
    while (::read(start.read, &none, 1) < 0 && errno == EINTR) {
    }
    ::_exit(work() ? 0 : 1);
}

TEST(SharedSchedule, WritersAndTheServiceRacingLoseNothingAndTearNothing) {
    const std::string folder = testing::MakeScratchFolder();
    const std::string path = folder + "/rebootdata.kx";
    std::vector<std::string> oneTime;
    for (int i = 0; i < kOneTimeLines; ++i) oneTime.push_back(OneTime(i));
    PosixFileSystem files(folder);
    ASSERT_TRUE(ReplaceFileContents(files, path, ScheduleFileBytes(oneTime)));

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const Pipe start{ends[0], ends[1]};
    ASSERT_EQ(::pipe(ends), 0);
    const Pipe stop{ends[0], ends[1]};
    std::vector<pid_t> writers;
    for (const char writer : {'A', 'B'}) {
        writers.push_back(Child(start, stop, [&, writer] {
            PosixFileSystem own(folder);
            ScheduleStore store(own, path, kWindowMaxScheduleBytes);
            for (int i = 0; i < kEditsPerWriter; ++i) {
                const bool remove = RemovedAgain(i);
                const std::string line = WritersLine(writer, remove ? i - 1 : i);
                ScheduleStore::Changed changed;
                do {
                    changed = store.Edit([&](const std::string& found) {
                        return remove ? RemoveOneScheduleLine(found, line)
                                      : std::optional(AddScheduleLine(found, line));
                    });
                } while (!changed && KeptOut(changed.reason));
                if (!changed || !changed.written) {
                    std::fprintf(stderr, "writer %c, edit %d: %s\n", writer, i, changed.reason.c_str());
                    return false;
                }
            }
            return true;
        }));
    }
    // The service's part: each one-time line claimed once, at its own minute.
    writers.push_back(Child(start, stop, [&] {
        PosixFileSystem own(folder);
        ScheduleStore store(own, path, kServiceMaxScheduleBytes);
        for (int i = 0; i < kOneTimeLines; ++i) {
            ScheduleStore::Claimed claimed;
            do {
                claimed = store.ClaimRun(OneTime(i), i, true, [&](const std::string& found) {
                    return RemoveEveryScheduleLine(found, OneTime(i));
                });
            } while (claimed.claim == ScheduleStore::Claim::Failed && KeptOut(claimed.problem));
            if (claimed.claim != ScheduleStore::Claim::Run || !claimed.problem.empty()) {
                std::fprintf(stderr, "claim %d: %d, %s\n", i, static_cast<int>(claimed.claim),
                             claimed.problem.c_str());
                return false;
            }
        }
        return true;
    }));
    // A reader sees only whole versions, until told to stop.
    const pid_t reader = Child(start, stop, [&] {
        PosixFileSystem own(folder);
        for (long reads = 0;; ++reads) {
            pollfd told{stop.read, POLLIN, 0};
            if (::poll(&told, 1, 0) > 0) return reads > 0;
            const auto bytes = own.ReadWholeFile(path);
            if (!bytes) return false;
            if (ScheduleFileBytes(ScheduleFileLines(*bytes)) != *bytes) return false;
        }
    });
    ::close(start.read);
    ::close(start.write);  // all begin

    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_TRUE(testing::WaitForExit(writer, status, 600));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
    }
    ::close(stop.write);
    int status = 0;
    ASSERT_TRUE(testing::WaitForExit(reader, status, 600));
    ::close(stop.read);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a torn version was read";

    std::vector<std::string> expected;
    for (const char writer : {'A', 'B'}) {
        for (int i = 0; i < kEditsPerWriter; ++i) {
            if (!RemovedAgain(i) && !RemovedAgain(i + 1)) expected.push_back(WritersLine(writer, i));
        }
    }
    std::sort(expected.begin(), expected.end());
    const auto bytes = files.ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, ScheduleFileBytes(expected));
    const auto record = files.ReadWholeFile(path + ".runs");
    ASSERT_TRUE(record);
    EXPECT_EQ(std::count(record->begin(), record->end(), '\n'), kOneTimeLines);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolvane
