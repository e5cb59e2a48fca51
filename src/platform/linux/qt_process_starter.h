#pragma once

#include <QObject>

#include "platform/process_starter.h"
#include "platform/web_browser.h"

namespace tolvane {

// Starts a program without a shell, so a path with blanks, quotes or shell
// characters is only ever a path. Without `ended` nothing waits for it; with
// it, the program's end is told from the event loop. The started program
// opens its own windows as it likes.
class QtProcessStarter final : public ProcessStarter {
  public:
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               std::string& reason, Ended ended) override;

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
