// Which minutes of the wall clock a tick stands for, whatever the clock does.
#include "schedule/wall_minutes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"

namespace tolvane {
namespace {

using testing::FakeClock;

std::vector<std::string> Shown(const std::vector<LocalTime>& minutes) {
    std::vector<std::string> shown;
    for (const LocalTime& t : minutes) {
        char text[32];
        std::snprintf(text, sizeof text, "%02d %02d:%02d", t.day, t.hour, t.minute);
        shown.push_back(text);
    }
    return shown;
}

class WallMinutesTest : public ::testing::Test {
  protected:
    WallMinutesTest() { clock.now = FakeClock::At(1, 59); }  // Monday the 7th, 1:59 AM
    WallMinutes::Tick Tick() {
        return minutes.Next(clock.Now(), clock.MonotonicSeconds(), clock.SinceBootSeconds());
    }
    std::vector<std::string> Due() { return Shown(Tick().due); }
    FakeClock clock;
    WallMinutes minutes;
};

TEST_F(WallMinutesTest, TicksEvery45SecondsMakeEveryMinuteDueOnce) {
    std::vector<std::string> due;
    for (int i = 0; i < 9; ++i) {
        for (const auto& m : Due()) due.push_back(m);
        clock.Advance(45);
    }
    EXPECT_EQ(due, (std::vector<std::string>{"07 01:59", "07 02:00", "07 02:01", "07 02:02",
                                             "07 02:03", "07 02:04", "07 02:05"}));
}

TEST_F(WallMinutesTest, WhatTheClockDoesBetweenTwoTicks) {
    const struct {
        const char* what;
        void (*change)(FakeClock&);
        std::vector<std::string> due;
        std::vector<std::string> slept;
    } cases[] = {
        {"a tick three minutes late catches up",
         [](FakeClock& c) { c.Advance(180); },
         {"07 02:00", "07 02:01", "07 02:02"},
         {}},
        {"forward an hour (daylight saving time): the skipped minutes, once",
         [](FakeClock& c) {
             c.Advance(45);
             c.MoveWallClock(3600);
         },
         {},  // filled below: 02:00 to 03:00
         {}},
        {"back an hour: nothing again until the clock passes where it was",
         [](FakeClock& c) {
             c.Advance(45);
             c.MoveWallClock(-3600);
         },
         {},
         {}},
        {"back half an hour by hand: what ran is not repeated",
         [](FakeClock& c) { c.MoveWallClock(-1800); },
         {},
         {}},
        {"forward five hours: a correction, only the new minute",
         [](FakeClock& c) { c.MoveWallClock(5 * 3600); },
         {"07 06:59"},
         {}},
        {"back five hours: a correction, the new minute is due",
         [](FakeClock& c) { c.MoveWallClock(-5 * 3600); },
         {"06 20:59"},
         {}},
        {"asleep for three minutes: what passed is not due late",
         [](FakeClock& c) { c.Sleep(180); },
         {"07 02:02"},
         {"07 02:00", "07 02:01"}},
        {"a tick a minute late but awake is no sleep",
         [](FakeClock& c) { c.Advance(150); },
         {"07 02:00", "07 02:01"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clock = FakeClock{};
        clock.now = FakeClock::At(1, 59);
        minutes = WallMinutes{};
        ASSERT_EQ(Due(), std::vector<std::string>{"07 01:59"});
        c.change(clock);
        const auto tick = Tick();
        std::vector<std::string> due = c.due;
        if (std::string(c.what).rfind("forward an hour", 0) == 0) {  // 1:59:45 to 2:59:45
            for (int m = 0; m < 60; ++m) {
                due.push_back(Shown({StartOfWallMinute(WallMinuteOf(FakeClock::At(2, 0)) + m)})[0]);
            }
        }
        EXPECT_EQ(Shown(tick.due), due);
        EXPECT_EQ(Shown(tick.slept), c.slept);
    }
}

TEST_F(WallMinutesTest, AfterTheClockGoesBackTheRepeatedMinutesAreNotDueAgain) {
    clock.now = FakeClock::At(2, 58);
    std::vector<std::string> due;
    for (int i = 0; i < 8; ++i) {  // 2:58 to past 3:03, back to 2:03 at 3:00
        for (const auto& m : Due()) due.push_back(m);
        clock.Advance(45);
        if (i == 2) clock.MoveWallClock(-3600);
    }
    for (int i = 0; i < 85; ++i) {  // the repeated hour, and on past where it was
        for (const auto& m : Due()) due.push_back(m);
        clock.Advance(45);
    }
    EXPECT_EQ(due.front(), "07 02:58");
    EXPECT_EQ(std::count(due.begin(), due.end(), "07 02:30"), 0);
    EXPECT_EQ(std::count(due.begin(), due.end(), "07 02:59"), 1);
    EXPECT_EQ(std::count(due.begin(), due.end(), "07 03:01"), 1);
    EXPECT_EQ(std::adjacent_find(due.begin(), due.end(), std::greater_equal<>()), due.end())
        << "every minute once, in order";
}

TEST_F(WallMinutesTest, ALongSleepTellsOnlyTheLastDay) {
    Due();
    clock.Sleep(3 * 24 * 3600.0);
    const auto tick = Tick();
    EXPECT_EQ(Shown(tick.due), std::vector<std::string>{"10 01:59"});
    ASSERT_EQ(tick.slept.size(), 24u * 60u);
    EXPECT_EQ(Shown({tick.slept.front()})[0], "09 01:59");
}

TEST_F(WallMinutesTest, AStartAfterLeavesTheStartMinuteOut) {
    minutes.StartAfter(clock.Now(), clock.MonotonicSeconds(), clock.SinceBootSeconds());
    EXPECT_EQ(Due(), std::vector<std::string>{});
    clock.Advance(60);
    EXPECT_EQ(Due(), std::vector<std::string>{"07 02:00"});
}

TEST(WallMinute, CountsTheLocalCalendarAndGivesItsWeekdayBack) {
    const struct {
        LocalTime time;
        int weekday;
    } cases[] = {
        {{1970, 1, 1, 4, 0, 0, 0}, 4},
        {{2026, 12, 7, 1, 23, 59, 0}, 1},
        {{2028, 2, 29, 2, 12, 30, 0}, 2},
        {{1969, 12, 31, 3, 23, 59, 0}, 3},
    };
    for (const auto& c : cases) {
        const LocalTime back = StartOfWallMinute(WallMinuteOf(c.time));
        EXPECT_EQ((std::vector<int>{back.year, back.month, back.day, back.weekday, back.hour,
                                    back.minute}),
                  (std::vector<int>{c.time.year, c.time.month, c.time.day, c.weekday, c.time.hour,
                                    c.time.minute}));
    }
    EXPECT_EQ(WallMinuteOf({1970, 1, 1, 4, 0, 1, 0}), 1);
    EXPECT_EQ(WallMinuteOf({1970, 1, 2, 5, 0, 0, 0}), 1440);
}

}  // namespace
}  // namespace tolvane
