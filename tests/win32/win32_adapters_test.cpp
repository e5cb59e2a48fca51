#include <gtest/gtest.h>

#include <optional>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fakes/fake_shell_services.h"
#include "native_platform.h"
#include "platform/win32/explorer_web_browser.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_msg_box.h"
#include "platform/win32/win32_process_command_line.h"
#include "platform/win32/win32_process_starter.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_tray_icon.h"
#include "shell/handler_guard.h"
#include "shell/settings_keys.h"
#include "win32_test_support.h"

namespace tolvane::testing {

std::unique_ptr<FileSystem> MakeNativeFileSystem(const std::string& programFolder) {
    return std::make_unique<ScratchWin32FileSystem>(programFolder);
}

// The window's file functions, and the service's walk of native requests.
std::vector<NativeFileSystemMaker> NativeFileSystemMakers() {
    return {{"Win32", MakeNativeFileSystem},
            {"Service", [](const std::string& folder) -> std::unique_ptr<FileSystem> {
                 return std::make_unique<ScratchServiceFileSystem>(folder);
             }}};
}

std::unique_ptr<Clock> MakeNativeClock() {
    return std::make_unique<Win32Clock>();
}

namespace {

using namespace settings_keys;

TEST(Win32FileSystem, ProgramFolderIsTheExesFolderWithoutTrailingSeparator) {
    Win32FileSystem fs;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string folder = fs.ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(std::string(exe).rfind(folder + "\\", 0), 0u) << exe;
    EXPECT_NE(folder.back(), '\\');
}

// ---- The command line ----

TEST(CommandLineArguments, AreWhatFollowsTheProgramsName) {
    struct Case {
        const char* commandLine;
        const char* arguments;
    };
    const Case cases[] = {
        {"tolvane.exe", ""},
        {"tolvane.exe /lock", "/lock"},
        {"tolvane.exe    /force /reboot ", "/force /reboot "},
        // Tabs end an unquoted name but only spaces are skipped after it.
        {"tolvane.exe\t/lock", "\t/lock"},
        {"tolvane.exe \t /lock", "\t /lock"},
        {"\"C:\\My Tools\\tolvane.exe\"\t/lock", "\t/lock"},
        {"C:\\Tools\\tolvane.exe /shutdown", "/shutdown"},
        // A quoted name keeps its blanks; the arguments start after the quote.
        {"\"C:\\Program Files\\Tolvane\\tolvane.exe\" /force", "/force"},
        {"\"C:\\Program Files\\Tolvane\\tolvane.exe\"", ""},
        {"\"C:\\My Tools\\tolvane.exe\"/lock", "/lock"},
        {"\"C:\\My Tools\\tolvane.exe\" \"/log off\"", "\"/log off\""},
        {"\"C:\\unfinished name /lock", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandLineArguments(c.commandLine), c.arguments) << c.commandLine;
    }
}

TEST(CommandLineArguments, OfThisProcessLeaveOutItsOwnPath) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string arguments = CommandLineArguments(GetCommandLineA());
    EXPECT_EQ(arguments.find("tolvane_platform_tests"), std::string::npos) << arguments;
}

// ---- Settings in the registry ----

class Win32SettingsStoreTest : public ::testing::Test {
  protected:
    // The program's own root, under an application name no one else uses.
    const std::string application = UniqueName("Tolvane test ");
    Win32SettingsStore store;
    const std::string applicationKey =
        std::string(Win32SettingsStore::kDefaultRoot) + "\\" + application;

    ~Win32SettingsStoreTest() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, applicationKey.c_str());
    }
    std::string Get(SettingKey setting, const std::string& defaultValue) {
        return store.GetSetting(application, setting.section, setting.key, defaultValue);
    }
    void Save(SettingKey setting, const std::string& value) {
        store.SaveSetting(application, setting.section, setting.key, value);
    }
};

TEST_F(Win32SettingsStoreTest, AnAbsentApplicationSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Get(kRunMinimized, "False"), "False");
    Save(kShowSchedule, "True");
    EXPECT_EQ(Get(kRunMinimized, "False"), "False");
    EXPECT_EQ(Get(kProgramFolder, ""), "");
    EXPECT_EQ(Get(kShowSchedule, "x"), "True");
}

TEST_F(Win32SettingsStoreTest, AValueIsTextUnderTheApplicationAndSectionKeys) {
    Save(kProgramFolder, "C:\\Program Files\\Tolvane");
    const auto stored =
        ReadRegistryValue(applicationKey + "\\" + kProgramFolder.section, kProgramFolder.key);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->data, "C:\\Program Files\\Tolvane");
}

