#pragma once

#include <functional>
#include <string>

namespace tolvane {

// A short notice shown on the desktop, outside the window, that the user can
// answer with one choice.
struct DesktopNotice {
    std::string title;
    std::string text;
    std::string skipLabel;  // the one choice offered
    // The same as a question answered yes or no, for desktops that ask in a
    // box of their own once the notice is chosen.
    std::string question;
    // Stays until the user dismisses it, where the desktop can keep it.
    bool urgent = false;
    // Notices of one series take each other's place rather than stacking;
    // empty for a notice of its own.
    std::string series;
};

// The desktop's own way to show notices: a notification service, or a
// balloon from the program's notification-area icon.
class DesktopNotices {
  public:
    virtual ~DesktopNotices() = default;
    // Shows `notice`; `skip` is called later, on the window's thread, if the
    // user chooses the notice's one choice (a notice without a skip label
    // offers none). False when the desktop has no way
    // to show it (then nothing else happens).
    virtual bool Show(const DesktopNotice& notice, std::function<void()> skip) = 0;
};

}  // namespace tolvane
