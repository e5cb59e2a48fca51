// Whether only administrators can change the machine's schedule on Windows:
// the rule over owners and DACLs with security read from a stand-in, the walk
// up the folders, the real reader on folders this test makes with known
// permissions, and the machine's notice minutes from the registry.
#include "platform/win32/win32_admin_only.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

using Kind = Win32AccessEntry::Kind;
using Texts = std::vector<std::string>;

const std::string kAdmins = "S-1-5-32-544";
const std::string kSystem = "S-1-5-18";
const std::string kInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::string kUsers = "S-1-5-32-545";
const std::string kAuthenticated = "S-1-5-11";
const std::string kEveryone = "S-1-1-0";
const std::string kBob = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kCreatorOwner = "S-1-3-0";
const std::string kOwnerRights = "S-1-3-4";

Win32AccessEntry Allow(const std::string& sid, ACCESS_MASK mask, bool inheritOnly = false) {
    return {Kind::Allow, sid, mask, inheritOnly};
}
Win32AccessEntry Deny(const std::string& sid, ACCESS_MASK mask) {
    return {Kind::Deny, sid, mask, false};
}

// What the service gives %ProgramData%\Tolvane, and what a file made in it inherits.
Win32Security OurFolder() {
    return {true,
            kAdmins,
            false,
            {Allow(kSystem, FILE_ALL_ACCESS), Allow(kAdmins, FILE_ALL_ACCESS),
             Allow(kUsers, 0x1200a9)}};
}
Win32Security OurFile() {
    Win32Security file = OurFolder();
    file.folder = false;
    return file;
}
// As Windows ships C:\ and C:\ProgramData: users may create folders (and in
// ProgramData files) in them, and own what they create.
Win32Security DriveRoot() {
    return {true,
            kInstaller,
            false,
            {Allow(kAdmins, FILE_ALL_ACCESS), Allow(kSystem, FILE_ALL_ACCESS),
             Allow(kUsers, 0x1200a9), Allow(kAuthenticated, FILE_ADD_SUBDIRECTORY),
             Allow(kAuthenticated, DELETE | GENERIC_WRITE | GENERIC_READ | GENERIC_EXECUTE, true)}};
}
Win32Security ProgramData() {
    return {true,
            kSystem,
            false,
            {Allow(kCreatorOwner, GENERIC_ALL, true), Allow(kSystem, FILE_ALL_ACCESS),
             Allow(kAdmins, FILE_ALL_ACCESS), Allow(kUsers, FILE_GENERIC_READ | FILE_EXECUTE),
             Allow(kUsers,
                   FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES)}};
}

Win32Security With(Win32Security security, std::vector<Win32AccessEntry> entries) {
    security.entries.insert(security.entries.end(), entries.begin(), entries.end());
    return security;
}
Win32Security Owned(Win32Security security, const std::string& owner) {
    security.owner = owner;
    return security;
}

TEST(OthersWhoMayWrite, TrustTheProgramsOwnAccountAlone) {
    // As Wine shows a file of the account running it: owned by it, with the
    // Unix file's bits for everybody else.
    const Win32Security mine = {false,
                                kBob,
                                false,
                                {Allow(kSystem, FILE_ALL_ACCESS), Allow(kBob, FILE_ALL_ACCESS),
                                 Allow(kEveryone, 0x1200a9)}};
    EXPECT_EQ(OthersWhoMayWrite(mine, WriteRule::Whole, kBob), Texts{});
    EXPECT_EQ(OthersWhoMayWrite(mine, WriteRule::Whole, kSystem), (Texts{kBob + " (owner)", kBob}));
    EXPECT_EQ(OthersWhoMayWrite(mine, WriteRule::Whole, ""), (Texts{kBob + " (owner)", kBob}));
    EXPECT_EQ(OthersWhoMayWrite(With(mine, {Allow(kEveryone, 0x1301ff)}), WriteRule::Whole, kBob),
              Texts{kEveryone});
    // Another Unix user's file: Wine names its owner ANONYMOUS LOGON.
    const Win32Security theirs = {
        false,
        "S-1-5-7",
        false,
        {Allow(kSystem, FILE_ALL_ACCESS), Allow("S-1-5-7", FILE_ALL_ACCESS)}};
    EXPECT_EQ(OthersWhoMayWrite(theirs, WriteRule::Whole, kBob),
              (Texts{"S-1-5-7 (owner)", "S-1-5-7"}));
}

