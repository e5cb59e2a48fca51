#include "shell/caption_fit.h"

#include <algorithm>

#include "schedule/schedule_matching.h"

namespace tolvane {

std::vector<std::string> ComboItems(ControlId combo) {
    std::vector<std::string> items;
    switch (combo) {
        case ControlId::Hour:
            for (int hour = 1; hour <= 12; ++hour) items.push_back(std::to_string(hour));
            break;
        case ControlId::Minute:
            for (int minute = 0; minute <= 59; ++minute) items.push_back(MinuteText(minute));
            break;
        case ControlId::AmPm:
            items = {"AM", "PM"};
            break;
        case ControlId::Day:
            items = {"Every Day", "Sunday",   "Monday", "Tuesday",
                     "Wednesday", "Thursday", "Friday", "Saturday"};
            break;
        default:
            break;
    }
    return items;
}

std::vector<std::string> TextsToShowWhole(const ControlSpec& spec) {
    switch (spec.kind) {
        case ControlKind::DropDownCombo: {
            std::vector<std::string> texts = ComboItems(spec.id);
            if (!spec.caption.empty()) texts.emplace_back(spec.caption);
            return texts;
        }
        case ControlKind::BorderlessFrame:  // never drawn
        case ControlKind::ListBox:          // scrolls its lines sideways
        case ControlKind::ShownLines:
            return {};
        default:
            return {CaptionWithoutAccessKey(spec.caption)};
    }
}

int LargestSizeThatFits(int largest, int smallest, const std::function<bool(int size)>& fits) {
    for (int size = largest; size > smallest; --size) {
        if (fits(size)) return size;
    }
    return std::min(largest, smallest);
}

EditMargins MarginsThatFit(EditMargins own, int width, int widest) {
    const int room = std::max(width - widest - 1, 0);
    if (own.left + own.right <= room) return own;
    const int right = std::clamp(room - own.left, 0, own.right);
    return {std::clamp(room - right, 0, own.left), right};
}

}  // namespace tolvane
