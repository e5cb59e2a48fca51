// The schedule editor, the immediate-action panel and the road of one entry
// from Add It to the reboot request.
#include "form1_fixture.h"
#include "schedule/schedule_file.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;
using Flags = std::vector<std::uint64_t>;

TEST_F(Form1Test, SetCombosFillsThePickersInOrderAndSelectsNothing) {
    form.SetCombos();
    const auto& items = view.comboItems;
    ASSERT_EQ(items.at(ControlId::Combo1).size(), 12u);
    EXPECT_EQ(items.at(ControlId::Combo1).front(), "1");
    EXPECT_EQ(items.at(ControlId::Combo1).back(), "12");
    ASSERT_EQ(items.at(ControlId::Combo2).size(), 60u);
    EXPECT_EQ(items.at(ControlId::Combo2)[5], "05");
    EXPECT_EQ(items.at(ControlId::Combo2).back(), "59");
    EXPECT_EQ(items.at(ControlId::Combo3), (Texts{"AM", "PM"}));
    EXPECT_EQ(items.at(ControlId::Combo4), (Texts{"Every Day", "Sunday", "Monday", "Tuesday",
                                                  "Wednesday", "Thursday", "Friday", "Saturday"}));
    EXPECT_EQ(view.comboTexts[ControlId::Combo1], "");
    EXPECT_EQ(view.comboTexts[ControlId::Combo4], "Every Day");
    EXPECT_EQ(pump.processed, 72);  // once per hour and minute item
}

