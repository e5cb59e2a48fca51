#include "schedule/scheduler.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "schedule/schedule_matching.h"
#include "schedule/wall_minutes.h"

namespace tolvane {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;
using testing::FakeFileSystem;
using testing::FakeSystemPower;
using Lines = std::vector<std::string>;
using Requests = std::vector<std::string>;

constexpr int kSunday = 0;
constexpr int kMonday = 1;

class SchedulerTest : public ::testing::Test {
  protected:
    ScheduleList list;
    FakeFileSystem fs;
    FakeEventPump pump;
    FakeClock clock;
    FakeSystemPower power;
    ScheduleFile file{list, fs, pump};
    Scheduler scheduler{list, file, power, clock, pump};

    std::string FileBytes() { return fs.files[file.Path()]; }
    // A line in the schedule, as the window's list and its file hold it.
    void Add(const std::string& line) {
        list.Add(line);
        fs.files[file.Path()] = ScheduleFileBytes(list.Items());
    }
};

struct DueCase {
    const char* line;
    int hour;
    int minute;
    int weekday;
    bool due;
};

TEST_F(SchedulerTest, ComparesDayHourMinuteAndHalfDayWithTheClock) {
    const DueCase cases[] = {
        {"12:00 AM-Reboot-Repeat YES-Every Day", 0, 0, kMonday, true},
        {"12:00 AM-Reboot-Repeat YES-Every Day", 12, 0, kMonday, false},
        {"12:00 PM-Reboot-Repeat YES-Every Day", 12, 0, kMonday, true},
        {"12:00 PM-Reboot-Repeat YES-Every Day", 0, 0, kMonday, false},
        {"12:59 AM-Reboot-Repeat YES-Every Day", 0, 59, kMonday, true},
        {"1:05 PM-Reboot-Repeat YES-Every Day", 13, 5, kMonday, true},
        {"1:05 PM-Reboot-Repeat YES-Every Day", 1, 5, kMonday, false},
        {"1:05 AM-Reboot-Repeat YES-Every Day", 1, 5, kMonday, true},
        {"11:59 PM-Reboot-Repeat YES-Every Day", 23, 59, kMonday, true},
        {"1:05 PM-Reboot-Repeat YES-Every Day", 13, 6, kMonday, false},
        {"07:00 AM-Reboot-Repeat YES-Every Day", 7, 0, kMonday, false},  // leading zero
        {"7:5 AM-Reboot-Repeat YES-Every Day", 7, 5, kMonday, false},    // one-digit minute
        {"1:05 pm-Reboot-Repeat YES-Every Day", 13, 5, kMonday, false},  // half-day is exact
        {"1:05 XM-Reboot-Repeat YES-Every Day", 13, 5, kMonday, false},
        {"1:05 PM-Reboot-Repeat YES-every DAY", 13, 5, kMonday, true},
        {"1:05 PM-Reboot-Repeat YES-Every Day ", 13, 5, kMonday, false},
        {"1:05 PM-Reboot-Repeat YES-sUNDAY", 13, 5, kSunday, true},
        {"1:05 PM-Reboot-Repeat YES-Sunday", 13, 5, kMonday, false},
        {"1:05 PM-Reboot-Repeat YES-Monday", 13, 5, kMonday, true},
        {"1:05 PM-Reboot-Repeat YES-Saturday", 13, 5, 6, true},
        {"1:05 PM-Reboot-Repeat YES-Mon-Fri", 13, 5, kMonday, false},
        {"1:05 PM-Reboot", 13, 5, kMonday, false},                    // too few pieces
        {"1:05-Reboot-Repeat YES-Every Day", 13, 5, kMonday, false},  // too few time parts
        {"Reboot", 13, 5, kMonday, false},
    };
    for (const auto& c : cases) {
        power.requests.clear();
        while (list.Count() > 0) list.Remove(0);
        Add(c.line);
        // The same weekday and time, a week later for every case: a new minute.
        const WallMinute week = 7 * 24 * 60;
        clock.now = StartOfWallMinute(WallMinuteOf(FakeClock::At(c.hour, c.minute, c.weekday)) +
                                      (&c - cases) * week);
        scheduler.RunDueLines();
        EXPECT_EQ(power.requests, c.due ? Requests{"reboot"} : Requests{}) << c.line;
    }
}

TEST_F(SchedulerTest, AnEmptyListDoesNothing) {
    scheduler.RunDueLines();
    EXPECT_TRUE(power.requests.empty());
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(SchedulerTest, EveryDueEntryRunsInListOrderAfterAOneTimeOneIsRemoved) {
    Add("1:05 PM-Force LogOff-Repeat NO-Every Day");
    Add("1:05 PM-Reboot-Repeat YES-Every Day");
    Add("1:06 PM-ShutDown-Repeat YES-Every Day");
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();
    EXPECT_EQ(power.requests, (Requests{"forced log-off", "reboot"}));
    const Lines left = {"1:05 PM-Reboot-Repeat YES-Every Day",
                        "1:06 PM-ShutDown-Repeat YES-Every Day"};
    EXPECT_EQ(list.Items(), left);
    EXPECT_EQ(FileBytes(), ScheduleFileBytes(left));
}

TEST_F(SchedulerTest, AOneTimeLineLeavesListAndFileBeforeTheRequest) {
    const std::string line = "1:05 PM-Force ShutDown-Repeat NO-Every Day";
    Add("2:00 AM-Reboot-Repeat YES-Monday");
    Add(line);
    Add("9:00 AM-LogOff-Repeat YES-Friday");
    Add(line);
    Add(line);
    Lines listAtRequest;
    std::string fileAtRequest;
    power.onRequest = [&] {
        listAtRequest = list.Items();
        fileAtRequest = FileBytes();
    };
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();

    const Lines others = {"2:00 AM-Reboot-Repeat YES-Monday", "9:00 AM-LogOff-Repeat YES-Friday"};
    EXPECT_EQ(power.requests, Requests{"forced shutdown"})
        << "once, though three copies stood in the list";
    EXPECT_EQ(listAtRequest, others);
    EXPECT_EQ(fileAtRequest, ScheduleFileBytes(others));
}

TEST_F(SchedulerTest, ARepeatingLineRunsOncePerMinuteAndAgainTheNextTime) {
    Add("1:05 PM-LockWorkStation-Repeat YES-Every Day");
    const std::string bytes = FileBytes();
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();
    clock.Advance(45);
    scheduler.RunDueLines();  // second tick of the same minute
    EXPECT_EQ(power.requests, Requests{"lock"});

    clock.now = FakeClock::At(13, 6);
    scheduler.RunDueLines();
    clock.now = FakeClock::At(13, 5);
    clock.now.day += 1;  // the next day, same minute
    scheduler.RunDueLines();
    EXPECT_EQ(power.requests, (Requests{"lock", "lock"}));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(FileBytes(), bytes);  // a repeating line never rewrites the file
}

TEST_F(SchedulerTest, ProcessesEventsBeforeEachEntry) {
    for (const char* s : {"A", "B", "C"}) Add(s);
    scheduler.RunDueLines();
    EXPECT_EQ(pump.processed, 3);
}

TEST_F(SchedulerTest, LinesTheUserAddsOrRemovesMidTickAreHandledWithoutOverrun) {
    Add("1:05 PM-LogOff-Repeat YES-Every Day");
    Add("3:00 PM-Reboot-Repeat YES-Every Day");
    Add("4:00 PM-Reboot-Repeat YES-Every Day");
    pump.onProcess = [&](int call) {
        if (call == 1) {
            // The user removes the rest and adds a due line ahead of the walk.
            list.Remove(2);
            list.Remove(1);
            Add("1:05 PM-ShutDown-Repeat YES-Every Day");
        }
    };
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();
    EXPECT_EQ(power.requests, (Requests{"log-off", "shutdown"}));
}

TEST_F(SchedulerTest, TheRemovalWalkCopesWithTheListShrinkingUnderIt) {
    const std::string line = "1:05 PM-Reboot-Repeat NO-Every Day";
    Add(line);
    Add("5:00 PM-Reboot-Repeat YES-Every Day");
    Add("6:00 PM-Reboot-Repeat YES-Every Day");
    Add(line);
    pump.onProcess = [&](int call) {
        if (call == 2) {  // inside the removal walk: the user removes two lines
            while (list.Count() > 1) list.Remove(list.Count() - 1);
        }
    };
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(power.requests, Requests{"reboot"});
    // The file lost the one-time line; the other removals were the list's own.
    EXPECT_EQ(FileBytes(), ScheduleFileBytes({"5:00 PM-Reboot-Repeat YES-Every Day",
                                              "6:00 PM-Reboot-Repeat YES-Every Day"}));
}

TEST_F(SchedulerTest, AMalformedLineNeverStopsTheTick) {
    Add("");
    Add("-");
    Add("---");
    Add("1:05 PM-Reboot-Repeat YES-Every Day");
    Add("nonsense");
    clock.now = FakeClock::At(13, 5);
    scheduler.RunDueLines();
    EXPECT_EQ(power.requests, Requests{"reboot"});
    EXPECT_EQ(list.Count(), 5);
}

TEST_F(SchedulerTest, ALinesActionPieceRequestsTheFirstActionItNames) {
    const std::pair<const char*, Requests> cases[] = {
        {"Reboot", {"reboot"}},
        {"REBOOT", {"reboot"}},
        {"Force Reboot", {"forced reboot"}},
        {"fORCE rEBOOT", {"forced reboot"}},
        {"LogOff", {"log-off"}},
        {"Force logoff", {"forced log-off"}},
        {"ShutDown", {"shutdown"}},
        {"Force SHUTDOWN", {"forced shutdown"}},
        {"LockWorkStation", {"lock"}},
        {"Force LockWorkStation", {"lock"}},  // a lock has nothing to force
        {"ShutDown then Reboot", {"reboot"}},
        {"reboot-ish logoff", {"reboot"}},
        {"xforcex shutdownx", {"forced shutdown"}},
        {"Hibernate", {}},
        {"", {}},
    };
    for (const auto& [actionPiece, requests] : cases) {
        power.requests.clear();
        std::string reason;
        if (const auto action = ChooseAction(actionPiece)) RunAction(power, *action, reason);
        EXPECT_EQ(power.requests, requests) << actionPiece;
    }
}

TEST_F(SchedulerTest, OnlyAnExactRepeatNoMakesAOneTimeEntry) {
    const std::pair<const char*, bool> cases[] = {
        {"Repeat NO", true},   {"repeat no", true},   {"REPEAT NO", true}, {"Repeat NO ", false},
        {" Repeat NO", false}, {"Repeat YES", false}, {"", false},         {"Repeat  NO", false},
    };
    for (const auto& [repeat, oneTime] : cases) {
        EXPECT_EQ(IsOneTime(repeat), oneTime) << repeat;
    }
}

TEST_F(SchedulerTest, TheClockGoingForwardOrBackRunsALineOnce) {
    Add("2:30 AM-Reboot-Repeat YES-Every Day");
    clock.now = FakeClock::At(1, 59);
    scheduler.RunDueLines();
    clock.Advance(45);
    clock.MoveWallClock(3600);  // 2:00 becomes 3:00: 2:30 never shows
    scheduler.RunDueLines();
    EXPECT_EQ(power.requests, Requests{"reboot"}) << "the skipped minute runs at the change";

    power.requests.clear();
    clock.now = FakeClock::At(2, 29, 2);  // the next night, when the clock goes back
    clock.Advance(24 * 3600.0);
    for (int i = 0; i < 160; ++i) {  // 2:29 to 3:29, back to 2:00 at 3:00, on to 3:00 again
        scheduler.RunDueLines();
        clock.Advance(45);
        if (i == 41) clock.MoveWallClock(-3600);
    }
    EXPECT_EQ(power.requests, Requests{"reboot"}) << "the repeated hour does not run it again";
}

}  // namespace
}  // namespace tolvane
