#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "shell/stored_values.h"

namespace tolvane {
namespace {

using A = CommandLineAction;

TEST(ParseCommandLine, NormalisesThenComparesTheWholeText) {
    const std::pair<const char*, CommandLineRequest> cases[] = {
        {"", {false, A::None}},
        {"    ", {false, A::None}},
        {"/reboot", {false, A::Reboot}},
        {"  /REBOOT  ", {false, A::Reboot}},
        {"/re boot", {false, A::Reboot}},
        {"/shutdown", {false, A::ShutDown}},
        {"/Lock", {false, A::Lock}},
        {"/logoff", {false, A::LogOff}},
        {"/reboot /force", {true, A::Reboot}},
        {"/FORCE/reboot", {true, A::Reboot}},
        {"/reb/forceoot", {true, A::Reboot}},  // "/force" may stand inside the option
        {"/lock /force", {true, A::Lock}},
        {"/force", {true, A::Invalid}},  // passes the empty test before "/force" goes
        {"/force /force", {true, A::Invalid}},
        {"/forcereboot", {true, A::Invalid}},
        {"/fo/forcerce /reboot", {true, A::Invalid}},  // one pass: a new "/force" stays
        {"/reboot /shutdown", {false, A::Invalid}},
        {"reboot", {false, A::Invalid}},
        {"-reboot", {false, A::Invalid}},
        {"\t/reboot", {false, A::Invalid}},
        {"/reboot\t", {false, A::Invalid}},
        {"\"/reboot\"", {false, A::Invalid}},
        {"/rebootx", {false, A::Invalid}},
    };
    for (const auto& [text, expected] : cases) {
        const auto got = ParseCommandLine(text);
        EXPECT_EQ(got.force, expected.force) << text;
        EXPECT_EQ(got.action, expected.action) << text;
    }
}

// A shell's separate arguments, long options among them, as the program's
// own command line, and what that line then asks for.
TEST(CommandLineText, TakesTheLongOptionsAsTheProgramsOwn) {
    using A = CommandLineAction;
    struct Case {
        std::vector<std::string> arguments;
        std::string text;
        CommandLineRequest request;
    };
    const Case cases[] = {
        {{}, "", {false, A::None}},
        {{"--reboot"}, "/reboot", {false, A::Reboot}},
        {{"--force", "--shutdown"}, "/force /shutdown", {true, A::ShutDown}},
        {{"--lock", "/force"}, "/lock /force", {true, A::Lock}},
        {{"--logoff"}, "/logoff", {false, A::LogOff}},
        {{"/LOCK"}, "/LOCK", {false, A::Lock}},
        {{"--Reboot"}, "--Reboot", {false, A::Invalid}},  // long options are exact
        {{"--rebootx"}, "--rebootx", {false, A::Invalid}},
        {{"-reboot"}, "-reboot", {false, A::Invalid}},
        {{"--"}, "--", {false, A::Invalid}},
        {{"a b", "c"}, "a b c", {false, A::Invalid}},
    };
    for (const auto& c : cases) {
        const std::string text = CommandLineText(c.arguments);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(ParseCommandLine(text), c.request) << text;
    }
}

TEST(StoredValues, ConvertWhatTheProgramWritesAndRejectTheRest) {
    EXPECT_EQ(StoredBoolean("True"), true);
    EXPECT_EQ(StoredBoolean("false"), false);
    EXPECT_EQ(StoredBoolean(" TRUE "), true);
    for (const char* odd : {"", "1", "0", "yes", "Truth", "-1"}) {
        EXPECT_EQ(StoredBoolean(odd), std::nullopt) << odd;
    }
    EXPECT_EQ(StoredCheckValue("0"), 0);
    EXPECT_EQ(StoredCheckValue("1"), 1);
    EXPECT_EQ(StoredCheckValue(" 2"), 2);
    for (const char* odd : {"", "3", "-1", "01", "1.0", "x"}) {
        EXPECT_EQ(StoredCheckValue(odd), std::nullopt) << odd;
    }
    EXPECT_EQ(BooleanText(true), "True");
    EXPECT_EQ(BooleanText(false), "False");
}

}  // namespace
}  // namespace tolvane