TEST_F(Win32SettingsStoreTest, SectionAndKeyNamesIgnoreLetterCase) {
    // The program writes one section under two spellings.
    Save(kForceNow, "1");
    Save(kServiceInstalled, "0");
    EXPECT_EQ(store.GetSetting(application, "OPTIONS", "C2", "0"), "1");
    EXPECT_EQ(store.GetSetting(application, "options", "service", "1"), "0");
    store.SaveSetting(application, "Options", "C2", "0");
    EXPECT_EQ(Get(kForceNow, "x"), "0");
}

TEST_F(Win32SettingsStoreTest, ValuesSurviveAnewStoreAndLongTextsComeBackWhole) {
    const std::string longText(5000, 'p');
    Save(kProgramFolder, longText);
    Win32SettingsStore later;
    const auto [section, key] = kProgramFolder;
    EXPECT_EQ(later.GetSetting(application, section, key, ""), longText);
    Save(kProgramFolder, "");
    EXPECT_EQ(later.GetSetting(application, section, key, "default"), "");
}

TEST_F(Win32SettingsStoreTest, AValueThatIsNoTextCountsAsAbsent) {
    Save(kForceNow, "1");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (applicationKey + "\\" + kForceNow.section).c_str(),
                            0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExA(key, kForceNow.key, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(Get(kForceNow, "0"), "0");
}

// ---- Starting programs ----

class Win32ProcessStarterTest : public ::testing::Test {
  protected:
    // The starter makes its window first: under Wine a process's first window
    // starts the desktop's own process, which must not count as one started.
    Win32ProcessStarterTest() { TrackStartedProcesses(); }
    ~Win32ProcessStarterTest() override { RemoveFolderTree(scratch); }

    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    Win32ProcessStarter starter;
    std::string scratch = MakeScratchFolder();
};

TEST_F(Win32ProcessStarterTest, RunsABatchFileInAFolderWithSpaces) {
    // A decoy where an unquoted path would lead: "<scratch>\dir.bat" for
    // "<scratch>\dir with spaces\installs.bat".
    const std::string folder = scratch + "\\dir with spaces";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string marker = scratch + "\\ran.txt";
    const std::string decoyMarker = scratch + "\\decoy.txt";
    auto write = [](const std::string& path, const std::string& text) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    };
    write(folder + "\\installs.bat", "@echo off\r\necho ran>\"" + marker + "\"\r\n");
    write(scratch + "\\dir.bat", "@echo off\r\necho decoy>\"" + decoyMarker + "\"\r\n");

    std::string reason;
    ASSERT_TRUE(starter.Start(folder + "\\installs.bat", {}, reason, {})) << reason;
    // Once the started process has ended, each batch file either ran or never will.
    ASSERT_TRUE(StartedProcessesEnded());
    EXPECT_TRUE(Exists(marker));
    EXPECT_FALSE(Exists(decoyMarker));
}

TEST_F(Win32ProcessStarterTest, AMissingProgramIsReportedWithTheSystemsReason) {
    std::string reason;
    EXPECT_FALSE(starter.Start(scratch + "\\no such.bat", {}, reason, {}));
    EXPECT_FALSE(reason.empty());
}

TEST_F(Win32ProcessStarterTest, TellsHowAProgramWaitedForEndedAndTheEndOfItsErrorOutput) {
    const struct {
        const char* lines;
        std::string how;
        std::string errorOutput;  // standard error only, never standard output
    } cases[] = {
        {"exit /b 0", "", ""},
        {"exit /b 3", "It ended with status 3.", ""},
        {"echo to-output\r\necho first 1>&2\r\necho reason 1>&2\r\nexit /b 2",
         "It ended with status 2.", "first \r\nreason \r\n"},
    };
    int run = 0;
    for (const auto& c : cases) {
        const std::string script = scratch + "\\ends" + std::to_string(++run) + ".bat";
        WriteWholeFile(script, std::string("@echo off\r\n") + c.lines + "\r\n");
        std::string reason;
        struct End {
            bool succeeded;
            std::string how, errorOutput;
        };
        std::optional<End> ended;
        ASSERT_TRUE(starter.Start(script, {}, reason,
                                  [&](bool succeeded, const std::string& how,
                                      const std::string& errorOutput) {
                                      ended = End{succeeded, how, errorOutput};
                                  }))
            << reason;
        ASSERT_TRUE(DispatchMessagesUntil([&] { return ended.has_value(); })) << c.lines;
        EXPECT_EQ(ended->succeeded, c.how.empty()) << c.lines;
        EXPECT_EQ(ended->how, c.how) << c.lines;
        EXPECT_EQ(ended->errorOutput, c.errorOutput) << c.lines;
    }
}