TEST(OthersWhoMayWrite, NameWhoElseCanChangeTheObject) {
    struct Case {
        const char* what;
        Win32Security security;
        WriteRule rule;
        Texts others;
    };
    const Win32Security bare = {false, kAdmins, false, {}};
    const Win32Security bareFolder = {true, kAdmins, false, {}};
    const Case cases[] = {
        {"the service's folder", OurFolder(), WriteRule::Whole, {}},
        {"a file made in it", OurFile(), WriteRule::Whole, {}},
        {"TrustedInstaller and SYSTEM own and write",
         Owned(With(bare, {Allow(kInstaller, FILE_ALL_ACCESS)}), kSystem),
         WriteRule::Whole,
         {}},
        {"owned by a user", Owned(OurFile(), kBob), WriteRule::Whole, {kBob + " (owner)"}},
        {"owned by nobody", Owned(OurFile(), ""), WriteRule::Whole, {"(no owner)"}},
        {"no DACL",
         {false, kAdmins, true, {}},
         WriteRule::Whole,
         {"S-1-1-0 (no permissions at all)"}},
        {"no DACL on a folder above",
         {true, kAdmins, true, {}},
         WriteRule::PathAway,
         {"S-1-1-0 (no permissions at all)"}},
        {"an empty DACL lets nobody in", bare, WriteRule::Whole, {}},
        // Each right that changes a file, alone.
        {"write data", With(bare, {Allow(kUsers, FILE_WRITE_DATA)}), WriteRule::Whole, {kUsers}},
        {"append", With(bare, {Allow(kUsers, FILE_APPEND_DATA)}), WriteRule::Whole, {kUsers}},
        {"write attributes",
         With(bare, {Allow(kUsers, FILE_WRITE_ATTRIBUTES)}),
         WriteRule::Whole,
         {kUsers}},
        {"write extended attributes",
         With(bare, {Allow(kUsers, FILE_WRITE_EA)}),
         WriteRule::Whole,
         {kUsers}},
        {"delete", With(bare, {Allow(kUsers, DELETE)}), WriteRule::Whole, {kUsers}},
        {"change permissions", With(bare, {Allow(kUsers, WRITE_DAC)}), WriteRule::Whole, {kUsers}},
        {"take ownership", With(bare, {Allow(kUsers, WRITE_OWNER)}), WriteRule::Whole, {kUsers}},
        {"generic write", With(bare, {Allow(kUsers, GENERIC_WRITE)}), WriteRule::Whole, {kUsers}},
        {"generic all", With(bare, {Allow(kUsers, GENERIC_ALL)}), WriteRule::Whole, {kUsers}},
        {"as much as may be",
         With(bare, {Allow(kUsers, MAXIMUM_ALLOWED)}),
         WriteRule::Whole,
         {kUsers}},
        // Reading, running and synchronizing change nothing.
        {"read and execute",
         With(bare, {Allow(kEveryone, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ |
                                          GENERIC_EXECUTE)}),
         WriteRule::Whole,
         {}},
        // Delete child is the folder's right; on a file it means nothing.
        {"delete child on a file",
         With(bare, {Allow(kUsers, FILE_DELETE_CHILD)}),
         WriteRule::Whole,
         {}},
        {"delete child on the folder",
         With(bareFolder, {Allow(kUsers, FILE_DELETE_CHILD)}),
         WriteRule::Whole,
         {kUsers}},
        {"add a file to the folder",
         With(bareFolder, {Allow(kUsers, FILE_ADD_FILE)}),
         WriteRule::Whole,
         {kUsers}},
        {"add a folder to the folder",
         With(bareFolder, {Allow(kUsers, FILE_ADD_SUBDIRECTORY)}),
         WriteRule::Whole,
         {kUsers}},
        // What is only inherited applies to what is made inside, not here.
        {"inherit-only grant",
         With(bare, {Allow(kUsers, FILE_ALL_ACCESS, true)}),
         WriteRule::Whole,
         {}},
        {"conditional deny or unknown entry grants nothing",
         With(bare, {{Kind::Other, kUsers, FILE_ALL_ACCESS, false}}),
         WriteRule::Whole,
         {}},
        {"the owner's rights go to an administrator owner",
         With(bare, {Allow(kOwnerRights, FILE_ALL_ACCESS)}),
         WriteRule::Whole,
         {}},
        {"the owner's rights of a user owner name the owner once",
         Owned(With(bare, {Allow(kOwnerRights, FILE_ALL_ACCESS)}), kBob),
         WriteRule::Whole,
         {kBob + " (owner)"}},
        {"a grant to CREATOR OWNER on the object itself",
         With(bare, {Allow(kCreatorOwner, GENERIC_ALL)}),
         WriteRule::Whole,
         {kCreatorOwner}},
        {"every grantee once, in order",
         With(bare,
              {Allow(kUsers, FILE_WRITE_DATA), Allow(kBob, DELETE), Allow(kUsers, WRITE_DAC)}),
         WriteRule::Whole,
         {kUsers, kBob}},
        // Denies: met before the grant and certainly covering its holder.
        {"deny for the same SID first",
         With(bare, {Deny(kUsers, FILE_ALL_ACCESS), Allow(kUsers, FILE_ALL_ACCESS)}),
         WriteRule::Whole,
         {}},
        {"deny generic write first takes mapped rights",
         With(bare, {Deny(kUsers, GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER),
                     Allow(kUsers, FILE_GENERIC_WRITE)}),
         WriteRule::Whole,
         {}},
        {"deny for everyone first",
         With(bare, {Deny(kEveryone, GENERIC_ALL), Allow(kAuthenticated, GENERIC_ALL)}),
         WriteRule::Whole,
         {}},
        {"deny after the grant comes too late",
         With(bare, {Allow(kUsers, FILE_WRITE_DATA), Deny(kUsers, FILE_ALL_ACCESS)}),
         WriteRule::Whole,
         {kUsers}},
        {"deny of some rights leaves the others",
         With(bare, {Deny(kUsers, FILE_WRITE_DATA), Allow(kUsers, FILE_WRITE_DATA | DELETE)}),
         WriteRule::Whole,
         {kUsers}},
        {"deny for users does not cover every authenticated one",
         With(bare, {Deny(kUsers, FILE_ALL_ACCESS), Allow(kAuthenticated, FILE_WRITE_DATA)}),
         WriteRule::Whole,
         {kAuthenticated}},
        // Folders above: only what takes the path away.
        {"the system's drive root above", DriveRoot(), WriteRule::PathAway, {}},
        {"the system's ProgramData above", ProgramData(), WriteRule::PathAway, {}},
        {"ProgramData as the state folder itself", ProgramData(), WriteRule::Whole, {kUsers}},
        {"delete child above",
         With(bareFolder, {Allow(kUsers, FILE_DELETE_CHILD)}),
         WriteRule::PathAway,
         {kUsers}},
        {"delete above", With(bareFolder, {Allow(kUsers, DELETE)}), WriteRule::PathAway, {kUsers}},
        {"change permissions above",
         With(bareFolder, {Allow(kUsers, WRITE_DAC)}),
         WriteRule::PathAway,
         {kUsers}},
        {"take ownership above",
         With(bareFolder, {Allow(kUsers, WRITE_OWNER)}),
         WriteRule::PathAway,
         {kUsers}},
        {"generic write above adds, takes nothing away",
         With(bareFolder, {Allow(kUsers, GENERIC_WRITE)}),
         WriteRule::PathAway,
         {}},
        {"generic all above",
         With(bareFolder, {Allow(kUsers, GENERIC_ALL)}),
         WriteRule::PathAway,
         {kUsers}},
        {"a user owns a folder above",
         Owned(bareFolder, kBob),
         WriteRule::PathAway,
         {kBob + " (owner)"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OthersWhoMayWrite(c.security, c.rule), c.others) << c.what;
    }
}

// Answers for each path as the test set it; every read is written down.
struct FakeSecurityReader final : Win32SecurityReader {
    std::map<std::string, Win32Security> paths;
    std::map<std::string, std::string> errors;
    Texts reads;
    std::optional<Win32Security> Read(const std::string& path, std::string& error) override {
        reads.push_back(path);
        if (const auto failed = errors.find(path); failed != errors.end()) {
            error = failed->second;
            return std::nullopt;
        }
        const auto found = paths.find(path);
        if (found == paths.end()) {
            error = "The system cannot find the file specified.";
            return std::nullopt;
        }
        return found->second;
    }
};

FakeSecurityReader StandardMachine() {
    FakeSecurityReader reader;
    reader.paths = {{"C:\\", DriveRoot()},
                    {"C:\\ProgramData", ProgramData()},
                    {"C:\\ProgramData\\Tolvane", OurFolder()},
                    {"C:\\ProgramData\\Tolvane\\state", OurFolder()},
                    {"C:\\ProgramData\\Tolvane\\rebootdata.kx", OurFile()},
                    {"\\\\server\\share", ProgramData()},
                    {"\\\\server\\share\\rebootdata.kx", OurFile()}};
    return reader;
}

TEST(Win32AdminOnlyCheck, JudgesThePathWholeAndEveryFolderAboveByWhatTakesItAway) {
    struct Case {
        const char* what;
        std::string path;
        std::function<void(FakeSecurityReader&)> change;
        std::string why;  // empty: administrators' alone
        Texts reads;
    };
    const Texts upFromFile = {"C:\\ProgramData\\Tolvane\\rebootdata.kx", "C:\\ProgramData\\Tolvane",
                              "C:\\ProgramData", "C:\\"};
    const auto none = [](FakeSecurityReader&) {};
    const std::string others =
        "others than Administrators, SYSTEM and TrustedInstaller can change ";
    const Case cases[] = {
        {"the schedule as the service makes its folder", "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         none, "", upFromFile},
        {"the state folder",
         "C:\\ProgramData\\Tolvane\\state",
         none,
         "",
         {"C:\\ProgramData\\Tolvane\\state", "C:\\ProgramData\\Tolvane", "C:\\ProgramData",
          "C:\\"}},
        {"a trailing separator",
         "C:\\ProgramData\\Tolvane\\state\\",
         none,
         "",
         {"C:\\ProgramData\\Tolvane\\state", "C:\\ProgramData\\Tolvane", "C:\\ProgramData",
          "C:\\"}},
        {"forward slashes",
         "C:/ProgramData/Tolvane/rebootdata.kx",
         [](FakeSecurityReader& r) {
             r.paths["C:/ProgramData/Tolvane/rebootdata.kx"] = OurFile();
             r.paths["C:/ProgramData/Tolvane"] = OurFolder();
             r.paths["C:/ProgramData"] = ProgramData();
             r.paths["C:/"] = DriveRoot();
         },
         "",
         {"C:/ProgramData/Tolvane/rebootdata.kx", "C:/ProgramData/Tolvane", "C:/ProgramData",
          "C:/"}},
        {"a share ends at its root",
         "\\\\server\\share\\rebootdata.kx",
         none,
         "",
         {"\\\\server\\share\\rebootdata.kx", "\\\\server\\share"}},
        {"the file writable by users",
         "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         [](FakeSecurityReader& r) {
             r.paths["C:\\ProgramData\\Tolvane\\rebootdata.kx"] =
                 With(OurFile(), {Allow(kUsers, FILE_GENERIC_WRITE)});
         },
         others + "C:\\ProgramData\\Tolvane\\rebootdata.kx: " + kUsers,
         {"C:\\ProgramData\\Tolvane\\rebootdata.kx"}},
        {"its folder made first by a user, who owns it",
         "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         [](FakeSecurityReader& r) { r.paths["C:\\ProgramData\\Tolvane"].owner = kBob; },
         others + "C:\\ProgramData\\Tolvane: " + kBob + " (owner)",
         {"C:\\ProgramData\\Tolvane\\rebootdata.kx", "C:\\ProgramData\\Tolvane"}},
        {"users may add files beside the schedule", "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         [](FakeSecurityReader& r) {
             r.paths["C:\\ProgramData\\Tolvane"] =
                 With(OurFolder(), {Allow(kUsers, FILE_ADD_FILE)});
         },
         "", upFromFile},
        {"but not to the state folder",
         "C:\\ProgramData\\Tolvane\\state",
         [](FakeSecurityReader& r) {
             r.paths["C:\\ProgramData\\Tolvane\\state"] =
                 With(OurFolder(), {Allow(kUsers, FILE_ADD_FILE)});
         },
         others + "C:\\ProgramData\\Tolvane\\state: " + kUsers,
         {"C:\\ProgramData\\Tolvane\\state"}},
        {"users may delete from the drive's root", "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         [](FakeSecurityReader& r) {
             r.paths["C:\\"] = With(DriveRoot(), {Allow(kUsers, FILE_DELETE_CHILD)});
         },
         others + "C:\\: " + kUsers, upFromFile},
        {"a folder above that cannot be read",
         "C:\\ProgramData\\Tolvane\\rebootdata.kx",
         [](FakeSecurityReader& r) { r.errors["C:\\ProgramData"] = "Access is denied."; },
         "C:\\ProgramData: Access is denied.",
         {"C:\\ProgramData\\Tolvane\\rebootdata.kx", "C:\\ProgramData\\Tolvane",
          "C:\\ProgramData"}},
        {"a relative path",
         "Tolvane\\rebootdata.kx",
         none,
         "not a full path without \".\" or \"..\": Tolvane\\rebootdata.kx",
         {}},
        {"a path through ..",
         "C:\\Users\\bob\\..\\..\\ProgramData\\Tolvane\\rebootdata.kx",
         none,
         "not a full path without \".\" or \"..\": "
         "C:\\Users\\bob\\..\\..\\ProgramData\\Tolvane\\rebootdata.kx",
         {}},
        {"a path through .",
         "C:\\ProgramData\\.\\Tolvane\\rebootdata.kx",
         none,
         "not a full path without \".\" or \"..\": C:\\ProgramData\\.\\Tolvane\\rebootdata.kx",
         {}},
    };
    for (const Case& c : cases) {
        FakeSecurityReader reader = StandardMachine();
        c.change(reader);
        Win32AdminOnlyCheck check(reader, kSystem);
        EXPECT_EQ(check.WhyOthersCanChange(c.path), c.why) << c.what;
        EXPECT_EQ(reader.reads, c.reads) << c.what;
    }
}

