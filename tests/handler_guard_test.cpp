#include "shell/handler_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tolvane::testing {
namespace {

TEST(RunHandler, AFailureEndsThatEventOnlyAndIsLoggedWithItsName) {
    struct Case {
        const char* name;
        std::function<void()> handler;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {"no failure", [] {}, {}},
        {"a standard exception",
         [] { throw std::runtime_error("disk full"); },
         {"tolvane: RebootNow failed: disk full"}},
        {"anything else", [] { throw 42; }, {"tolvane: RebootNow failed: an error of no known kind"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> logged;
        RunHandler("RebootNow", c.handler, [&](const std::string& line) { logged.push_back(line); });
        EXPECT_EQ(logged, c.logged) << c.name;
    }
}

TEST(RunHandler, ALogThatFailsOrIsMissingStillLetsNothingThrough) {
    const auto fails = [] { throw std::runtime_error("x"); };
    EXPECT_NO_THROW(RunHandler("the timer", fails, {}));
    EXPECT_NO_THROW(RunHandler("the timer", fails, [](const std::string&) { throw 1; }));
}

}  // namespace
}  // namespace tolvane::testing
