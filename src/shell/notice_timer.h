#pragma once

#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "platform/clock.h"
#include "platform/desktop_notices.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The notices shown before scheduled actions: a set number of minutes before
// a line's minute, and again one minute before, each once. A lock gets none:
// it ends nothing. Skipping a notice claims that minute's run as done, so
// neither this window nor the service carries it out; a one-time line then
// leaves the schedule as if it had run.
class NoticeTimer {
  public:
    static constexpr int kDefaultMinutes = 5;
    static constexpr int kMostMinutes = 24 * 60;

    NoticeTimer(ScheduleList& list, ScheduleFile& file) : list_(list), file_(file) {}

    // 0 turns notices off.
    void SetMinutes(int minutes) { minutes_ = minutes; }
    int Minutes() const { return minutes_; }

    // Shows, through `notices`, every notice that falls in the minute of `now`.
    void Tick(const LocalTime& now, DesktopNotices* notices);

  private:
    ScheduleList& list_;
    ScheduleFile& file_;
    int minutes_ = kDefaultMinutes;
    // Line, the minute it runs at, and how long before: shown already.
    std::set<std::tuple<std::string, WallMinute, int>> shown_;
    // Gone with the timer: a notice answered after the window ended does nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The stored NoticeMinutes setting: a whole number of minutes from 0 to a
// day; anything else is the default.
int StoredNoticeMinutes(const std::string& text);

}  // namespace tolvane