TEST(Win32AdminOnlyCheck, RunByAPersonTrustsThatPersonsOwnFiles) {
    FakeSecurityReader reader = StandardMachine();
    reader.paths["C:\\ProgramData\\Tolvane"].owner = kBob;
    const std::string schedule = "C:\\ProgramData\\Tolvane\\rebootdata.kx";
    EXPECT_EQ(Win32AdminOnlyCheck(reader, kBob).WhyOthersCanChange(schedule), "");
    EXPECT_EQ(Win32AdminOnlyCheck(reader, kSystem).WhyOthersCanChange(schedule),
              "others than Administrators, SYSTEM and TrustedInstaller can change "
              "C:\\ProgramData\\Tolvane: " +
                  kBob + " (owner)");
    reader.paths[schedule] = With(OurFile(), {Allow(kUsers, FILE_WRITE_DATA)});
    EXPECT_EQ(Win32AdminOnlyCheck(reader, kBob).WhyOthersCanChange(schedule),
              "others than Administrators, SYSTEM, TrustedInstaller and " + kBob + " can change " +
                  schedule + ": " + kUsers);
}

// ---- The real reader ----

std::string SidOf(WELL_KNOWN_SID_TYPE type) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    if (!CreateWellKnownSid(type, nullptr, buffer, &size)) return {};
    char* text = nullptr;
    ConvertSidToStringSidA(buffer, &text);
    std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

