#include "platform/win32/win32_admin_only.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string_view>

#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_handles.h"
#include "schedule/paths.h"
#include "service/service_arguments.h"
#include "shell/notice_timer.h"

namespace tolvane {

namespace {

constexpr const char* kEveryone = "S-1-1-0";
// Grants to OWNER RIGHTS are the owner's.
constexpr const char* kOwnerRights = "S-1-3-4";
constexpr const char* kAdministrators[] = {
    "S-1-5-32-544",                                                    // Administrators
    "S-1-5-18",                                                        // SYSTEM
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

// What one right of each kind stands for on a file or folder.
ACCESS_MASK Mapped(ACCESS_MASK mask) {
    // An entry granting "as much as may be" grants everything.
    if (mask & (MAXIMUM_ALLOWED | GENERIC_ALL)) mask |= FILE_ALL_ACCESS;
    if (mask & GENERIC_WRITE) mask |= FILE_GENERIC_WRITE;
    if (mask & GENERIC_READ) mask |= FILE_GENERIC_READ;
    if (mask & GENERIC_EXECUTE) mask |= FILE_GENERIC_EXECUTE;
    return mask & ~(MAXIMUM_ALLOWED | GENERIC_ALL | GENERIC_WRITE | GENERIC_READ | GENERIC_EXECUTE);
}

// Rights that take a path away or hand it to someone else.
constexpr ACCESS_MASK kPathAwayRights = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
// FILE_DELETE_CHILD means nothing on a file: only a folder has children.
constexpr ACCESS_MASK kFileWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                         FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER;
// FILE_ADD_FILE and FILE_ADD_SUBDIRECTORY are the file's write and append bits.
constexpr ACCESS_MASK kFolderWriteRights = kFileWriteRights | FILE_DELETE_CHILD;

ACCESS_MASK RightsOf(WriteRule rule, bool folder) {
    if (rule == WriteRule::PathAway) return kPathAwayRights;
    return folder ? kFolderWriteRights : kFileWriteRights;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "C:\" or "\\server\share": where the walk up ends.
bool IsRoot(std::string_view path) {
    if (path.size() == 3 && path[1] == ':') return true;
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    const auto separators = std::count_if(path.begin() + 2, path.end(), IsSeparator);
    return separators <= 1;
}

// "." and ".." would make the walk judge folders other than those the path
// leads through.
bool HasDotComponent(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        const std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..") return true;
        start = end + 1;
    }
    return false;
}

std::optional<std::wstring> Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), length);
    return wide;
}

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text)) return {};
    std::string result = text;
    LocalFree(text);
    return result;
}

Win32AccessEntry EntryOf(const ACE_HEADER* header) {
    Win32AccessEntry entry;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            // Both start with the mask and the SID.
            const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
            entry.kind = Win32AccessEntry::Kind::Allow;
            entry.mask = allowed->Mask;
            entry.sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
            break;
        }
        case ACCESS_DENIED_ACE_TYPE: {
            const auto* denied = reinterpret_cast<const ACCESS_DENIED_ACE*>(header);
            entry.kind = Win32AccessEntry::Kind::Deny;
            entry.mask = denied->Mask;
            entry.sid = SidText(const_cast<DWORD*>(&denied->SidStart));
            break;
        }
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
            // Files carry none of these; one found grants who knows whom.
            entry.kind = Win32AccessEntry::Kind::Allow;
            entry.mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask;
            entry.sid = "(an entry of a kind files do not carry)";
            break;
        default:
            entry.kind = Win32AccessEntry::Kind::Other;
            break;
    }
    return entry;
}

}  // namespace

bool IsAdministratorsSid(const std::string& sid) {
    return std::find(std::begin(kAdministrators), std::end(kAdministrators), sid) !=
           std::end(kAdministrators);
}

std::optional<Win32Security> RealSecurityReader::Read(const std::string& path, std::string& error) {
    const auto wide = Wide(path);
    if (!wide) {
        error = "its path holds bytes the system's code page cannot read";
        return std::nullopt;
    }
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = ErrorText(GetLastError());
        return std::nullopt;
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetNamedSecurityInfoW(
        wide->c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        error = "its permissions could not be read: " + ErrorText(status);
        return std::nullopt;
    }
    UniqueLocalMemory owned(descriptor);
    Win32Security security;
    security.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    security.owner = SidText(owner);
    security.nullDacl = dacl == nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) {
            error = "its permissions could not be read: " + ErrorText(GetLastError());
            return std::nullopt;
        }
        security.entries.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
    }
    return security;
}

