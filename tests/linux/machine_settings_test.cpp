// The machine's settings as its service and every user's window read them,
// and the state folder its service makes when run by hand.
#include "platform/linux/machine_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "native_platform.h"
#include "platform/linux/posix_file_system.h"

namespace tolvane {
namespace {

class MachineSettings : public ::testing::Test {
  protected:
    ~MachineSettings() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    static mode_t Mode(const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    std::string root = testing::MakeScratchFolder();
    PosixFileSystem files{root};
};

// The machine's notice minutes, as the machine's service and every window
// read them: whatever the file holds, a number of minutes comes out.
TEST_F(MachineSettings, TheMachinesNoticeMinutesComeFromItsOptionsOrAreFive) {
    const struct {
        const char* text;
        int minutes;
    } cases[] = {
        {"[Options]\nNoticeMinutes=10\n", 10},
        {"[options]\r\nnoticeminutes = 0\r\n", 0},  // off
        {"[Options]\nNoticeMinutes=1440\n", 1440},
        {"[Options]\nNoticeMinutes=1441\n", 5},
        {"[Options]\nNoticeMinutes=-1\n", 5},
        {"[Options]\nNoticeMinutes=ten\n", 5},
        {"[Options]\nNoticeMinutes=\n", 5},
        {"[Options]\nNoticeMinutes=99999999999999999999\n", 5},
        {"[Tolvane]\nNoticeMinutes=10\n", 5},  // another section's key
        {"NoticeMinutes=10\n", 5},
        {"[Options]\nNoticeMinutes=2\nNoticeMinutes=9\n", 2},  // the first counts
        {"", 5},
        {"\xff\xfe[\0=\n\n[", 5},
    };
    const std::string path = root + "/tolvane.conf";
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
        EXPECT_EQ(MachineNoticeMinutes(files, path), c.minutes) << c.text;
    }

    // Larger than any settings file, a folder, a pipe nobody writes to, or
    // nothing: the default, at once.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "[Options]\nNoticeMinutes=10\n"
        << std::string(kMachineSettingsMaxBytes, '\n');
    EXPECT_EQ(MachineNoticeMinutes(files, path), 5);
    std::filesystem::remove(path);
    EXPECT_EQ(MachineNoticeMinutes(files, path), 5);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(MachineNoticeMinutes(files, path), 5);
    EXPECT_EQ(MachineNoticeMinutes(files, root), 5);
}

TEST_F(MachineSettings, TheStateFolderIsMadeReadableByAllWhateverTheUmask) {
    const std::string state = root + "/state";
    const mode_t old = ::umask(077);
    std::string problem;
    const bool made = MakeMachineStateFolder(state, problem);
    ::umask(old);
    ASSERT_TRUE(made) << problem;
    EXPECT_EQ(Mode(state), 0755u);

    // Made once: an administrator's later choice stays.
    ASSERT_EQ(::chmod(state.c_str(), 0700), 0);
    EXPECT_TRUE(MakeMachineStateFolder(state, problem)) << problem;
    EXPECT_EQ(Mode(state), 0700u);

    EXPECT_FALSE(MakeMachineStateFolder(root + "/no/state", problem));
    EXPECT_NE(problem.find(root + "/no/state"), std::string::npos) << problem;
}

// Somebody's link where the folder belongs is neither followed nor changed:
// the folder it leads to keeps its mode, and the check at every tick judges
// the link.
TEST_F(MachineSettings, ALinkWhereTheStateFolderBelongsIsNotFollowed) {
    const std::string theirs = root + "/theirs";
    const std::string state = root + "/state";
    ASSERT_EQ(::mkdir(theirs.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(theirs.c_str(), state.c_str()), 0);
    std::string problem;
    EXPECT_TRUE(MakeMachineStateFolder(state, problem)) << problem;
    EXPECT_EQ(Mode(theirs), 0700u);
    EXPECT_TRUE(std::filesystem::is_symlink(state));
    // A dangling one is not made real either.
    const std::string dangling = root + "/dangling";
    ASSERT_EQ(::symlink((root + "/nowhere").c_str(), dangling.c_str()), 0);
    EXPECT_TRUE(MakeMachineStateFolder(dangling, problem)) << problem;
    EXPECT_FALSE(std::filesystem::exists(root + "/nowhere"));
}

}  // namespace
}  // namespace tolvane
