#include "schedule/schedule_line.h"

#include <algorithm>

#include "schedule/text.h"

namespace tolvane {

std::string ComposeActionAndRepeat(Action action, bool repeat) {
    std::string text = action.force ? "Force " : "";
    text += FactsOf(action.what).lineWord;
    text += repeat ? "-Repeat YES" : "-Repeat NO";
    return text;
}

std::string ComposeScheduleLine(const ScheduleEntry& entry) {
    return entry.Hour + ":" + entry.Minute + " " + entry.AmPm + "-" +
           ComposeActionAndRepeat(entry.Act, entry.Repeat) + "-" + entry.Day;
}

ScheduleLineParts SplitScheduleLine(std::string_view line) {
    const auto pieces = text::Split(line, "-");
    auto piece = [&](std::size_t i) {
        return i < pieces.size() ? std::string(pieces[i]) : std::string();
    };

    ScheduleLineParts parts;
    parts.timePiece = piece(0);
    parts.actionPiece = piece(1);
    parts.repeatPiece = piece(2);
    parts.dayPiece = piece(3);

    // The space between minute and half-day counts as a separator like ":".
    std::string time = parts.timePiece;
    std::replace(time.begin(), time.end(), ' ', ':');
    const auto timeParts = text::Split(time, ":");
    auto timePart = [&](std::size_t i) {
        return i < timeParts.size() ? std::string(timeParts[i]) : std::string();
    };
    parts.hour = timePart(0);
    parts.minute = timePart(1);
    parts.amPm = timePart(2);

    parts.complete = pieces.size() >= 4 && timeParts.size() >= 3;
    return parts;
}

}  // namespace tolvane
