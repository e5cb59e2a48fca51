#pragma once

#include "platform/process_starter.h"
#include "platform/web_browser.h"

namespace tolvane {

// Opens an address the Windows way: explorer with the address as its one
// argument; the shell hands it to the default browser.
class ExplorerWebBrowser final : public WebBrowser {
  public:
    explicit ExplorerWebBrowser(ProcessStarter& processes) : processes_(processes) {}
    // Explorer's exit status says nothing about the browser, so only a
    // start that failed is a failure.
    bool OpenWebAddress(const std::string& address, std::function<void()>) override {
        std::string reason;
        return processes_.Start("explorer", {address}, reason, {});
    }

  private:
    ProcessStarter& processes_;
};

}  // namespace tolvane
