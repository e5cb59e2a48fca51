#pragma once

// Resource numbers shared by the resource script and the code.
#define TOLVANE_ICON 1
