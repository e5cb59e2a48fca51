// The machine's schedule beside the user's in the window: listed apart and
// read-only, announced without a skip, given way to at its minute; and the
// record of every action the window takes.
#include <gtest/gtest.h>

#include "fakes/fake_admin_only.h"
#include "fakes/fake_desktop_notices.h"
#include "fakes/fake_window_platform.h"
#include "schedule/action_records.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_file.h"
#include "shell/main_window.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

class MachineWindowTest : public ::testing::Test, protected FakeWindowPlatform {
  protected:
    const std::string userPath = "C:\\Program Files\\Tolvane\\rebootdata.kx";
    const std::string machinePath = "C:\\ProgramData\\Tolvane\\rebootdata.kx";
    const std::string state = "C:\\ProgramData\\Tolvane\\state";
    const std::string done = state + "\\rebootdata.kx.done";
    FakeAdminOnly adminOnly;
    FakeServiceLog journal;
    FakeDesktopNotices notices;
    std::unique_ptr<MainWindow> window;

    // The window as the program opens it, for "ilse", the machine's notices
    // `machineMinutes` ahead.
    void Open(int machineMinutes = 3) {
        window.reset();  // before the next takes the platform's callbacks
        RealAdapters real;
        real.notices = &notices;
        MainWindowPlatform platform = Platform(real);
        platform.journal = &journal;
        platform.userName = "ilse";
        platform.machine =
            MainWindowPlatform::Machine{{machinePath, state, &adminOnly}, machineMinutes};
        window = std::make_unique<MainWindow>(platform);
        window->OnLoad("");
    }
    void WriteUser(const Texts& lines) { files.files[userPath] = ScheduleFileBytes(lines); }
    void WriteMachine(const Texts& lines) { files.files[machinePath] = ScheduleFileBytes(lines); }
    Texts Shown() { return view.shownLines[ControlId::MachineLines]; }
    // Ticks every 45 seconds from `hour`:`minute` for `minutes` minutes.
    void TickFrom(int hour, int minute, int minutes) {
        clock.now = FakeClock::At(hour, minute);
        for (double passed = 0; passed < minutes * 60.0; passed += 45) {
            window->OnTimerTick();
            clock.Advance(45);
        }
    }
    Texts Results() {
        Texts results;
        for (const auto& r : journal.records) results.push_back(r.result + " " + r.line);
        return results;
    }
};