// The account this process runs as.
std::string SelfSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
    CloseHandle(token);
    char* text = nullptr;
    if (!read || !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return {};
    }
    std::string sid = text;
    LocalFree(text);
    return sid;
}

// The owner and DACL as the system reports them, for a failure's message.
std::string Sddl(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "(unreadable)";
    }
    UniqueLocalMemory owned(descriptor);
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(
        descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
        nullptr);
    std::string sddl = text ? text : "(unreadable)";
    LocalFree(text);
    return sddl;
}

// A folder made with `sddl` as its security.
bool MakeFolder(const std::string& path, const char* sddl) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            sddl, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
        return false;
    }
    UniqueLocalMemory owned(attributes.lpSecurityDescriptor);
    return CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

struct RealSecurityReaderTest : ::testing::Test {
    ~RealSecurityReaderTest() override { RemoveFolderTree(scratch); }
    std::string scratch = MakeScratchFolder();
};

// What the system reports is read as it is: a folder made with the
// service's permissions and a file made in it are nobody else's; given
// permissions that let everyone write, they are not. (Wine keeps no
// permissions of its own: it shows the Unix file's owner and mode bits.)
TEST_F(RealSecurityReaderTest, ReadsWhatTheSystemReportsForTheRule) {
    const std::string self = SelfSid();
    ASSERT_FALSE(self.empty());
    const std::string ours = scratch + "\\ours";
    ASSERT_TRUE(MakeFolder(ours, kMachineFolderSddl)) << GetLastError();
    const std::string file = ours + "\\rebootdata.kx";
    WriteWholeFile(file, "x");

    RealSecurityReader reader;
    std::string error;
    auto security = reader.Read(ours, error);
    ASSERT_TRUE(security) << error;
    EXPECT_TRUE(security->folder);
    EXPECT_EQ(OthersWhoMayWrite(*security, WriteRule::Whole, self), Texts{}) << Sddl(ours);
    security = reader.Read(file, error);
    ASSERT_TRUE(security) << error;
    EXPECT_FALSE(security->folder);
    EXPECT_EQ(OthersWhoMayWrite(*security, WriteRule::Whole, self), Texts{}) << Sddl(file);

    // Opened to everyone afterwards (made so, Wine's umask would close it again).
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    UniqueLocalMemory owned(descriptor);
    for (const std::string& path : {file, ours}) {
        ASSERT_TRUE(SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor))
            << GetLastError();
        security = reader.Read(path, error);
        ASSERT_TRUE(security) << error;
        EXPECT_EQ(OthersWhoMayWrite(*security, WriteRule::Whole, self), Texts{kEveryone})
            << Sddl(path);
    }
}

