#include "shell/notice_timer.h"

#include <charconv>
#include <memory>
#include <vector>

#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/text.h"
#include "shell/texts.h"

namespace tolvane {

int StoredNoticeMinutes(const std::string& text) {
    const std::string_view trimmed = text::TrimSpaces(text);
    int minutes = 0;
    const auto parsed = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), minutes);
    if (trimmed.empty() || parsed.ec != std::errc() ||
        parsed.ptr != trimmed.data() + trimmed.size() || minutes < 0 ||
        minutes > NoticeTimer::kMostMinutes) {
        return NoticeTimer::kDefaultMinutes;
    }
    return minutes;
}

void NoticeTimer::Tick(const LocalTime& now, DesktopNotices* notices) {
    const WallMinute minute = WallMinuteOf(now);
    // What lies behind can no longer be shown again.
    std::erase_if(shown_, [&](const auto& entry) { return std::get<1>(entry) < minute; });
    if (!notices || minutes_ <= 0) return;

    std::vector<int> leads{minutes_};
    if (minutes_ != 1) leads.push_back(1);
    for (const int before : leads) {
        const WallMinute at = minute + before;
        const LocalTime then = StartOfWallMinute(at);
        // A copy: a skip can change the list while the notices go out.
        const std::vector<std::string> lines = list_.Items();
        for (const std::string& line : lines) {
            const ScheduleLineParts parts = SplitScheduleLine(line);
            const PowerAction action = ChooseAction(parts.actionPiece);
            if (action == PowerAction::None || action == PowerAction::Lock) continue;
            if (!IsDue(parts, then) || !shown_.emplace(line, at, before).second) continue;

            DesktopNotice notice;
            notice.title = std::string(texts::kApplicationName);
            notice.text = texts::NoticeText(action, parts.hour + ":" + parts.minute + " " +
                                                        parts.amPm,
                                            before);
            notice.skipLabel = std::string(texts::kSkipThisTime);
            notice.question = texts::NoticeQuestion(notice.text);
            const bool oneTime = IsOneTime(parts.repeatPiece);
            const std::weak_ptr<int> alive = alive_;
            notices->Show(notice, [this, alive, line, at, oneTime] {
                if (!alive.expired()) file_.ClaimRun(line, at, oneTime);
            });
        }
    }
}

}  // namespace tolvane
