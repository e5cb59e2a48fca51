// Set Service with hostile "Path" values, through the real process start:
// folders with blanks, ampersands, carets, brackets, percent signs, a
// trailing backslash or quotation marks. The batch file in that folder runs,
// and nothing else; or, where the quoting cannot carry the path or the
// command interpreter would read it as something else, nothing runs at all,
// the flag stays as it was and the window says why.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fakes/fake_window_platform.h"
#include "platform/win32/win32_process_starter.h"
#include "shell/main_window.h"
#include "shell/settings_keys.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

using settings_keys::kProgramFolder;
using settings_keys::kServiceInstalled;

TEST(InterpreterWouldRewrite, OnlyABatchFileWithSignsTheInterpreterReadsItsOwnWay) {
    const std::pair<const char*, bool> cases[] = {
        {"\"C:\\Tools\\%TEMP%\\installs.bat\"", true},
        {"\"C:\\Tools\\bang!\\removeit.BAT\"", true},
        {"\"C:\\Tools\\line\nbreak\\installs.cmd\"", true},
        {"\"C:\\Tools\\installs.bat\" 50%", true},
        {"C:\\Tools\\%x%\\installs.bat. ", true},  // the system drops the dot and blank
        {"\"C:\\Program Files\\a & b ^ (c)\\installs.bat\"", false},
        {"C:\\Tools\\installs.bat", false},
        {"\"C:\\Tools\\100%\\tool.exe\" !x!", false},  // no interpreter between
        {"\"C:\\Tools\\installs.bat.exe\" %x%", false},
        {"", false},
    };
    for (const auto& [commandLine, rewritten] : cases) {
        EXPECT_EQ(InterpreterWouldRewrite(commandLine), rewritten) << commandLine;
    }
}

// The window on stand-ins, but for the real process start and the real
// files in a scratch folder.
class ServiceScriptPath : public ::testing::Test, protected FakeWindowPlatform {
  protected:
    ServiceScriptPath() {
        // Each wait lets a whole step of time pass. Cut to the time left, a
        // step can come out below what the clock's reading still shows, and
        // a pause after a few others would never end.
        pump.onWait = [this](double) { clock.Advance(0.05); };
        TrackStartedProcesses();
    }
    ~ServiceScriptPath() override {
        SetEnvironmentVariableA("TOLVANE_DECOY", nullptr);
        RemoveFolderTree(scratch);
    }

