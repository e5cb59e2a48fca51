#include "shell/notice_timer.h"

#include <charconv>
#include <memory>
#include <vector>

#include "schedule/due_lines.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_line.h"
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

void NoticeTimer::Tick(const LocalTime& now, DesktopNotices* notices,
                       const std::vector<std::string>& machineLines) {
    const WallMinute minute = WallMinuteOf(now);
    // What lies behind can no longer be shown again.
    std::erase_if(shown_, [&](const auto& entry) { return std::get<2>(entry) < minute; });
    if (!notices) return;
    // Copies: a skip, or another tick, can change the lists while the
    // notices go out.
    const std::vector<std::string> users = list_.Items();
    const std::vector<std::string> machine = machineLines;
    Announce(minute, notices, users, minutes_, false, machine);
    Announce(minute, notices, machine, machineMinutes_, true, machine);
}

void NoticeTimer::Announce(WallMinute minute, DesktopNotices* notices,
                           const std::vector<std::string>& lines, int minutes, bool machine,
                           const std::vector<std::string>& machineLines) {
    if (minutes <= 0) return;
    std::vector<int> leads{minutes};
    if (minutes != 1) leads.push_back(1);
    for (const int before : leads) {
        const WallMinute at = minute + before;
        DueLineWalk walk({StartOfWallMinute(at)});
        for (const std::string& line : lines) {
            const std::optional<DueLine> due = walk.Check(line);
            if (!due || !due->action || !FactsOf(due->action->what).announced) continue;
            // A user's line due with one of the machine's is not run; the
            // machine's own notice tells what happens then.
            if (!machine && MachineActsAt(machineLines, at)) continue;
            if (!shown_.emplace(machine, line, at, before).second) continue;

            const DesktopNotice notice = NoticeOf(*due, before, machine, at);
            if (machine) {
                notices->Show(notice, nullptr);
                continue;
            }
            // Once skipped, a short word of what was skipped takes its place.
            DesktopNotice skipped;
            skipped.title = notice.title;
            skipped.text = texts::SkippedNotice(*due->action, due->time);
            skipped.series = notice.series;
            const bool oneTime = due->oneTime;
            const std::weak_ptr<int> alive = alive_;
            notices->Show(notice, [this, alive, line, at, oneTime, notices, skipped] {
                if (alive.expired()) return;
                const bool claimed = file_.ClaimRun(line, at, oneTime);
                notices->Show(skipped, nullptr);
                if (claimed && skipped_) skipped_(line);
            });
        }
    }
}

DesktopNotice NoticeTimer::NoticeOf(const DueLine& due, int before, bool machine,
                                    WallMinute at) const {
    DesktopNotice notice;
    notice.title = std::string(texts::kApplicationName);
    if (machine) {
        notice.text = texts::MachineNoticeText(*due.action, due.time, before);
    } else {
        notice.text = texts::NoticeText(*due.action, due.time, before);
        notice.skipLabel = std::string(texts::kSkipThisTime);
        notice.question = texts::NoticeQuestion(notice.text);
    }
    // The last minute's notice must not go unseen; it takes the place of the
    // earlier one for the same run.
    notice.urgent = before == 1;
    notice.series = (machine ? "machine\n" : "") + due.line + '\n' + std::to_string(at);
    return notice;
}

}  // namespace tolvane
