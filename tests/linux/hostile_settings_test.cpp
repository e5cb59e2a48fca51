// Settings files and folders the program did not make, met at start-up and
// afterwards: truncated files, sections written twice, values of the wrong
// kind, binary junk, a folder where the file should be, and folders that
// cannot be written or do not exist. The program always starts, restores what
// it can read, treats the rest as absent, keeps what it does not understand,
// and says when a change could not be saved.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_window_platform.h"
#include "native_platform.h"
#include "platform/linux/ini_document.h"
#include "platform/linux/ini_settings_store.h"
#include "platform/linux/posix_file_system.h"
#include "shell/main_window.h"
#include "shell/settings_keys.h"

namespace tolvane {
namespace {

using namespace std::string_literals;
using namespace settings_keys;

TEST(IniDocument, CarriageReturnsBeforeTheLineFeedBelongToTheLineEnd) {
    // A file passed through CR LF conversion twice ends its lines in CR CR LF.
    IniDocument ini("[Location]\r\r\nPath=/opt/tolvane\r\r\n[Runit]\r\nRunMinimized=True\r\r\n");
    EXPECT_EQ(ini.Get("Location", "Path"), "/opt/tolvane");
    EXPECT_EQ(ini.Get("Runit", "RunMinimized"), "True");
    ini.Set("options", "c2", "1");
    const IniDocument rewritten(ini.Text());
    EXPECT_EQ(rewritten.Get("Location", "Path"), "/opt/tolvane") << "no CR crept into the value";
    EXPECT_EQ(rewritten.Get("Runit", "RunMinimized"), "True");
    EXPECT_EQ(IniDocument(rewritten.Text()).Text(), rewritten.Text());
}

// The program on real settings and schedule files in a scratch home; the
// window, messages and the rest are fakes that record what happened.
class HostileSettings : public ::testing::Test, protected testing::FakeWindowPlatform {
  protected:
    ~HostileSettings() override {
        form.reset();
        for (const auto& folder : unwritable_) {
            if (::geteuid() == 0) SetImmutable(folder, false);
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        }
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string SettingsFile() const { return settingsFolder + "/Tolvane 2.1.ini"; }
    void WriteFile(const std::string& path, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(ReplaceFileContents(disk, path, bytes));
    }
    std::string ReadFile(const std::string& path) {
        return disk.ReadWholeFile(path).value_or("<missing>");
    }
    void Start(const std::string& commandLine = "") {
        testing::RealAdapters real;
        real.settings = &ini;
        real.files = &disk;
        form = std::make_unique<MainWindow>(Platform(real));
        form->OnLoad(commandLine);
    }
    // Adds a line through the editor, as the user would.
    void AddLine() {
        view.SetOptionValue(ControlId::ScheduleReboot, true);
        view.SetOptionValue(ControlId::Repeat, true);
        view.SetComboText(ControlId::Hour, "7");
        view.SetComboText(ControlId::Minute, "05");
        view.SetComboText(ControlId::AmPm, "AM");
        view.SetComboText(ControlId::Day, "Monday");
        form->OnAddToSchedule();
    }
    // A folder nobody may write in, root included (root passes over the
    // permission bits, not over the immutable flag).
    bool MakeUnwritable(const std::string& folder) {
        unwritable_.push_back(folder);
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        return ::geteuid() != 0 || SetImmutable(folder, true);
    }
    static bool SetImmutable(const std::string& folder, bool on) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }

    std::string root = testing::MakeScratchFolder();
    std::string programFolder = root + "/usr/lib/tolvane";
    std::string scheduleFolder = root + "/home/.local/share/tolvane";
    std::string settingsFolder = root + "/home/.config/tolvane";
    PosixFileSystem disk{programFolder, scheduleFolder};
    std::vector<std::string> reports;
    IniSettingsStore ini{settingsFolder, disk,
                         [this](const std::string& r) { reports.push_back(r); }};
    std::unique_ptr<MainWindow> form;

  private:
    std::vector<std::string> unwritable_;
};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xff);
    return bytes;
}

