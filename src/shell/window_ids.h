#pragma once

namespace tolvane {

// Every control and menu item of the main window, by its name in the program.
enum class ControlId {
    FrameMenu,
    Command10,
    Command14,
    Command11,
    Command15,
    FrameWhen,
    Option1,
    Option4,
    Option2,
    Option3,
    Check1,
    Label2,
    Combo1,
    Combo2,
    Combo3,
    Label4,
    Combo4,
    FrameRepeat,
    Option5,
    Option8,
    Command1,
    Command2,
    List1,
    FrameNow,
    Command8,
    Command4,
    Command5,
    Command9,
    Check2,
    Label1,
};

enum class MenuId {
    FileM,
    MinimizeMenu,
    AboutM,
    Filllllllllllllllllllllllllllller,
    ExitM,
    OptionsM,
    MinizeonStartup,
    ShowRebootScheduleM,
    ShowShowRebootNowM,
    SetServiceM,
    HelpMMMM,
    AboutMenu,
    HelpMMMMM,
};

}  // namespace tolvane
