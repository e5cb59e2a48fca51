#pragma once

#include <string>
#include <vector>

#include "schedule/schedule_list.h"
#include "shell/window_ids.h"

namespace tolvane {

// The main window as its handlers see it. The controls hold the window's state;
// the handlers read and change it through here. Setting a value from here
// raises no event: where a change must run a handler, the core runs it.
// The schedule list control mirrors the schedule list through the observer calls, in the list's
// own order (the control itself never sorts).
class MainWindowView : public ScheduleListObserver {
  public:
    // Option buttons: selecting one clears the others of its group.
    virtual bool OptionValue(ControlId option) = 0;
    virtual void SetOptionValue(ControlId option, bool selected) = 0;

    // Check boxes: 0 clear, 1 checked, 2 grayed.
    virtual int CheckValue(ControlId check) = 0;
    virtual void SetCheckValue(ControlId check, int value) = 0;

    // Editable drop-down combo boxes.
    virtual std::string ComboText(ControlId combo) = 0;
    virtual void SetComboText(ControlId combo, const std::string& text) = 0;
    virtual void AddComboItem(ControlId combo, const std::string& item) = 0;

    // Lists shown to be read: their lines, all of them at once, in order.
    virtual void SetShownLines(ControlId list, const std::vector<std::string>& lines) = 0;

    virtual bool MenuChecked(MenuId item) = 0;
    virtual void SetMenuChecked(MenuId item, bool checked) = 0;

    // Makes the window visible and brings it to the front.
    virtual void ShowWindow() = 0;
    // Takes the window off the screen and the taskbar; everything else runs on.
    virtual void HideWindow() = 0;
    // Ends the program at once: no further handler runs and nothing is saved.
    virtual void EndProgram() = 0;
};

}  // namespace tolvane
