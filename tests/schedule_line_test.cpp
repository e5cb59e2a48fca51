#include "schedule/schedule_line.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

struct ComposeCase {
    ScheduleEntry entry;
    const char* line;
};

TEST(ComposeScheduleLine, WritesEveryPieceAsGiven) {
    const ComposeCase cases[] = {
        {{"10", "30", "PM", {ActionKind::Reboot, true}, false, "Every Day"},
         "10:30 PM-Force Reboot-Repeat NO-Every Day"},
        {{"7", "05", "AM", {ActionKind::ShutDown, false}, true, "Monday"},
         "7:05 AM-ShutDown-Repeat YES-Monday"},
        {{"12", "00", "AM", {ActionKind::Lock, false}, true, "Saturday"},
         "12:00 AM-LockWorkStation-Repeat YES-Saturday"},
        {{"3", "45", "PM", {ActionKind::LogOff, true}, true, "Friday"},
         "3:45 PM-Force LogOff-Repeat YES-Friday"},
        {{"", "", "", {ActionKind::Reboot, false}, false, "Every Day"},
         ": -Reboot-Repeat NO-Every Day"},
        {{"07", "5", "pm", {ActionKind::Lock, true}, false, " odd day "},
         "07:5 pm-Force LockWorkStation-Repeat NO- odd day "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeScheduleLine(c.entry), c.line);
    }
}

TEST(ComposeScheduleLine, ActionAndRepeatIsTheConfirmationsMiddle) {
    EXPECT_EQ(ComposeActionAndRepeat({ActionKind::Reboot, true}, false), "Force Reboot-Repeat NO");
    EXPECT_EQ(ComposeActionAndRepeat({ActionKind::LogOff, false}, true), "LogOff-Repeat YES");
}

TEST(SplitScheduleLine, GivesThePiecesAndTimeParts) {
    const auto p = SplitScheduleLine("10:30 PM-Force Reboot-Repeat NO-Every Day");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.timePiece, "10:30 PM");
    EXPECT_EQ(p.actionPiece, "Force Reboot");
    EXPECT_EQ(p.repeatPiece, "Repeat NO");
    EXPECT_EQ(p.dayPiece, "Every Day");
    EXPECT_EQ(p.hour, "10");
    EXPECT_EQ(p.minute, "30");
    EXPECT_EQ(p.amPm, "PM");
}

TEST(SplitScheduleLine, EmptyTimeGivesThreeEmptyParts) {
    const auto p = SplitScheduleLine(": -Reboot-Repeat NO-Every Day");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.hour, "");
    EXPECT_EQ(p.minute, "");
    EXPECT_EQ(p.amPm, "");
}

TEST(SplitScheduleLine, IgnoresPiecesAndPartsBeyondTheFourth) {
    const auto p = SplitScheduleLine("9:15 AM x-Reboot-Repeat YES-Mon-Fri");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.dayPiece, "Mon");
    EXPECT_EQ(p.hour, "9");
    EXPECT_EQ(p.minute, "15");
    EXPECT_EQ(p.amPm, "AM");
}

TEST(SplitScheduleLine, KeepsTextsUntrimmedAndUnchanged) {
    const auto p = SplitScheduleLine("7:05  am- shutdown -repeat no -sunday ");
    EXPECT_EQ(p.hour, "7");
    EXPECT_EQ(p.minute, "05");
    EXPECT_EQ(p.amPm, "");  // the second space cuts an empty third part
    EXPECT_EQ(p.actionPiece, " shutdown ");
    EXPECT_EQ(p.repeatPiece, "repeat no ");
    EXPECT_EQ(p.dayPiece, "sunday ");
}

TEST(SplitScheduleLine, MarksLinesWithMissingPiecesOrPartsIncomplete) {
    const char* incomplete[] = {"", "Reboot", "10:30 PM-Force Reboot-Repeat NO",
                                "10:30-Reboot-Repeat NO-Every Day",
                                "10 PM-Reboot-Repeat NO-Every Day"};
    for (const char* line : incomplete) {
        const auto p = SplitScheduleLine(line);
        EXPECT_FALSE(p.complete) << line;
    }
    const auto word = SplitScheduleLine("Reboot");
    EXPECT_EQ(word.timePiece, "Reboot");
    EXPECT_EQ(word.actionPiece, "");
}

}  // namespace
}  // namespace tolvane
