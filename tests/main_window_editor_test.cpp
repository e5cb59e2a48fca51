// The schedule editor, the immediate-action panel and the road of one entry
// from Add It to the reboot request.
#include "main_window_fixture.h"
#include "schedule/schedule_file.h"
#include "shell/settings_keys.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

TEST_F(MainWindowTest, SetCombosFillsThePickersInOrderAndSelectsNothing) {
    form.FillTimeChoices();
    const auto& items = view.comboItems;
    ASSERT_EQ(items.at(ControlId::Hour).size(), 12u);
    EXPECT_EQ(items.at(ControlId::Hour).front(), "1");
    EXPECT_EQ(items.at(ControlId::Hour).back(), "12");
    ASSERT_EQ(items.at(ControlId::Minute).size(), 60u);
    EXPECT_EQ(items.at(ControlId::Minute)[5], "05");
    EXPECT_EQ(items.at(ControlId::Minute).back(), "59");
    EXPECT_EQ(items.at(ControlId::AmPm), (Texts{"AM", "PM"}));
    EXPECT_EQ(items.at(ControlId::Day), (Texts{"Every Day", "Sunday", "Monday", "Tuesday",
                                               "Wednesday", "Thursday", "Friday", "Saturday"}));
    EXPECT_EQ(view.comboTexts[ControlId::Hour], "");
    EXPECT_EQ(view.comboTexts[ControlId::Day], "Every Day");
    EXPECT_EQ(pump.processed, 72);  // once per hour and minute item
}

