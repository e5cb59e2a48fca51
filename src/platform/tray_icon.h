#pragma once

#include <string>

namespace tolvane {

// The window's icon in the notification area. Which clicks on it count as
// asking for the window back is the platform's to say; the front end then
// tells the window (MainWindow::OnTrayIconActivated).
class TrayIcon {
  public:
    virtual ~TrayIcon() = default;
    // Shows the icon with `tip` as its tooltip; false when the platform
    // refused (the icon may already be there).
    virtual bool Show(const std::string& tip) = 0;
};

}  // namespace tolvane
