#pragma once

#include <string>

namespace tolvane {

// The window's icon in the notification area. Which clicks on it count as
// asking for the window back is the platform's to say; the front end then
// tells the window (MainWindow::OnTrayIconActivated).
class TrayIcon {
  public:
    virtual ~TrayIcon() = default;
    // Shows the icon with `tip` as its tooltip and keeps it: where the
    // notification area loses its icons (its program restarted), this one is
    // put back, until StopKeeping. False when the platform refused (the icon
    // may already be there); the icon is kept all the same.
    virtual bool Show(const std::string& tip) = 0;
    // The icon is no longer needed: it stays where it is, but is not put
    // back once the notification area loses it.
    virtual void StopKeeping() = 0;
};

}  // namespace tolvane
