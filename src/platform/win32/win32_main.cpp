// tolvane.exe: the window, the real adapters, and the message loop.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>

#include "platform/win32/explorer_web_browser.h"
#include "platform/win32/win32_admin_only.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_desktop_notices.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_msg_box.h"
#include "platform/win32/win32_process_starter.h"
#include "platform/win32/win32_session_power.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_tray_icon.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"
#include "shell/main_window.h"
#include "shell/texts.h"

namespace {

// The name records give the user this runs as; empty where Windows tells none.
std::string RunningUserName() {
    char name[257] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tolvane;

    // Themed standard controls (the manifest asks for the common controls
    // that draw them).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Clock clock;
    // Installed for all users, the program's folder is not its users' to
    // write: each keeps the schedule in a folder of their own.
    const std::string programFolder = Win32FileSystem().ProgramFolder();
    const std::string scheduleFolder = WindowScheduleFolder(programFolder);
    if (scheduleFolder != programFolder) CreateDirectoryA(scheduleFolder.c_str(), nullptr);
    Win32FileSystem files(scheduleFolder);
    Win32SettingsStore settings;
    Win32ProcessStarter processes;
    ExplorerWebBrowser browser(processes);
    Win32SessionPower power;
    Win32EventPump pump;
    Win32MsgBox msgBox;

    // Exit ends the program at once, from wherever the command was given
    // (inside a tick or a pause too): nothing runs after it.
    Win32MainWindow window(instance, SystemDotsPerInch(), [] { ExitProcess(0); });
    window.SetFailureLog(EventLogFailures(Win32EventLog()));
    if (!window.Handle()) {
        // Nothing else could tell it: there is no window to own a message.
        const std::string text =
            "The window could not be made: " + ErrorText(window.CreationError());
        MessageBoxA(nullptr, text.c_str(), std::string(texts::kMessageTitle).c_str(), MB_OK);
        return 1;
    }
    pump.SetDialogWindow(window.Handle());
    msgBox.SetOwner(window.Handle());
    // Asks through the same box, owned by the window.
    Win32DesktopNotices notices(window, msgBox);
    Win32TrayIcon tray(window);

    MainWindowPlatform platform{window, pump,  msgBox, settings, processes, browser,
                                tray,   clock, files,  power,    &notices};
    // The machine's schedule is shown when only administrators can change it,
    // as its service judges; the window's own account counts as anybody's.
    RealSecurityReader security;
    Win32AdminOnlyCheck adminOnly(security, "");
    const std::string machineFolder = MachineFolder();
    if (!machineFolder.empty()) {
        const std::string schedule =
            JoinPath(machineFolder, '\\', std::string(kMachineScheduleName));
        const std::string state =
            JoinPath(machineFolder, '\\', std::string(kMachineStateFolderName));
        platform.machine =
            MainWindowPlatform::Machine{{schedule, state, &adminOnly}, ReadMachineNoticeMinutes()};
    }
    Win32EventLog journal;
    platform.journal = &journal;
    platform.userName = RunningUserName();
    MainWindow form(platform);
    window.Attach(form);
    const std::string commandLine = CommandLineArguments(GetCommandLineA());
    window.Run("start-up", [&](MainWindow& core) { core.OnLoad(commandLine); });
    // Edits made elsewhere show at once; the timer's look is the fallback. A
    // schedule kept as a link changes in its target's folder.
    const std::string schedule = files.LinkTarget(form.SchedulePath());
    const std::string folder = FolderOf(schedule, "\\/");
    if (!folder.empty()) window.WatchFolder(folder);
    return pump.Run();
}