TEST_F(Win32ProcessStarterTest, RefusesWhatItsQuotingOrTheInterpreterCannotCarry) {
    const std::string script = scratch + "\\installs.bat";
    WriteWholeFile(script, "@echo off\r\n");
    const struct {
        std::string program;
        std::vector<std::string> arguments;
        std::string reason;
    } cases[] = {
        {scratch + "\\quote\" & echo x\\installs.bat", {}, "The path holds a quotation mark."},
        {"\"" + script + "\"", {}, "The path holds a quotation mark."},
        {script,
         {"a\" & echo x"},
         "The command interpreter would read an argument holding a quotation mark as more than "
         "one."},
        {scratch + "\\%TEMP%\\installs.bat",
         {},
         "The command interpreter would read a path holding %, ! or a line break as another one."},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_FALSE(starter.Start(c.program, c.arguments, reason, {})) << c.program;
        EXPECT_EQ(reason, c.reason) << c.program;
    }
    EXPECT_TRUE(StartedProcessesEnded());
}

// The system's own reading of a command line into its pieces.
std::vector<std::string> SystemArgv(const std::string& commandLine) {
    std::wstring wide(commandLine.size(), L'\0');
    MultiByteToWideChar(CP_ACP, 0, commandLine.data(), static_cast<int>(commandLine.size()),
                        wide.data(), static_cast<int>(wide.size()));
    int count = 0;
    LPWSTR* pieces = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> argv;
    for (int i = 0; pieces && i < count; ++i) {
        char narrow[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, pieces[i], -1, narrow, sizeof narrow, nullptr, nullptr);
        argv.emplace_back(narrow);
    }
    LocalFree(pieces);
    return argv;
}

TEST(ProcessCommandLine, QuotesTheProgramAndGivesEachArgumentBackWhole) {
    EXPECT_EQ(ProcessCommandLine("C:\\Program Files\\Tolvane\\installs.bat", {}),
              "\"C:\\Program Files\\Tolvane\\installs.bat\"");
    EXPECT_EQ(ProcessCommandLine("explorer", {"http://www.quarnel.com/tolvane.htm"}),
              "\"explorer\" http://www.quarnel.com/tolvane.htm");
    using Args = std::vector<std::string>;
    const Args cases[] = {
        {},
        {"http://example.com/a b"},
        {"", "two", ""},
        {"a\tb", "c\nd"},
        {"say \"hi\"", "\"", "\"\""},
        {"a\\\\b", "ends in one\\", "ends in two\\\\", "\\\"", "C:\\dir\\"},
        {"x;rm -rf ~", "$(y)", "a&b", "a|b", "<a>", "^", "(c)", "d,e=f"},
    };
    for (const Args& arguments : cases) {
        const std::string line = ProcessCommandLine("C:\\Tools dir\\tool.exe", arguments);
        Args expected = {"C:\\Tools dir\\tool.exe"};
        expected.insert(expected.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(SystemArgv(line), expected) << line;
    }
}

// ---- Message boxes ----

TEST(Win32MsgBox, AsksWithThePlatformsButtonsAndNamesTheAnswer) {
    // No icon, the first button (OK, or Yes) the default.
    EXPECT_EQ(MessageBoxStyle(MsgBox::Buttons::Ok), static_cast<UINT>(MB_OK | MB_DEFBUTTON1));
    EXPECT_EQ(MessageBoxStyle(MsgBox::Buttons::YesNo), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON1));
    const std::pair<int, MsgBox::Answer> answers[] = {
        {IDOK, MsgBox::Answer::Ok},  {IDYES, MsgBox::Answer::Yes},
        {IDNO, MsgBox::Answer::No},  {IDCANCEL, MsgBox::Answer::Closed},
        {0, MsgBox::Answer::Closed},
    };
    for (const auto& [result, answer] : answers) {
        EXPECT_EQ(MessageBoxAnswer(result), answer) << result;
    }
}

// ---- The notification-area record ----