TEST_F(Form1Test, AddItRefusesAMissingChoiceAndChangesNothing) {
    form.Command1_Click();  // nothing chosen: only the first message
    view.SetOptionValue(ControlId::Option3, true);
    form.Command1_Click();  // an action but no once/repeat choice
    EXPECT_EQ(msgBox.Texts(), (Texts{"Plese select reboot, logoff, shutdown as an option",
                                     "Please select only once or repeat option for the reboots"}));
    for (const auto& shown : msgBox.shown) {
        EXPECT_EQ(shown.title, "Tolvane");
        EXPECT_EQ(shown.style, MsgBoxStyle::OkOnly);
    }
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(Form1Test, AddItComposesListsSavesConfirmsAndEmptiesTheTime) {
    Choose(ControlId::Option1, true, ControlId::Option5, "10", "30", "PM", "Every Day");
    form.Command1_Click();

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
    for (ControlId combo : {ControlId::Combo1, ControlId::Combo2, ControlId::Combo3}) {
        EXPECT_EQ(view.comboTexts[combo], "");
    }
    EXPECT_EQ(view.comboTexts[ControlId::Combo4], "Every Day");
    EXPECT_TRUE(view.options[ControlId::Option1]);
    EXPECT_TRUE(view.options[ControlId::Option5]);
    EXPECT_EQ(view.checks[ControlId::Check1], 1);
}

TEST_F(Form1Test, AddItTakesTheFirstChosenActionAndAnyTexts) {
    struct Case {
        ControlId action;
        bool force;
        ControlId repeat;
        const char* hour;
        const char* line;
    };
    const Case cases[] = {
        {ControlId::Option4, true, ControlId::Option8, "07",
         "07:05 AM-Force LockWorkStation-Repeat YES-Monday"},
        {ControlId::Option2, false, ControlId::Option5, "7", "7:05 AM-LogOff-Repeat NO-Monday"},
        {ControlId::Option3, false, ControlId::Option8, "", ":05 AM-ShutDown-Repeat YES-Monday"},
    };
    for (const auto& c : cases) {
        Choose(c.action, c.force, c.repeat, c.hour, "05", "AM", "Monday");
        form.Command1_Click();
        EXPECT_NE(std::find(Lines().begin(), Lines().end(), c.line), Lines().end()) << c.line;
    }
}

TEST_F(Form1Test, AddItTwiceInARowAddsASecondLineWithAnEmptyTime) {
    Choose(ControlId::Option1, false, ControlId::Option5, "", "", "", "Every Day");
    form.Command1_Click();
    EXPECT_EQ(msgBox.shown.back().text,
              "The reboot time has been set, your computer will be preform at \r\n"
              ":  - Reboot-Repeat NO\r\n"
              "Note* Tolvane 2.1 should be running at that time for the action to be taken.");
    Choose(ControlId::Option1, false, ControlId::Option5, "10", "30", "PM", "Every Day");
    form.Command1_Click();
    form.Command1_Click();  // the time pickers were emptied by the click before
    EXPECT_EQ(Lines(), (Texts{"10:30 PM-Reboot-Repeat NO-Every Day",
                              ": -Reboot-Repeat NO-Every Day", ": -Reboot-Repeat NO-Every Day"}));
    EXPECT_EQ(ScheduleFileLines(ScheduleBytes()), Lines());
}

TEST_F(Form1Test, AnEditThatCannotBeSavedSaysSoAfterDoingItsWork) {
    files.failMoveOver = true;
    Choose(ControlId::Option1, false, ControlId::Option8, "1", "00", "AM", "Every Day");
    form.Command1_Click();
    ASSERT_EQ(msgBox.shown.size(), 2u);
    EXPECT_EQ(msgBox.shown[0].text.substr(0, 30), "The reboot time has been set, ");
    const std::string warning = msgBox.shown[1].text;
    EXPECT_NE(warning.find(schedulePath), std::string::npos) << warning;
    EXPECT_NE(warning.find("Access is denied."), std::string::npos) << warning;
    EXPECT_NE(warning.find("lost when Tolvane ends"), std::string::npos) << warning;
    EXPECT_EQ(Lines().size(), 1u);  // the list keeps the change
    form.Timer1_Timer();
    EXPECT_EQ(Lines().size(), 1u) << "the file did not change, so the list is not reloaded";

    form.List1_Click(0);
    form.Command2_Click();  // the file never had the line: nothing to write
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(msgBox.shown.size(), 2u);

    WriteSchedule({"A"});
    form.List1_Click(0);
    form.Command2_Click();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(msgBox.shown.size(), 3u);
    EXPECT_EQ(msgBox.shown[2].text, warning);
}

TEST_F(Form1Test, RemoveItNeedsASelectionAndRemovesOnlyThatLine) {
    form.Command2_Click();  // empty list
    WriteSchedule({"A", "B", "B"});
    form.Command2_Click();  // nothing selected
    EXPECT_EQ(msgBox.Texts(), (Texts(2, "Please select the item you would like to remove")));

    form.List1_Click(1);
    form.Command2_Click();
    EXPECT_EQ(Lines(), (Texts{"A", "B"}));
    EXPECT_EQ(view.listItems, Lines());
    EXPECT_EQ(ScheduleBytes(), "A\r\nB\r\n\r\n");
    EXPECT_EQ(msgBox.shown.size(), 2u);  // no question, no message afterwards

    form.List1_Click(1);
    form.Command2_Click();
    form.List1_Click(0);
    form.Command2_Click();
    EXPECT_EQ(ScheduleBytes(), "\r\n");
}

TEST_F(Form1Test, NowButtonsActAtOnceForcedOnlyWhenTheBoxIsExactlyChecked) {
    struct Case {
        int check2;
        Flags flags;  // Reboot Now, Log Off Now, ShutDown Now
    };
    const Case cases[] = {{0, {2, 0, 1}}, {1, {6, 4, 5}}, {2, {2, 0, 1}}};
    for (const auto& c : cases) {
        session.calls.clear();
        view.checks[ControlId::Check2] = c.check2;
        form.Command8_Click();
        form.Command5_Click();
        form.Command9_Click();
        form.Command4_Click();
        EXPECT_EQ(session.ExitFlags(), c.flags) << c.check2;
        EXPECT_EQ(session.calls.back().name, "LockWorkStation");
    }
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_TRUE(settings.saves.empty());
}

TEST_F(Form1Test, TheForceBoxIsSavedAtEveryChange) {
    view.checks[ControlId::Check2] = 1;  // the user ticks it
    form.Check2_Click();
    view.checks[ControlId::Check2] = 0;
    form.Check2_Click();
    form.SetCheck2(0);  // no change: no click
    form.SetCheck2(1);
    EXPECT_EQ(settings.saves, (Texts{"options\\c2=1", "options\\c2=0", "options\\c2=1"}));
}

TEST_F(Form1Test, TheRoadOfOneEntryFromAddItToTheReboot) {
    Choose(ControlId::Option1, true, ControlId::Option5, "10", "30", "PM", "Every Day");
    form.Command1_Click();
    EXPECT_EQ(ScheduleBytes(), "10:30 PM-Force Reboot-Repeat NO-Every Day\r\n\r\n");

    std::string fileAtRequest;
    session.onExit = [&] { fileAtRequest = ScheduleBytes(); };
    clock.now = FakeClock::At(22, 29);
    form.Timer1_Timer();
    EXPECT_TRUE(session.calls.empty());
    clock.now = FakeClock::At(22, 30, 3);
    form.Timer1_Timer();
    EXPECT_EQ(session.ExitFlags(), Flags{6});
    EXPECT_EQ(fileAtRequest, "\r\n");
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(view.listItems.empty());
}

TEST_F(Form1Test, ATickInsideAModalMessageBoxSeesTheListAsItIs) {
    WriteSchedule({"1:05 PM-LockWorkStation-Repeat NO-Every Day"});
    clock.now = FakeClock::At(13, 5);
    msgBox.whileShown = [&] { form.Timer1_Timer(); };
    Choose(ControlId::Option1, false, ControlId::Option8, "2", "00", "AM", "Monday");
    form.Command1_Click();  // the confirmation is up when the timer fires
    EXPECT_EQ(Lines(), Texts{"2:00 AM-Reboot-Repeat YES-Monday"});
    EXPECT_EQ(ScheduleBytes(), "2:00 AM-Reboot-Repeat YES-Monday\r\n\r\n");
    EXPECT_EQ(session.Names(), Texts{"LockWorkStation"});
}

}  // namespace
}  // namespace tolvane::testing
