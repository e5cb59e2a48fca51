#include "schedule/due_lines.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"

namespace tolvane::testing {
namespace {

// Two minutes of a Monday afternoon, as a tick after a jump of the clock
// stands for them.
const std::vector<LocalTime> kMinutes = {FakeClock::At(13, 5), FakeClock::At(13, 6)};

TEST(DueLineWalk, FindsEachDueLineOnceWithTheFirstMinuteItIsDueAt) {
    struct Case {
        const char* line;
        bool found;
        LocalTime minute;
        std::optional<Action> action;
    };
    const Case cases[] = {
        {"1:06 PM-Force ShutDown-Repeat YES-Every Day", true, kMinutes[1],
         Action{ActionKind::ShutDown, true}},
        {"1:05 PM-Reboot-Repeat NO-Monday", true, kMinutes[0], Action{ActionKind::Reboot, false}},
        {"1:05 PM-Reboot-Repeat NO-Monday", false, {}, {}},  // a copy: the line ran above
        {"1:05 PM-Hibernate-Repeat YES-Every Day", true, kMinutes[0], std::nullopt},
        {"1:05 PM-Force LockWorkStation-Repeat YES-Every Day", true, kMinutes[0],
         Action{ActionKind::Lock, false}},
        {"1:05 PM-Reboot-Repeat YES-Tuesday", false, {}, {}},
        {"1:07 PM-Reboot-Repeat YES-Every Day", false, {}, {}},
        {"1:05 PM-Reboot-Repeat YES", false, {}, {}},  // no day: never due
        {"", false, {}, {}},
    };
    DueLineWalk walk(kMinutes);
    for (const Case& c : cases) {
        const std::optional<DueLine> due = walk.Check(c.line);
        ASSERT_EQ(due.has_value(), c.found) << c.line;
        if (!due) continue;
        EXPECT_EQ(due->line, c.line);
        EXPECT_EQ(due->minute, WallMinuteOf(c.minute)) << c.line;
        EXPECT_EQ(due->action, c.action) << c.line;
        EXPECT_EQ(due->time, std::string(c.line).substr(0, 7)) << c.line;
    }
    EXPECT_TRUE(walk.Found("1:05 PM-Reboot-Repeat NO-Monday"));
    EXPECT_FALSE(walk.Found("1:05 PM-Reboot-Repeat YES-Tuesday"));
}

TEST(DueLineWalk, TellsAOneTimeLineOnlyByAnExactRepeatNo) {
    DueLineWalk walk(kMinutes);
    EXPECT_TRUE(walk.Check("1:05 PM-Reboot-repeat no-Every Day")->oneTime);
    EXPECT_FALSE(walk.Check("1:05 PM-Reboot-Repeat NO -Every Day")->oneTime);
    EXPECT_FALSE(walk.Check("1:05 PM-Reboot-Repeat YES-Every Day")->oneTime);
}

TEST(DueLineWalk, AWalkWithoutMinutesFindsNothing) {
    DueLineWalk walk({});
    EXPECT_FALSE(walk.Check("1:05 PM-Reboot-Repeat YES-Every Day"));
}

}  // namespace
}  // namespace tolvane::testing
