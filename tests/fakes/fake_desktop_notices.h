#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop_notices.h"

namespace tolvane::testing {

// Keeps every notice shown with its skip, for the test to answer.
class FakeDesktopNotices final : public DesktopNotices {
  public:
    struct Shown {
        DesktopNotice notice;
        std::function<void()> skip;
    };
    std::vector<Shown> shown;
    bool available = true;
    // Chooses each notice's skip as it is shown, as a desktop may answer
    // within the call.
    bool skipAtOnce = false;

    bool Show(const DesktopNotice& notice, std::function<void()> skip) override {
        if (!available) return false;
        shown.push_back({notice, skip});
        if (skipAtOnce && skip) skip();
        return true;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown) texts.push_back(s.notice.text);
        return texts;
    }
};

}  // namespace tolvane::testing
