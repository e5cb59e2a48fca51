// One schedule file, several Tolvane processes: windows and the service, on
// one fake disk whose locks they share.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "fakes/fake_system_power.h"
#include "main_window_fixture.h"
#include "service/schedule_service.h"
#include "schedule/schedule_store.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

const std::string kLock = "1:05 PM-LockWorkStation-Repeat YES-Every Day";
const std::string kReboot = "1:05 PM-Reboot-Repeat NO-Every Day";

// ---- Edits merged into the file as found ----

TEST_F(MainWindowTest, AddItKeepsLinesOthersWroteSinceTheWindowLastLooked) {
    WriteSchedule({"A"});
    files.files[schedulePath] = ScheduleFileBytes({"A", "Z from an editor"});  // not seen yet
    Choose(ControlId::ScheduleLock, false, ControlId::Repeat, "1", "05", "PM", "Every Day");
    form.OnAddToSchedule();
    const Texts all = {"1:05 PM-LockWorkStation-Repeat YES-Every Day", "A", "Z from an editor"};
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes(all));
    EXPECT_EQ(Lines(), all) << "the list shows the file as written";
    EXPECT_EQ(view.listItems, all);
}

TEST_F(MainWindowTest, RemoveItTakesOneCopyOutOfTheFileAsFound) {
    WriteSchedule({"A", "B", "B"});
    files.files[schedulePath] = "B\r\nC\r\nB\r\nA\r\n\r\n";  // reordered, C added by hand
    form.OnScheduleLineSelected(2);
    form.OnRemoveFromSchedule();
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A", "B", "C"}));
    EXPECT_EQ(Lines(), (Texts{"A", "B", "C"}));

    // Gone from the file meanwhile: nothing is written, and the list catches up.
    files.files[schedulePath] = ScheduleFileBytes({"A", "C"});
    form.OnScheduleLineSelected(1);
    form.OnRemoveFromSchedule();
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A", "C"}));
    EXPECT_EQ(Lines(), (Texts{"A", "C"}));
    EXPECT_EQ(msgBox.shown.size(), 0u);
}

TEST_F(MainWindowTest, AnEditWaitsForNoneButFailsWhenAnotherHoldsTheLock) {
    WriteSchedule({"A"});
    std::string reason;
    auto held = files.LockFile(schedulePath + ".lock", LockKind::Exclusive, 0, reason);
    form.OnScheduleLineSelected(0);
    form.OnRemoveFromSchedule();
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_NE(msgBox.shown[0].text.find("holds the lock"), std::string::npos)
        << msgBox.shown[0].text;
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A"}));
}

// ---- Edits the file refused ----

// The folder became unwritable after the start (a full disk, say): nothing
// typed is lost. The edits are kept in order, the list shows them over the
// file as it is, and they land at the next edit or tick that can write.
TEST_F(MainWindowTest, EditsTheFileRefusedAreKeptInOrderAndLandWhenItCanBeWritten) {
    clock.now = FakeClock::At(9, 0);
    WriteSchedule({"A", "B"});
    files.failTemporaryWrite = true;
    Choose(ControlId::ScheduleReboot, false, ControlId::OnlyOnce, "1", "05", "PM", "Every Day");
    form.OnAddToSchedule();
    Choose(ControlId::ScheduleLock, false, ControlId::Repeat, "1", "05", "PM", "Every Day");
    form.OnAddToSchedule();
    form.OnScheduleLineSelected(0);  // "1:05 PM-LockWorkStation-..." sorts first
    form.OnRemoveFromSchedule();
    form.OnScheduleLineSelected(1);  // "A"
    form.OnRemoveFromSchedule();
    const auto notSaved = std::count_if(msgBox.shown.begin(), msgBox.shown.end(), [](const auto& m) {
        return m.text.find("could not be saved") != std::string::npos;
    });
    EXPECT_EQ(notSaved, 4);
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A", "B"}));
    EXPECT_EQ(Lines(), (Texts{kReboot, "B"}));

    // Another program changes the file meanwhile: the list is that file with
    // the edits still to come.
    WriteSchedule({"A", "B", "C"});
    EXPECT_EQ(Lines(), (Texts{kReboot, "B", "C"}));
    form.OnTimerTick();
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A", "B", "C"})) << "still refused";

    files.failTemporaryWrite = false;
    const std::size_t shown = msgBox.shown.size();
    form.OnTimerTick();
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({kReboot, "B", "C"}));
    EXPECT_EQ(Lines(), (Texts{kReboot, "B", "C"}));
    EXPECT_EQ(msgBox.shown.size(), shown) << "a tick says nothing";
}

