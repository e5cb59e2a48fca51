// Schedule files the program did not write, read from the real disk at
// start-up: megabytes long, lines of 100,000 characters, NUL bytes and bytes
// that are no UTF-8, not one CR LF, 100,000 lines. None of them may stop the
// program; what counts as a line comes back byte for byte, a rewrite keeps
// every such line, and only a real entry can fall due.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fakes/fake_window_platform.h"
#include "native_platform.h"
#include "schedule/schedule_file.h"
#include "shell/main_window.h"

namespace tolvane {
namespace {

using Lines = std::vector<std::string>;
using testing::FakeClock;

// The window on the real disk's files; the rest are fakes.
class HostileScheduleFile : public ::testing::Test, protected testing::FakeWindowPlatform {
  protected:
    ~HostileScheduleFile() override {
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Starts the program on a schedule file holding `bytes`.
    void StartWith(const std::string& bytes) {
        ASSERT_TRUE(ReplaceFileContents(*fs, path, bytes));
        testing::RealAdapters real;
        real.files = fs.get();
        form = std::make_unique<MainWindow>(Platform(real));
        form->OnLoad("");
    }
    const Lines& Loaded() { return form->List().Items(); }
    // The lines the file holds now, as the program would read them.
    Lines OnDisk() { return ScheduleFileLines(fs->ReadWholeFile(path).value_or("")); }
    // Removes the first line through the window, which rewrites the file.
    void RemoveFirstLine() {
        form->OnScheduleLineSelected(0);
        form->OnRemoveFromSchedule();
    }
    const std::vector<std::string>& Actions() { return power.requests; }

    std::string folder = testing::MakeScratchFolder();
    std::unique_ptr<FileSystem> fs = testing::MakeNativeFileSystem(folder);
    std::string path = JoinPath(fs->ScheduleFolder(), fs->PathSeparator(), "rebootdata.kx");
    std::unique_ptr<MainWindow> form;
};

std::string FileOf(const Lines& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\r\n";
    return bytes + "\r\n";
}

TEST_F(HostileScheduleFile, AHundredThousandLinesInNoOrderLoadSortedAndOnlyTheDueOnesRun) {
    const char* actions[] = {"Reboot", "Force LogOff", "ShutDown", "LockWorkStation"};
    const char* days[] = {"Every Day", "Sunday", "Monday", "Friday", "SATURDAY"};
    Lines lines;
    for (int i = 0; lines.size() < 100000 - 3; ++i) {
        // Every minute but :30, so none of these is due at 10:30 PM.
        const int minute = i % 59 + (i % 59 >= 30 ? 1 : 0);
        lines.push_back(std::to_string(i % 12 + 1) + ":" + (minute < 10 ? "0" : "") +
                        std::to_string(minute) + (i % 2 ? " PM-" : " AM-") + actions[i % 4] +
                        (i % 3 ? "-Repeat YES-" : "-Repeat NO-") + days[i % 5] + " #" +
                        std::to_string(i));
    }
    lines.push_back("10:30 PM-Force Reboot-Repeat NO-Every Day");
    lines.push_back("10:30 PM-LockWorkStation-Repeat YES-monday");
    lines.push_back("10:30 PM-ShutDown-Repeat YES-Tuesday");  // not today
    std::shuffle(lines.begin(), lines.end(), std::mt19937(7));
    const std::string bytes = FileOf(lines);
    ASSERT_GT(bytes.size(), 4u << 20) << "several megabytes";

    StartWith(bytes);
    Lines sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(Loaded(), sorted);
    EXPECT_EQ(view.listItems, sorted);
    EXPECT_TRUE(msgBox.shown.empty());

    clock.now = FakeClock::At(22, 30, 1);  // Monday
    form->OnTimerTick();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"forced reboot", "lock"}));
    sorted.erase(
        std::find(sorted.begin(), sorted.end(), "10:30 PM-Force Reboot-Repeat NO-Every Day"));
    EXPECT_EQ(Loaded(), sorted);
    EXPECT_EQ(OnDisk(), sorted) << "the one-time line is gone from the file, all others kept";
}

TEST_F(HostileScheduleFile, LinesOfAHundredThousandCharactersAreKeptWholeAndARealEntryStillRuns) {
    const std::string tail(100000, 'x');
    const Lines lines = {
        "10:30 PM-Force Reboot-Repeat YES-Every Day-" + tail,  // pieces after the fourth ignored
        std::string(100000, '-'),
        std::string(100000, ':'),
        "10:30 PM-Reboot-Repeat YES-" + tail,  // a day that is no day
        tail + " " + tail,
        "1" + std::string(100000, '0') + ":30 PM-LogOff-Repeat NO-Every Day",
    };
    StartWith(FileOf(lines));
    Lines sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(Loaded(), sorted);

    clock.now = FakeClock::At(22, 30, 3);
    form->OnTimerTick();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"forced reboot"}));

    RemoveFirstLine();
    sorted.erase(sorted.begin());
    EXPECT_EQ(OnDisk(), sorted);
}

TEST_F(HostileScheduleFile, NulBytesAndBytesThatAreNoUtf8PassThroughUnchanged) {
    const Lines lines = {
        std::string("7:05 AM-ShutDown-Repeat YES-Monday\0 hidden", 42),
        std::string("10:30 PM-Reboot-Repeat YES-Every\0Day", 36),
        std::string("\0\0\0", 3),
        "\xff\xfe\xfd\xfc",
        "\xc0\xaf overlong slash",
        "\xed\xa0\x80 lone surrogate",
        "caf\xe9 in Latin-1",
        "\xef\xbb\xbf"
        "7:05 AM-Reboot-Repeat YES-Monday",  // a byte-order mark in front
    };
    StartWith(FileOf(lines));
    Lines sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(Loaded(), sorted);
    EXPECT_EQ(view.listItems, sorted);

    // None is an entry: what a NUL cuts off still counts, and no hour starts
    // with a byte-order mark.
    clock.now = FakeClock::At(7, 5, 1);
    form->OnTimerTick();
    clock.now = FakeClock::At(22, 30, 1);
    form->OnTimerTick();
    EXPECT_TRUE(Actions().empty());

    RemoveFirstLine();
    sorted.erase(sorted.begin());
    EXPECT_EQ(OnDisk(), sorted);
}

TEST_F(HostileScheduleFile, AFileWithoutASingleCrLfHoldsNoLine) {
    std::string lfOnly;
    std::string crOnly;
    for (int i = 0; i < 20000; ++i) {
        lfOnly += "10:30 PM-Reboot-Repeat NO-Every Day\n";
        crOnly += "10:30 PM-Reboot-Repeat NO-Every Day\r";
    }
    std::string noBreakAtAll(3 << 20, 'a');
    for (const std::string& bytes : {lfOnly, crOnly, noBreakAtAll}) {
        power.requests.clear();
        StartWith(bytes);
        EXPECT_TRUE(Loaded().empty()) << bytes.size();
        EXPECT_TRUE(msgBox.shown.empty());
        clock.now = FakeClock::At(22, 30, 1);
        form->OnTimerTick();
        EXPECT_TRUE(Actions().empty());
    }
}

}  // namespace
}  // namespace tolvane
