#pragma once

#include <string>

namespace tolvane {

// Opens a web address in the user's default browser, without waiting.
class WebBrowser {
  public:
    virtual ~WebBrowser() = default;
    virtual bool OpenWebAddress(const std::string& address) = 0;
};

}  // namespace tolvane
