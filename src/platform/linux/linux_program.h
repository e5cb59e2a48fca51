#pragma once

#include <QFileSystemWatcher>
#include <functional>
#include <memory>
#include <string>

#include "platform/linux/dbus_desktop_notices.h"
#include "platform/linux/ini_settings_store.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/qt_event_pump.h"
#include "platform/linux/qt_main_window.h"
#include "platform/linux/qt_msg_box.h"
#include "platform/linux/qt_process_starter.h"
#include "platform/linux/qt_tray_icon.h"
#include "shell/main_window.h"

namespace tolvane {

// Where the program finds its things, and what it ends and acts with.
struct LinuxProgramSetup {
    std::string programFolder;     // the executable's folder: Location/Path, Set Service's scripts
    std::string scheduleFolder;    // rebootdata.kx; made on the first write
    std::string settingsFolder;    // the INI file; made on the first write
    SystemPower* power = nullptr;  // null: logind and the desktop, over D-Bus
    std::function<void()> endProgram;  // null: end the process at once
    // Where notices go: the session bus's notification service, or none
    // when `power` is given (a test's).
    DesktopNotices* notices = nullptr;
    // The machine's schedule beside the user's: empty paths, none. Checked
    // with `adminOnly` (null: root's alone, as the machine's service judges).
    std::string machineSchedule{};
    std::string machineState{};
    AdminOnlyCheck* adminOnly = nullptr;
    // Its notice minutes' file; empty, or no value there, the default.
    std::string machineSettings{};
    // Where the window's actions are recorded (null: the journal, or none
    // when `power` is given, a test's), and the user named in the records
    // (empty: the user the program runs as).
    ActionJournal* journal = nullptr;
    std::string userName{};
};

// The per-user folders of the freedesktop.org conventions, the folder of the
// running executable, and the machine's schedule where the system keeps it.
LinuxProgramSetup StandardSetup();

// The whole Linux program: every adapter, the window and its behaviour, wired
// together. Requires a QApplication.
class LinuxProgram {
  public:
    explicit LinuxProgram(LinuxProgramSetup setup);
    ~LinuxProgram();

    // Start-up with the command-line text: the window shows, or hides to the
    // tray, and follows the schedule file from then on.
    void Start(const std::string& commandLine);

    QtMainWindow& Window() { return *window_; }
    MainWindow& Form() { return *form_; }
    QtTrayIcon& Tray() { return *tray_; }
    IniSettingsStore& Settings() { return *settings_; }
    FileSystem& Files() { return files_; }

  private:
    // Watches the schedule file and its folder (and, for a link, the file it
    // leads to and that one's folder): a replaced file is a new one, so each
    // change sets the watch again.
    void WatchSchedule();

    PosixFileSystem files_;
    PosixClock clock_;
    std::unique_ptr<IniSettingsStore> settings_;
    QtProcessStarter processes_;
    QtWebBrowser browser_{processes_};
    QtEventPump pump_;
    std::unique_ptr<SystemPower> ownPower_;
    std::unique_ptr<DesktopNotices> notices_;
    std::unique_ptr<AdminOnlyCheck> adminOnly_;
    std::unique_ptr<ActionJournal> journal_;
    std::unique_ptr<QtMainWindow> window_;
    std::unique_ptr<QtMsgBox> msgBox_;
    std::unique_ptr<QtTrayIcon> tray_;
    std::unique_ptr<MainWindow> form_;
    QFileSystemWatcher scheduleWatcher_;
};

}  // namespace tolvane
