#pragma once

#include <cstdio>
#include <string>

#include "platform/system_power.h"

namespace tolvane {

// The service's log on standard error, which systemd puts in the journal; the
// "<6>" and "<3>" prefixes give each line its priority there.
class StderrServiceLog final : public ServiceLog {
  public:
    void Info(const std::string& text) override { Write("<6>", text); }
    void Error(const std::string& text) override { Write("<3>", text); }

  private:
    static void Write(const char* priority, const std::string& text) {
        std::fprintf(stderr, "%s%s\n", priority, text.c_str());
        std::fflush(stderr);
    }
};

}  // namespace tolvane
