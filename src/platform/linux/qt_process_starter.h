#pragma once

#include "platform/process_starter.h"
#include "platform/web_browser.h"

namespace tolvane {

// Starts a program without a shell and without waiting: the Windows-form
// command line is cut into the program and its arguments first, so a path
// with blanks or shell characters is only ever a path.
class QtProcessStarter final : public ProcessStarter {
  public:
    // The window style has no meaning here; the started program opens its
    // own windows as it likes.
    bool Start(const std::string& commandLine, int windowStyle, std::string& reason) override;
};

// The desktop's default browser, through xdg-open.
class QtWebBrowser final : public WebBrowser {
  public:
    bool OpenWebAddress(const std::string& address) override;
};

}  // namespace tolvane
