#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/admin_only.h"

namespace tolvane {

// Who may write a file or folder, as its security descriptor says, in plain
// values: the owner's SID and the DACL's entries in their order.
struct Win32AccessEntry {
    enum class Kind {
        Allow,  // grants (a conditional grant counts as one: its condition may hold)
        Deny,   // an unconditional deny
        Other,  // grants nothing (a conditional deny, an audit, an unknown kind)
    };
    Kind kind = Kind::Allow;
    std::string sid;
    ACCESS_MASK mask = 0;
    bool inheritOnly = false;  // for what is created inside, not for the object itself
};

struct Win32Security {
    bool folder = false;
    std::string owner;      // a SID as Windows writes it; empty when it has none
    bool nullDacl = false;  // no DACL at all: everybody may do everything
    std::vector<Win32AccessEntry> entries;
};

// Reads a path's owner and DACL; the real one through GetNamedSecurityInfoW.
class Win32SecurityReader {
  public:
    virtual ~Win32SecurityReader() = default;
    // Nothing, with why in `error`, when they cannot be read.
    virtual std::optional<Win32Security> Read(const std::string& path, std::string& error) = 0;
};

class RealSecurityReader final : public Win32SecurityReader {
  public:
    std::optional<Win32Security> Read(const std::string& path, std::string& error) override;
};

// The permissions the service gives %ProgramData%\Tolvane and its state
// folder when it makes them: SYSTEM and Administrators everything, Users
// read, owned by Administrators, nothing inherited from above.
inline constexpr const char* kMachineFolderSddl =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The accounts that may write the machine's schedule: Administrators,
// SYSTEM and TrustedInstaller.
bool IsAdministratorsSid(const std::string& sid);

// Which rights of a file or folder a change of it takes.
enum class WriteRule {
    // The schedule file or the state folder itself: anything that changes
    // its contents, its attributes or its security, or takes it away; for a
    // folder also adding to it or deleting from it.
    Whole,
    // A folder above them: only what takes the path away or hands the folder
    // to someone else (delete, delete child, change permissions or owner).
    // The system's own C:\ and C:\ProgramData let every user create things
    // in them, which cannot replace what is already there.
    PathAway,
};

// Who else than the administrators and `runningAs` (the account this
// program runs as, a SID; empty for none) may change the object by `rule`:
// empty when nobody, otherwise the SIDs (the owner first, when it is someone
// else). The program's own account gains nothing by changing what the
// program reads: it could do whatever the program does itself. A deny entry
// takes rights away from a later grant only when it certainly covers the
// grant's holder: the same SID, or Everyone.
std::vector<std::string> OthersWhoMayWrite(const Win32Security& security, WriteRule rule,
                                           const std::string& runningAs = "");

// The administrators-only check on Windows: the file or folder at `path`
// by the whole rule, every folder above it by the path rule. As LocalSystem
// (the installed service) that is Administrators, SYSTEM and
// TrustedInstaller alone; run by a person (--console), that person's own
// account as well.
class Win32AdminOnlyCheck final : public AdminOnlyCheck {
  public:
    Win32AdminOnlyCheck(Win32SecurityReader& reader, std::string runningAs)
        : reader_(reader), runningAs_(std::move(runningAs)) {}
    std::string WhyOthersCanChange(const std::string& path) override;

  private:
    Win32SecurityReader& reader_;
    std::string runningAs_;
};

// The machine's NoticeMinutes as the value under HKLM\Software\Tolvane holds
// it: a REG_DWORD or a text of whole minutes, 0 to a day; anything else, or
// no value, is the default of 5.
struct Win32RegistryValue {
    DWORD type = REG_NONE;
    std::string data;  // the value's bytes as stored
};
int MachineNoticeMinutes(const std::optional<Win32RegistryValue>& value);

// Reads it from `root`\`key` (HKLM\Software\Tolvane for the program).
inline constexpr const char* kMachineSettingsKey = "Software\\Tolvane";
int ReadMachineNoticeMinutes(HKEY root = HKEY_LOCAL_MACHINE, const char* key = kMachineSettingsKey);

}  // namespace tolvane
