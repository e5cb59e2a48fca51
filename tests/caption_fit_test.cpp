#include "shell/caption_fit.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tolvane {
namespace {

using enum ControlId;

bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(TextsToShowWhole, AreTheCaptionOrEveryItemTheComboCanShow) {
    struct Case {
        ControlId id;
        std::vector<std::string> mustHold;
        std::size_t count;
    };
    const Case cases[] = {
        {Hour, {"1", "12"}, 12},
        {Minute, {"00", "08", "59"}, 60},
        {AmPm, {"AM", "PM"}, 2},
        {Day, {"Every Day", "Wednesday", "Saturday"}, 9},  // its initial text as well
        {NowLabel, {"These Buttons will reboot your system Now"}, 1},
        {SchedulePanel, {"Reboot Schedule"}, 1},
        {ForceNow, {"Force"}, 1},
        {ScheduleLines, {}, 0},
        {RepeatGroup, {}, 0},  // never drawn, so its caption is never seen
    };
    for (const Case& c : cases) {
        const auto texts = TextsToShowWhole(Control(c.id));
        EXPECT_EQ(texts.size(), c.count) << Control(c.id).name;
        for (const auto& text : c.mustHold) EXPECT_TRUE(Has(texts, text)) << text;
    }
}

TEST(TextsToShowWhole, EveryDropDownComboHasItems) {
    for (const ControlSpec& spec : MainWindowControls()) {
        if (spec.kind == ControlKind::DropDownCombo) {
            EXPECT_FALSE(ComboItems(spec.id).empty()) << spec.name;
        }
    }
}

TEST(LargestSizeThatFits, TakesTheFirstFittingSizeGoingDownWithinTheBounds) {
    struct Case {
        const char* what;
        int largest;
        int smallest;
        std::function<bool(int)> fits;
        int expected;
    };
    const Case cases[] = {
        {"the largest fits", 12, 6, [](int) { return true; }, 12},
        {"shrinks until it fits", 12, 6, [](int s) { return s <= 9; }, 9},
        {"fits only at the smallest", 12, 6, [](int s) { return s <= 6; }, 6},
        {"nothing fits: the smallest", 12, 6, [](int) { return false; }, 6},
        {"the first going down, not the smallest", 12, 6, [](int s) { return s == 11 || s == 7; },
         11},
        {"never grows a font below the smallest", 5, 6, [](int) { return false; }, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LargestSizeThatFits(c.largest, c.smallest, c.fits), c.expected) << c.what;
    }
}

TEST(MarginsThatFit, GiveWayRightFirstThenLeftOnlyAsFarAsTheWidestTextNeeds) {
    struct Case {
        const char* what;
        EditMargins own;
        int width;
        int widest;
        EditMargins expected;
    };
    const Case cases[] = {
        {"room to spare: the font's own", {3, 3}, 18, 8, {3, 3}},
        {"exactly a pixel to spare: the font's own", {3, 3}, 18, 11, {3, 3}},
        {"a pixel short: the right gives one", {3, 3}, 18, 12, {3, 2}},
        {"the right gives all before the left gives any", {3, 3}, 18, 14, {3, 0}},
        {"then the left", {3, 3}, 18, 16, {1, 0}},
        {"a pixel to spare only without margins", {3, 3}, 18, 17, {0, 0}},
        {"too wide even then: none", {3, 3}, 18, 30, {0, 0}},
        {"uneven margins keep the left", {2, 5}, 20, 14, {2, 3}},
        {"nothing to show: the font's own", {4, 4}, 28, 0, {4, 4}},
    };
    for (const Case& c : cases) {
        const EditMargins got = MarginsThatFit(c.own, c.width, c.widest);
        EXPECT_EQ(got, c.expected) << c.what << ": got " << got.left << "/" << got.right;
    }
}

}  // namespace
}  // namespace tolvane
