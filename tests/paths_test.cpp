// The folder and the name in a path, for POSIX and for Windows separators.
#include <gtest/gtest.h>

#include "schedule/paths.h"

namespace tolvane {
namespace {

constexpr std::string_view kPosix = "/";
constexpr std::string_view kWindows = "\\/";

TEST(FolderOf, IsWhatComesBeforeTheLastSeparatorKeepingARoot) {
    const struct {
        std::string_view separators;
        const char* path;
        const char* folder;
    } cases[] = {
        {kPosix, "/home/a b/rebootdata.kx", "/home/a b"},
        {kPosix, "/rebootdata.kx", "/"},  // the root
        {kPosix, "/", "/"},
        {kPosix, "rebootdata.kx", ""},  // no separator
        {kPosix, "", ""},
        {kPosix, "/home/a/", "/home/a"},  // a trailing separator: the folder named
        {kPosix, "data/rebootdata.kx", "data"},
        {kPosix, "C:\\x\\rebootdata.kx", ""},  // a backslash is a name's own character
        {kPosix, "C:/rebootdata.kx", "C:"},    // and a drive letter is a folder's name
        {kWindows, "C:\\Users\\A B\\Tolvane\\rebootdata.kx", "C:\\Users\\A B\\Tolvane"},
        {kWindows, "d:/x (1) & y/rebootdata.kx", "d:/x (1) & y"},
        {kWindows, "C:\\Tolvane/sub\\rebootdata.kx", "C:\\Tolvane/sub"},
        {kWindows, "D:\\rebootdata.kx", "D:\\"},  // a drive's root stays whole
        {kWindows, "D:/rebootdata.kx", "D:/"},
        {kWindows, "D:\\", "D:\\"},
        {kWindows, "C:\\Tolvane\\", "C:\\Tolvane"},
        {kWindows, "C:rebootdata.kx", ""},
        {kWindows, "\\rebootdata.kx", "\\"},  // the current drive's root
        {kWindows, "\\\\server\\share\\rebootdata.kx", "\\\\server\\share"},
        {kWindows, "\\\\server\\share\\Tolvane\\rebootdata.kx", "\\\\server\\share\\Tolvane"},
        {kWindows, "rebootdata.kx", ""},
        {kWindows, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.path, c.separators), c.folder)
            << c.path << " with \"" << c.separators << "\"";
    }
}

TEST(FileNameOf, IsWhatFollowsTheLastSeparator) {
    const struct {
        std::string_view separators;
        const char* path;
        const char* name;
    } cases[] = {
        {kPosix, "/home/a b/rebootdata.kx", "rebootdata.kx"},
        {kPosix, "/rebootdata.kx", "rebootdata.kx"},
        {kPosix, "rebootdata.kx", "rebootdata.kx"},
        {kPosix, "/home/a/", ""},
        {kPosix, "C:\\x\\rebootdata.kx", "C:\\x\\rebootdata.kx"},
        {kWindows, "C:\\Tolvane/sub\\rebootdata.kx", "rebootdata.kx"},
        {kWindows, "D:\\rebootdata.kx", "rebootdata.kx"},
        {kWindows, "\\\\server\\share\\rebootdata.kx", "rebootdata.kx"},
        {kWindows, "C:rebootdata.kx", "C:rebootdata.kx"},
        {kWindows, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameOf(c.path, c.separators), c.name)
            << c.path << " with \"" << c.separators << "\"";
    }
}

}  // namespace
}  // namespace tolvane
