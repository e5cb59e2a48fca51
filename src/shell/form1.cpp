#include "shell/form1.h"

#include <algorithm>

#include "power/pause.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/text.h"
#include "shell/caption_fit.h"
#include "shell/command_line.h"
#include "shell/stored_values.h"
#include "shell/texts.h"

namespace tolvane {

namespace {

const std::string kApplication(texts::kApplicationName);

// The action options in the order Add It asks them.
struct ActionOption {
    ControlId option;
    ActionWord action;
};
constexpr ActionOption kActionOptions[] = {
    {ControlId::Option1, ActionWord::Reboot},
    {ControlId::Option2, ActionWord::LogOff},
    {ControlId::Option3, ActionWord::ShutDown},
    {ControlId::Option4, ActionWord::LockWorkStation},
};

}  // namespace

Form1::Form1(const Form1Platform& platform)
    : platform_(platform),
      file_(list_, platform_.files, platform_.pump),
      power_(platform_.session),
      scheduler_(list_, file_, power_, platform_.clock, platform_.pump) {
    list_.SetObserver(&platform_.view);
    // A refused reboot or a lock nobody carried out would otherwise pass
    // for done.
    platform_.session.TellFailures([this](const std::string& what) {
        Message(texts::RequestFailed(what));
    });
}

Form1::~Form1() {
    platform_.session.TellFailures({});
    list_.SetObserver(nullptr);
}

// ---- Start-up ----

void Form1::Form_Load(const std::string& commandLine) {
    const CommandLineRequest request = ParseCommandLine(commandLine);
    if (request.force) SetCheck2(1);
    switch (request.action) {
        case CommandLineAction::Reboot:
            Command8_Click();
            break;
        case CommandLineAction::ShutDown:
            Command9_Click();
            break;
        case CommandLineAction::Lock:
            Command4_Click();
            break;
        case CommandLineAction::LogOff:
            Command5_Click();
            break;
        case CommandLineAction::Invalid:
            Message(texts::InvalidOption());
            break;
        case CommandLineAction::None:
            break;
    }

    SetCombos();
    // Held while the window lives: the service leaves the schedule to it.
    std::string reason;
    windowLock_ = file_.Store().HoldWindowLock(reason);
    const std::string unreadable = file_.GetRebootData();
    if (!unreadable.empty()) Message(texts::ScheduleUnreadable(file_.Path(), unreadable));
    GetSettingsFromRegistry();

    std::string folder = platform_.files.ProgramFolder();
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    Save("Location", "Path", folder);

    if (!hiddenToTray_) platform_.view.ShowWindow();
}

// ---- The schedule editor ----

void Form1::SetCombos() {
    auto& view = platform_.view;
    // The long lists let other events in between items.
    for (const ControlId combo : {ControlId::Combo1, ControlId::Combo2}) {
        for (const std::string& item : ComboItems(combo)) {
            view.AddComboItem(combo, item);
            platform_.pump.ProcessPendingEvents();
        }
    }
    for (const ControlId combo : {ControlId::Combo3, ControlId::Combo4}) {
        for (const std::string& item : ComboItems(combo)) view.AddComboItem(combo, item);
    }
}

void Form1::Command1_Click() {
    auto& view = platform_.view;
    const auto chosen =
        std::find_if(std::begin(kActionOptions), std::end(kActionOptions),
                     [&](const ActionOption& o) { return view.OptionValue(o.option); });
    if (chosen == std::end(kActionOptions)) {
        Message(std::string(texts::kNoActionChosen));
        return;
    }

    ScheduleEntry entry;
    entry.Action = chosen->action;
    entry.Force = view.CheckValue(ControlId::Check1) == 1;
    if (view.OptionValue(ControlId::Option5)) {
        entry.Repeat = false;
    } else if (view.OptionValue(ControlId::Option8)) {
        entry.Repeat = true;
    } else {
        Message(std::string(texts::kNoRepeatChosen));
        return;
    }
    entry.Hour = view.ComboText(ControlId::Combo1);
    entry.Minute = view.ComboText(ControlId::Combo2);
    entry.AmPm = view.ComboText(ControlId::Combo3);
    entry.Day = view.ComboText(ControlId::Combo4);

    const WriteResult saved = file_.AddLine(ComposeScheduleLine(entry));
    Message(
        texts::AddedConfirmation(entry.Hour, entry.Minute, entry.AmPm,
                                 ComposeActionAndRepeat(entry.Action, entry.Force, entry.Repeat)));
    view.SetComboText(ControlId::Combo1, "");
    view.SetComboText(ControlId::Combo2, "");
    view.SetComboText(ControlId::Combo3, "");
    if (!saved) Message(texts::ScheduleNotSaved(file_.Path(), saved.reason));
}

void Form1::Command2_Click() {
    const int selected = list_.Selected();
    if (selected < 0) {
        Message(std::string(texts::kNothingSelected));
        return;
    }
    const WriteResult saved = file_.RemoveLine(selected);
    if (!saved) Message(texts::ScheduleNotSaved(file_.Path(), saved.reason));
}

// ---- The immediate-action panel ----

void Form1::ActNow(void (PowerOperations::*plain)(), void (PowerOperations::*forced)()) {
    // Only a box that is exactly checked forces; a grayed one does not.
    (power_.*(platform_.view.CheckValue(ControlId::Check2) == 1 ? forced : plain))();
}

void Form1::Command8_Click() {
    ActNow(&PowerOperations::RebootSystem, &PowerOperations::RebootSystemForced);
}

void Form1::Command4_Click() {
    power_.LockWorkStation();
}

void Form1::Command5_Click() {
    ActNow(&PowerOperations::LogOffUser, &PowerOperations::LogOffUserForced);
}

void Form1::Command9_Click() {
    ActNow(&PowerOperations::ShutDownSystem, &PowerOperations::ShutDownSystemForced);
}

void Form1::Check2_Click() {
    Save("options", "c2", std::to_string(platform_.view.CheckValue(ControlId::Check2)));
}

void Form1::SetCheck2(int value) {
    if (platform_.view.CheckValue(ControlId::Check2) == value) return;
    platform_.view.SetCheckValue(ControlId::Check2, value);
    Check2_Click();
}

// ---- The persisted options ----

void Form1::GetSettingsFromRegistry() {
    auto& view = platform_.view;
    auto stored = [&](const char* key, bool absent) {
        return StoredBoolean(Setting("Runit", key, BooleanText(absent))).value_or(absent);
    };
    view.SetMenuChecked(MenuId::MinizeonStartup, stored("RunMinimized", false));
    view.SetMenuChecked(MenuId::ShowRebootScheduleM, stored("ShowRebootScheduleM", true));
    view.SetMenuChecked(MenuId::ShowShowRebootNowM, stored("ShowShowRebootNowM", true));
    SetCheck2(StoredCheckValue(Setting("options", "c2", "0")).value_or(0));
    notices_.SetMinutes(StoredNoticeMinutes(
        Setting("Options", "NoticeMinutes", std::to_string(NoticeTimer::kDefaultMinutes))));
    if (view.MenuChecked(MenuId::MinizeonStartup)) Minmizeapplication();
}

void Form1::ToggleCheckMark(MenuId item, const char* key) {
    auto& view = platform_.view;
    view.SetMenuChecked(item, !view.MenuChecked(item));
    Save("Runit", key, BooleanText(view.MenuChecked(item)));
}

void Form1::MinizeonStartup_Click() {
    ToggleCheckMark(MenuId::MinizeonStartup, "RunMinimized");
}

void Form1::ShowRebootScheduleM_Click() {
    ToggleCheckMark(MenuId::ShowRebootScheduleM, "ShowRebootScheduleM");
}

void Form1::ShowShowRebootNowM_Click() {
    ToggleCheckMark(MenuId::ShowShowRebootNowM, "ShowShowRebootNowM");
}

// ---- The notification area ----

void Form1::Minmizeapplication() {
    platform_.view.HideWindow();
    hiddenToTray_ = true;
    // Without an icon there would be no way back to a hidden window.
    if (!AddIconTray() && !iconAdded_) {
        hiddenToTray_ = false;
        platform_.view.ShowWindow();
    }
}

NotifyIconRecord Form1::IconRecord() {
    NotifyIconRecord record;
    record.hWnd = platform_.view.WindowHandle();
    record.uID = static_cast<std::uint32_t>(platform_.view.IconHandle());
    record.uFlags = kNifMessage | kNifIcon | kNifTip;
    record.uCallbackMessage = kWmMouseMove;
    record.hIcon = platform_.view.IconHandle();
    record.szTip.fill(' ');
    const auto tip = texts::kTrayTip;
    std::copy(tip.begin(), tip.end(), record.szTip.begin());
    record.szTip[tip.size()] = '\0';
    return record;
}

bool Form1::AddIconTray() {
    const bool added = platform_.tray.Add(IconRecord());
    iconAdded_ = iconAdded_ || added;
    return added;
}

void Form1::Form_MouseMove(std::uint32_t mouseMessage) {
    if (mouseMessage == kWmLButtonDown || mouseMessage == kWmRButtonDown) {
        hiddenToTray_ = false;
        platform_.view.ShowWindow();
    }
}

void Form1::TaskbarCreated() {
    if (hiddenToTray_) AddIconTray();
}

void Form1::ExitM_Click() {
    platform_.view.EndProgram();
}

// ---- Service installation ----

void Form1::SetServiceM_Click() {
    const bool installed = StoredServiceInstalled(Setting("Options", "Service", "0"));
    const auto question = installed ? texts::kRemoveQuestion : texts::kInstallQuestion;
    const MsgBoxResult answer = platform_.msgBox.Show(
        std::string(question), std::string(texts::kServiceQuestionTitle), MsgBoxStyle::YesNo);
    if (answer != MsgBoxResult::Yes) return;

    const std::string folder(text::TrimSpaces(Setting("Location", "Path", "")));
    const std::string script =
        JoinPath(folder, platform_.files.PathSeparator(),
                 installed ? platform_.removeScript : platform_.installScript);
    // Quoted whole, so a folder with spaces cannot start another program; a
    // quote inside the path could break out of the quoting, so none is run.
    std::string reason = "The path holds a quotation mark.";
    // Only a script that did its work changes the stored state: one that
    // failed, or whose request for rights was cancelled, leaves it.
    const std::weak_ptr<int> alive = alive_;
    const auto ended = [this, alive, installed, script](bool succeeded, const std::string& how) {
        if (alive.expired()) return;
        if (!succeeded) {
            Message(texts::ServiceScriptFailed(script, how));
            return;
        }
        Save("Options", "Service", installed ? "0" : "1");
        Message(installed ? std::string(texts::kRemoved) : texts::Installed());
    };
    const bool started = script.find('"') == std::string::npos &&
                         platform_.processes.Start("\"" + script + "\"", kNormalFocus, reason,
                                                   ended);
    if (!started) {
        Message(texts::CouldNotStart(script, reason));
        return;
    }
    PauseSeconds(1, platform_.clock, platform_.pump);
}

// ---- About and Help ----

void Form1::AboutMenu_Click() {
    platform_.msgBox.Show(texts::AboutText(), std::string(texts::kAboutTitle), MsgBoxStyle::OkOnly);
}

void Form1::HelpMMMMM_Click() {
    const std::weak_ptr<int> alive = alive_;
    const auto failedLater = [this, alive] {
        if (!alive.expired()) Message(texts::CouldNotOpenHelp());
    };
    if (!platform_.browser.OpenWebAddress(std::string(texts::kHelpPageAddress), failedLater)) {
        Message(texts::CouldNotOpenHelp());
    }
}

// ---- Helpers ----

void Form1::Message(const std::string& text) {
    platform_.msgBox.Show(text, std::string(texts::kMessageTitle), MsgBoxStyle::OkOnly);
}

std::string Form1::Setting(const char* section, const char* key, const std::string& defaultValue) {
    return platform_.settings.GetSetting(kApplication, section, key, defaultValue);
}

void Form1::Save(const char* section, const char* key, const std::string& value) {
    platform_.settings.SaveSetting(kApplication, section, key, value);
}

}  // namespace tolvane
