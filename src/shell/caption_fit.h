#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/window_layout.h"

namespace tolvane {

// The items the program puts in a drop-down combo, in order; none for other
// controls.
std::vector<std::string> ComboItems(ControlId combo);

// Every text a control must show whole: its caption, or each item of a combo
// (the one chosen is shown in the combo's edit part). None for controls that
// show no text of their own.
std::vector<std::string> TextsToShowWhole(const ControlSpec& spec);

// The window's controls keep the table's size at every resolution, so the
// font gives way instead: tries sizes from `largest` down to `smallest`, one
// unit at a time, and returns the first at which `fits`. Never below
// `smallest`, even if nothing fits there (an unreadable font helps no one),
// and never above `largest`.
int LargestSizeThatFits(int largest, int smallest, const std::function<bool(int size)>& fits);

// The blank room, in pixels, an edit keeps on each side of its text.
struct EditMargins {
    int left;
    int right;
    bool operator==(const EditMargins&) const = default;
};

// The margins a combo's edit, `width` pixels wide, keeps so that `widest`,
// the widest text it must show, fits with a pixel to spare: the margins its
// font gives it (`own`) where they leave that room; otherwise the right one
// gives way first (past the last letter it only holds the caret), then the
// left, never below none. The time combos are narrow for their items, and
// the margins give way before the window's font has to.
EditMargins MarginsThatFit(EditMargins own, int width, int widest);

}  // namespace tolvane
