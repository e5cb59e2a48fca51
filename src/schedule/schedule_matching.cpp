#include "schedule/schedule_matching.h"

#include <array>

#include "schedule/text.h"

namespace tolvane {

std::string TwelveHourText(int hour) {
    int twelve = hour > 12 ? hour - 12 : hour;
    if (twelve == 0) twelve = 12;
    return std::to_string(twelve);
}

std::string MinuteText(int minute) {
    std::string text = std::to_string(minute);
    return text.size() == 1 ? "0" + text : text;
}

std::string WeekdayNameUpper(int weekday) {
    static constexpr std::array<std::string_view, 7> kNames = {
        "SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};
    if (weekday < 0 || weekday > 6) return {};
    return std::string(kNames[static_cast<std::size_t>(weekday)]);
}

bool IsDue(const ScheduleLineParts& parts, const LocalTime& now) {
    if (!parts.complete) return false;

    const std::string day = text::ToUpper(parts.dayPiece);
    if (day != "EVERY DAY" && day != WeekdayNameUpper(now.weekday)) return false;
    if (parts.hour != TwelveHourText(now.hour)) return false;
    if (parts.minute != MinuteText(now.minute)) return false;
    if (parts.amPm == "PM") return now.hour >= 12;
    if (parts.amPm == "AM") return now.hour < 12;
    return false;
}

const LocalTime* FirstDueMinute(const ScheduleLineParts& parts,
                                const std::vector<LocalTime>& minutes) {
    for (const LocalTime& minute : minutes) {
        if (IsDue(parts, minute)) return &minute;
    }
    return nullptr;
}

bool IsOneTime(std::string_view repeatPiece) {
    return text::ToLower(repeatPiece) == "repeat no";
}

std::optional<Action> ChooseAction(std::string_view actionPiece) {
    const std::string action = text::ToLower(actionPiece);
    for (const ActionFacts& facts : AllActions()) {
        if (text::Contains(action, text::ToLower(facts.lineWord))) {
            return MakeAction(facts.what, text::Contains(action, "force"));
        }
    }
    return std::nullopt;
}

}  // namespace tolvane
