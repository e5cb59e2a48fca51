#pragma once

#include <QObject>

#include "platform/process_starter.h"
#include "platform/web_browser.h"

namespace tolvane {

// Starts a program without a shell: the Windows-form command line is cut
// into the program and its arguments first, so a path with blanks or shell
// characters is only ever a path. Without `ended` nothing waits for it;
// with it, the program's end is told from the event loop.
class QtProcessStarter final : public ProcessStarter {
  public:
    // The window style has no meaning here; the started program opens its
    // own windows as it likes.
    bool Start(const std::string& commandLine, int windowStyle, std::string& reason,
               Ended ended) override;

  private:
    QObject running_;  // owns the programs waited for
};

// The desktop's default browser, through xdg-open, whose exit status says
// whether a browser took the address.
class QtWebBrowser final : public WebBrowser {
  public:
    explicit QtWebBrowser(ProcessStarter& processes) : processes_(processes) {}
    bool OpenWebAddress(const std::string& address, std::function<void()> failedLater) override;

  private:
    ProcessStarter& processes_;
};

}  // namespace tolvane
