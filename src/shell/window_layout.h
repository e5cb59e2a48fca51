#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "shell/main_window.h"
#include "shell/window_ids.h"

namespace tolvane {

enum class ControlKind {
    Frame,
    BorderlessFrame,  // groups its option buttons; never drawn
    PushButton,
    OptionButton,
    CheckBox,
    DropDownCombo,  // editable text with a drop-down list
    ListBox,        // single selection; items placed by the program
    ShownLines,     // lines to read: never chosen, changed or acted on from the window
    Label,
};

using MainWindowHandler = void (MainWindow::*)();

// One control of the main window. Positions are twips (1/1440 inch) relative
// to the container; `container` empty means the window itself. Frames and
// labels take no focus; the others take it in ascending `tabIndex`.
struct ControlSpec {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::string_view caption;  // or initial text
    std::optional<ControlId> container;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    MainWindowHandler click;  // null: the control has no click of its own
};

// One entry of the menu bar: a menu (no parent) or an item of one. "&" marks
// the access key; a caption of "-" is a separator.
struct MenuSpec {
    MenuId id;
    std::string_view name;
    std::string_view caption;
    std::optional<MenuId> parent;
    bool checkable;
    MainWindowHandler click;
};

inline constexpr std::string_view kFormName = "MainWindow";
inline constexpr int kClientWidthTwips = 6630;
// Below the two panels, the machine's lines.
inline constexpr int kClientHeightTwips = 6660;
inline constexpr int kTimerIntervalMs = 45000;
inline constexpr int kTwipsPerInch = 1440;

// The button the Delete key presses while the schedule list has the focus:
// the key takes out the selected line through the same handler, with the same
// messages.
inline constexpr ControlId kListDeleteKeyButton = ControlId::RemoveFromSchedule;

// Controls in creation order: every container comes before what it holds.
std::span<const ControlSpec> MainWindowControls();
// Menus and items in display order, each menu followed by its items.
std::span<const MenuSpec> MainWindowMenus();

const ControlSpec& Control(ControlId id);
const MenuSpec& Menu(MenuId id);

// Twips to pixels at `dotsPerInch`, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dotsPerInch);

// The caption without its access-key marks ("E&xit" -> "Exit"; "&&" -> "&").
std::string CaptionWithoutAccessKey(std::string_view caption);

}  // namespace tolvane
