#pragma once

#include <functional>
#include <string>

namespace tolvane {

// Opens a web address in the user's default browser, without waiting.
class WebBrowser {
  public:
    virtual ~WebBrowser() = default;
    // False when nothing could be started to open it. Where that is known
    // only later (the opener ran, but found no browser), `failedLater` is
    // called then, on the window's thread.
    virtual bool OpenWebAddress(const std::string& address, std::function<void()> failedLater) = 0;
};

}  // namespace tolvane
