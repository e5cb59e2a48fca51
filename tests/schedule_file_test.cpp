#include "schedule/schedule_file.h"

#include <gtest/gtest.h>

#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"

namespace tolvane {
namespace {

using testing::FakeEventPump;
using testing::FakeFileSystem;
using Lines = std::vector<std::string>;

const std::string kTwoEntryFile =
    "\x31\x30\x3a\x33\x30\x20\x50\x4d\x2d\x46\x6f\x72\x63\x65\x20\x52\x65\x62\x6f\x6f\x74\x2d"
    "\x52\x65\x70\x65\x61\x74\x20\x4e\x4f\x2d\x45\x76\x65\x72\x79\x20\x44\x61\x79\x0d\x0a\x37"
    "\x3a\x30\x35\x20\x41\x4d\x2d\x53\x68\x75\x74\x44\x6f\x77\x6e\x2d\x52\x65\x70\x65\x61\x74"
    "\x20\x59\x45\x53\x2d\x4d\x6f\x6e\x64\x61\x79\x0d\x0a\x0d\x0a";

TEST(ScheduleFileBytes, MatchesTheKnownTwoEntryFileExactly) {
    const auto bytes = ScheduleFileBytes(
        {"10:30 PM-Force Reboot-Repeat NO-Every Day", "7:05 AM-ShutDown-Repeat YES-Monday"});
    EXPECT_EQ(bytes.size(), 81u);
    EXPECT_EQ(bytes, kTwoEntryFile);
}

TEST(ScheduleFileBytes, FramesLinesWithCrLfAndTrimsTheWhole) {
    EXPECT_EQ(ScheduleFileBytes({}), "\r\n");
    EXPECT_EQ(ScheduleFileBytes({"A"}), "A\r\n\r\n");
    EXPECT_EQ(ScheduleFileBytes({"  A ", "B"}), "A \r\nB\r\n\r\n");
    EXPECT_EQ(ScheduleFileBytes({"\xe9t\xe9"}), "\xe9t\xe9\r\n\r\n");  // bytes as they are
}

struct ReadCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

TEST(ScheduleFileLines, FollowsTheReadingRules) {
    const ReadCase cases[] = {
        {"known file",
         kTwoEntryFile,
         {"10:30 PM-Force Reboot-Repeat NO-Every Day", "7:05 AM-ShutDown-Repeat YES-Monday"}},
        {"empty schedule", "\r\n", {}},
        {"empty file", "", {}},
        {"no final terminator", "A\r\nB", {"A"}},
        {"single unterminated line", "A", {}},
        {"blank and space-only lines", "\r\n   \r\n \r\n\r\n", {}},
        {"spaces around a line",
         "  7:05 AM-ShutDown-Repeat YES-Monday  \r\n",
         {"7:05 AM-ShutDown-Repeat YES-Monday"}},
        {"lone LF stays inside", "A\nB\r\nC\r\n", {"A\nB", "C"}},
        {"lone CR stays inside", "A\rB\r\n", {"A\rB"}},
        {"LF-only file has no line", "A\nB\n", {}},
        {"tabs are not trimmed", "\tA\t\r\n", {"\tA\t"}},
        {"duplicates kept", "A\r\nA\r\n", {"A", "A"}},
        {"NUL and high bytes kept", std::string("A\0\xff\r\n", 5), {std::string("A\0\xff", 3)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScheduleFileLines(c.bytes), c.lines) << c.name;
    }
}

TEST(ScheduleFileRoundTrip, ReadsBackWhatItWrote) {
    const Lines lines = {"10:30 PM-Force Reboot-Repeat NO-Every Day", "12:00 AM-LogOff-Repeat NO-x",
                         "7:05 AM-ShutDown-Repeat YES-Monday",
                         "7:05 AM-ShutDown-Repeat YES-Monday"};
    EXPECT_EQ(ScheduleFileLines(ScheduleFileBytes(lines)), lines);
}

TEST(JoinPath, AddsOneSeparator) {
    EXPECT_EQ(JoinPath("C:\\Tools", '\\', "rebootdata.kx"), "C:\\Tools\\rebootdata.kx");
    EXPECT_EQ(JoinPath("C:\\", '\\', "rebootdata.kx"), "C:\\rebootdata.kx");
    EXPECT_EQ(JoinPath("/opt/tolvane", '/', "rebootdata.kx"), "/opt/tolvane/rebootdata.kx");
    EXPECT_EQ(JoinPath("/", '/', "rebootdata.kx"), "/rebootdata.kx");
}

class ScheduleFileTest : public ::testing::Test {
  protected:
    const std::string path = "C:\\Program Files\\Tolvane\\rebootdata.kx";
    ScheduleList list;
    FakeFileSystem fs;
    FakeEventPump pump;
    ScheduleFile file{list, fs, pump};

    // Every file in the fake's folder apart from the schedule and its lock.
    int StrayFiles() const {
        int stray = 0;
        for (const auto& [name, bytes] : fs.files) stray += name != path && name != path + ".lock";
        return stray;
    }
};

TEST_F(ScheduleFileTest, WritesTheListBesideTheProgram) {
    EXPECT_TRUE(file.AddLine("7:05 AM-ShutDown-Repeat YES-Monday"));
    EXPECT_TRUE(file.AddLine("10:30 PM-Force Reboot-Repeat NO-Every Day"));
    EXPECT_EQ(file.Path(), path);
    EXPECT_EQ(fs.files[path], kTwoEntryFile);
    EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(ScheduleFileTest, AnEmptyListLeavesACrLfFileNotAMissingOne) {
    fs.files[path] = "A\r\n\r\n";
    file.GetRebootData();
    EXPECT_TRUE(file.RemoveLine(0));
    EXPECT_EQ(fs.files[path], "\r\n");
}

TEST_F(ScheduleFileTest, AFailingStepKeepsTheOldFileAndLeavesNoTemporary) {
    for (int step = 0; step < 2; ++step) {
        fs.files = {{path, kTwoEntryFile}};
        fs.failTemporaryWrite = step == 0;
        fs.failMoveOver = step == 1;
        const auto result = file.AddLine("1:00 AM-Reboot-Repeat NO-Every Day");
        EXPECT_FALSE(result) << step;
        EXPECT_EQ(result.reason, "Access is denied.") << step;
        EXPECT_EQ(fs.files[path], kTwoEntryFile) << step;
        EXPECT_EQ(StrayFiles(), 0) << step;
    }
}

TEST_F(ScheduleFileTest, AWriteClearsAwayTheTemporaryFilesOfWritesThatNeverFinished) {
    const std::string folder = "C:\\Program Files\\Tolvane\\";
    fs.files = {{folder + "rebootdata.kx.7.tmp", "killed mid-write"},
                {folder + "rebootdata.kx.8.tmp", "another copy, writing now"},
                {folder + "rebootdata.kx.backup", "the user's"},
                {folder + "rebootdata.kx.9.tmp.txt", "not ours"}};
    fs.temporaryFilesCreated = 9;
    fs.ages = {{folder + "rebootdata.kx.7.tmp", 61.0},
               {folder + "rebootdata.kx.8.tmp", 59.0},
               {folder + "rebootdata.kx.backup", 3600.0},
               {folder + "rebootdata.kx.9.tmp.txt", 3600.0}};
    fs.failMoveOver = true;  // also when this write fails
    EXPECT_FALSE(file.AddLine("A"));
    EXPECT_EQ(fs.files.count(folder + "rebootdata.kx.7.tmp"), 0u);
    EXPECT_EQ(fs.files.size(), 4u);  // the three others and the lock file
    EXPECT_EQ(fs.files.count(folder + "rebootdata.kx.8.tmp"), 1u);
}

TEST_F(ScheduleFileTest, ReadingAddsToWhatTheListHoldsInSortedOrder) {
    list.Add("9:00 AM-Reboot-Repeat YES-Every Day");
    fs.files[path] = kTwoEntryFile;
    file.GetRebootData();
    EXPECT_EQ(list.Items(),
              (Lines{"10:30 PM-Force Reboot-Repeat NO-Every Day",
                     "7:05 AM-ShutDown-Repeat YES-Monday", "9:00 AM-Reboot-Repeat YES-Every Day"}));
    EXPECT_EQ(pump.processed, 1);  // between the two lines read
}

TEST_F(ScheduleFileTest, AFileInNoOrderReadsIntoTheSortedListWithEveryCopy) {
    // As a hand-edited file may be: out of order, a line twice, a blank line.
    fs.files[path] = "C\r\nA\r\nB\r\n\r\nA\r\n";
    struct Mirror final : ScheduleListObserver {
        Lines items;
        void ItemInserted(int index, const std::string& line) override {
            items.insert(items.begin() + index, line);
        }
        void ItemRemoved(int index) override { items.erase(items.begin() + index); }
        void SelectionChanged(int) override {}
    } mirror;
    list.SetObserver(&mirror);
    list.Add("B");
    list.Select(0);

    file.GetFileData();
    EXPECT_EQ(list.Items(), (Lines{"A", "A", "B", "B", "C"}));
    EXPECT_EQ(mirror.items, list.Items());
    EXPECT_EQ(list.Selected(), 2);  // the selection followed its line
    EXPECT_EQ(pump.processed, 3);   // between the four lines read
    list.SetObserver(nullptr);
}

TEST_F(ScheduleFileTest, AMissingOrUnreadableFileAddsNothing) {
    file.GetFileData();
    EXPECT_EQ(list.Count(), 0);
    fs.files[path] = kTwoEntryFile;
    fs.failRead = true;
    file.GetFileData();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ScheduleFileTest, ALineAddedByTheUserWhileReadingIsKept) {
    fs.files[path] = "A\r\nC\r\n\r\n";
    pump.onProcess = [&](int) { list.Add("B"); };
    file.GetFileData();
    EXPECT_EQ(list.Items(), (Lines{"A", "B", "C"}));
}

}  // namespace
}  // namespace tolvane
