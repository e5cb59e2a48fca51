// tolvane-service.exe --install's decisions: the command line it registers
// and its refusal of values an attacker could shape to become other
// arguments, and the folder rule that keeps a user's copy from ever being
// installed. The service manager's side runs in service_under_wine.sh.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <sddl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_service_setup.h"
#include "platform/win32/win32_handles.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

const std::string kProgram = "C:\\Program Files\\Tolvane\\tolvane-service.exe";
const std::string kUser = "S-1-5-21-1004336348-1177238915-682003330-1001";

// The arguments a program started with `commandLine` reads, as the system
// splits them (CommandLineToArgvW, the rules the C runtime follows too).
Texts SplitAsTheSystemDoes(const std::string& commandLine) {
    const int wideSize = MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, nullptr, 0);
    std::wstring wide(wideSize, L'\0');
    MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, wide.data(), wideSize);
    int count = 0;
    LPWSTR* pieces = CommandLineToArgvW(wide.c_str(), &count);
    Texts split;
    for (int i = 0; pieces && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_ACP, 0, pieces[i], -1, nullptr, 0, nullptr, nullptr);
        std::string piece(size, '\0');
        WideCharToMultiByte(CP_ACP, 0, pieces[i], -1, piece.data(), size, nullptr, nullptr);
        piece.resize(size - 1);
        split.push_back(piece);
    }
    LocalFree(pieces);
    return split;
}

TEST(ServiceImagePath, CarriesEachPathAsExactlyOneArgument) {
    const std::string schedules[] = {
        "C:\\Users\\Ann\\AppData\\Local\\Tolvane\\rebootdata.kx",
        "C:\\Users\\A B\\a & b ^ (c) !x! it's; [1] {2} =,+~`#@\\rebootdata.kx",
        "C:\\Users\\Ann\\dir\\\\double\\rebootdata.kx",  // backslashes not before a quote
        "\\\\server\\share\\Tolvane\\rebootdata.kx",
        "D:/forward/slashes/rebootdata.kx",
    };
    for (const auto& schedule : schedules) {
        std::string problem;
        const auto imagePath = ServiceImagePath(kProgram, kUser, schedule, problem);
        ASSERT_TRUE(imagePath) << schedule << ": " << problem;
        EXPECT_EQ(*imagePath, "\"" + kProgram + "\" --user " + kUser + " --schedule \"" +
                                  schedule + "\"");
        EXPECT_EQ(SplitAsTheSystemDoes(*imagePath),
                  (Texts{kProgram, "--user", kUser, "--schedule", schedule}));
    }
}

TEST(ServiceImagePath, RefusesWhatCouldBecomeOtherArgumentsOrAnotherFile) {
    const std::string folder = "C:\\Users\\Ann\\Tolvane";
    const struct {
        std::string program;
        std::string user;
        std::string schedule;
        const char* says;
    } cases[] = {
        {kProgram, kUser, folder + "\" --user S-1-5-18 --schedule \"C:\\x\\rebootdata.kx",
         "quotation mark"},
        {kProgram, kUser, folder + "\\quote\"\\rebootdata.kx", "quotation mark"},
        {kProgram, kUser, folder + "\\line\nbreak\\rebootdata.kx", "control character"},
        {kProgram, kUser, folder + "\\rebootdata.kx\r\n--user S-1-5-18", "control character"},
        {kProgram, kUser, folder + "\\tab\there\\rebootdata.kx", "control character"},
        {kProgram, kUser, folder + "\\del\x7f\\rebootdata.kx", "control character"},
        {kProgram, kUser, folder + "\\", "backslash"},
        {kProgram, kUser, folder + "\\\\", "backslash"},
        {kProgram, kUser, "%SystemRoot%\\rebootdata.kx", "full path"},
        {kProgram, kUser, "C:\\%SystemRoot%\\rebootdata.kx", "percent sign"},
        {kProgram, kUser, folder + "\\rebootdata.kx:hidden", "colon"},
        {kProgram, kUser, folder + "\\what?\\rebootdata.kx", "\"?\""},
        {kProgram, kUser, folder + "\\*\\rebootdata.kx", "\"*\""},
        {kProgram, kUser, folder + "\\a|b\\rebootdata.kx", "\"|\""},
        {kProgram, kUser, "rebootdata.kx", "full path"},
        {kProgram, kUser, "\\rebootdata.kx", "full path"},
        {kProgram, kUser, "C:rebootdata.kx", "full path"},
        {kProgram, kUser, "\\\\?\\C:\\rebootdata.kx", "full path"},
        {kProgram, kUser, "\\\\.\\pipe\\rebootdata.kx", "full path"},
        {kProgram, kUser, "", "full path"},
        {"C:\\Program Files\\%x%\\tolvane-service.exe", kUser, folder + "\\rebootdata.kx",
         "percent sign"},
        {"tolvane-service.exe", kUser, folder + "\\rebootdata.kx", "full path"},
        {kProgram, "S-1-5-21-1 --schedule C:\\x", folder + "\\rebootdata.kx", "not a SID"},
        {kProgram, "S-1-5-21-1\" x", folder + "\\rebootdata.kx", "not a SID"},
        {kProgram, "s-1-5-21-01", folder + "\\rebootdata.kx", "not a SID"},  // not as written
        {kProgram, "", folder + "\\rebootdata.kx", "not a SID"},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto imagePath = ServiceImagePath(c.program, c.user, c.schedule, problem);
        EXPECT_FALSE(imagePath) << c.schedule << " -> " << imagePath.value_or("");
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.schedule << ": " << problem;
        EXPECT_EQ(problem.find_first_of("\r\n"), std::string::npos) << problem;
    }
}

