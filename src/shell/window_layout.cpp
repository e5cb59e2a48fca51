#include "shell/window_layout.h"

#include <algorithm>

namespace tolvane {

namespace {

using enum ControlId;
using K = ControlKind;

// clang-format off
constexpr ControlSpec kControls[] = {
//   id                   name                   kind                 caption                                       container       left   top    width  height  tab  click
    {MainMenuPanel,       "MainMenuPanel",       K::Frame,            "Main Menu",                                  std::nullopt,   120,   120,   6375,  735,    27,  nullptr},
    {HideToTrayButton,    "HideToTrayButton",    K::PushButton,       "Minimize",                                   MainMenuPanel,  120,   240,   1455,  375,    0,   &MainWindow::OnHideToTray},
    {AboutButton,         "AboutButton",         K::PushButton,       "About",                                      MainMenuPanel,  1680,  240,   1455,  375,    1,   &MainWindow::OnAbout},
    {HelpButton,          "HelpButton",          K::PushButton,       "Help",                                       MainMenuPanel,  3240,  240,   1455,  375,    2,   &MainWindow::OnHelp},
    {ExitButton,          "ExitButton",          K::PushButton,       "Exit",                                       MainMenuPanel,  4800,  240,   1455,  375,    3,   &MainWindow::OnExit},
    {SchedulePanel,       "SchedulePanel",       K::Frame,            "Reboot Schedule",                            std::nullopt,   120,   960,   4335,  4335,   22,  nullptr},
    {ScheduleReboot,      "ScheduleReboot",      K::OptionButton,     "Reboot Windows",                             SchedulePanel,  720,   360,   1815,  195,    4,   nullptr},
    {ScheduleLock,        "ScheduleLock",        K::OptionButton,     "Lock Workstation",                           SchedulePanel,  720,   600,   1815,  195,    5,   nullptr},
    {ScheduleLogOff,      "ScheduleLogOff",      K::OptionButton,     "Log out of Windows",                         SchedulePanel,  720,   840,   1815,  195,    6,   nullptr},
    {ScheduleShutDown,    "ScheduleShutDown",    K::OptionButton,     "Shutdown Windows",                           SchedulePanel,  720,   1080,  1935,  195,    7,   nullptr},
    {ScheduleForce,       "ScheduleForce",       K::CheckBox,         "Force",                                      SchedulePanel,  1200,  1320,  1215,  195,    8,   nullptr},
    {TimeLabel,           "TimeLabel",           K::Label,            "Set Time:",                                  SchedulePanel,  360,   1800,  735,   255,    26,  nullptr},
    {Hour,                "Hour",                K::DropDownCombo,    "",                                           SchedulePanel,  1080,  1800,  615,   315,    9,   nullptr},
    {Minute,              "Minute",              K::DropDownCombo,    "",                                           SchedulePanel,  1800,  1800,  615,   315,    10,  nullptr},
    {AmPm,                "AmPm",                K::DropDownCombo,    "",                                           SchedulePanel,  2520,  1800,  615,   315,    11,  nullptr},
    {DayLabel,            "DayLabel",            K::Label,            "Set Day:",                                   SchedulePanel,  360,   2160,  855,   255,    29,  nullptr},
    {Day,                 "Day",                 K::DropDownCombo,    "Every Day",                                  SchedulePanel,  1080,  2160,  2055,  315,    28,  nullptr},
    {RepeatGroup,         "RepeatGroup",         K::BorderlessFrame,  "FrameRepeat",                                SchedulePanel,  600,   2640,  2535,  255,    25,  nullptr},
    {OnlyOnce,            "OnlyOnce",            K::OptionButton,     "Only Once",                                  RepeatGroup,    360,   0,     1095,  195,    12,  nullptr},
    {Repeat,              "Repeat",              K::OptionButton,     "Repeat",                                     RepeatGroup,    1440,  0,     855,   195,    13,  nullptr},
    {AddToSchedule,       "AddToSchedule",       K::PushButton,       "Add It",                                     SchedulePanel,  360,   3000,  1455,  255,    14,  &MainWindow::OnAddToSchedule},
    {RemoveFromSchedule,  "RemoveFromSchedule",  K::PushButton,       "Remove It",                                  SchedulePanel,  1920,  3000,  1455,  255,    15,  &MainWindow::OnRemoveFromSchedule},
    {ScheduleLines,       "ScheduleLines",       K::ListBox,          "",                                           SchedulePanel,  120,   3360,  4095,  840,    23,  nullptr},
    {NowPanel,            "NowPanel",            K::Frame,            "Reboot Now",                                 std::nullopt,   4560,  960,   1935,  4335,   21,  nullptr},
    {RebootNow,           "RebootNow",           K::PushButton,       "Reboot Now",                                 NowPanel,       120,   360,   1695,  615,    16,  &MainWindow::OnRebootNow},
    {LockNow,             "LockNow",             K::PushButton,       "Lock WorkStation",                           NowPanel,       120,   1080,  1695,  615,    17,  &MainWindow::OnLockNow},
    {LogOffNow,           "LogOffNow",           K::PushButton,       "Log Off Now",                                NowPanel,       120,   1800,  1695,  615,    18,  &MainWindow::OnLogOffNow},
    {ShutDownNow,         "ShutDownNow",         K::PushButton,       "ShutDown Now",                               NowPanel,       120,   2520,  1695,  615,    19,  &MainWindow::OnShutDownNow},
    {ForceNow,            "ForceNow",            K::CheckBox,         "Force",                                      NowPanel,       480,   3240,  1095,  255,    20,  &MainWindow::OnForceNowChanged},
    {NowLabel,            "NowLabel",            K::Label,            "These Buttons will reboot your system Now",  NowPanel,       360,   3600,  1215,  615,    24,  nullptr},
    {MachineLinesLabel,   "MachineLinesLabel",   K::Label,            "Scheduled by your administrator:",           std::nullopt,   120,   5400,  6375,  255,    30,  nullptr},
    {MachineLines,        "MachineLines",        K::ShownLines,       "",                                           std::nullopt,   120,   5700,  6375,  840,    31,  nullptr},
};

using enum MenuId;

constexpr MenuSpec kMenus[] = {
//   id                name                caption                  parent         checkable  click
    {FileMenu,         "FileMenu",         "File",                  std::nullopt,  false,     nullptr},
    {HideToTray,       "HideToTray",       "Minimize",              FileMenu,      false,     &MainWindow::OnHideToTray},
    {FileAbout,        "FileAbout",        "About",                 FileMenu,      false,     &MainWindow::OnAbout},
    {FileSeparator,    "FileSeparator",    "-",                     FileMenu,      false,     nullptr},
    {Exit,             "Exit",             "E&xit",                 FileMenu,      false,     &MainWindow::OnExit},
    {OptionsMenu,      "OptionsMenu",      "Options",               std::nullopt,  false,     nullptr},
    {MinimizeOnStart,  "MinimizeOnStart",  "Minimize on Start up",  OptionsMenu,   true,      &MainWindow::OnToggleMinimizeOnStart},
    {ShowSchedule,     "ShowSchedule",     "Show Reboot Schedule",  OptionsMenu,   true,      &MainWindow::OnToggleShowSchedule},
    {ShowNowPanel,     "ShowNowPanel",     "Show Reboot Now",       OptionsMenu,   true,      &MainWindow::OnToggleShowNowPanel},
    {SetService,       "SetService",       "Set Service",           OptionsMenu,   false,     &MainWindow::OnSetService},
    {HelpMenu,         "HelpMenu",         "Help",                  std::nullopt,  false,     nullptr},
    {HelpAbout,        "HelpAbout",        "About",                 HelpMenu,      false,     &MainWindow::OnAbout},
    {Help,             "Help",             "Help",                  HelpMenu,      false,     &MainWindow::OnHelp},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> MainWindowControls() {
    return kControls;
}
std::span<const MenuSpec> MainWindowMenus() {
    return kMenus;
}

const ControlSpec& Control(ControlId id) {
    return *std::find_if(std::begin(kControls), std::end(kControls),
                         [&](const ControlSpec& c) { return c.id == id; });
}

const MenuSpec& Menu(MenuId id) {
    return *std::find_if(std::begin(kMenus), std::end(kMenus),
                         [&](const MenuSpec& m) { return m.id == id; });
}

int TwipsToPixels(int twips, int dotsPerInch) {
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;
    return static_cast<int>((scaled + kTwipsPerInch / 2) / kTwipsPerInch);
}

std::string CaptionWithoutAccessKey(std::string_view caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

}  // namespace tolvane
