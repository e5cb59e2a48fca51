#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop_notices.h"
#include "schedule/due_lines.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The notices shown before scheduled actions: a set number of minutes before
// a line's minute, and again one minute before, each once. A lock gets none:
// it ends nothing. Skipping a notice claims that minute's run as done, so
// neither this window nor the service carries it out; a one-time line then
// leaves the schedule as if it had run. The machine's lines get notices of
// their own, on the machine's minutes, and offer no skip: administrators
// decide those.
class NoticeTimer {
  public:
    static constexpr int kDefaultMinutes = 5;
    static constexpr int kMostMinutes = 24 * 60;

    NoticeTimer(ScheduleList& list, ScheduleFile& file) : list_(list), file_(file) {}

    // 0 turns notices off.
    void SetMinutes(int minutes) { minutes_ = minutes; }
    int Minutes() const { return minutes_; }

    // Told each line whose run the user skipped from a notice.
    using Skipped = std::function<void(const std::string& line)>;
    void WhenSkipped(Skipped skipped) { skipped_ = std::move(skipped); }

    // The machine's lead; 0 turns its notices off.
    void SetMachineMinutes(int minutes) { machineMinutes_ = minutes; }
    int MachineMinutes() const { return machineMinutes_; }

    // Shows, through `notices`, every notice that falls in the minute of
    // `now`: for the user's lines, and for `machineLines`.
    void Tick(const LocalTime& now, DesktopNotices* notices,
              const std::vector<std::string>& machineLines = {});

  private:
    void Announce(WallMinute minute, DesktopNotices* notices, const std::vector<std::string>& lines,
                  int minutes, bool machine, const std::vector<std::string>& machineLines);
    DesktopNotice NoticeOf(const DueLine& due, int before, bool machine, WallMinute at) const;

    ScheduleList& list_;
    ScheduleFile& file_;
    int minutes_ = kDefaultMinutes;
    int machineMinutes_ = kDefaultMinutes;
    // Whose line (the machine's?), the line, the minute it runs at, and how
    // long before: shown already. A user may copy a machine line as it stands.
    std::set<std::tuple<bool, std::string, WallMinute, int>> shown_;
    Skipped skipped_;
    // Gone with the timer: a notice answered after the window ended does nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The stored NoticeMinutes setting: a whole number of minutes from 0 to a
// day; anything else is the default.
int StoredNoticeMinutes(const std::string& text);

}  // namespace tolvane
