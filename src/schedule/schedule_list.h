#pragma once

#include <string>
#include <vector>

namespace tolvane {

// Told of every change, so a window's list box can mirror the schedule.
class ScheduleListObserver {
  public:
    virtual ~ScheduleListObserver() = default;
    virtual void ItemInserted(int index, const std::string& line) = 0;
    virtual void ItemRemoved(int index) = 0;
    virtual void SelectionChanged(int index) = 0;  // -1: nothing selected
};

class ScheduleListCursor;

// The schedule while the program runs: lines in plain character order (byte by
// byte), duplicates kept, an item's index being its place in that order. At
// most one item is selected; the selection follows its item when others come
// and go, and is cleared when the item itself is removed.
class ScheduleList {
  public:
    ScheduleList() = default;
    ScheduleList(const ScheduleList&) = delete;
    ScheduleList& operator=(const ScheduleList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // The line at `index`; an index outside the list gives an empty line.
    const std::string& Item(int index) const;
    const std::vector<std::string>& Items() const { return items_; }

    // Puts the line at its sorted place, after any equal lines; returns its index.
    int Add(std::string line);
    // Removes the item at `index`; false when there is none.
    bool Remove(int index);

    int Selected() const { return selected_; }
    bool IsSelected(int index) const { return index >= 0 && index == selected_; }
    // Selects one item; an index outside the list clears the selection.
    void Select(int index);

    void SetObserver(ScheduleListObserver* observer) { observer_ = observer; }

  private:
    friend class ScheduleListCursor;
    std::vector<std::string> items_;
    int selected_ = -1;
    ScheduleListObserver* observer_ = nullptr;
    std::vector<ScheduleListCursor*> cursors_;
};

// A place in the list that stays on the same item while other code adds and
// removes lines (a walk hands control to the window between steps, and the
// user's clicks can change the list then). `Position()` is the index of the
// next item to visit; removing an item before it, or the item itself, moves it
// back so nothing is visited twice or skipped.
class ScheduleListCursor {
  public:
    explicit ScheduleListCursor(ScheduleList& list);
    ~ScheduleListCursor();
    ScheduleListCursor(const ScheduleListCursor&) = delete;
    ScheduleListCursor& operator=(const ScheduleListCursor&) = delete;

    bool AtEnd() const { return position_ >= list_.Count(); }
    int Position() const { return position_; }
    void Advance() { ++position_; }

  private:
    friend class ScheduleList;
    void Inserted(int index) {
        if (index < position_) ++position_;
    }
    void Removed(int index) {
        if (index < position_) --position_;
    }

    ScheduleList& list_;
    int position_ = 0;
};

}  // namespace tolvane
