#include "platform/linux/linux_program.h"

#include <pwd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/linux/journal_service_log.h"
#include "platform/linux/logind_session_power.h"
#include "platform/linux/machine_settings.h"
#include "platform/linux/posix_admin_only.h"
#include "platform/linux/xdg_folders.h"
#include "schedule/log_text.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"

namespace tolvane {

namespace {

void ToStandardError(const std::string& text) {
    const std::string line = EscapeForLog(text, LogBytes::Utf8);
    // stdio rather than iostream: the streams' start-up touches much of
    // libstdc++, which this program otherwise needs little of.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

[[noreturn]] void EndAtOnce() {
    // Everything worth keeping was written when it changed.
    std::fflush(nullptr);
    std::_Exit(0);
}

// logind and the desktop's services, reached over D-Bus from the first
// request on: opening the system bus costs the start a round trip to its
// daemon, and most starts never ask for anything.
class PowerOnFirstUse final : public SystemPower {
  public:
    bool Reboot(bool force, std::string& reason) override { return Real().Reboot(force, reason); }
    bool ShutDown(bool force, std::string& reason) override {
        return Real().ShutDown(force, reason);
    }
    bool LogOff(bool force, std::string& reason) override { return Real().LogOff(force, reason); }
    bool Lock(std::string& reason) override { return Real().Lock(reason); }
    void TellFailures(Failed told) override {
        told_ = told;
        if (real_) real_->TellFailures(std::move(told));
    }

  private:
    SystemPower& Real() {
        if (!real_) {
            real_ = std::make_unique<LogindSessionPower>(
                QDBusConnection::systemBus(), QDBusConnection::sessionBus(), ToStandardError);
            real_->TellFailures(told_);
        }
        return *real_;
    }

    Failed told_;
    std::unique_ptr<LogindSessionPower> real_;
};

// The desktop's notification service, listened to from the first notice on:
// its signals' subscriptions and the service's owner are round trips to the
// session bus that the start can do without.
class NoticesOnFirstUse final : public DesktopNotices {
  public:
    bool Show(const DesktopNotice& notice, std::function<void()> skip) override {
        if (!real_) real_ = std::make_unique<DBusDesktopNotices>(QDBusConnection::sessionBus());
        return real_->Show(notice, std::move(skip));
    }

  private:
    std::unique_ptr<DBusDesktopNotices> real_;
};

// The name records give the user the program runs as; the number where the
// user database has no name for it.
std::string RunningUserName() {
    const uid_t uid = ::getuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name) {
        return found->pw_name;
    }
    return std::to_string(uid);
}

}  // namespace

LinuxProgramSetup StandardSetup() {
    LinuxProgramSetup setup;
    setup.programFolder = QCoreApplication::applicationDirPath().toStdString();
    setup.scheduleFolder = XdgBaseFolder("XDG_DATA_HOME", ".local/share") + "/tolvane";
    setup.settingsFolder = XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/tolvane";
    setup.machineSchedule = std::string(kLinuxMachineSchedule);
    setup.machineState = std::string(kLinuxMachineState);
    setup.machineSettings = std::string(kLinuxMachineConfig);
    return setup;
}

LinuxProgram::LinuxProgram(LinuxProgramSetup setup)
    : files_(setup.programFolder, setup.scheduleFolder) {
    files_.CreateOnFirstWrite(setup.settingsFolder);
    settings_ = std::make_unique<IniSettingsStore>(setup.settingsFolder, files_, ToStandardError);

    SystemPower* power = setup.power;
    if (!power) {
        ownPower_ = std::make_unique<PowerOnFirstUse>();
        power = ownPower_.get();
    }

    std::function<void()> endProgram = setup.endProgram;
    if (!endProgram) endProgram = EndAtOnce;
    window_ = std::make_unique<QtMainWindow>(std::move(endProgram));
    msgBox_ = std::make_unique<QtMsgBox>(window_.get());
    // The window's icon, decoded once for both.
    tray_ = std::make_unique<QtTrayIcon>(window_->windowIcon(), [this] {
        window_->Run("the tray icon", [](MainWindow& form) { form.OnTrayIconActivated(); });
    });

    MainWindowPlatform platform{*window_, pump_,  *msgBox_, *settings_, processes_,
                                browser_, *tray_, clock_,   files_,     *power};
    platform.notices = setup.notices;
    if (!setup.power && !platform.notices) {
        notices_ = std::make_unique<NoticesOnFirstUse>();
        platform.notices = notices_.get();
    }
    if (!setup.machineSchedule.empty()) {
        AdminOnlyCheck* adminOnly = setup.adminOnly;
        if (!adminOnly) {
            adminOnly_ = std::make_unique<PosixAdminOnlyCheck>();
            adminOnly = adminOnly_.get();
        }
        const int minutes = setup.machineSettings.empty()
                                ? NoticeTimer::kDefaultMinutes
                                : MachineNoticeMinutes(files_, setup.machineSettings);
        platform.machine = MainWindowPlatform::Machine{
            {setup.machineSchedule, setup.machineState, adminOnly}, minutes};
    }
    platform.journal = setup.journal;
    if (!setup.power && !platform.journal) {
        journal_ = std::make_unique<JournalServiceLog>();
        platform.journal = journal_.get();
    }
    platform.userName = setup.userName.empty() ? RunningUserName() : setup.userName;
    platform.installScript = "installs.sh";
    platform.removeScript = "removeit.sh";
    // Installed, the program lives in <prefix>/lib/tolvane and its page in
    // <prefix>/share/doc/tolvane.
    platform.installedHelpPage =
        FolderOf(FolderOf(files_.ProgramFolder(), "/"), "/") + "/share/doc/tolvane/tolvane.htm";
    form_ = std::make_unique<MainWindow>(platform);
    window_->Attach(form_.get());
}

void LinuxProgram::Start(const std::string& commandLine) {
    window_->Run("start-up", [&](MainWindow& form) { form.OnLoad(commandLine); });
    const auto changed = [this] {
        window_->Run("the schedule's watch",
                     [](MainWindow& form) { form.OnScheduleFileChanged(); });
        WatchSchedule();
    };
    QObject::connect(&scheduleWatcher_, &QFileSystemWatcher::fileChanged, &scheduleWatcher_,
                     changed);
    QObject::connect(&scheduleWatcher_, &QFileSystemWatcher::directoryChanged, &scheduleWatcher_,
                     changed);
    WatchSchedule();
}

void LinuxProgram::WatchSchedule() {
    const std::string path = form_->SchedulePath();
    QStringList paths;
    for (const std::string& file : {path, files_.LinkTarget(path)}) {
        const QFileInfo info(QString::fromStdString(file));
        paths << info.absoluteFilePath();
        // A folder not made yet: its nearest parent tells when it comes.
        QString folder = info.absolutePath();
        while (!QFileInfo::exists(folder) && folder != "/")
            folder = QFileInfo(folder).absolutePath();
        paths << folder;
    }
    paths.removeDuplicates();
    const QStringList watched = scheduleWatcher_.files() + scheduleWatcher_.directories();
    paths.removeIf([&](const QString& p) { return watched.contains(p) || !QFileInfo::exists(p); });
    if (!paths.isEmpty()) scheduleWatcher_.addPaths(paths);
}

LinuxProgram::~LinuxProgram() {
    window_->Attach(nullptr);
}

}  // namespace tolvane
