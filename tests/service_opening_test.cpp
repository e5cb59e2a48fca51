// The opening both service programs share: what they end with before any
// step of their platform's, and what goes where on the way.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "service/service_arguments.h"

namespace tolvane {
namespace {

using Arguments = std::vector<std::string>;

// What one opening did: whether the program goes on, the exit status it
// ends with otherwise, what went to standard output and what to the refusal.
struct Opened {
    bool goesOn = false;
    int exitStatus = -1;
    std::string out;
    std::vector<std::string> refusals;
};

template <typename Options>
Opened Open(const Arguments& arguments,
            std::optional<Options> (*parse)(const std::vector<std::string>&, std::string&),
            const char* usage) {
    Opened opened;
    opened.goesOn =
        OpenServiceProgram(
            arguments, parse, usage,
            [&](const std::string& why) { opened.refusals.push_back(why); }, opened.exitStatus,
            [&](const char* text) { opened.out += text; })
            .has_value();
    return opened;
}

// The reason the program's own reading gives for `arguments`.
template <typename Options>
std::string WhyRefused(const Arguments& arguments,
                       std::optional<Options> (*parse)(const std::vector<std::string>&,
                                                       std::string&)) {
    std::string error;
    EXPECT_FALSE(parse(arguments, error));
    return error;
}

TEST(OpenServiceProgram, GoesOnEndsWithTheUsageOrRefusesOnceForEitherProgram) {
    struct Case {
        const char* name;
        Opened opened;
        bool goesOn;
        int exitStatus;  // when it does not go on
        std::string out;
        std::vector<std::string> refusals;
    };
    const Arguments badLinux = {"--schedule", "rebootdata.kx"};
    const Arguments badWindows = {"--ticks", "3"};
    const Case cases[] = {
        {"Linux, to run",
         Open({"--schedule", "/h/r.kx"}, ParseLinuxServiceArguments, kLinuxServiceUsage),
         true,
         -1,
         "",
         {}},
        {"Linux --help",
         Open({"--help"}, ParseLinuxServiceArguments, kLinuxServiceUsage),
         false,
         0,
         kLinuxServiceUsage,
         {}},
        {"Linux, refused",
         Open(badLinux, ParseLinuxServiceArguments, kLinuxServiceUsage),
         false,
         kServiceRefused,
         "",
         {WhyRefused(badLinux, ParseLinuxServiceArguments)}},
        {"Windows, to run",
         Open({"--console"}, ParseWindowsServiceArguments, kWindowsServiceUsage),
         true,
         -1,
         "",
         {}},
        {"Windows /?",
         Open({"/?"}, ParseWindowsServiceArguments, kWindowsServiceUsage),
         false,
         0,
         kWindowsServiceUsage,
         {}},
        {"Windows, refused",
         Open(badWindows, ParseWindowsServiceArguments, kWindowsServiceUsage),
         false,
         kServiceRefused,
         "",
         {WhyRefused(badWindows, ParseWindowsServiceArguments)}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.opened.goesOn, c.goesOn) << c.name;
        // Going on, the program's own steps decide how it ends.
        if (!c.goesOn) {
            EXPECT_EQ(c.opened.exitStatus, c.exitStatus) << c.name;
        }
        EXPECT_EQ(c.opened.out, c.out) << c.name;
        EXPECT_EQ(c.opened.refusals, c.refusals) << c.name;
    }
}

}  // namespace
}  // namespace tolvane
