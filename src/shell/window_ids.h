#pragma once

namespace tolvane {

// Every control and menu item of the main window, by its name in the program.
enum class ControlId {
    MainMenuPanel,
    HideToTrayButton,
    AboutButton,
    HelpButton,
    ExitButton,
    SchedulePanel,
    ScheduleReboot,
    ScheduleLock,
    ScheduleLogOff,
    ScheduleShutDown,
    ScheduleForce,
    TimeLabel,
    Hour,
    Minute,
    AmPm,
    DayLabel,
    Day,
    RepeatGroup,
    OnlyOnce,
    Repeat,
    AddToSchedule,
    RemoveFromSchedule,
    ScheduleLines,
    NowPanel,
    RebootNow,
    LockNow,
    LogOffNow,
    ShutDownNow,
    ForceNow,
    NowLabel,
    MachineLinesLabel,
    MachineLines,
};

enum class MenuId {
    FileMenu,
    HideToTray,
    FileAbout,
    FileSeparator,
    Exit,
    OptionsMenu,
    MinimizeOnStart,
    ShowSchedule,
    ShowNowPanel,
    SetService,
    HelpMenu,
    HelpAbout,
    Help,
};

}  // namespace tolvane