std::vector<std::string> OthersWhoMayWrite(const Win32Security& security, WriteRule rule,
                                           const std::string& runningAs) {
    const auto trusted = [&](const std::string& sid) {
        return IsAdministratorsSid(sid) || (!runningAs.empty() && sid == runningAs);
    };
    const ACCESS_MASK rights = RightsOf(rule, security.folder);
    std::vector<std::string> others;
    const auto add = [&](const std::string& who) {
        if (std::find(others.begin(), others.end(), who) == others.end()) others.push_back(who);
    };
    // The owner may always change the permissions, and so everything else.
    const bool ownerTrusted = trusted(security.owner);
    if (!ownerTrusted) {
        add(security.owner.empty() ? std::string("(no owner)") : security.owner + " (owner)");
    }
    if (security.nullDacl) {
        add(std::string(kEveryone) + " (no permissions at all)");
        return others;
    }
    for (std::size_t i = 0; i < security.entries.size(); ++i) {
        const Win32AccessEntry& entry = security.entries[i];
        if (entry.kind != Win32AccessEntry::Kind::Allow || entry.inheritOnly) continue;
        ACCESS_MASK granted = Mapped(entry.mask) & rights;
        // Entries are met in their order: only a deny before the grant, for a
        // SID every holder of the grant has, takes its rights away.
        for (std::size_t j = 0; j < i && granted; ++j) {
            const Win32AccessEntry& deny = security.entries[j];
            if (deny.kind == Win32AccessEntry::Kind::Deny && !deny.inheritOnly &&
                (deny.sid == entry.sid || deny.sid == kEveryone)) {
                granted &= ~Mapped(deny.mask);
            }
        }
        // OWNER RIGHTS grants to the owner, judged above.
        if (!granted || trusted(entry.sid) || entry.sid == kOwnerRights) continue;
        add(entry.sid.empty() ? std::string("(an unreadable SID)") : entry.sid);
    }
    return others;
}

std::string Win32AdminOnlyCheck::WhyOthersCanChange(const std::string& path) {
    std::string current = path;
    while (current.size() > 3 && IsSeparator(current.back())) current.pop_back();
    if (!IsFullWindowsPath(current) || HasDotComponent(current)) {
        return "not a full path without \".\" or \"..\": " + path;
    }
    WriteRule rule = WriteRule::Whole;
    for (;;) {
        std::string error;
        const auto security = reader_.Read(current, error);
        if (!security) return current + ": " + error;
        const auto others = OthersWhoMayWrite(*security, rule, runningAs_);
        if (!others.empty()) {
            std::string names;
            for (const auto& other : others) names += (names.empty() ? "" : ", ") + other;
            const bool alsoSelf = !runningAs_.empty() && !IsAdministratorsSid(runningAs_);
            return "others than Administrators, SYSTEM" +
                   (alsoSelf ? ", TrustedInstaller and " + runningAs_ : " and TrustedInstaller") +
                   " can change " + current + ": " + names;
        }
        if (IsRoot(current)) return "";
        const std::string up = FolderOf(current, "\\/");
        if (up.empty() || up.size() >= current.size()) return "";
        current = up;
        rule = WriteRule::PathAway;
    }
}

int MachineNoticeMinutes(const std::optional<Win32RegistryValue>& value) {
    if (!value) return NoticeTimer::kDefaultMinutes;
    if (value->type == REG_DWORD) {
        if (value->data.size() != sizeof(DWORD)) return NoticeTimer::kDefaultMinutes;
        DWORD minutes = 0;
        std::copy(value->data.begin(), value->data.end(), reinterpret_cast<char*>(&minutes));
        return minutes <= static_cast<DWORD>(NoticeTimer::kMostMinutes)
                   ? static_cast<int>(minutes)
                   : NoticeTimer::kDefaultMinutes;
    }
    if (value->type == REG_SZ) {
        std::string text = value->data;
        // Stored with its terminating NUL, or without.
        while (!text.empty() && text.back() == '\0') text.pop_back();
        if (text.find('\0') != std::string::npos) return NoticeTimer::kDefaultMinutes;
        return StoredNoticeMinutes(text);
    }
    return NoticeTimer::kDefaultMinutes;
}

int ReadMachineNoticeMinutes(HKEY root, const char* key) {
    UniqueRegistryKey opened;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, opened.Out()) != ERROR_SUCCESS) {
        return MachineNoticeMinutes(std::nullopt);
    }
    Win32RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExA(opened.Get(), "NoticeMinutes", nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > 64) {
        // Nothing a number of minutes needs so many bytes for.
        return MachineNoticeMinutes(std::nullopt);
    }
    value.data.resize(size);
    if (RegQueryValueExA(opened.Get(), "NoticeMinutes", nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS) {
        return MachineNoticeMinutes(std::nullopt);
    }
    value.data.resize(size);
    return MachineNoticeMinutes(value);
}

}  // namespace tolvane