    static void Write(const std::string& path, const std::string& text) {
        WriteWholeFile(path, text);
    }
    // A batch file that leaves a file named `mark` in the scratch folder.
    void Script(const std::string& path, const std::string& mark) {
        Write(path, "@echo off\r\necho ran>\"" + scratch + "\\" + mark + "\"\r\n");
    }
    // Dispatches the window's messages until the script's end has set the
    // stored flag to `value`; on a failure, says what the window was told.
    ::testing::AssertionResult FlagBecomes(const char* value) {
        if (DispatchMessagesUntil([&] { return settings.Get(kServiceInstalled) == value; })) {
            return ::testing::AssertionSuccess();
        }
        auto failure = ::testing::AssertionFailure()
                       << "the flag stayed \"" << settings.Get(kServiceInstalled) << "\"";
        for (const auto& shown : msgBox.shown) failure << "; the window said: " << shown.text;
        return failure;
    }
    bool Exists(const std::string& mark) {
        return GetFileAttributesA((scratch + "\\" + mark).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // The marks of every script that ran, once every process the test started
    // has ended: none can run after that.
    std::vector<std::string> Ran(const std::vector<std::string>& marks) {
        EXPECT_TRUE(StartedProcessesEnded()) << "a started process is still running";
        std::vector<std::string> ran;
        for (const auto& mark : marks) {
            if (Exists(mark)) ran.push_back(mark);
        }
        return ran;
    }

    std::string scratch = MakeScratchFolder();
    Win32ProcessStarter starter;
    ScratchWin32FileSystem disk{scratch};
    MainWindow form{Platform(Real())};

  private:
    RealAdapters Real() {
        RealAdapters real;
        real.processes = &starter;
        real.files = &disk;
        return real;
    }
};

TEST_F(ServiceScriptPath, TheBatchFileInTheFolderRunsWhateverCharactersTheFolderHolds) {
    struct Case {
        std::string folder;  // under the scratch folder
        std::string decoy;   // where a path cut short at its first blank or symbol would lead
    };
    const Case cases[] = {
        {"dir with spaces", "dir.bat"},
        {"a & b", "a.bat"},
        {"x & echo hacked", "x.bat"},
        {"caret ^ and (brackets)", "caret.bat"},
        {"semi;colon, comma=equals", "semi.bat"},
        {"it's (x86) [1] {2} @home #tag +plus ~tilde `back", "it's.bat"},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = scratch + "\\" + c.folder;
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        const std::string mark = "ran-" + std::to_string(++run);
        Script(folder + "\\installs.bat", mark);
        Script(scratch + "\\" + c.decoy, "decoy-" + std::to_string(run));
        settings.Put(kServiceInstalled, "0");
        settings.Put(kProgramFolder, folder);
        form.OnSetService();
        // Its end is heard first: until then the starter holds the process.
        EXPECT_TRUE(FlagBecomes("1"));
        const std::string decoy = "decoy-" + std::to_string(run);
        EXPECT_EQ(Ran({mark, decoy}), std::vector<std::string>{mark});
    }
}

TEST_F(ServiceScriptPath, ATrailingBackslashOrBlanksAroundThePathStillFindTheFolder) {
    const std::string folder = scratch + "\\tools";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    Script(folder + "\\installs.bat", "installed");
    Script(folder + "\\removeit.bat", "removed");
    settings.Put(kProgramFolder, folder + "\\");
    form.OnSetService();
    ASSERT_TRUE(FlagBecomes("1"));
    EXPECT_EQ(Ran({"installed", "removed"}), std::vector<std::string>{"installed"});
    settings.Put(kProgramFolder, "  " + folder + "\\  ");
    form.OnSetService();
    EXPECT_TRUE(FlagBecomes("0"));
    EXPECT_EQ(Ran({"installed", "removed"}), (std::vector<std::string>{"installed", "removed"}));
}

TEST_F(ServiceScriptPath, APathTheQuotingOrTheCommandInterpreterCannotCarryStartsNothing) {
    // The interpreter expands %NAME% even inside quotation marks: the folder
    // literally named "%TOLVANE_DECOY%" would turn into the decoy folder.
    SetEnvironmentVariableA("TOLVANE_DECOY", "decoy");
    ASSERT_TRUE(CreateDirectoryA((scratch + "\\decoy").c_str(), nullptr));
    Script(scratch + "\\decoy\\installs.bat", "decoy-ran");
    const std::string folders[] = {"%TOLVANE_DECOY%", "100%", "bang!", "quote\" & echo x"};
    std::vector<std::string> marks = {"decoy-ran"};
    int run = 0;
    for (const auto& name : folders) {
        SCOPED_TRACE(name);
        const std::string folder = scratch + "\\" + name;
        const std::string mark = "ran-" + std::to_string(++run);
        if (CreateDirectoryA(folder.c_str(), nullptr)) Script(folder + "\\installs.bat", mark);
        marks.push_back(mark);
        msgBox.shown.clear();
        settings.Put(kProgramFolder, folder);
        form.OnSetService();
        EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
        ASSERT_EQ(msgBox.shown.size(), 2u);
        EXPECT_EQ(msgBox.shown[1].text.rfind("Could not start", 0), 0u) << msgBox.shown[1].text;
        if (name.find('"') != std::string::npos) {
            EXPECT_EQ(msgBox.shown[1].text, "Could not start " + folder +
                                                "\\installs.bat:\r\nThe path holds a quotation "
                                                "mark.\r\n\r\nNothing was changed.");
        }
    }
    EXPECT_EQ(Ran(marks), std::vector<std::string>{});
}

}  // namespace
}  // namespace tolvane::testing