TEST(IsInsideFolder, ByWholeNamesWithoutRegardToCase) {
    const struct {
        const char* path;
        const char* folder;
        bool inside;
    } cases[] = {
        {"C:\\Program Files\\Tolvane\\tolvane-service.exe", "C:\\Program Files", true},
        {"c:\\program files\\tolvane\\x.exe", "C:\\PROGRAM FILES\\", true},
        {"C:\\Program Files", "C:\\Program Files", true},
        {"C:\\Program Files Evil\\x.exe", "C:\\Program Files", false},
        {"C:\\Program Filesx.exe", "C:\\Program Files", false},
        {"C:\\Users\\Ann\\Program Files\\x.exe", "C:\\Program Files", false},
        {"D:\\Program Files\\x.exe", "C:\\Program Files", false},
        {"C:\\Program", "C:\\Program Files", false},
        {"C:\\x.exe", "C:\\", true},
        {"C:\\x.exe", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsInsideFolder(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
    }
}

TEST(BroadWriters, AreThoseForAnybodyWhoMayChangeTheObjectItself) {
    const struct {
        const char* sddl;
        Texts writers;
    } cases[] = {
        // Program Files as Windows makes it: users read and run only.
        {"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         "(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         {}},
        {"D:(A;;FA;;;BA)(A;;FA;;;BU)", {"S-1-5-32-545"}},
        {"D:(A;;0x1200a9;;;WD)(A;;FA;;;AU)", {"S-1-5-11"}},
        {"D:(A;;FW;;;WD)", {"S-1-1-0"}},
        {"D:(A;;0x100;;;IU)", {}},                  // FILE_WRITE_ATTRIBUTES alone
        {"D:(A;;0x40;;;BU)", {"S-1-5-32-545"}},     // FILE_DELETE_CHILD
        {"D:(A;;0x10000;;;BU)", {"S-1-5-32-545"}},  // DELETE
        {"D:(A;;WD;;;BG)", {"S-1-5-32-546"}},       // WRITE_DAC
        {"D:(A;;GA;;;AN)", {"S-1-5-7"}},
        {"D:(A;OICIIO;FA;;;BU)", {}},  // inherited by what it holds only
        {"D:(D;;FA;;;BU)", {}},        // a denial grants nothing
        {"D:(A;;FA;;;S-1-5-21-1004336348-1177238915-682003330-1001)", {}},  // a named account
        {"D:", {}},  // nobody may do anything
    };
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            c.sddl, SDDL_REVISION_1, &descriptor, nullptr))
            << c.sddl;
        UniqueLocalMemory owned(descriptor);
        EXPECT_EQ(BroadWriters(descriptor), c.writers) << c.sddl;
    }
    // No DACL at all: everybody may do everything.
    SECURITY_DESCRIPTOR open{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_EQ(BroadWriters(&open), Texts{"S-1-1-0"});
}

// This test program stands in the build folder, as a per-user copy would
// stand in the user's folder: it may not install the service.
TEST(AllUsersFolder, IsInsideProgramFilesOnly) {
    const std::string self = ThisProgramPath();
    const std::string problem = AllUsersFolderProblem(self);
    EXPECT_NE(problem.find("not in the all-users installation"), std::string::npos) << problem;
    const std::string programFiles = KnownFolder(FOLDERID_ProgramFiles);
    ASSERT_FALSE(programFiles.empty());
    EXPECT_NE(AllUsersFolderProblem(programFiles), "") << "Program Files itself holds no program";
    EXPECT_NE(AllUsersFolderProblem(programFiles + "\\..\\Users\\x\\tolvane-service.exe"), "");
    EXPECT_NE(AllUsersFolderProblem(programFiles + " Evil\\tolvane-service.exe"), "");
}

TEST(WindowScheduleFolder, IsTheUsersOwnForAProgramInProgramFiles) {
    const std::string programFiles = KnownFolder(FOLDERID_ProgramFiles);
    const std::string local = KnownFolder(FOLDERID_LocalAppData);
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(WindowScheduleFolder(programFiles + "\\Tolvane"), local + "\\Tolvane");
    EXPECT_EQ(WindowScheduleFolder("C:\\Tools\\Tolvane"), "C:\\Tools\\Tolvane");
    EXPECT_EQ(WindowScheduleFolder(local + "\\Programs\\Tolvane"), local + "\\Programs\\Tolvane");
}

}  // namespace
}  // namespace tolvane::testing
