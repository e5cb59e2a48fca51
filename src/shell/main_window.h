#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/action_journal.h"

#include "platform/clock.h"
#include "platform/desktop_notices.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/msg_box.h"
#include "platform/process_starter.h"
#include "platform/settings_store.h"
#include "platform/system_power.h"
#include "platform/tray_icon.h"
#include "shell/view.h"
#include "platform/web_browser.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/schedule_matching.h"
#include "schedule/scheduler.h"
#include "shell/notice_timer.h"
#include "shell/settings_keys.h"

namespace tolvane {

// What the window works with on the platform it runs on.
struct MainWindowPlatform {
    MainWindowView& view;
    EventPump& pump;
    MsgBox& msgBox;
    SettingsStore& settings;
    ProcessStarter& processes;
    WebBrowser& browser;
    TrayIcon& tray;
    Clock& clock;
    FileSystem& files;
    SystemPower& power;
    // Notices before scheduled actions; none where the desktop has no way.
    DesktopNotices* notices = nullptr;
    // The two files beside the program that install and remove the service.
    std::string installScript = "installs.bat";
    std::string removeScript = "removeit.bat";
    // The help page as installed with the program, read without a network
    // where it is there; empty where the program installs none.
    std::string installedHelpPage{};
    // Where every action the window carries out, fails or skips is recorded,
    // and the user's name those records give; no records without one.
    ActionJournal* journal = nullptr;
    std::string userName{};
    // The machine's schedule, where there is one to look at: the window lists
    // its lines and gives their notices; the machine's service runs them.
    struct Machine {
        MachineScheduleSource source;
        int noticeMinutes = NoticeTimer::kDefaultMinutes;
    };
    std::optional<Machine> machine{};
};

// The main window's behaviour: every handler and procedure of the window,
// written once. The front ends draw the controls the window table describes
// and forward their events here.
class MainWindow {
  public:
    explicit MainWindow(const MainWindowPlatform& platform);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    ScheduleList& List() { return list_; }
    // The machine's lines as the window lists them.
    const std::vector<std::string>& ShownMachineLines() const { return machineLines_; }

    // Start-up, once, before the window is first shown. `commandLine` is the
    // text after the program's name.
    void OnLoad(const std::string& commandLine);

    // Every 45 seconds from the window's creation. The file is looked at
    // first, for a change no watcher reported.
    void OnTimerTick();
    // The front end's watcher saw the schedule file change on disk.
    void OnScheduleFileChanged() { file_.Reload(); }
    std::string SchedulePath() { return file_.Path(); }

    // The schedule editor.
    void FillTimeChoices();
    void OnAddToSchedule();
    void OnRemoveFromSchedule();
    // The user selected a line of the schedule list (-1: none).
    void OnScheduleLineSelected(int index) { list_.Select(index); }

    // The immediate-action panel.
    void OnRebootNow();
    void OnLockNow();
    void OnLogOffNow();
    void OnShutDownNow();
    void OnForceNowChanged();  // after every change of the Force box
    // Sets the Force box from code; a change runs OnForceNowChanged as a click does.
    void SetForceNow(int value);

    // The persisted options.
    void LoadOptions();
    void OnToggleMinimizeOnStart();
    void OnToggleShowSchedule();
    void OnToggleShowNowPanel();

    // The notification area.
    void OnHideToTray();
    // The user asked for the window back through the icon.
    void OnTrayIconActivated();
    // A request to close the window; a value other than 0 refuses it.
    void OnCloseRequested(int& cancel) { cancel = 1; }
    void OnExit();

    void OnSetService();
    void OnAbout();
    void OnHelp();

  private:
    bool ShowTrayIcon();
    void BringBackFromTray();
    void ActNow(ActionKind what);
    void ShowMachineLines();
    void Note(std::string_view result, const std::string& message, const std::string& line,
              bool error = false);
    void SayRequestFailed(const std::string& what);
    void ToggleCheckMark(MenuId item, SettingKey key);
    void Message(const std::string& text);
    std::string Setting(SettingKey key, const std::string& defaultValue);
    void Save(SettingKey key, const std::string& value);

    MainWindowPlatform platform_;
    ScheduleList list_;
    ScheduleFile file_;
    Scheduler scheduler_;
    NoticeTimer notices_{list_, file_};
    std::unique_ptr<FileLock> windowLock_;
    std::vector<std::string> machineLines_;
    // Gone with the window: what a program that ends later reports is then
    // not shown.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool iconAdded_ = false;
    bool hiddenToTray_ = false;
};

}  // namespace tolvane
