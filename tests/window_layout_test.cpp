#include "shell/window_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "main_window_fixture.h"
#include "shell/settings_keys.h"

namespace tolvane::testing {
namespace {

TEST(WindowLayout, ContainersComeFirstAndNamesAreUnique) {
    std::set<ControlId> created;
    std::set<std::string_view> names;
    for (const auto& c : MainWindowControls()) {
        if (c.container) {
            EXPECT_TRUE(created.count(*c.container)) << c.name;
            const auto kind = Control(*c.container).kind;
            EXPECT_TRUE(kind == ControlKind::Frame || kind == ControlKind::BorderlessFrame);
        }
        created.insert(c.id);
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
    }
    EXPECT_EQ(created.size(), 32u);
}

TEST(WindowLayout, TabOrderStartsAtMinimizeAndIsAPermutation) {
    std::set<int> tabs;
    for (const auto& c : MainWindowControls()) tabs.insert(c.tabIndex);
    EXPECT_EQ(tabs.size(), MainWindowControls().size());
    EXPECT_EQ(*tabs.begin(), 0);
    EXPECT_EQ(*tabs.rbegin(), 31);
    EXPECT_EQ(Control(ControlId::HideToTrayButton).tabIndex, 0);
    EXPECT_EQ(Control(ControlId::HideToTrayButton).caption, "Minimize");
}

TEST(WindowLayout, EveryControlFitsInsideItsContainer) {
    for (const auto& c : MainWindowControls()) {
        const int width = c.container ? Control(*c.container).width : kClientWidthTwips;
        const int height = c.container ? Control(*c.container).height : kClientHeightTwips;
        EXPECT_LE(c.left + c.width, width) << c.name;
        EXPECT_LE(c.top + c.height, height) << c.name;
    }
}

// The machine's lines stand apart from the user's: below both panels, over
// the window's width, never inside the schedule panel whose buttons edit.
TEST(WindowLayout, TheMachinesLinesStandBelowBothPanelsUnderTheirLabel) {
    const ControlSpec& label = Control(ControlId::MachineLinesLabel);
    const ControlSpec& lines = Control(ControlId::MachineLines);
    EXPECT_EQ(lines.kind, ControlKind::ShownLines);
    EXPECT_EQ(lines.click, nullptr);
    EXPECT_FALSE(lines.container);
    EXPECT_FALSE(label.container);
    EXPECT_EQ(label.caption, "Scheduled by your administrator:");
    for (const ControlId panel : {ControlId::SchedulePanel, ControlId::NowPanel}) {
        EXPECT_LE(Control(panel).top + Control(panel).height, label.top);
    }
    EXPECT_LE(label.top + label.height, lines.top);
    EXPECT_EQ(lines.height, Control(ControlId::ScheduleLines).height) << "four lines show";
    for (const auto& c : MainWindowControls()) {
        if (c.id != ControlId::MachineLines) {
            EXPECT_NE(c.kind, ControlKind::ShownLines) << c.name;
        }
    }
}

TEST(WindowLayout, MenusHaveTheirItemsInOrderWithOneSeparatorAndThreeCheckMarks) {
    std::vector<std::string> captions;
    int checkable = 0;
    for (const auto& m : MainWindowMenus()) {
        captions.emplace_back(m.caption);
        checkable += m.checkable;
        if (m.parent) {
            EXPECT_FALSE(Menu(*m.parent).parent) << m.name;
        }
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"File", "Minimize", "About", "-", "E&xit",
                                                  "Options", "Minimize on Start up",
                                                  "Show Reboot Schedule", "Show Reboot Now",
                                                  "Set Service", "Help", "About", "Help"}));
    EXPECT_EQ(checkable, 3);
    EXPECT_EQ(Menu(MenuId::FileSeparator).click, nullptr);
}

TEST(WindowLayout, ConvertsTwipsAtTheScreensResolution) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 442);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 444);
    EXPECT_EQ(TwipsToPixels(1455, 96), 97);
    EXPECT_EQ(TwipsToPixels(1455, 144), 146);  // 150 % scale
    EXPECT_EQ(CaptionWithoutAccessKey("E&xit"), "Exit");
    EXPECT_EQ(CaptionWithoutAccessKey("A && B"), "A & B");
}

// The table's handlers are the routes the front ends take: clicking through
// it must reach the same commands as the named handlers.
TEST_F(MainWindowTest, TheTablesClicksReachTheirCommands) {
    auto click = [&](ControlId id) { (form.*Control(id).click)(); };
    auto choose = [&](MenuId id) { (form.*Menu(id).click)(); };

    click(ControlId::AboutButton);
    choose(MenuId::FileAbout);
    choose(MenuId::HelpAbout);
    ASSERT_EQ(msgBox.shown.size(), 3u);
    EXPECT_EQ(msgBox.shown[0].text, msgBox.shown[2].text);

    click(ControlId::HelpButton);
    choose(MenuId::Help);
    EXPECT_EQ(browser.opened.size(), 2u);

    click(ControlId::HideToTrayButton);
    EXPECT_FALSE(view.visible);
    form.OnTrayIconActivated();
    choose(MenuId::HideToTray);
    EXPECT_FALSE(view.visible);

    view.checks[ControlId::ForceNow] = 1;
    click(ControlId::ForceNow);
    click(ControlId::RebootNow);
    click(ControlId::LogOffNow);
    click(ControlId::ShutDownNow);
    click(ControlId::LockNow);
    EXPECT_EQ(power.requests, (std::vector<std::string>{"forced reboot", "forced log-off",
                                                        "forced shutdown", "lock"}));
    EXPECT_EQ(settings.Get(settings_keys::kForceNow), "1");

    choose(MenuId::ShowNowPanel);
    EXPECT_EQ(settings.Get(settings_keys::kShowNowPanel), "True");
    msgBox.answers = {MsgBox::Answer::No};
    choose(MenuId::SetService);
    EXPECT_EQ(msgBox.shown.back().title, "Tolvane - Quarnel");

    click(ControlId::AddToSchedule);
    EXPECT_EQ(msgBox.shown.back().text, "Plese select reboot, logoff, shutdown as an option");
    click(ControlId::RemoveFromSchedule);
    EXPECT_EQ(msgBox.shown.back().text, "Please select the item you would like to remove");

    click(ControlId::ExitButton);
    EXPECT_TRUE(view.ended);
    view.ended = false;
    choose(MenuId::Exit);
    EXPECT_TRUE(view.ended);
}

}  // namespace
}  // namespace tolvane::testing
