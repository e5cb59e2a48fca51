#include "schedule/schedule_list.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

using Lines = std::vector<std::string>;

// Keeps its own copy by the notifications alone, as a window's list box does.
class MirrorList final : public ScheduleListObserver {
  public:
    Lines items;
    int selected = -1;
    void ItemInserted(int index, const std::string& line) override {
        items.insert(items.begin() + index, line);
    }
    void ItemRemoved(int index) override { items.erase(items.begin() + index); }
    void SelectionChanged(int index) override { selected = index; }
};

TEST(ScheduleList, KeepsPlainCharacterOrderWithDuplicates) {
    ScheduleList list;
    EXPECT_EQ(list.Add("7:05 AM-ShutDown-Repeat YES-Monday"), 0);
    EXPECT_EQ(list.Add("10:30 PM-Force Reboot-Repeat NO-Every Day"), 0);
    EXPECT_EQ(list.Add("7:05 AM-ShutDown-Repeat YES-Monday"), 2);
    EXPECT_EQ(list.Add("a"), 3);
    EXPECT_EQ(list.Add("B"), 3);          // upper case before lower case
    EXPECT_EQ(list.Add("\xe9"), 5);       // bytes above 127 after ASCII
    EXPECT_EQ(list.Add(": -Reboot"), 3);  // ':' sorts after the digits
    EXPECT_EQ(
        list.Items(),
        (Lines{"10:30 PM-Force Reboot-Repeat NO-Every Day", "7:05 AM-ShutDown-Repeat YES-Monday",
               "7:05 AM-ShutDown-Repeat YES-Monday", ": -Reboot", "B", "a", "\xe9"}));
    EXPECT_EQ(list.Count(), 7);
    EXPECT_EQ(list.Item(7), "");
    EXPECT_EQ(list.Item(-1), "");
}

TEST(ScheduleList, SelectionFollowsItsItemAndClearsWhenItGoes) {
    ScheduleList list;
    MirrorList mirror;
    list.SetObserver(&mirror);
    list.Add("B");
    list.Add("D");
    list.Select(1);  // D
    list.Add("A");
    EXPECT_EQ(list.Selected(), 2);
    EXPECT_TRUE(list.IsSelected(2));
    list.Add("E");
    EXPECT_EQ(list.Selected(), 2);
    list.Remove(0);
    EXPECT_EQ(list.Selected(), 1);
    EXPECT_EQ(list.Item(list.Selected()), "D");
    list.Remove(1);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_EQ(mirror.selected, -1);
    list.Select(5);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_FALSE(list.Remove(5));
    EXPECT_EQ(mirror.items, list.Items());
}

TEST(ScheduleListCursor, VisitsEachItemOnceWhateverChangesAroundIt) {
    ScheduleList list;
    for (const char* s : {"B", "D", "F", "H"}) list.Add(s);
    ScheduleListCursor cursor(list);
    Lines visited;
    int step = 0;
    while (!cursor.AtEnd()) {
        visited.push_back(list.Item(cursor.Position()));
        cursor.Advance();
        switch (step++) {
            case 0:
                list.Add("A");  // before the cursor: not visited
                break;
            case 1:
                list.Remove(0);  // before the cursor
                list.Add("E");   // ahead of the cursor: visited
                break;
            case 2:
                list.Remove(list.Count() - 1);  // H, not yet visited
                break;
        }
    }
    EXPECT_EQ(visited, (Lines{"B", "D", "E", "F"}));
}

}  // namespace
}  // namespace tolvane
