#include <gtest/gtest.h>

#include "fakes/fake_admin_only.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "schedule/action_records.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

class MachineScheduleTest : public ::testing::Test {
  protected:
    const std::string path = "C:\\ProgramData\\Tolvane\\rebootdata.kx";
    const std::string state = "C:\\ProgramData\\Tolvane\\state";
    const std::string done = state + "\\rebootdata.kx.done";
    FakeFileSystem files;
    FakeClock clock;
    FakeSystemPower power;
    FakeServiceLog log;
    FakeAdminOnly adminOnly;

    MachineScheduleTest() { clock.now = FakeClock::At(2, 59); }

    ScheduleService Start(int noticeMinutes = 0) {
        return ScheduleService({files, path, clock, power, log, std::string(kRecordAllUsers),
                                ScheduleService::Machine{state, &adminOnly, noticeMinutes}});
    }
    void Write(const Texts& lines) { files.files[path] = ScheduleFileBytes(lines); }
    // Ticks at the given minute of the given day's morning.
    void TickAt(ScheduleService& service, int day, int hour, int minute) {
        clock.now = FakeClock::At(hour, minute, day);
        clock.Advance(1);
        service.Tick();
    }
};

TEST_F(MachineScheduleTest, RunsDueLinesForEveryoneAndNeverRewritesTheFile) {
    Write({"3:00 AM-Force Reboot-Repeat NO-Every Day", "3:00 AM-LogOff-Repeat YES-Every Day",
           "4:00 AM-ShutDown-Repeat YES-Every Day"});
    const std::string bytes = files.files[path];
    auto service = Start();
    TickAt(service, 1, 3, 0);
    EXPECT_EQ(power.requests, (Texts{"forced reboot", "log-off"}));
    EXPECT_EQ(files.files[path], bytes);
    // Its minute's claim and the one-time line's run stand in the state folder.
    EXPECT_TRUE(files.files.count(state + "\\rebootdata.kx.runs"));
    EXPECT_EQ(ReadDoneRecord(files.files[done]).size(), 1u);
    EXPECT_FALSE(files.files.count(path + ".runs"));
    ASSERT_EQ(log.records.size(), 2u);
    const ActionRecord& first = log.records.front();
    EXPECT_EQ(first.line, "3:00 AM-Force Reboot-Repeat NO-Every Day");
    EXPECT_EQ(first.schedule, path);
    EXPECT_EQ(first.user, kRecordAllUsers);
    EXPECT_EQ(first.result, kRecordDone);
    EXPECT_FALSE(first.error);
}

TEST_F(MachineScheduleTest, AOneTimeLineRunsOnceUntilItIsTakenOutAndAddedAgain) {
    const std::string once = "3:00 AM-Reboot-Repeat NO-Every Day";
    Write({once});
    {
        auto service = Start();
        TickAt(service, 1, 3, 0);
    }
    {
        auto service = Start();  // the next day, the service started afresh
        TickAt(service, 2, 3, 0);
        EXPECT_EQ(power.requests, Texts{"reboot"});
        EXPECT_EQ(log.records.back().result, kRecordSkipped);

        Write({"4:00 AM-Lock-Repeat YES-Monday"});  // the administrator takes it out
        TickAt(service, 2, 3, 30);
        EXPECT_TRUE(ReadDoneRecord(files.files[done]).empty());
        Write({once});  // and puts it back
        TickAt(service, 3, 3, 0);
    }
    EXPECT_EQ(power.requests, (Texts{"reboot", "reboot"}));
}

TEST_F(MachineScheduleTest, AFileOthersCanChangeIsRefusedOnceAndNothingRuns) {
    struct Case {
        const char* name;
        bool file;  // the file, or the state folder
    };
    for (const Case c : {Case{"the file", true}, Case{"the state folder", false}}) {
        SCOPED_TRACE(c.name);
        power.requests.clear();
        log.records.clear();
        files.files.clear();
        adminOnly.others = {{c.file ? path : state, "C:\\ProgramData\\Tolvane is writable by Users"}};
        Write({"3:00 AM-Reboot-Repeat YES-Every Day", "3:01 AM-Reboot-Repeat YES-Every Day"});
        auto service = Start();
        TickAt(service, 1, 3, 0);
        TickAt(service, 1, 3, 1);
        EXPECT_TRUE(power.requests.empty());
        ASSERT_EQ(log.records.size(), 1u);
        EXPECT_EQ(log.records[0].result, kRecordRefused);
        EXPECT_TRUE(log.records[0].error);
        EXPECT_NE(log.records[0].message.find("writable by Users"), std::string::npos);

        adminOnly.others.clear();  // mended: it runs from the next minute
        TickAt(service, 2, 3, 0);
        EXPECT_EQ(power.requests, Texts{"reboot"});
    }
}

TEST_F(MachineScheduleTest, AnEndIsAnnouncedWithinTheNoticeMinutesAndTakenBack) {
    Write({"3:05 AM-Force ShutDown-Repeat YES-Every Day", "3:04 AM-LogOff-Repeat YES-Every Day"});
    auto service = Start(5);
    clock.now = FakeClock::At(2, 59, 1);
    clock.Advance(30);  // 2:59:30: 3:05 is beyond five minutes
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    clock.Advance(60);  // 3:00:30
    service.Tick();
    clock.Advance(20);  // the same minute: told once
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"announce shutdown in 270 s"});

    Write({"3:04 AM-LogOff-Repeat YES-Every Day"});  // taken out before its minute
    clock.Advance(60);
    service.Tick();
    EXPECT_EQ(power.requests.back(), "take back the announcement");

    // At its minute the warning gives way to the request itself.
    Write({"3:05 AM-Force ShutDown-Repeat YES-Every Day"});
    clock.Advance(60);
    service.Tick();
    EXPECT_EQ(power.requests.back(), "announce shutdown in 130 s");
    clock.now = FakeClock::At(3, 5, 1);
    clock.Advance(1);
    service.Tick();
    const Texts last(power.requests.end() - 2, power.requests.end());
    EXPECT_EQ(last, (Texts{"take back the announcement", "forced shutdown"}));
}