// A one-time line that never reached the file runs at its time all the same,
// once, and is not saved afterwards.
TEST_F(MainWindowTest, AnUnsavedOneTimeLineRunsAtItsTimeAndIsNotSavedAfter) {
    clock.now = FakeClock::At(13, 4);
    WriteSchedule({"A"});
    form.OnTimerTick();
    files.failTemporaryWrite = true;
    Choose(ControlId::ScheduleReboot, false, ControlId::OnlyOnce, "1", "05", "PM", "Every Day");
    form.OnAddToSchedule();
    ASSERT_EQ(Lines(), (Texts{kReboot, "A"}));
    clock.now = FakeClock::At(13, 5, 1);
    form.OnTimerTick();
    EXPECT_EQ(power.requests, Texts{"reboot"});
    EXPECT_EQ(Lines(), Texts{"A"});
    files.failTemporaryWrite = false;
    clock.now = FakeClock::At(13, 5, 46);
    form.OnTimerTick();
    EXPECT_EQ(power.requests, Texts{"reboot"}) << "once";
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"A"}));
}

// ---- The window follows the file ----

TEST_F(MainWindowTest, TheListFollowsTheFileAndKeepsTheSelectionOnItsLine) {
    struct Case {
        const char* name;
        Texts before;
        int selected;
        Texts after;
        int selectedAfter;
    };
    const Case cases[] = {
        {"line kept, others changed", {"A", "B", "C"}, 1, {"A2", "B", "D"}, 1},
        {"line gone", {"A", "B", "C"}, 1, {"A", "C"}, -1},
        {"one of two copies gone", {"A", "B", "B"}, 2, {"A", "B"}, 1},
        {"file emptied", {"A"}, 0, {}, -1},
        {"lines before it added", {"C"}, 0, {"A", "B", "C"}, 2},
    };
    for (const auto& c : cases) {
        WriteSchedule(c.before);
        form.OnScheduleLineSelected(c.selected);
        WriteSchedule(c.after);
        EXPECT_EQ(Lines(), c.after) << c.name;
        EXPECT_EQ(view.listItems, c.after) << c.name;
        EXPECT_EQ(form.List().Selected(), c.selectedAfter) << c.name;
    }
}

TEST_F(MainWindowTest, EachTickLooksAtTheFileWhenNoWatcherTold) {
    WriteSchedule({"A"});
    files.files[schedulePath] = ScheduleFileBytes({"A", "B"});
    EXPECT_EQ(Lines(), Texts{"A"});
    form.OnTimerTick();
    EXPECT_EQ(Lines(), (Texts{"A", "B"}));
    files.files.erase(schedulePath);  // a removed file is an empty schedule
    form.OnTimerTick();
    EXPECT_TRUE(Lines().empty());
}

// ---- An unreadable schedule ----

TEST_F(MainWindowTest, AScheduleThatCannotBeReadIsNeverReplaced) {
    struct Case {
        const char* name;
        std::string bytes;
        bool failRead;
        const char* reason;
    };
    const Case cases[] = {
        {"no rights", "A\r\n\r\n", true, "no regular file"},
        {"too large", std::string(kWindowMaxScheduleBytes + 1, 'x'), false, "larger than 16 MiB"},
    };
    for (const auto& c : cases) {
        MainWindowTest::files.files = {{schedulePath, c.bytes}};
        files.failRead = c.failRead;
        msgBox.shown.clear();
        MainWindow window{Platform()};
        window.OnLoad("");
        ASSERT_EQ(msgBox.shown.size(), 1u) << c.name;
        EXPECT_NE(msgBox.shown[0].text.find(schedulePath), std::string::npos) << c.name;
        EXPECT_NE(msgBox.shown[0].text.find(c.reason), std::string::npos) << msgBox.shown[0].text;

        window.OnTimerTick();  // said once only
        Choose(ControlId::ScheduleReboot, false, ControlId::Repeat, "1", "05", "PM", "Every Day");
        window.OnAddToSchedule();
        ASSERT_EQ(msgBox.shown.size(), 3u) << c.name;
        EXPECT_NE(msgBox.shown[2].text.find("could not be saved"), std::string::npos) << c.name;
        EXPECT_EQ(files.files[schedulePath], c.bytes) << c.name;

        // Readable again: the next edit goes into the file as it is, and the
        // one that could not be saved with it.
        files.failRead = false;
        files.files[schedulePath] = ScheduleFileBytes({"A"});
        Choose(ControlId::ScheduleReboot, false, ControlId::Repeat, "1", "05", "PM", "Every Day");
        window.OnAddToSchedule();
        EXPECT_EQ(files.files[schedulePath],
                  ScheduleFileBytes({"1:05 PM-Reboot-Repeat YES-Every Day",
                                     "1:05 PM-Reboot-Repeat YES-Every Day", "A"}))
            << c.name;
    }
}

