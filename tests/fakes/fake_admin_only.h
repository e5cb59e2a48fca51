#pragma once

#include <map>
#include <string>

#include "platform/admin_only.h"

namespace tolvane::testing {

// Every path is the administrators' alone unless `others` says who else can change it.
class FakeAdminOnly final : public AdminOnlyCheck {
  public:
    std::map<std::string, std::string> others;
    std::string WhyOthersCanChange(const std::string& path) override {
        const auto found = others.find(path);
        return found == others.end() ? std::string() : found->second;
    }
};

}  // namespace tolvane::testing
