#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "shell/stored_values.h"

namespace tolvane {
namespace {

using K = ActionKind;

CommandLineRequest Asks(bool force, std::optional<ActionKind> what) {
    return {force, what, false};
}
CommandLineRequest Invalid(bool force) {
    return {force, std::nullopt, true};
}

TEST(ParseCommandLine, NormalisesThenComparesTheWholeText) {
    const std::pair<const char*, CommandLineRequest> cases[] = {
        {"", Asks(false, std::nullopt)},
        {"    ", Asks(false, std::nullopt)},
        {"/reboot", Asks(false, K::Reboot)},
        {"  /REBOOT  ", Asks(false, K::Reboot)},
        {"/re boot", Asks(false, K::Reboot)},
        {"/shutdown", Asks(false, K::ShutDown)},
        {"/Lock", Asks(false, K::Lock)},
        {"/logoff", Asks(false, K::LogOff)},
        {"/reboot /force", Asks(true, K::Reboot)},
        {"/FORCE/reboot", Asks(true, K::Reboot)},
        {"/reb/forceoot", Asks(true, K::Reboot)},  // "/force" may stand inside the option
        {"/lock /force", Asks(true, K::Lock)},
        {"/force", Invalid(true)},  // passes the empty test before "/force" goes
        {"/force /force", Invalid(true)},
        {"/forcereboot", Invalid(true)},
        {"/fo/forcerce /reboot", Invalid(true)},  // one pass: a new "/force" stays
        {"/reboot /shutdown", Invalid(false)},
        {"reboot", Invalid(false)},
        {"-reboot", Invalid(false)},
        {"\t/reboot", Invalid(false)},
        {"/reboot\t", Invalid(false)},
        {"\"/reboot\"", Invalid(false)},
        {"/rebootx", Invalid(false)},
    };
    for (const auto& [text, expected] : cases) {
        const auto got = ParseCommandLine(text);
        EXPECT_EQ(got, expected) << text;
    }
}

// A shell's separate arguments, long options among them, as the program's
// own command line, and what that line then asks for.
TEST(CommandLineText, TakesTheLongOptionsAsTheProgramsOwn) {
    struct Case {
        std::vector<std::string> arguments;
        std::string text;
        CommandLineRequest request;
    };
    const Case cases[] = {
        {{}, "", Asks(false, std::nullopt)},
        {{"--reboot"}, "/reboot", Asks(false, K::Reboot)},
        {{"--force", "--shutdown"}, "/force /shutdown", Asks(true, K::ShutDown)},
        {{"--lock", "/force"}, "/lock /force", Asks(true, K::Lock)},
        {{"--logoff"}, "/logoff", Asks(false, K::LogOff)},
        {{"/LOCK"}, "/LOCK", Asks(false, K::Lock)},
        {{"--Reboot"}, "--Reboot", Invalid(false)},  // long options are exact
        {{"--rebootx"}, "--rebootx", Invalid(false)},
        {{"-reboot"}, "-reboot", Invalid(false)},
        {{"--"}, "--", Invalid(false)},
        {{"a b", "c"}, "a b c", Invalid(false)},
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
