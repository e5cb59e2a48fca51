#include "schedule/schedule_list.h"

#include <algorithm>

namespace tolvane {

const std::string& ScheduleList::Item(int index) const {
    static const std::string kNone;
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)] : kNone;
}

int ScheduleList::Add(std::string line) {
    // std::string compares as unsigned bytes: plain character order.
    const auto at = std::upper_bound(items_.begin(), items_.end(), line);
    const int index = static_cast<int>(at - items_.begin());
    items_.insert(at, std::move(line));
    if (selected_ >= index) ++selected_;
    for (auto* cursor : cursors_) cursor->Inserted(index);
    if (observer_) observer_->ItemInserted(index, items_[static_cast<std::size_t>(index)]);
    return index;
}

bool ScheduleList::Remove(int index) {
    if (index < 0 || index >= Count()) return false;
    items_.erase(items_.begin() + index);
    const bool selectionLost = selected_ == index;
    if (selectionLost) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    for (auto* cursor : cursors_) cursor->Removed(index);
    if (observer_) {
        observer_->ItemRemoved(index);
        if (selectionLost) observer_->SelectionChanged(-1);
    }
    return true;
}

void ScheduleList::Select(int index) {
    const int selected = index >= 0 && index < Count() ? index : -1;
    if (selected == selected_) return;
    selected_ = selected;
    if (observer_) observer_->SelectionChanged(selected_);
}

ScheduleListCursor::ScheduleListCursor(ScheduleList& list) : list_(list) {
    list_.cursors_.push_back(this);
}

ScheduleListCursor::~ScheduleListCursor() {
    auto& cursors = list_.cursors_;
    cursors.erase(std::remove(cursors.begin(), cursors.end(), this), cursors.end());
}

}  // namespace tolvane
