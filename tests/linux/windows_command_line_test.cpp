#include <gtest/gtest.h>

#include "platform/linux/windows_command_line.h"

namespace tolvane {
namespace {

TEST(SplitWindowsCommandLine, FollowsTheRulesWindowsProgramsReadTheirArgumentsBy) {
    using Args = std::vector<std::string>;
    const struct {
        std::string line;
        Args expected;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"\"/opt/my tools/installs.sh\"", {"/opt/my tools/installs.sh"}},
        {"/usr/lib/tolvane/installs.sh", {"/usr/lib/tolvane/installs.sh"}},
        {"explorer http://example.com/a b", {"explorer", "http://example.com/a", "b"}},
        {"\"a b\"c d", {"a bc", "d"}},
        {"a\t\"\" b", {"a", "", "b"}},
        {"\"x;rm -rf ~\" $(y)", {"x;rm -rf ~", "$(y)"}},
        {"a\\\\b \"c\\\\\"", {"a\\\\b", "c\\"}},
        {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
        {"\"unclosed quote", {"unclosed quote"}},
        {"trailing\\", {"trailing\\"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected) << c.line;
    }
}

}  // namespace
}  // namespace tolvane
