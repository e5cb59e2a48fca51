#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/desktop_notices.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/msg_box.h"
#include "platform/process_starter.h"
#include "platform/session_services.h"
#include "platform/settings_store.h"
#include "platform/tray_icon.h"
#include "platform/view.h"
#include "platform/web_browser.h"
#include "power/power_operations.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/scheduler.h"
#include "shell/notice_timer.h"

namespace tolvane {

// What the window works with on the platform it runs on.
struct Form1Platform {
    Form1View& view;
    EventPump& pump;
    MsgBox& msgBox;
    SettingsStore& settings;
    ProcessStarter& processes;
    WebBrowser& browser;
    TrayIcon& tray;
    Clock& clock;
    FileSystem& files;
    SessionServices& session;
    // Notices before scheduled actions; none where the desktop has no way.
    DesktopNotices* notices = nullptr;
    // The two files beside the program that install and remove the service.
    std::string installScript = "installs.bat";
    std::string removeScript = "removeit.bat";
};

// The main window's behaviour: every handler and procedure of the window,
// written once. The front ends draw the controls the window table describes
// and forward their events here.
class Form1 {
  public:
    explicit Form1(const Form1Platform& platform);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    ScheduleList& List() { return list_; }

    // Start-up, once, before the window is first shown. `commandLine` is the
    // text after the program's name.
    void Form_Load(const std::string& commandLine);

    // Timer1, every 45 seconds from the window's creation. The file is
    // looked at first, for a change no watcher reported.
    void Timer1_Timer() {
        file_.Reload();
        if (platform_.notices) notices_.Tick(platform_.clock.Now(), platform_.notices);
        scheduler_.Timer1_Timer();
    }
    // The front end's watcher saw the schedule file change on disk.
    void ScheduleFileChanged() { file_.Reload(); }
    std::string SchedulePath() { return file_.Path(); }

    // The schedule editor.
    void SetCombos();
    void Command1_Click();  // Add It
    void Command2_Click();  // Remove It
    // The user selected a line of List1 (-1: none).
    void List1_Click(int index) { list_.Select(index); }

    // The immediate-action panel.
    void Command8_Click();  // Reboot Now
    void Command4_Click();  // Lock WorkStation
    void Command5_Click();  // Log Off Now
    void Command9_Click();  // ShutDown Now
    void Check2_Click();    // after every change of the Force box

    // The persisted options.
    void GetSettingsFromRegistry();
    void MinizeonStartup_Click();
    void ShowRebootScheduleM_Click();
    void ShowShowRebootNowM_Click();

    // The notification area.
    void MinimizeMenu_Click() { Minmizeapplication(); }
    void Command10_Click() { MinimizeMenu_Click(); }
    void Minmizeapplication();
    bool AddIconTray();
    NotifyIconRecord IconRecord();
    // A notification from the icon: the mouse message that happened on it.
    void Form_MouseMove(std::uint32_t mouseMessage);
    // The taskbar was restarted and forgot the icon.
    void TaskbarCreated();
    // A request to close the window; a value other than 0 refuses it.
    void Form_Unload(int& cancel) { cancel = 1; }
    void ExitM_Click();
    void Command15_Click() { ExitM_Click(); }

    // Service installation.
    void SetServiceM_Click();

    // About and Help.
    void AboutMenu_Click();
    void AboutM_Click() { AboutMenu_Click(); }
    void Command14_Click() { AboutMenu_Click(); }
    void HelpMMMMM_Click();
    void Command11_Click() { HelpMMMMM_Click(); }

    // Sets the Force box from code; a change runs Check2_Click as a click does.
    void SetCheck2(int value);

  private:
    void ActNow(void (PowerOperations::*plain)(), void (PowerOperations::*forced)());
    void ToggleCheckMark(MenuId item, const char* key);
    void SaveSchedule();
    void Message(const std::string& text);
    std::string Setting(const char* section, const char* key, const std::string& defaultValue);
    void Save(const char* section, const char* key, const std::string& value);

    Form1Platform platform_;
    ScheduleList list_;
    ScheduleFile file_;
    PowerOperations power_;
    Scheduler scheduler_;
    NoticeTimer notices_{list_, file_};
    std::unique_ptr<FileLock> windowLock_;
    // Gone with the window: what a program that ends later reports is then
    // not shown.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool iconAdded_ = false;
    bool hiddenToTray_ = false;
};

}  // namespace tolvane
