#include "shell/window_layout.h"

#include <algorithm>

namespace tolvane {

namespace {

using enum ControlId;
using K = ControlKind;

// clang-format off
constexpr ControlSpec kControls[] = {
//   id           name           kind              caption                                      container     left  top   width height tab  click
    {FrameMenu,   "FrameMenu",   K::Frame,         "Main Menu",                                 std::nullopt, 120,  120,  6375, 735,  27,  nullptr},
    {Command10,   "Command10",   K::PushButton,    "Minimize",                                  FrameMenu,    120,  240,  1455, 375,  0,   &Form1::Command10_Click},
    {Command14,   "Command14",   K::PushButton,    "About",                                     FrameMenu,    1680, 240,  1455, 375,  1,   &Form1::Command14_Click},
    {Command11,   "Command11",   K::PushButton,    "Help",                                      FrameMenu,    3240, 240,  1455, 375,  2,   &Form1::Command11_Click},
    {Command15,   "Command15",   K::PushButton,    "Exit",                                      FrameMenu,    4800, 240,  1455, 375,  3,   &Form1::Command15_Click},
    {FrameWhen,   "FrameWhen",   K::Frame,         "Reboot Schedule",                           std::nullopt, 120,  960,  4335, 4335, 22,  nullptr},
    {Option1,     "Option1",     K::OptionButton,  "Reboot Windows",                            FrameWhen,    720,  360,  1815, 195,  4,   nullptr},
    {Option4,     "Option4",     K::OptionButton,  "Lock Workstation",                          FrameWhen,    720,  600,  1815, 195,  5,   nullptr},
    {Option2,     "Option2",     K::OptionButton,  "Log out of Windows",                        FrameWhen,    720,  840,  1815, 195,  6,   nullptr},
    {Option3,     "Option3",     K::OptionButton,  "Shutdown Windows",                          FrameWhen,    720,  1080, 1935, 195,  7,   nullptr},
    {Check1,      "Check1",      K::CheckBox,      "Force",                                     FrameWhen,    1200, 1320, 1215, 195,  8,   nullptr},
    {Label2,      "Label2",      K::Label,         "Set Time:",                                 FrameWhen,    360,  1800, 735,  255,  26,  nullptr},
    {Combo1,      "Combo1",      K::DropDownCombo, "",                                          FrameWhen,    1080, 1800, 615,  315,  9,   nullptr},
    {Combo2,      "Combo2",      K::DropDownCombo, "",                                          FrameWhen,    1800, 1800, 615,  315,  10,  nullptr},
    {Combo3,      "Combo3",      K::DropDownCombo, "",                                          FrameWhen,    2520, 1800, 615,  315,  11,  nullptr},
    {Label4,      "Label4",      K::Label,         "Set Day:",                                  FrameWhen,    360,  2160, 855,  255,  29,  nullptr},
    {Combo4,      "Combo4",      K::DropDownCombo, "Every Day",                                 FrameWhen,    1080, 2160, 2055, 315,  28,  nullptr},
    {FrameRepeat, "FrameRepeat", K::BorderlessFrame, "FrameRepeat",                             FrameWhen,    600,  2640, 2535, 255,  25,  nullptr},
    {Option5,     "Option5",     K::OptionButton,  "Only Once",                                 FrameRepeat,  360,  0,    1095, 195,  12,  nullptr},
    {Option8,     "Option8",     K::OptionButton,  "Repeat",                                    FrameRepeat,  1440, 0,    855,  195,  13,  nullptr},
    {Command1,    "Command1",    K::PushButton,    "Add It",                                    FrameWhen,    360,  3000, 1455, 255,  14,  &Form1::Command1_Click},
    {Command2,    "Command2",    K::PushButton,    "Remove It",                                 FrameWhen,    1920, 3000, 1455, 255,  15,  &Form1::Command2_Click},
    {List1,       "List1",       K::ListBox,       "",                                          FrameWhen,    120,  3360, 4095, 840,  23,  nullptr},
    {FrameNow,    "FrameNow",    K::Frame,         "Reboot Now",                                std::nullopt, 4560, 960,  1935, 4335, 21,  nullptr},
    {Command8,    "Command8",    K::PushButton,    "Reboot Now",                                FrameNow,     120,  360,  1695, 615,  16,  &Form1::Command8_Click},
    {Command4,    "Command4",    K::PushButton,    "Lock WorkStation",                          FrameNow,     120,  1080, 1695, 615,  17,  &Form1::Command4_Click},
    {Command5,    "Command5",    K::PushButton,    "Log Off Now",                               FrameNow,     120,  1800, 1695, 615,  18,  &Form1::Command5_Click},
    {Command9,    "Command9",    K::PushButton,    "ShutDown Now",                              FrameNow,     120,  2520, 1695, 615,  19,  &Form1::Command9_Click},
    {Check2,      "Check2",      K::CheckBox,      "Force",                                     FrameNow,     480,  3240, 1095, 255,  20,  &Form1::Check2_Click},
    {Label1,      "Label1",      K::Label,         "These Buttons will reboot your system Now", FrameNow,     360,  3600, 1215, 615,  24,  nullptr},
};

using enum MenuId;

constexpr MenuSpec kMenus[] = {
//   id                                  name                                 caption                 parent    checkable click
    {FileM,                              "FileM",                             "File",                 std::nullopt, false, nullptr},
    {MinimizeMenu,                       "MinimizeMenu",                      "Minimize",             FileM,    false, &Form1::MinimizeMenu_Click},
    {AboutM,                             "AboutM",                            "About",                FileM,    false, &Form1::AboutM_Click},
    {Filllllllllllllllllllllllllllller,  "Filllllllllllllllllllllllllllller", "-",                    FileM,    false, nullptr},
    {ExitM,                              "ExitM",                             "E&xit",                FileM,    false, &Form1::ExitM_Click},
    {OptionsM,                           "OptionsM",                          "Options",              std::nullopt, false, nullptr},
    {MinizeonStartup,                    "MinizeonStartup",                   "Minimize on Start up", OptionsM, true,  &Form1::MinizeonStartup_Click},
    {ShowRebootScheduleM,                "ShowRebootScheduleM",               "Show Reboot Schedule", OptionsM, true,  &Form1::ShowRebootScheduleM_Click},
    {ShowShowRebootNowM,                 "ShowShowRebootNowM",                "Show Reboot Now",      OptionsM, true,  &Form1::ShowShowRebootNowM_Click},
    {SetServiceM,                        "SetServiceM",                       "Set Service",          OptionsM, false, &Form1::SetServiceM_Click},
    {HelpMMMM,                           "HelpMMMM",                          "Help",                 std::nullopt, false, nullptr},
    {AboutMenu,                          "AboutMenu",                         "About",                HelpMMMM, false, &Form1::AboutMenu_Click},
    {HelpMMMMM,                          "HelpMMMMM",                         "Help",                 HelpMMMM, false, &Form1::HelpMMMMM_Click},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> Form1Controls() {
    return kControls;
}
std::span<const MenuSpec> Form1Menus() {
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