TEST_F(MainWindowTest, AddItRefusesAMissingChoiceAndChangesNothing) {
    form.OnAddToSchedule();  // nothing chosen: only the first message
    view.SetOptionValue(ControlId::ScheduleShutDown, true);
    form.OnAddToSchedule();  // an action but no once/repeat choice
    EXPECT_EQ(msgBox.Texts(), (Texts{"Plese select reboot, logoff, shutdown as an option",
                                     "Please select only once or repeat option for the reboots"}));
    for (const auto& shown : msgBox.shown) {
        EXPECT_EQ(shown.title, "Tolvane");
        EXPECT_EQ(shown.buttons, MsgBox::Buttons::Ok);
    }
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(MainWindowTest, AddItComposesListsSavesConfirmsAndEmptiesTheTime) {
    Choose(ControlId::ScheduleReboot, true, ControlId::OnlyOnce, "10", "30", "PM", "Every Day");
    form.OnAddToSchedule();

    const std::string line = "10:30 PM-Force Reboot-Repeat NO-Every Day";
    EXPECT_EQ(Lines(), Texts{line});
    EXPECT_EQ(view.listItems, Texts{line});
    EXPECT_EQ(ScheduleBytes(), line + "\r\n\r\n");
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(msgBox.shown[0].text,
              "The reboot time has been set, your computer will be preform at \r\n"
              "10:30 PM - Force Reboot-Repeat NO\r\n"
              "Note* Tolvane 2.1 should be running at that time for the action to be taken.");
    EXPECT_EQ(msgBox.shown[0].title, "Tolvane");
    EXPECT_EQ(msgBox.shown[0].buttons, MsgBox::Buttons::Ok);
    for (ControlId combo : {ControlId::Hour, ControlId::Minute, ControlId::AmPm}) {
        EXPECT_EQ(view.comboTexts[combo], "");
    }
    EXPECT_EQ(view.comboTexts[ControlId::Day], "Every Day");
    EXPECT_TRUE(view.options[ControlId::ScheduleReboot]);
    EXPECT_TRUE(view.options[ControlId::OnlyOnce]);
    EXPECT_EQ(view.checks[ControlId::ScheduleForce], 1);
}

TEST_F(MainWindowTest, AddItTakesTheFirstChosenActionAndAnyTexts) {
    struct Case {
        ControlId action;
        bool force;
        ControlId repeat;
        const char* hour;
        const char* line;
    };
    const Case cases[] = {
        {ControlId::ScheduleLock, true, ControlId::Repeat, "07",
         "07:05 AM-Force LockWorkStation-Repeat YES-Monday"},
        {ControlId::ScheduleLogOff, false, ControlId::OnlyOnce, "7",
         "7:05 AM-LogOff-Repeat NO-Monday"},
        {ControlId::ScheduleShutDown, false, ControlId::Repeat, "",
         ":05 AM-ShutDown-Repeat YES-Monday"},
    };
    for (const auto& c : cases) {
        Choose(c.action, c.force, c.repeat, c.hour, "05", "AM", "Monday");
        form.OnAddToSchedule();
        EXPECT_NE(std::find(Lines().begin(), Lines().end(), c.line), Lines().end()) << c.line;
    }
}

TEST_F(MainWindowTest, AddItTwiceInARowAddsASecondLineWithAnEmptyTime) {
    Choose(ControlId::ScheduleReboot, false, ControlId::OnlyOnce, "", "", "", "Every Day");
    form.OnAddToSchedule();
    EXPECT_EQ(msgBox.shown.back().text,
              "The reboot time has been set, your computer will be preform at \r\n"
              ":  - Reboot-Repeat NO\r\n"
              "Note* Tolvane 2.1 should be running at that time for the action to be taken.");
    Choose(ControlId::ScheduleReboot, false, ControlId::OnlyOnce, "10", "30", "PM", "Every Day");
    form.OnAddToSchedule();
    form.OnAddToSchedule();  // the time pickers were emptied by the click before
    EXPECT_EQ(Lines(), (Texts{"10:30 PM-Reboot-Repeat NO-Every Day",
                              ": -Reboot-Repeat NO-Every Day", ": -Reboot-Repeat NO-Every Day"}));
    EXPECT_EQ(ScheduleFileLines(ScheduleBytes()), Lines());
}

TEST_F(MainWindowTest, AnEditThatCannotBeSavedSaysSoAfterDoingItsWork) {
    files.failMoveOver = true;
    Choose(ControlId::ScheduleReboot, false, ControlId::Repeat, "1", "00", "AM", "Every Day");
    form.OnAddToSchedule();
    ASSERT_EQ(msgBox.shown.size(), 2u);
    EXPECT_EQ(msgBox.shown[0].text.substr(0, 30), "The reboot time has been set, ");
    const std::string warning = msgBox.shown[1].text;
    EXPECT_NE(warning.find(schedulePath), std::string::npos) << warning;
    EXPECT_NE(warning.find("Access is denied."), std::string::npos) << warning;
    EXPECT_NE(warning.find("lost when Tolvane ends"), std::string::npos) << warning;
    EXPECT_EQ(Lines().size(), 1u);  // the list keeps the change
    form.OnTimerTick();
    EXPECT_EQ(Lines().size(), 1u) << "the file did not change, so the list is not reloaded";

    form.OnScheduleLineSelected(0);
    form.OnRemoveFromSchedule();  // the file never had the line: nothing to write
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(msgBox.shown.size(), 2u);

    WriteSchedule({"A"});
    form.OnScheduleLineSelected(0);
    form.OnRemoveFromSchedule();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(msgBox.shown.size(), 3u);
    EXPECT_EQ(msgBox.shown[2].text, warning);
}

TEST_F(MainWindowTest, RemoveItNeedsASelectionAndRemovesOnlyThatLine) {
    form.OnRemoveFromSchedule();  // empty list
    WriteSchedule({"A", "B", "B"});
    form.OnRemoveFromSchedule();  // nothing selected
    EXPECT_EQ(msgBox.Texts(), (Texts(2, "Please select the item you would like to remove")));

    form.OnScheduleLineSelected(1);
    form.OnRemoveFromSchedule();
    EXPECT_EQ(Lines(), (Texts{"A", "B"}));
    EXPECT_EQ(view.listItems, Lines());
    EXPECT_EQ(ScheduleBytes(), "A\r\nB\r\n\r\n");
    EXPECT_EQ(msgBox.shown.size(), 2u);  // no question, no message afterwards

    form.OnScheduleLineSelected(1);
    form.OnRemoveFromSchedule();
    form.OnScheduleLineSelected(0);
    form.OnRemoveFromSchedule();
    EXPECT_EQ(ScheduleBytes(), "\r\n");
}

TEST_F(MainWindowTest, NowButtonsActAtOnceForcedOnlyWhenTheBoxIsExactlyChecked) {
    struct Case {
        int check2;
        Texts requests;  // Reboot Now, Log Off Now, ShutDown Now, Lock Now
    };
    const Texts plain = {"reboot", "log-off", "shutdown", "lock"};
    const Case cases[] = {{0, plain},
                          {1, {"forced reboot", "forced log-off", "forced shutdown", "lock"}},
                          {2, plain}};
    for (const auto& c : cases) {
        power.requests.clear();
        view.checks[ControlId::ForceNow] = c.check2;
        form.OnRebootNow();
        form.OnLogOffNow();
        form.OnShutDownNow();
        form.OnLockNow();
        EXPECT_EQ(power.requests, c.requests) << c.check2;
    }
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_TRUE(settings.saves.empty());
}

TEST_F(MainWindowTest, TheForceBoxIsSavedAtEveryChange) {
    view.checks[ControlId::ForceNow] = 1;  // the user ticks it
    form.OnForceNowChanged();
    view.checks[ControlId::ForceNow] = 0;
    form.OnForceNowChanged();
    form.SetForceNow(0);  // no change: no click
    form.SetForceNow(1);
    const auto saved = [](const char* value) {
        return FakeSettingsStore::Saved(settings_keys::kForceNow, value);
    };
    EXPECT_EQ(settings.saves, (Texts{saved("1"), saved("0"), saved("1")}));
}

TEST_F(MainWindowTest, TheRoadOfOneEntryFromAddItToTheReboot) {
    Choose(ControlId::ScheduleReboot, true, ControlId::OnlyOnce, "10", "30", "PM", "Every Day");
    form.OnAddToSchedule();
    EXPECT_EQ(ScheduleBytes(), "10:30 PM-Force Reboot-Repeat NO-Every Day\r\n\r\n");

    std::string fileAtRequest;
    power.onRequest = [&] { fileAtRequest = ScheduleBytes(); };
    clock.now = FakeClock::At(22, 29);
    form.OnTimerTick();
    EXPECT_TRUE(power.requests.empty());
    clock.now = FakeClock::At(22, 30, 3);
    form.OnTimerTick();
    EXPECT_EQ(power.requests, Texts{"forced reboot"});
    EXPECT_EQ(fileAtRequest, "\r\n");
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(view.listItems.empty());
}

TEST_F(MainWindowTest, ATickInsideAModalMessageBoxSeesTheListAsItIs) {
    WriteSchedule({"1:05 PM-LockWorkStation-Repeat NO-Every Day"});
    clock.now = FakeClock::At(13, 5);
    msgBox.whileShown = [&] { form.OnTimerTick(); };
    Choose(ControlId::ScheduleReboot, false, ControlId::Repeat, "2", "00", "AM", "Monday");
    form.OnAddToSchedule();  // the confirmation is up when the timer fires
    EXPECT_EQ(Lines(), Texts{"2:00 AM-Reboot-Repeat YES-Monday"});
    EXPECT_EQ(ScheduleBytes(), "2:00 AM-Reboot-Repeat YES-Monday\r\n\r\n");
    EXPECT_EQ(power.requests, Texts{"lock"});
}

}  // namespace
}  // namespace tolvane::testing