TEST_F(RealSecurityReaderTest, SaysWhyWhatIsMissingCannotBeRead) {
    std::string error;
    EXPECT_FALSE(RealSecurityReader().Read(scratch + "\\missing", error));
    EXPECT_FALSE(error.empty());
}

TEST(RealSecurityReader, KnowsTheWellKnownAccountsAsTheRuleNamesThem) {
    EXPECT_EQ(SidOf(WinBuiltinAdministratorsSid), kAdmins);
    EXPECT_EQ(SidOf(WinLocalSystemSid), kSystem);
    EXPECT_TRUE(IsAdministratorsSid(kInstaller));
    EXPECT_FALSE(IsAdministratorsSid(kUsers));
    EXPECT_FALSE(IsAdministratorsSid(""));
}

// ---- Notice minutes ----

Win32RegistryValue Dword(DWORD minutes) {
    Win32RegistryValue value{REG_DWORD, std::string(sizeof minutes, '\0')};
    std::memcpy(value.data.data(), &minutes, sizeof minutes);
    return value;
}
Win32RegistryValue Text(const std::string& text) {
    return {REG_SZ, text};
}

TEST(MachineNoticeMinutes, TakeWholeMinutesUpToADayAndOtherwiseFive) {
    struct Case {
        std::optional<Win32RegistryValue> value;
        int minutes;
    };
    const Case cases[] = {
        {std::nullopt, 5},
        {Dword(0), 0},
        {Dword(10), 10},
        {Dword(1440), 1440},
        {Dword(1441), 5},
        {Dword(0xffffffff), 5},
        {Win32RegistryValue{REG_DWORD, "\x0a"}, 5},  // too short for a number
        {Text(std::string("15\0", 3)), 15},
        {Text("15"), 15},
        {Text(" 7 "), 7},
        {Text("-1"), 5},
        {Text("ten"), 5},
        {Text(std::string("1\0"
                          "9",
                          3)),
         5},
        {Win32RegistryValue{REG_BINARY, "\x0a\0\0\0"}, 5},
        {Win32RegistryValue{REG_QWORD, std::string("\x0a\0\0\0\0\0\0\0", 8)}, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MachineNoticeMinutes(c.value), c.minutes)
            << (c.value ? std::to_string(c.value->type) + " " + c.value->data : "none");
    }
}

