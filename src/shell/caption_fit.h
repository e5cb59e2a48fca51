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

}  // namespace tolvane