TEST_F(HostileSettings, AnythingThatIsNoValidStateCountsAsAbsent) {
    struct Case {
        const char* name;
        std::string file;
        bool minimized, scheduleMark, nowMark;
        int force;
    };
    const Case cases[] = {
        {"empty file", "", false, true, true, 0},
        {"truncated in a value", "[Runit]\nRunMinimized=Tr", false, true, true, 0},
        {"truncated in a section name", "[options]\nc2=1\n[Run", false, true, true, 1},
        {"truncated in an escape", "[options]\nc2=1\n[Location]\nPath=/opt/a\\x4", false, true,
         true, 1},
        {"sections written twice: the first entry counts",
         "[Runit]\nShowRebootScheduleM=False\n[options]\nc2=1\n[RUNIT]\nShowRebootScheduleM=True\n"
         "ShowShowRebootNowM=False\n[Options]\nc2=0\n",
         false, false, false, 1},
        {"booleans of the wrong kind",
         "[Runit]\nRunMinimized=1\nShowRebootScheduleM=no\nShowShowRebootNowM=\n", false, true,
         true, 0},
        {"force box states of the wrong kind", "[options]\nc2=7\n", false, true, true, 0},
        {"a negative force box", "[options]\nc2=-1\n", false, true, true, 0},
        {"a fraction", "[options]\nc2=1.0\n", false, true, true, 0},
        {"a NUL inside the value", "[Runit]\nShowRebootScheduleM=False\0x\n"s, false, true, true,
         0},
        {"values in any case, blanks around", "[runit]\n  showrebootschedulem =  FALSE \n", false,
         false, true, 0},
        {"the grey state", "[options]\nc2=2\n", false, true, true, 2},
        {"binary junk", RandomBytes(64 << 10, 1), false, true, true, 0},
        {"a megabyte of one value", "[options]\nc2=" + std::string(1 << 20, '1') + "\n", false,
         true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(SettingsFile(), c.file);
        view = testing::FakeView();
        msgBox.shown.clear();
        Start();
        EXPECT_EQ(view.menuChecks[MenuId::MinimizeOnStart], c.minimized);
        EXPECT_EQ(view.menuChecks[MenuId::ShowSchedule], c.scheduleMark);
        EXPECT_EQ(view.menuChecks[MenuId::ShowNowPanel], c.nowMark);
        EXPECT_EQ(view.checks[ControlId::ForceNow], c.force);
        EXPECT_TRUE(view.visible);
        EXPECT_TRUE(msgBox.shown.empty());
        // Start-up recorded the folder, and the file still reads.
        EXPECT_EQ(ini.GetSetting("Tolvane 2.1", kProgramFolder.section, kProgramFolder.key, "?"),
                  programFolder);
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(HostileSettings, ARewriteKeepsWhatTheProgramDoesNotUnderstand) {
    const std::string junk = RandomBytes(4096, 2);
    WriteFile(SettingsFile(), "; a comment\n[Unknown]\nkey=value\n" + junk);
    Start();
    form->OnToggleMinimizeOnStart();
    const std::string after = ReadFile(SettingsFile());
    EXPECT_EQ(after.rfind("; a comment\n[Unknown]\nkey=value\n", 0), 0u);
    const IniDocument reread(after);
    EXPECT_EQ(reread.Get(kRunMinimized.section, kRunMinimized.key), "True");
    EXPECT_EQ(reread.Get("Unknown", "key"), "value");
}

TEST_F(HostileSettings, AFolderWhereTheSettingsFileShouldBe) {
    std::filesystem::create_directories(SettingsFile());
    Start();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.menuChecks[MenuId::ShowSchedule], true);
    form->OnToggleMinimizeOnStart();
    EXPECT_TRUE(view.menuChecks[MenuId::MinimizeOnStart]);
    // Both saves (the folder at start-up, the check mark) said why they failed.
    ASSERT_EQ(reports.size(), 2u);
    for (const auto& report : reports) {
        EXPECT_NE(report.find("cannot be read"), std::string::npos) << report;
    }
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile()));
}

TEST_F(HostileSettings, FoldersThatCannotBeMadeOrWritten) {
    // A file stands where the schedule's and the settings' folders would go.
    WriteFile(root + "/home/.local/share", "not a folder");
    WriteFile(root + "/home/.config", "not a folder");
    Start();
    EXPECT_TRUE(view.visible);
    EXPECT_TRUE(form->List().Items().empty());
    AddLine();
    EXPECT_EQ(form->List().Items(), std::vector<std::string>{"7:05 AM-Reboot-Repeat YES-Monday"});
    ASSERT_EQ(msgBox.shown.size(), 2u);  // the confirmation, then why it was not saved
    EXPECT_NE(msgBox.shown[1].text.find("could not be saved"), std::string::npos);
    EXPECT_NE(msgBox.shown[1].text.find("Not a directory"), std::string::npos)
        << msgBox.shown[1].text;
    EXPECT_EQ(reports.size(), 1u);  // Location/Path
}