TEST_F(MachineWindowTest, ListsTheMachinesLinesOnlyWhileTheyAreTheAdministratorsAlone) {
    const Texts lines{"6:00 PM-Force ShutDown-Repeat YES-Every Day",
                      "1:00 AM-Reboot-Repeat NO-Sunday"};
    struct Case {
        const char* name;
        bool written;
        std::string othersCanChange;
        std::string doneRecord;
        Texts shown;
    };
    const Case cases[] = {
        {"the administrators' alone", true, "", "", lines},
        {"no machine schedule", false, "", "", {}},
        {"a group can write it", true, "group tolvane can write it", "", {}},
        {"a group can write its state folder", true, "", "", {}},
        {"its one-time line ran",
         true,
         "",
         "29000000\t1:00 AM-Reboot-Repeat NO-Sunday\r\n",
         {lines[0]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.clear();
        view.shownLines.clear();
        view.listItems.clear();
        adminOnly.others.clear();
        if (c.written) WriteMachine(lines);
        if (!c.othersCanChange.empty()) adminOnly.others[machinePath] = c.othersCanChange;
        if (std::string(c.name).ends_with("state folder"))
            adminOnly.others[state] = "group tolvane";
        if (!c.doneRecord.empty()) files.files[done] = c.doneRecord;
        WriteUser({"7:00 AM-Lock-Repeat YES-Every Day"});
        Open();
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(window->ShownMachineLines(), c.shown);
        EXPECT_EQ(view.listItems, Texts{"7:00 AM-Lock-Repeat YES-Every Day"})
            << "the user's list holds the user's lines only";
    }
}

TEST_F(MachineWindowTest, FollowsTheMachinesFileAtEveryTick) {
    WriteMachine({"6:00 PM-ShutDown-Repeat YES-Every Day"});
    Open();
    WriteMachine({"6:00 PM-ShutDown-Repeat YES-Every Day", "7:00 PM-Reboot-Repeat YES-Friday"});
    TickFrom(9, 0, 1);
    EXPECT_EQ(Shown(),
              (Texts{"6:00 PM-ShutDown-Repeat YES-Every Day", "7:00 PM-Reboot-Repeat YES-Friday"}));
    // Made writable by others, it is no longer shown: the service refuses it.
    adminOnly.others[machinePath] = "everyone can write it";
    TickFrom(9, 1, 1);
    EXPECT_EQ(Shown(), Texts{});
}

TEST_F(MachineWindowTest, EditingTheUsersScheduleNeverTouchesTheMachines) {
    const Texts machine{"6:00 PM-ShutDown-Repeat YES-Every Day"};
    WriteMachine(machine);
    const std::string machineBytes = files.files[machinePath];
    WriteUser({"7:00 AM-Lock-Repeat YES-Every Day"});
    Open();

    // Nothing selected in the user's list: Remove It asks, whatever the machine lists.
    window->OnRemoveFromSchedule();
    EXPECT_EQ(msgBox.shown.back().text, "Please select the item you would like to remove");
    window->OnScheduleLineSelected(0);
    window->OnRemoveFromSchedule();
    EXPECT_EQ(ScheduleFileLines(files.files[userPath]), Texts{});
    EXPECT_TRUE(view.listItems.empty());
    window->OnRemoveFromSchedule();
    EXPECT_EQ(msgBox.shown.back().text, "Please select the item you would like to remove");

    view.SetOptionValue(ControlId::ScheduleReboot, true);
    view.SetOptionValue(ControlId::Repeat, true);
    view.SetComboText(ControlId::Hour, "10");
    view.SetComboText(ControlId::Minute, "30");
    view.SetComboText(ControlId::AmPm, "PM");
    window->OnAddToSchedule();
    EXPECT_EQ(files.files[userPath], ScheduleFileBytes({"10:30 PM-Reboot-Repeat YES-Every Day"}));
    EXPECT_EQ(files.files[machinePath], machineBytes);
    EXPECT_EQ(Shown(), machine);
}

TEST_F(MachineWindowTest, TheMachinesLinesAreAnnouncedOnItsMinutesWithoutASkipAndNotRun) {
    WriteMachine({"10:30 PM-Force Reboot-Repeat YES-Every Day",
                  "10:30 PM-LockWorkStation-Repeat YES-Every Day"});
    WriteUser({"10:40 PM-ShutDown-Repeat YES-Every Day"});
    Open(3);
    TickFrom(22, 20, 22);
    EXPECT_EQ(
        notices.Texts(),
        (Texts{"Forced reboot at 10:30 PM, in 3 minutes, scheduled by your administrator.",
               "Forced reboot at 10:30 PM, in 1 minute, scheduled by your administrator.",
               "Shut down at 10:40 PM, in 5 minutes.", "Shut down at 10:40 PM, in 1 minute."}));
    for (int i : {0, 1}) {
        const DesktopNotice& notice = notices.shown[i].notice;
        EXPECT_EQ(notice.skipLabel, "");
        EXPECT_EQ(notice.question, "");
        EXPECT_FALSE(notices.shown[i].skip) << "administrators decide";
        EXPECT_NE(notice.series, notices.shown[2].notice.series);
    }
    EXPECT_TRUE(notices.shown[1].notice.urgent);
    EXPECT_EQ(notices.shown[0].notice.series, notices.shown[1].notice.series);
    // The machine's service carries its lines out; the window the user's.
    EXPECT_EQ(power.requests, Texts{"shutdown"});
}

TEST_F(MachineWindowTest, TheMachinesNoticeMinutesAreItsOwnAndZeroTurnsThemOff) {
    WriteMachine({"10:30 PM-ShutDown-Repeat YES-Every Day"});
    WriteUser({"10:40 PM-ShutDown-Repeat YES-Every Day"});
    settings.Put(settings_keys::kNoticeMinutes, "2");
    Open(0);
    TickFrom(22, 20, 22);
    EXPECT_EQ(notices.Texts(), (Texts{"Shut down at 10:40 PM, in 2 minutes.",
                                      "Shut down at 10:40 PM, in 1 minute."}));
}

// A user's line that gives way at the machine's minute is not announced: it
// will not run, and the machine's notice tells what will.
TEST_F(MachineWindowTest, AUsersLineDueWithAMachinesActionGetsNoNoticeOfItsOwn) {
    WriteMachine({"10:30 PM-LogOff-Repeat YES-Every Day", "10:35 PM-Nap-Repeat YES-Every Day"});
    WriteUser({"10:30 PM-Reboot-Repeat YES-Every Day", "10:35 PM-Reboot-Repeat YES-Every Day"});
    Open(2);
    TickFrom(22, 20, 17);
    EXPECT_EQ(notices.Texts(),
              (Texts{"Log off at 10:30 PM, in 2 minutes, scheduled by your administrator.",
                     "Log off at 10:30 PM, in 1 minute, scheduled by your administrator.",
                     "Reboot at 10:35 PM, in 5 minutes.", "Reboot at 10:35 PM, in 1 minute."}));
    EXPECT_EQ(power.requests, Texts{"reboot"}) << "10:35 only: the machine's Nap does nothing";
}

TEST_F(MachineWindowTest, AtTheMachinesMinuteTheUsersLinesGiveWayAndAreRecordedSo) {
    struct Case {
        const char* name;
        Texts machine;
        std::string othersCanChange;
        std::string doneRecord;  // the machine's one-time line that ran, at which minute
        Texts requests;
        Texts results;
    };
    const std::string user = "10:30 PM-Reboot-Repeat YES-Every Day";
    const std::string once = "10:30 PM-ShutDown-Repeat NO-Every Day";
    const long long thisMinute = WallMinuteOf(FakeClock::At(22, 30));
    const std::string logOff = "10:30 PM-LogOff-Repeat YES-Every Day";
    // clang-format off
    const Case cases[] = {
        {"a machine line at that minute", {logOff}, "", "", {}, {"skipped " + user}},
        {"a machine line at another minute", {"10:31 PM-LogOff-Repeat YES-Every Day"}, "", "",
         {"reboot"}, {"done " + user}},
        {"a machine line naming no action", {"10:30 PM-Nap-Repeat YES-Every Day"}, "", "",
         {"reboot"}, {"done " + user}},
        {"a refused machine schedule", {logOff}, "group staff can write it", "", {"reboot"},
         {"done " + user}},
        {"a machine schedule refused for its state folder", {logOff}, "", "", {"reboot"},
         {"done " + user}},
        {"its one-time line ran that minute", {once}, "",
         std::to_string(thisMinute) + "\t" + once + "\r\n", {}, {"skipped " + user}},
        {"its one-time line ran on an earlier day", {once}, "",
         std::to_string(thisMinute - 24 * 60) + "\t" + once + "\r\n", {"reboot"},
         {"done " + user}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.clear();
        adminOnly.others.clear();
        power.requests.clear();
        journal.records.clear();
        WriteMachine(c.machine);
        if (!c.othersCanChange.empty()) adminOnly.others[machinePath] = c.othersCanChange;
        if (std::string(c.name).ends_with("state folder")) adminOnly.others[state] = "group staff";
        if (!c.doneRecord.empty()) files.files[done] = c.doneRecord;
        WriteUser({user});
        Open();
        TickFrom(22, 29, 3);
        EXPECT_EQ(power.requests, c.requests);
        EXPECT_EQ(Results(), c.results);
    }
}

TEST_F(MachineWindowTest, AUsersOneTimeLineAtTheMachinesMinuteIsSpentNotRun) {
    WriteMachine({"10:30 PM-Reboot-Repeat YES-Every Day"});
    WriteUser(
        {"10:30 PM-ShutDown-Repeat NO-Every Day", "10:31 PM-LockWorkStation-Repeat YES-Every Day"});
    Open();
    TickFrom(22, 29, 3);
    EXPECT_EQ(power.requests, Texts{"lock"});
    EXPECT_EQ(files.files[userPath],
              ScheduleFileBytes({"10:31 PM-LockWorkStation-Repeat YES-Every Day"}));
    EXPECT_EQ(Results(), (Texts{"skipped 10:30 PM-ShutDown-Repeat NO-Every Day",
                                "done 10:31 PM-LockWorkStation-Repeat YES-Every Day"}));
}

// Skipping takes a one-time line out of the list while the notices of its
// minute still go out: every line still gets its notice, and none runs.
TEST_F(MachineWindowTest, ANoticeSkippedWithinItsShowingLeavesTheOtherNoticesWhole) {
    const Texts lines{"10:30 PM-LogOff-Repeat NO-Every Day", "10:30 PM-Reboot-Repeat NO-Every Day",
                      "10:30 PM-ShutDown-Repeat NO-Every Day"};
    WriteMachine({"10:30 PM-Reboot-Repeat YES-Sunday"});
    WriteUser(lines);
    notices.skipAtOnce = true;
    Open();
    TickFrom(22, 25, 7);
    EXPECT_EQ(notices.Texts(),
              (Texts{"Log off at 10:30 PM, in 5 minutes.", "Skipped: log off at 10:30 PM",
                     "Reboot at 10:30 PM, in 5 minutes.", "Skipped: reboot at 10:30 PM",
                     "Shut down at 10:30 PM, in 5 minutes.", "Skipped: shut down at 10:30 PM"}));
    EXPECT_TRUE(window->List().Items().empty());
    EXPECT_TRUE(power.requests.empty());
    EXPECT_EQ(Results(),
              (Texts{"skipped " + lines[0], "skipped " + lines[1], "skipped " + lines[2]}));
}

// What the window carries out, fails or skips: each a record with its four
// facts, the line empty for a button.
TEST_F(MachineWindowTest, EveryActionOfTheWindowIsARecordWithItsFourFacts) {
    struct Case {
        const char* name;
        std::function<void()> act;
        bool refuse;
        std::string line;
        std::string result;
        std::string message;
    };
    const std::string line = "10:30 PM-Force Reboot-Repeat YES-Every Day";
    const Case cases[] = {
        {"a due line", [&] { TickFrom(22, 29, 2); }, false, line, "done",
         "Requested forced reboot for: " + line},
        {"a due line refused", [&] { TickFrom(22, 29, 2); }, true, line, "failed",
         "The forced reboot for \"" + line + "\" failed: Access denied"},
        {"a line naming no action",
         [&] {
             WriteUser({"10:30 PM-Nap-Repeat YES-Every Day"});
             window->OnScheduleFileChanged();
             TickFrom(22, 29, 2);
         },
         false, "10:30 PM-Nap-Repeat YES-Every Day", "skipped",
         "Nothing to do for: 10:30 PM-Nap-Repeat YES-Every Day"},
        {"a line skipped from its notice",
         [&] {
             TickFrom(22, 25, 1);
             ASSERT_FALSE(notices.shown.empty());
             notices.shown.front().skip();
             TickFrom(22, 29, 2);
         },
         false, line, "skipped", "Not run, its user skipped it from the notice: " + line},
        {"a Now button", [&] { window->OnShutDownNow(); }, false, "", "done",
         "Requested shutdown now, from the window"},
        {"a Now button refused", [&] { window->OnLogOffNow(); }, true, "", "failed",
         "The log-off asked for now, from the window, failed: Access denied"},
        {"a request that fails later", [&] { power.told("nobody locked the screen"); }, false, "",
         "failed", "A requested action failed: nobody locked the screen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.clear();
        journal.records.clear();
        notices.shown.clear();
        power.refuse = c.refuse;
        WriteUser({line});
        Open();
        c.act();
        ASSERT_EQ(journal.records.size(), 1u);
        const ActionRecord& record = journal.records.front();
        EXPECT_EQ(record.line, c.line);
        EXPECT_EQ(record.schedule, userPath);
        EXPECT_EQ(record.user, "ilse");
        EXPECT_EQ(record.result, c.result);
        EXPECT_EQ(record.message, c.message);
        EXPECT_EQ(record.error, c.result == "failed");
    }
}

}  // namespace
}  // namespace tolvane::testing
