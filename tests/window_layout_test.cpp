#include "shell/window_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "form1_fixture.h"

namespace tolvane::testing {
namespace {

TEST(WindowLayout, ContainersComeFirstAndNamesAreUnique) {
    std::set<ControlId> created;
    std::set<std::string_view> names;
    for (const auto& c : Form1Controls()) {
        if (c.container) {
            EXPECT_TRUE(created.count(*c.container)) << c.name;
            const auto kind = Control(*c.container).kind;
            EXPECT_TRUE(kind == ControlKind::Frame || kind == ControlKind::BorderlessFrame);
        }
        created.insert(c.id);
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
    }
    EXPECT_EQ(created.size(), 30u);
}

TEST(WindowLayout, TabOrderStartsAtMinimizeAndIsAPermutation) {
    std::set<int> tabs;
    for (const auto& c : Form1Controls()) tabs.insert(c.tabIndex);
    EXPECT_EQ(tabs.size(), Form1Controls().size());
    EXPECT_EQ(*tabs.begin(), 0);
    EXPECT_EQ(*tabs.rbegin(), 29);
    EXPECT_EQ(Control(ControlId::Command10).tabIndex, 0);
    EXPECT_EQ(Control(ControlId::Command10).caption, "Minimize");
}

TEST(WindowLayout, EveryControlFitsInsideItsContainer) {
    for (const auto& c : Form1Controls()) {
        const int width = c.container ? Control(*c.container).width : kClientWidthTwips;
        const int height = c.container ? Control(*c.container).height : kClientHeightTwips;
        EXPECT_LE(c.left + c.width, width) << c.name;
        EXPECT_LE(c.top + c.height, height) << c.name;
    }
}

TEST(WindowLayout, MenusHaveTheirItemsInOrderWithOneSeparatorAndThreeCheckMarks) {
    std::vector<std::string> captions;
    int checkable = 0;
    for (const auto& m : Form1Menus()) {
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
    EXPECT_EQ(Menu(MenuId::Filllllllllllllllllllllllllllller).click, nullptr);
}

TEST(WindowLayout, ConvertsTwipsAtTheScreensResolution) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 442);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 359);
    EXPECT_EQ(TwipsToPixels(1455, 96), 97);
    EXPECT_EQ(TwipsToPixels(1455, 144), 146);  // 150 % scale
    EXPECT_EQ(CaptionWithoutAccessKey("E&xit"), "Exit");
    EXPECT_EQ(CaptionWithoutAccessKey("A && B"), "A & B");
}

// The table's handlers are the routes the front ends take: clicking through
// it must reach the same commands as the named handlers.
TEST_F(Form1Test, TheTablesClicksReachTheirCommands) {
    auto click = [&](ControlId id) { (form.*Control(id).click)(); };
    auto choose = [&](MenuId id) { (form.*Menu(id).click)(); };

    click(ControlId::Command14);
    choose(MenuId::AboutM);
    choose(MenuId::AboutMenu);
    ASSERT_EQ(msgBox.shown.size(), 3u);
    EXPECT_EQ(msgBox.shown[0].text, msgBox.shown[2].text);

    click(ControlId::Command11);
    choose(MenuId::HelpMMMMM);
    EXPECT_EQ(browser.opened.size(), 2u);

    click(ControlId::Command10);
    EXPECT_FALSE(view.visible);
    form.Form_MouseMove(kWmLButtonDown);
    choose(MenuId::MinimizeMenu);
    EXPECT_FALSE(view.visible);

    view.checks[ControlId::Check2] = 1;
    click(ControlId::Check2);
    click(ControlId::Command8);
    click(ControlId::Command5);
    click(ControlId::Command9);
    click(ControlId::Command4);
    EXPECT_EQ(session.ExitFlags(), (std::vector<std::uint64_t>{6, 4, 5}));
    EXPECT_EQ(settings.Get("options", "c2"), "1");

    choose(MenuId::ShowShowRebootNowM);
    EXPECT_EQ(settings.Get("Runit", "ShowShowRebootNowM"), "True");
    msgBox.answers = {MsgBoxResult::No};
    choose(MenuId::SetServiceM);
    EXPECT_EQ(msgBox.shown.back().title, "Tolvane - Quarnel");

    click(ControlId::Command1);
    EXPECT_EQ(msgBox.shown.back().text, "Plese select reboot, logoff, shutdown as an option");
    click(ControlId::Command2);
    EXPECT_EQ(msgBox.shown.back().text, "Please select the item you would like to remove");

    click(ControlId::Command15);
    EXPECT_TRUE(view.ended);
    view.ended = false;
    choose(MenuId::ExitM);
    EXPECT_TRUE(view.ended);
}

}  // namespace
}  // namespace tolvane::testing