TEST_F(MainWindowTest, AScheduleKeptAsALinkStaysALink) {
    files.links[schedulePath] = "D:\\Sync\\schedule.txt";
    files.files["D:\\Sync\\schedule.txt"] = ScheduleFileBytes({"A"});
    form.OnLoad("");
    Choose(ControlId::ScheduleReboot, false, ControlId::Repeat, "1", "05", "PM", "Every Day");
    form.OnAddToSchedule();
    EXPECT_EQ(files.files.count(schedulePath), 0u);
    EXPECT_EQ(files.files["D:\\Sync\\schedule.txt"],
              ScheduleFileBytes({"1:05 PM-Reboot-Repeat YES-Every Day", "A"}));
}

// ---- Exactly once per line and minute ----

// A window and the service on one file, each with its own way to act.
class WindowAndService : public MainWindowTest {
  protected:
    FakeSystemPower servicePower;
    FakeServiceLog log;
    std::unique_ptr<ScheduleService> service;

    WindowAndService() {
        clock.now = FakeClock::At(13, 4);
        service = std::make_unique<ScheduleService>(files, schedulePath, clock, servicePower, log);
        files.files[schedulePath] = ScheduleFileBytes({kLock, kReboot});
    }
    // Every action asked for, by either.
    Texts Actions() {
        Texts all = power.requests;
        for (const auto& request : servicePower.requests) all.push_back("service " + request);
        return all;
    }
};

TEST_F(WindowAndService, EachDueLineRunsOnceWhoeverTicksFirst) {
    // The window here holds no window lock (it was not started), so both
    // carry the schedule out and the run record decides.
    for (const bool windowFirst : {true, false}) {
        MainWindow window{Platform()};
        window.OnScheduleFileChanged();
        ScheduleService other(files, schedulePath, clock, servicePower, log);
        clock.now = FakeClock::At(13, 5, windowFirst ? 1 : 2);
        for (int round = 0; round < 2; ++round) {
            if (windowFirst) window.OnTimerTick();
            other.Tick();
            if (!windowFirst) window.OnTimerTick();
        }
        files.files[schedulePath] = ScheduleFileBytes({kLock, kReboot});  // for the next order
    }
    const auto actions = Actions();
    EXPECT_EQ(std::count(actions.begin(), actions.end(), "lock") +
                  std::count(actions.begin(), actions.end(), "service lock"),
              2)
        << "one lock a day";
    EXPECT_EQ(std::count(actions.begin(), actions.end(), "reboot") +
                  std::count(actions.begin(), actions.end(), "service reboot"),
              2)
        << "one reboot a day";
    EXPECT_NE(std::find(log.infos.begin(), log.infos.end(),
                        "Not run, already carried out at this minute: " + kLock),
              log.infos.end());
}

TEST_F(WindowAndService, WhileAWindowRunsTheServiceLeavesTheScheduleToIt) {
    form.OnLoad("");
    clock.Advance(60);
    service->Tick();
    form.OnTimerTick();
    EXPECT_TRUE(servicePower.requests.empty());
    EXPECT_EQ(log.infos.front(),
              "A Tolvane window runs the schedule; the service leaves it to it.");
    EXPECT_EQ(Actions(), (Texts{"lock", "reboot"}));
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({kLock}));
}

TEST_F(WindowAndService, AWindowStartedAgainInTheMinuteDoesNotRepeatIt) {
    files.files[schedulePath] = ScheduleFileBytes({kLock});
    clock.Advance(60);
    {
        MainWindow first{Platform()};
        first.OnLoad("");
        first.OnTimerTick();
    }
    clock.Advance(20);
    MainWindow again{Platform()};
    again.OnLoad("");
    again.OnTimerTick();
    EXPECT_EQ(Actions(), Texts{"lock"});

    clock.Advance(24 * 3600.0);  // the next day, same minute
    again.OnTimerTick();
    EXPECT_EQ(Actions(), (Texts{"lock", "lock"}));
}

