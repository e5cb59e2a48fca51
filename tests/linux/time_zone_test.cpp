// The schedule's minutes against the real time zone database, on the nights
// the clocks change: every line runs once, a minute the clock skips runs at
// the first tick after the change, and a repeated hour does not run twice.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/posix_clock.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/wall_minutes.h"

namespace tolvane {
namespace {

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = ::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::optional<std::string> old_;
};

time_t Utc(int year, int month, int day, int hour) {
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    return ::timegm(&t);
}

TEST(TimeZones, EachLineRunsOnceOnTheNightsTheClocksChange) {
    const struct {
        const char* zone;
        time_t change;  // the instant the clocks change
        bool forward;   // spring: an hour skipped; autumn: an hour repeated
    } nights[] = {
        {"Europe/Berlin", Utc(2026, 3, 29, 1), true},
        {"Europe/Berlin", Utc(2026, 10, 25, 1), false},
        {"America/New_York", Utc(2026, 3, 8, 7), true},
        {"America/New_York", Utc(2026, 11, 1, 6), false},
    };
    const std::vector<std::string> lines = {
        "1:30 AM-Reboot-Repeat YES-Every Day", "2:00 AM-Reboot-Repeat YES-Every Day",
        "2:30 AM-Reboot-Repeat YES-Every Day", "2:59 AM-Reboot-Repeat YES-Every Day",
        "3:00 AM-Reboot-Repeat YES-Every Day", "3:30 AM-Reboot-Repeat YES-Every Day"};
    for (const auto& night : nights) {
        ScopedTimeZone zone(night.zone);
        SCOPED_TRACE(std::string(night.zone) + (night.forward ? ", spring" : ", autumn"));
        WallMinutes minutes;
        std::vector<int> runs(lines.size(), 0);
        std::vector<std::string> ranAt(lines.size());
        // A tick every 45 seconds, from four hours before the change to four after.
        for (time_t at = night.change - 4 * 3600; at < night.change + 4 * 3600; at += 45) {
            const LocalTime now = PosixClock::LocalTimeOf({at, 0});
            const double since = static_cast<double>(at - night.change);
            const auto tick = minutes.Next(now, since, since);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (!FirstDueMinute(SplitScheduleLine(lines[i]), tick.due)) continue;
                ++runs[i];
                ranAt[i] = std::to_string(now.hour) + ":" + MinuteText(now.minute);
            }
        }
        EXPECT_EQ(runs, std::vector<int>(lines.size(), 1));
        if (night.forward) {
            // 2:00 to 2:59 never showed on the clock: they ran at the change.
            EXPECT_EQ(ranAt[1], "3:00");
            EXPECT_EQ(ranAt[2], "3:00");
            EXPECT_EQ(ranAt[3], "3:00");
        } else {
            EXPECT_EQ(ranAt[0], "1:30");  // the first time round
        }
        EXPECT_EQ(ranAt[5], "3:30");
    }
}

}  // namespace
}  // namespace tolvane
