#include "shell/main_window.h"

#include <algorithm>

#include "power/action.h"
#include "power/pause.h"
#include "schedule/action_records.h"
#include "schedule/machine_schedule.h"
#include "schedule/paths.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/text.h"
#include "shell/caption_fit.h"
#include "shell/command_line.h"
#include "shell/settings_keys.h"
#include "shell/stored_values.h"
#include "shell/texts.h"

namespace tolvane {

namespace {

const std::string kApplication(texts::kApplicationName);

// The action options in the order Add It asks them.
struct ActionOption {
    ControlId option;
    ActionKind action;
};
constexpr ActionOption kActionOptions[] = {
    {ControlId::ScheduleReboot, ActionKind::Reboot},
    {ControlId::ScheduleLogOff, ActionKind::LogOff},
    {ControlId::ScheduleShutDown, ActionKind::ShutDown},
    {ControlId::ScheduleLock, ActionKind::Lock},
};

}  // namespace

MainWindow::MainWindow(const MainWindowPlatform& platform)
    : platform_(platform),
      file_(list_, platform_.files, platform_.pump),
      scheduler_(list_, file_, platform_.power, platform_.clock, platform_.pump,
                 [this](const std::string& reason) { SayRequestFailed(reason); }) {
    list_.SetObserver(&platform_.view);
    // A refused reboot or a lock nobody carried out would otherwise pass
    // for done.
    platform_.power.TellFailures([this](const std::string& what) {
        Note(kRecordFailed, "A requested action failed: " + what, "", true);
        SayRequestFailed(what);
    });
    scheduler_.RecordTo(platform_.journal, platform_.userName);
    notices_.WhenSkipped([this](const std::string& line) {
        Note(kRecordSkipped, "Not run, its user skipped it from the notice: " + line, line);
    });
    if (platform_.machine) {
        notices_.SetMachineMinutes(platform_.machine->noticeMinutes);
        scheduler_.GiveWayTo([this](const std::vector<WallMinute>& minutes) {
            return MachineActingMinutes(platform_.files, platform_.machine->source, minutes);
        });
    }
}

MainWindow::~MainWindow() {
    platform_.power.TellFailures({});
    list_.SetObserver(nullptr);
}

// ---- Start-up ----

void MainWindow::OnLoad(const std::string& commandLine) {
    const CommandLineRequest request = ParseCommandLine(commandLine);
    if (request.force) SetForceNow(1);
    if (request.invalid) {
        Message(texts::InvalidOption());
    } else if (request.what) {
        ActNow(*request.what);
    }

    FillTimeChoices();
    // Held while the window lives: the service leaves the schedule to it.
    std::string reason;
    windowLock_ = file_.Store().HoldWindowLock(reason);
    const std::string unreadable = file_.GetRebootData();
    if (!unreadable.empty()) Message(texts::ScheduleUnreadable(file_.Path(), unreadable));
    ShowMachineLines();
    LoadOptions();

    std::string folder = platform_.files.ProgramFolder();
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    Save(settings_keys::kProgramFolder, folder);

    if (!hiddenToTray_) platform_.view.ShowWindow();
}

// ---- The timer ----

void MainWindow::OnTimerTick() {
    // Edits the file refused earlier are tried again; the user was told
    // when they were made.
    file_.SavePending();
    file_.Reload();
    // No watcher sees the machine's file: it is looked at with every tick.
    ShowMachineLines();
    if (platform_.notices) notices_.Tick(platform_.clock.Now(), platform_.notices, machineLines_);
    scheduler_.RunDueLines();
}

// Only a schedule that is the administrators' alone is shown: what others can
// change the machine's service refuses and never runs.
void MainWindow::ShowMachineLines() {
    if (!platform_.machine || !platform_.machine->source.adminOnly) return;
    const MachineScheduleSource& source = platform_.machine->source;
    MachineLines read = ReadMachineLines(platform_.files, source.schedulePath, source.stateFolder,
                                         *source.adminOnly);
    if (read.lines == machineLines_) return;
    machineLines_ = std::move(read.lines);
    platform_.view.SetShownLines(ControlId::MachineLines, machineLines_);
}

// ---- The schedule editor ----

void MainWindow::FillTimeChoices() {
    auto& view = platform_.view;
    // The long lists let other events in between items.
    for (const ControlId combo : {ControlId::Hour, ControlId::Minute}) {
        for (const std::string& item : ComboItems(combo)) {
            view.AddComboItem(combo, item);
            platform_.pump.ProcessPendingEvents();
        }
    }
    for (const ControlId combo : {ControlId::AmPm, ControlId::Day}) {
        for (const std::string& item : ComboItems(combo)) view.AddComboItem(combo, item);
    }
}

void MainWindow::OnAddToSchedule() {
    auto& view = platform_.view;
    const auto chosen =
        std::find_if(std::begin(kActionOptions), std::end(kActionOptions),
                     [&](const ActionOption& o) { return view.OptionValue(o.option); });
    if (chosen == std::end(kActionOptions)) {
        Message(std::string(texts::kNoActionChosen));
        return;
    }

    ScheduleEntry entry;
    entry.Act = {chosen->action, view.CheckValue(ControlId::ScheduleForce) == 1};
    if (view.OptionValue(ControlId::OnlyOnce)) {
        entry.Repeat = false;
    } else if (view.OptionValue(ControlId::Repeat)) {
        entry.Repeat = true;
    } else {
        Message(std::string(texts::kNoRepeatChosen));
        return;
    }
    entry.Hour = view.ComboText(ControlId::Hour);
    entry.Minute = view.ComboText(ControlId::Minute);
    entry.AmPm = view.ComboText(ControlId::AmPm);
    entry.Day = view.ComboText(ControlId::Day);

    const WriteResult saved = file_.AddLine(ComposeScheduleLine(entry));
    Message(texts::AddedConfirmation(entry.Hour, entry.Minute, entry.AmPm,
                                     ComposeActionAndRepeat(entry.Act, entry.Repeat)));
    view.SetComboText(ControlId::Hour, "");
    view.SetComboText(ControlId::Minute, "");
    view.SetComboText(ControlId::AmPm, "");
    if (!saved) Message(texts::ScheduleNotSaved(file_.Path(), saved.reason));
}

void MainWindow::OnRemoveFromSchedule() {
    const int selected = list_.Selected();
    if (selected < 0) {
        Message(std::string(texts::kNothingSelected));
        return;
    }
    const WriteResult saved = file_.RemoveLine(selected);
    if (!saved) Message(texts::ScheduleNotSaved(file_.Path(), saved.reason));
}

// ---- The immediate-action panel ----

void MainWindow::ActNow(ActionKind what) {
    // Only a box that is exactly checked forces; a grayed one does not.
    const Action action = MakeAction(what, platform_.view.CheckValue(ControlId::ForceNow) == 1);
    std::string reason;
    const std::string named = LoggedName(action);
    if (RunAction(platform_.power, action, reason)) {
        Note(kRecordDone, "Requested " + named + " now, from the window", "");
        return;
    }
    Note(kRecordFailed, "The " + named + " asked for now, from the window, failed: " + reason, "",
         true);
    SayRequestFailed(reason);
}

void MainWindow::SayRequestFailed(const std::string& what) {
    Message(texts::RequestFailed(what));
}

void MainWindow::OnRebootNow() {
    ActNow(ActionKind::Reboot);
}

void MainWindow::OnLockNow() {
    ActNow(ActionKind::Lock);
}

void MainWindow::OnLogOffNow() {
    ActNow(ActionKind::LogOff);
}

void MainWindow::OnShutDownNow() {
    ActNow(ActionKind::ShutDown);
}

void MainWindow::OnForceNowChanged() {
    Save(settings_keys::kForceNow, std::to_string(platform_.view.CheckValue(ControlId::ForceNow)));
}

void MainWindow::SetForceNow(int value) {
    if (platform_.view.CheckValue(ControlId::ForceNow) == value) return;
    platform_.view.SetCheckValue(ControlId::ForceNow, value);
    OnForceNowChanged();
}

// ---- The persisted options ----

void MainWindow::LoadOptions() {
    auto& view = platform_.view;
    auto stored = [&](SettingKey key, bool absent) {
        return StoredBoolean(Setting(key, BooleanText(absent))).value_or(absent);
    };
    view.SetMenuChecked(MenuId::MinimizeOnStart, stored(settings_keys::kRunMinimized, false));
    view.SetMenuChecked(MenuId::ShowSchedule, stored(settings_keys::kShowSchedule, true));
    view.SetMenuChecked(MenuId::ShowNowPanel, stored(settings_keys::kShowNowPanel, true));
    SetForceNow(StoredCheckValue(Setting(settings_keys::kForceNow, "0")).value_or(0));
    notices_.SetMinutes(StoredNoticeMinutes(
        Setting(settings_keys::kNoticeMinutes, std::to_string(NoticeTimer::kDefaultMinutes))));
    if (view.MenuChecked(MenuId::MinimizeOnStart)) OnHideToTray();
}

void MainWindow::ToggleCheckMark(MenuId item, SettingKey key) {
    auto& view = platform_.view;
    view.SetMenuChecked(item, !view.MenuChecked(item));
    Save(key, BooleanText(view.MenuChecked(item)));
}

void MainWindow::OnToggleMinimizeOnStart() {
    ToggleCheckMark(MenuId::MinimizeOnStart, settings_keys::kRunMinimized);
}

void MainWindow::OnToggleShowSchedule() {
    ToggleCheckMark(MenuId::ShowSchedule, settings_keys::kShowSchedule);
}

void MainWindow::OnToggleShowNowPanel() {
    ToggleCheckMark(MenuId::ShowNowPanel, settings_keys::kShowNowPanel);
}

// ---- The notification area ----

void MainWindow::OnHideToTray() {
    platform_.view.HideWindow();
    hiddenToTray_ = true;
    // Without an icon there would be no way back to a hidden window.
    if (!ShowTrayIcon() && !iconAdded_) BringBackFromTray();
}

bool MainWindow::ShowTrayIcon() {
    const bool added = platform_.tray.Show(std::string(texts::kTrayTip));
    iconAdded_ = iconAdded_ || added;
    return added;
}

void MainWindow::OnTrayIconActivated() {
    BringBackFromTray();
}

// The icon is the way back only to a hidden window: once the window is shown
// the icon stays where it is, but a notification area that loses it (its
// program restarted) does not get it again.
void MainWindow::BringBackFromTray() {
    hiddenToTray_ = false;
    platform_.tray.StopKeeping();
    platform_.view.ShowWindow();
}

void MainWindow::OnExit() {
    platform_.view.EndProgram();
}

// ---- Service installation ----

void MainWindow::OnSetService() {
    const bool installed = StoredServiceInstalled(Setting(settings_keys::kServiceInstalled, "0"));
    const auto question = installed ? texts::kRemoveQuestion : texts::kInstallQuestion;
    const MsgBox::Answer answer = platform_.msgBox.Show(
        std::string(question), std::string(texts::kServiceQuestionTitle), MsgBox::Buttons::YesNo);
    if (answer != MsgBox::Answer::Yes) return;

    const std::string folder(text::TrimSpaces(Setting(settings_keys::kProgramFolder, "")));
    const std::string script =
        JoinPath(folder, platform_.files.PathSeparator(),
                 installed ? platform_.removeScript : platform_.installScript);
    std::string reason;
    // Only a script that did its work changes the stored state: one that
    // failed, or whose request for rights was cancelled, leaves it.
    const std::weak_ptr<int> alive = alive_;
    const auto ended = [this, alive, installed, script](bool succeeded, const std::string& how,
                                                        const std::string& errorOutput) {
        if (alive.expired()) return;
        if (!succeeded) {
            Message(texts::ServiceScriptFailed(script, how, errorOutput));
            return;
        }
        Save(settings_keys::kServiceInstalled, installed ? "0" : "1");
        Message(installed ? std::string(texts::kRemoved) : texts::Installed());
    };
    // The path is one piece however odd its characters; what the platform
    // cannot start it says why, and that is shown.
    if (!platform_.processes.Start(script, {}, reason, ended)) {
        Message(texts::CouldNotStart(script, reason));
        return;
    }
    PauseSeconds(1, platform_.clock, platform_.pump);
}

// ---- About and Help ----

void MainWindow::OnAbout() {
    platform_.msgBox.Show(texts::AboutText(), std::string(texts::kAboutTitle), MsgBox::Buttons::Ok);
}

void MainWindow::OnHelp() {
    const std::weak_ptr<int> alive = alive_;
    const auto failedLater = [this, alive] {
        if (!alive.expired()) Message(texts::CouldNotOpenHelp());
    };
    // The installed copy needs no network; the maker's page is the same text.
    const std::string& installed = platform_.installedHelpPage;
    const std::string address = !installed.empty() && platform_.files.Exists(installed)
                                    ? FileAddress(installed)
                                    : std::string(texts::kHelpPageAddress);
    if (!platform_.browser.OpenWebAddress(address, failedLater)) {
        Message(texts::CouldNotOpenHelp());
    }
}

// ---- Helpers ----

void MainWindow::Note(std::string_view result, const std::string& message, const std::string& line,
                      bool error) {
    if (!platform_.journal) return;
    platform_.journal->Record(
        {message, line, file_.Path(), platform_.userName, std::string(result), error});
}

void MainWindow::Message(const std::string& text) {
    platform_.msgBox.Show(text, std::string(texts::kMessageTitle), MsgBox::Buttons::Ok);
}

std::string MainWindow::Setting(SettingKey key, const std::string& defaultValue) {
    return platform_.settings.GetSetting(kApplication, key.section, key.key, defaultValue);
}

void MainWindow::Save(SettingKey key, const std::string& value) {
    platform_.settings.SaveSetting(kApplication, key.section, key.key, value);
}

}  // namespace tolvane
