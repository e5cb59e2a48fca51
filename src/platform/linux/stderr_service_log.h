#pragma once

#include <cstdio>
#include <string>

#include "platform/service_log.h"
#include "schedule/log_text.h"

namespace tolvane {

// The service's log on standard error, which systemd puts in the journal; the
// "<6>" and "<3>" prefixes give each line its priority there. Texts carry
// schedule lines and paths a user wrote, so each is escaped to one plain line.
class StderrServiceLog final : public ServiceLog {
  public:
    void Info(const std::string& text) override { Write("<6>", text); }
    void Error(const std::string& text) override { Write("<3>", text); }
    void Record(const ActionRecord& record) override {
        Write(record.error ? "<3>" : "<6>", record.message);
    }

  private:
    static void Write(const char* priority, const std::string& text) {
        const std::string line = EscapeForLog(text, LogBytes::Utf8);
        std::fprintf(stderr, "%s%s\n", priority, line.c_str());
        std::fflush(stderr);
    }
};

}  // namespace tolvane