TEST(Win32TrayIcon, TheRecordTakesThePlatformsFirstLayout) {
    const auto window = reinterpret_cast<HWND>(0x10a4c);
    const auto icon = reinterpret_cast<HICON>(0x5e01);
    const std::string tip = "Tolvane 2.1 - Quarnel";
    const NOTIFYICONDATAA data = TrayIconData(window, 0x5e01, icon, tip);
    // 88 bytes with 32-bit handles; 104 with 64-bit ones and their alignment.
    EXPECT_EQ(data.cbSize, sizeof(void*) == 8 ? 104u : 88u);
    EXPECT_EQ(data.cbSize, offsetof(NOTIFYICONDATAA, szTip) + 64);
    EXPECT_EQ(data.hWnd, window);
    EXPECT_EQ(data.uID, 0x5e01u);
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uFlags, 7u);
    // The window's own message, in the range kept for a program's own.
    EXPECT_EQ(data.uCallbackMessage, Win32MainWindow::kTrayIconMessage);
    EXPECT_GE(data.uCallbackMessage, static_cast<UINT>(WM_APP));
    EXPECT_LT(data.uCallbackMessage, 0xC000u);
    EXPECT_EQ(data.hIcon, icon);
    // The tip, a NUL, and blanks to the end of the first layout's 64 bytes.
    EXPECT_EQ(std::string(data.szTip, 64), tip + '\0' + std::string(42, ' '));
    // A tip too long for the field keeps its first 63 bytes and the NUL.
    const NOTIFYICONDATAA longer = TrayIconData(window, 1, icon, std::string(70, 'x'));
    EXPECT_EQ(std::string(longer.szTip, 64), std::string(63, 'x') + '\0');
}

// ---- The event log ----

TEST(Win32EventLog, EntriesAreInformationOrErrorsWithTheirOwnEventIds) {
    std::vector<std::tuple<WORD, DWORD, std::string>> written;
    Win32EventLog log([&](WORD type, DWORD id, const std::string& text) {
        written.emplace_back(type, id, text);
    });
    log.Info("Requested reboot for: 3:00 AM-Reboot-Repeat YES-Every Day");
    log.Error("The lock for \"x\" failed: Access is denied.");
    using Entry = std::tuple<WORD, DWORD, std::string>;
    EXPECT_EQ(
        written,
        (std::vector<Entry>{
            {EVENTLOG_INFORMATION_TYPE, kEventInfo,
             "Requested reboot for: 3:00 AM-Reboot-Repeat YES-Every Day"},
            {EVENTLOG_ERROR_TYPE, kEventError, "The lock for \"x\" failed: Access is denied."},
        }));
    // The real writer: under Wine the log itself is not kept, but the calls
    // must be accepted.
    Win32EventLog real;
    real.Info("tolvane_platform_tests: an information entry");
    real.Error("tolvane_platform_tests: an error entry");
}

// A handler's failure in the window becomes one error entry, with the
// event's name and why: nobody reads a window program's standard error.
TEST(Win32EventLog, AFailingHandlerOfTheWindowBecomesOneErrorEntry) {
    using Entry = std::tuple<WORD, DWORD, std::string>;
    std::vector<Entry> written;
    const HandlerFailureLog failures =
        EventLogFailures(Win32EventLog([&](WORD type, DWORD id, const std::string& text) {
            written.emplace_back(type, id, text);
        }));
    struct Case {
        const char* event;
        std::function<void()> handler;
        std::vector<Entry> entries;
    };
    const Case cases[] = {
        {"Reboot Now",
         [] { throw std::runtime_error("the settings store is gone"); },
         {{EVENTLOG_ERROR_TYPE, kEventError,
           "tolvane: Reboot Now failed: the settings store is gone"}}},
        {"Hide", [] {}, {}},
    };
    for (const Case& c : cases) {
        written.clear();
        RunHandler(c.event, c.handler, failures);
        EXPECT_EQ(written, c.entries) << c.event;
    }
}

TEST(ExplorerWebBrowser, RunsExplorerWithTheAddressAsItsArgument) {
    FakeProcessStarter processes;
    ExplorerWebBrowser browser(processes);
    EXPECT_TRUE(browser.OpenWebAddress("http://www.quarnel.com/tolvane.htm", {}));
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].program, "explorer");
    EXPECT_EQ(processes.started[0].arguments,
              std::vector<std::string>{"http://www.quarnel.com/tolvane.htm"});
}

}  // namespace
}  // namespace tolvane::testing