// A user's service beside the machine's schedule.
class UserBesideMachineTest : public MachineScheduleTest {
  protected:
    const std::string userPath = "C:\\Users\\ann\\rebootdata.kx";
    ScheduleService StartUser() {
        return ScheduleService({files, userPath, clock, power, log, "ann", std::nullopt,
                                ScheduleService::MachineBeside{path, state, &adminOnly}});
    }
};

TEST_F(UserBesideMachineTest, AtAMinuteTheMachinesScheduleActsTheUsersLinesAreNotRun) {
    files.files[userPath] = ScheduleFileBytes(
        {"3:00 AM-Lock-Repeat NO-Every Day", "3:01 AM-LockWorkStation-Repeat YES-Every Day"});
    Write({"3:00 AM-ShutDown-Repeat NO-Every Day"});
    auto service = StartUser();
    TickAt(service, 1, 3, 0);
    TickAt(service, 1, 3, 1);
    EXPECT_EQ(power.requests, Texts{"lock"});  // 3:01 only
    ASSERT_FALSE(log.records.empty());
    const ActionRecord& skipped = log.records.front();
    EXPECT_EQ(skipped.result, kRecordSkipped);
    EXPECT_EQ(skipped.user, "ann");
    EXPECT_EQ(skipped.schedule, userPath);
    EXPECT_NE(skipped.message.find("machine's schedule"), std::string::npos);
}

TEST_F(UserBesideMachineTest, AMachineLineNamingNoActionDoesNothingAndNothingGivesWayToIt) {
    files.files[userPath] = ScheduleFileBytes({"3:00 AM-LockWorkStation-Repeat YES-Every Day"});
    Write({"3:00 AM-Nap-Repeat YES-Every Day"});
    auto service = StartUser();
    TickAt(service, 1, 3, 0);
    EXPECT_EQ(power.requests, Texts{"lock"});
}

TEST_F(UserBesideMachineTest, AMachineLineThatRanThisMinuteStillActedButOneFromBeforeNoLonger) {
    const std::string once = "3:00 AM-ShutDown-Repeat NO-Every Day";
    Write({once});
    const WallMinute today = WallMinuteOf(FakeClock::At(3, 0, 1));
    files.files[userPath] = ScheduleFileBytes({"3:00 AM-LockWorkStation-Repeat YES-Every Day"});
    files.files[done] = DoneRecordBytes({{today, once}});  // the machine came first today
    {
        auto service = StartUser();
        TickAt(service, 1, 3, 0);
    }
    EXPECT_TRUE(power.requests.empty());
    {
        auto service = StartUser();
        TickAt(service, 2, 3, 0);  // the day after, it has run for good
    }
    EXPECT_EQ(power.requests, Texts{"lock"});
}

TEST(MachineLines, LeaveOutOneTimeLinesThatRanAndAreRefusedWhenOthersCanChangeThem) {
    FakeFileSystem files;
    FakeAdminOnly adminOnly;
    const std::string path = "C:\\T\\rebootdata.kx";
    files.files[path] = ScheduleFileBytes({"1:00 AM-Reboot-Repeat NO-Every Day",
                                           "2:00 AM-Reboot-Repeat YES-Every Day",
                                           "3:00 AM-Reboot-Repeat NO-Every Day"});
    files.files["C:\\T\\state\\rebootdata.kx.done"] = DoneRecordBytes(
        {{100, "1:00 AM-Reboot-Repeat NO-Every Day"}, {100, "2:00 AM-Reboot-Repeat YES-Every Day"}});
    MachineLines lines = ReadMachineLines(files, path, "C:\\T\\state", adminOnly);
    EXPECT_EQ(lines.lines, (Texts{"2:00 AM-Reboot-Repeat YES-Every Day",
                                  "3:00 AM-Reboot-Repeat NO-Every Day"}));
    EXPECT_TRUE(lines.problem.empty());
    EXPECT_EQ(ReadMachineLines(files, path, "C:\\T\\state", adminOnly, 100).lines.size(), 3u);

    adminOnly.others[path] = "owned by ann";
    lines = ReadMachineLines(files, path, "C:\\T\\state", adminOnly);
    EXPECT_TRUE(lines.lines.empty());
    EXPECT_EQ(lines.problem, "owned by ann");
    EXPECT_TRUE(ReadMachineLines(files, "C:\\T\\none.kx", "C:\\T\\state", adminOnly).problem.empty());

    // The service refuses a schedule whose state folder others can change:
    // nothing of it runs, so nothing of it is shown as acting either.
    adminOnly.others.clear();
    adminOnly.others["C:\\T\\state"] = "writable by Users";
    lines = ReadMachineLines(files, path, "C:\\T\\state", adminOnly);
    EXPECT_TRUE(lines.lines.empty());
    EXPECT_EQ(lines.problem, "its state folder: writable by Users");
}

TEST(DoneRecord, KeepsLinesWithTabsAndPassesOverWhatIsNoEntry) {
    const std::vector<SpentLine> spent{{29000000, "3:00 AM-Reboot-Repeat NO-Every\tDay"}, {5, "x"}};
    EXPECT_EQ(ReadDoneRecord(DoneRecordBytes(spent)), spent);
    EXPECT_EQ(ReadDoneRecord("12\tA\r\n\tB\r\nx\tC\r\n13\r\n+1\tD\r\n\r\n").size(), 1u);
}

}  // namespace
}  // namespace tolvane::testing