TEST_F(HostileSettings, ASchedulePathThatIsNoFileIsSaidOnceAndNeverReplaced) {
    std::filesystem::create_directories(scheduleFolder + "/rebootdata.kx/inside");
    Start();
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_NE(msgBox.shown[0].text.find(scheduleFolder + "/rebootdata.kx:\r\nIt is a folder."),
              std::string::npos)
        << msgBox.shown[0].text;
    AddLine();
    ASSERT_EQ(msgBox.shown.size(), 3u);  // the confirmation, then why it was not saved
    EXPECT_NE(msgBox.shown[2].text.find("could not be saved"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(scheduleFolder + "/rebootdata.kx/inside"));
}

TEST_F(HostileSettings, AReadOnlyScheduleFolderKeepsTheOldFileAndLeavesNothingBehind) {
    const std::string schedule = scheduleFolder + "/rebootdata.kx";
    WriteFile(schedule, "10:30 PM-Force Reboot-Repeat NO-Every Day\r\n\r\n");
    WriteFile(SettingsFile(), "");
    if (!MakeUnwritable(scheduleFolder) || !MakeUnwritable(settingsFolder)) {
        GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    }
    Start();
    EXPECT_EQ(form->List().Items(),
              std::vector<std::string>{"10:30 PM-Force Reboot-Repeat NO-Every Day"});
    AddLine();
    EXPECT_EQ(form->List().Count(), 2);
    ASSERT_EQ(msgBox.shown.size(), 2u);
    EXPECT_NE(msgBox.shown[1].text.find("could not be saved"), std::string::npos);
    EXPECT_EQ(ReadFile(schedule), "10:30 PM-Force Reboot-Repeat NO-Every Day\r\n\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scheduleFolder),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(reports.size(), 1u);  // Location/Path
    EXPECT_EQ(ReadFile(SettingsFile()), "");
}

TEST_F(HostileSettings, APipeOrADeviceInPlaceOfTheFilesNeverHoldsUpTheStart) {
    // A pipe nobody writes to, and a device that never ends.
    std::filesystem::create_directories(scheduleFolder);
    ASSERT_EQ(::mkfifo((scheduleFolder + "/rebootdata.kx").c_str(), 0600), 0);
    std::filesystem::create_directories(settingsFolder);
    std::filesystem::create_symlink("/dev/zero", SettingsFile());

    // The start runs in a child process, so a start that hangs is ended.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Start();
        const bool asIfAbsent =
            form->List().Count() == 0 && view.visible && view.menuChecks[MenuId::ShowSchedule];
        ::_exit(asIfAbsent ? 0 : 1);
    }
    int status = 0;
    ASSERT_TRUE(testing::WaitForExit(child, status)) << "the start was still waiting after 2 min";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the start did not go on as with no files";
    // Settings that cannot be read are not written over.
    EXPECT_TRUE(std::filesystem::is_symlink(SettingsFile()));
}

TEST(IniSettingsStore, AFileThatExistsButCannotBeReadIsNotWrittenOver) {
    // Written from nothing, it would keep only the one value saved.
    testing::FakeFileSystem files;
    const std::string path = "C:\\cfg\\Tolvane 2.1.ini";
    files.files[path] = "[Runit]\nRunMinimized=True\n[options]\nc2=1\n";
    files.failRead = true;
    std::vector<std::string> reports;
    IniSettingsStore store("C:\\cfg", files, [&](const std::string& r) { reports.push_back(r); });
    const auto [section, key] = kProgramFolder;
    store.SaveSetting("Tolvane 2.1", section, key, "C:\\Tools");
    EXPECT_EQ(files.files[path], "[Runit]\nRunMinimized=True\n[options]\nc2=1\n");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Location/Path was not saved"), std::string::npos) << reports[0];

    files.failRead = false;  // once it reads again, saving works as before
    store.SaveSetting("Tolvane 2.1", section, key, "C:\\Tools");
    EXPECT_EQ(store.GetSetting("Tolvane 2.1", kForceNow.section, kForceNow.key, "?"), "1");
    EXPECT_EQ(store.GetSetting("Tolvane 2.1", section, key, "?"), "C:\\Tools");
}

}  // namespace
}  // namespace tolvane
