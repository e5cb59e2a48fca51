#pragma once

#include <QIcon>

namespace tolvane {

// The program's icon in every size it is drawn in, for the window and the tray.
QIcon ApplicationIcon();

}  // namespace tolvane