TEST(RunRecord, KeepsADayAndTellsTheSameMinuteApart) {
    FakeFileSystem files;
    ScheduleStore store(files, "C:\\T\\rebootdata.kx", kWindowMaxScheduleBytes);
    const auto none = [](const std::string&) { return std::optional<std::string>(); };
    using Claim = ScheduleStore::Claim;
    const WallMinute day = 24 * 60;
    struct Step {
        const char* line;
        WallMinute minute;
        Claim claim;
    };
    const Step steps[] = {
        {"L", 1000, Claim::Run},
        {"L", 1000, Claim::AlreadyRan},
        {"M", 1000, Claim::Run},  // another line, same minute
        {"L", 1001, Claim::Run},
        {"L", 1000 + day, Claim::Run},
        {"L", 1000 + 2 * day - 1, Claim::Run},  // the first three entries are dropped here
    };
    for (const auto& step : steps) {
        EXPECT_EQ(store.ClaimRun(step.line, step.minute, false, none).claim, step.claim)
            << step.line << " " << step.minute;
    }
    const std::string record = "C:\\T\\rebootdata.kx.runs";
    EXPECT_EQ(files.files[record], "2440\tL\r\n3879\tL\r\n");
    // A clock set back by days runs it again, and forgets what lies too far ahead.
    EXPECT_EQ(store.ClaimRun("L", 1000, false, none).claim, Claim::Run);
    EXPECT_EQ(files.files[record], "2440\tL\r\n1000\tL\r\n");
}

TEST(RunRecord, AOneTimeLineIsClaimedByTakingItOut) {
    FakeFileSystem files;
    const std::string path = "C:\\T\\rebootdata.kx";
    ScheduleStore store(files, path, kWindowMaxScheduleBytes);
    const auto takeOut = [](const std::string& found) {
        return RemoveEveryScheduleLine(found, "R");
    };
    using Claim = ScheduleStore::Claim;
    EXPECT_EQ(store.ClaimRun("R", 5, true, takeOut).claim, Claim::Gone) << "no file";
    files.files[path] = ScheduleFileBytes({"R", "R", "S"});
    EXPECT_EQ(store.ClaimRun("R", 5, true, takeOut).claim, Claim::Run);
    EXPECT_EQ(files.files[path], ScheduleFileBytes({"S"}));
    files.files[path] = ScheduleFileBytes({"R", "S"});  // put back by hand in the same minute
    EXPECT_EQ(store.ClaimRun("R", 5, true, takeOut).claim, Claim::AlreadyRan);
    EXPECT_EQ(files.files[path], ScheduleFileBytes({"R", "S"})) << "kept for another day";

    files.failMoveOver = true;
    const auto failed = store.ClaimRun("R", 6, true, takeOut);
    EXPECT_EQ(failed.claim, Claim::Failed);
    EXPECT_NE(failed.problem.find("Access is denied."), std::string::npos) << failed.problem;
}

// A disk where another process keeps the lock for the first `heldSteps`
// waits, then lets go just as a wait ends: the lock is then free to anyone
// who looks, but a waiter still needs a moment to take it, as a woken thread
// does, so a request willing to wait no time at all comes away empty.
class LetGoAsAWaitEnds final : public FakeFileSystem {
  public:
    int heldSteps = 1;
    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override {
        if (heldSteps > 0 || waitSeconds <= 0) {
            if (heldSteps > 0) --heldSteps;
            lockWaits.push_back(waitSeconds);
            reason = "Another program holds the lock " + path + ".";
            return nullptr;
        }
        return FakeFileSystem::LockFile(path, kind, waitSeconds, reason);
    }
    bool LockedElsewhere(const std::string& path) override {
        return heldSteps > 0 || FakeFileSystem::LockedElsewhere(path);
    }
};

TEST(RunRecord, TheLockIsWaitedForUntilHadOrItCannotBeHad) {
    const std::string path = "C:\\T\\rebootdata.kx";
    const auto takeOut = [](const std::string& found) { return RemoveEveryScheduleLine(found, "R"); };
    using Claim = ScheduleStore::Claim;
    {
        // Let go just as a step of the wait ended: taken in the next step.
        LetGoAsAWaitEnds files;
        files.files[path] = ScheduleFileBytes({"R", "S"});
        ScheduleStore store(files, path, kServiceMaxScheduleBytes);
        const auto claimed = store.ClaimRun("R", 5, true, takeOut);
        EXPECT_EQ(claimed.claim, Claim::Run) << claimed.problem;
        EXPECT_EQ(files.files[path], ScheduleFileBytes({"S"}));
    }
    {
        // No rights to the lock at all: no wait, however long one may last.
        FakeFileSystem files;
        files.failLock = true;
        files.files[path] = ScheduleFileBytes({"R"});
        ScheduleStore store(files, path, kServiceMaxScheduleBytes);
        const auto claims = store.ClaimRuns({{"R", 5, true}}, [] { return true; },
                                            [&](const std::string& found, const std::string&) {
                                                return takeOut(found);
                                            });
        EXPECT_EQ(claims.front().claim, Claim::Failed);
        EXPECT_NE(claims.front().problem.find("Access is denied."), std::string::npos)
            << claims.front().problem;
        EXPECT_LE(files.lockWaits.size(), 2u);
        EXPECT_EQ(files.files[path], ScheduleFileBytes({"R"}));
    }
}

}  // namespace
}  // namespace tolvane::testing