TEST(MachineNoticeMinutes, AreReadFromTheKeyAsStored) {
    // A key of the test's own, in the user's hive of the test's prefix.
    const std::string key =
        "Software\\TolvaneTest\\NoticeMinutes" + std::to_string(GetCurrentProcessId());
    EXPECT_EQ(ReadMachineNoticeMinutes(HKEY_CURRENT_USER, key.c_str()), 5) << "no key";
    UniqueRegistryKey created;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, created.Out(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadMachineNoticeMinutes(HKEY_CURRENT_USER, key.c_str()), 5) << "no value";
    const DWORD twelve = 12;
    RegSetValueExA(created.Get(), "NoticeMinutes", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&twelve), sizeof twelve);
    EXPECT_EQ(ReadMachineNoticeMinutes(HKEY_CURRENT_USER, key.c_str()), 12);
    RegSetValueExA(created.Get(), "NoticeMinutes", 0, REG_SZ, reinterpret_cast<const BYTE*>("3"),
                   2);
    EXPECT_EQ(ReadMachineNoticeMinutes(HKEY_CURRENT_USER, key.c_str()), 3);
    const std::string huge(1000, '7');
    RegSetValueExA(created.Get(), "NoticeMinutes", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(huge.c_str()),
                   static_cast<DWORD>(huge.size() + 1));
    EXPECT_EQ(ReadMachineNoticeMinutes(HKEY_CURRENT_USER, key.c_str()), 5);
    created.Reset(nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
}  // namespace tolvane::testing
