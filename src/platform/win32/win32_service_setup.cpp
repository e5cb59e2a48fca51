#include "platform/win32/win32_service_setup.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cctype>

#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "schedule/paths.h"
#include "schedule/schedule_file.h"

namespace tolvane {

namespace {

constexpr const char* kEventLogKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tolvane";
constexpr const char* kDescription =
    "Carries out the Tolvane schedule (the file after --schedule) for the user after --user, "
    "also when nobody is logged on.";
constexpr const char* kMachineDescription =
    "Carries out the machine's Tolvane schedule (%ProgramData%\\Tolvane\\rebootdata.kx), which "
    "only administrators can change, for every user, also when nobody is logged on.";
constexpr const char* kProgramName = "tolvane-service.exe";

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type handle) { CloseServiceHandle(handle); }
};
using UniqueServiceHandle = UniqueWin32<ServiceHandleTraits>;

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string StripSeparators(std::string_view path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
    return std::string(path);
}

// Rights that let their holder change the object or what it holds.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                                      GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// Everyone, anonymous, interactive, authenticated users, guests, users.
constexpr const char* kBroadSids[] = {"S-1-1-0",  "S-1-5-7",      "S-1-5-4",
                                      "S-1-5-11", "S-1-5-32-546", "S-1-5-32-545"};

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return "(unreadable SID)";
    std::string result = text;
    LocalFree(text);
    return result;
}

// What the file or folder at `path` lets anybody at large change; a problem
// reading its permissions counts as a writer, so nothing goes unchecked.
std::vector<std::string> BroadWritersOf(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error =
        GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return {"(its permissions could not be read: " + ErrorText(error) + ")"};
    UniqueLocalMemory owned(descriptor);
    return BroadWriters(descriptor);
}

// Waits (at most half a minute) for the service to report itself stopped.
bool StopAndWait(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 300; ++i) {
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        Sleep(100);
    }
    return false;
}

// The same file, whatever names lead to it.
bool SameFile(const std::string& a, const std::string& b) {
    const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        UniqueFileHandle file(CreateFileA(path.c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        return file && GetFileInformationByHandle(file.Get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!identity(a, x) || !identity(b, y)) return SameText(a, b);
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Earlier versions copied the program alone to %ProgramFiles%\Tolvane and
// ran that copy. It goes, unless it is this program, or the folder is an
// installation of the whole program (which its uninstaller takes away).
bool RemoveLeftCopy(const std::string& program, std::FILE* out) {
    const std::string programFiles = KnownFolder(FOLDERID_ProgramFiles);
    if (programFiles.empty()) return true;
    const std::string folder = JoinPath(StripSeparators(programFiles), '\\', "Tolvane");
    const std::string copy = folder + "\\" + kProgramName;
    if (!Exists(copy) || SameFile(copy, program)) return true;
    if (Exists(folder + "\\tolvane.exe") || Exists(folder + "\\uninstall.exe")) return true;
    // The service's process may end a moment after it reported itself stopped.
    for (int i = 0; i < 100 && !DeleteFileA(copy.c_str()); ++i) Sleep(100);
    if (Exists(copy)) {
        std::fprintf(out, "The copy an earlier version left could not be deleted: %s\n",
                     copy.c_str());
        return false;
    }
    RemoveDirectoryA(folder.c_str());  // only when empty
    std::fprintf(out, "Deleted the copy an earlier version left: %s\n", copy.c_str());
    return true;
}

struct ServiceNames {
    const char* name;
    const char* displayName;
    const char* description;
};

// Registers (or re-registers) the service `which` as LocalSystem with
// automatic start, writes the event log source, and starts it.
int RegisterAndStart(const ServiceNames& which, const std::string& program,
                     const std::string& imagePath, std::FILE* out) {
    UniqueServiceHandle manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        const DWORD error = GetLastError();
        std::fprintf(out, "Not installed: the service manager refused (%s).\n",
                     ErrorText(error).c_str());
        return error == ERROR_ACCESS_DENIED ? kServiceNeedsRights : 1;
    }
    UniqueServiceHandle service(OpenServiceA(manager.Get(), which.name, SERVICE_ALL_ACCESS));
    if (service) {
        // One installed before, perhaps for another user or folder, makes way.
        if (!StopAndWait(service.Get())) {
            std::fprintf(out, "Not installed: the service installed before did not stop.\n");
            return 1;
        }
        if (!ChangeServiceConfigA(service.Get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr,
                                  nullptr, "LocalSystem", "", which.displayName)) {
            std::fprintf(out, "Not installed: %s\n", ErrorText(GetLastError()).c_str());
            return 1;
        }
    } else {
        service.Reset(CreateServiceA(manager.Get(), which.name, which.displayName,
                                     SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, imagePath.c_str(),
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) {
            std::fprintf(out, "Not installed: %s\n", ErrorText(GetLastError()).c_str());
            return 1;
        }
    }
    SERVICE_DESCRIPTIONA description{const_cast<char*>(which.description)};
    ChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description);

    // The event log shows the service's entries through its message table.
    UniqueRegistryKey key;
    LSTATUS written = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventLogKey, 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, key.Out(), nullptr);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    if (written == ERROR_SUCCESS) {
        written = RegSetValueExA(key.Get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                                 reinterpret_cast<const BYTE*>(program.c_str()),
                                 static_cast<DWORD>(program.size() + 1));
    }
    if (written == ERROR_SUCCESS) {
        written = RegSetValueExA(key.Get(), "TypesSupported", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    if (written != ERROR_SUCCESS) {
        std::fprintf(out, "The event log source could not be written: %s\n",
                     ErrorText(static_cast<DWORD>(written)).c_str());
    }

    if (!StartServiceA(service.Get(), 0, nullptr)) {
        std::fprintf(out,
                     "The %s service is installed but did not start (%s): the event "
                     "log may say why.\n",
                     which.name, ErrorText(GetLastError()).c_str());
        return 1;
    }
    std::fprintf(out, "The %s service is installed and running: %s\n", which.name,
                 imagePath.c_str());
    return 0;
}

}  // namespace

std::string ImagePathArgumentProblem(std::string_view value) {
    if (value.empty()) return "it is empty";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return "it holds a control character";
        if (c == '"') return "it holds a quotation mark";
        if (c == '%') return "it holds a percent sign, which the service manager would expand";
        if (std::string_view("<>|?*").find(c) != std::string_view::npos) {
            return std::string("it holds \"") + c + "\", which no file name holds";
        }
    }
    if (value.back() == '\\') return "it ends in a backslash";
    // "C:" may start it; a colon anywhere else names a stream or a device.
    if (value.find(':', 2) != std::string_view::npos) return "it holds a colon after the drive";
    return "";
}

std::optional<std::string> ServiceImagePath(const std::string& program, const std::string& user,
                                            const std::string& schedule, std::string& problem) {
    const auto refuse = [&](const std::string& what, const std::string& value,
                            const std::string& why) -> std::optional<std::string> {
        // The value itself may hold a line break: say it in one line.
        std::string shown;
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            shown += byte < 0x20 || byte == 0x7f ? '?' : c;
        }
        problem =
            what + " cannot go into the service's command line (" + why + "): \"" + shown + "\"";
        return std::nullopt;
    };
    for (const auto& [what, value] :
         {std::pair<std::string, const std::string&>{"The program's path", program},
          {"--schedule", schedule}}) {
        if (!IsFullWindowsPath(value)) return refuse(what, value, "it is not a full path");
        const std::string why = ImagePathArgumentProblem(value);
        if (!why.empty()) return refuse(what, value, why);
    }
    const auto sid = CanonicalSid(user);
    if (!sid || *sid != user) return refuse("--user", user, "it is not a SID as Windows writes it");
    return "\"" + program + "\" --user " + *sid + " --schedule \"" + schedule + "\"";
}

std::vector<std::string> BroadWriters(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return {"(no permissions could be read)"};
    }
    if (!present || !dacl) return {"S-1-1-0"};  // no DACL: everybody may do everything
    std::vector<std::string> writers;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return {"(no permissions could be read)"};
        const auto* header = static_cast<ACE_HEADER*>(entry);
        // Only what grants, and only what applies to this object itself.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;
        }
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!(allowed->Mask & kChangeRights)) continue;
        const std::string sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
        if (std::find(std::begin(kBroadSids), std::end(kBroadSids), sid) != std::end(kBroadSids) &&
            std::find(writers.begin(), writers.end(), sid) == writers.end()) {
            writers.push_back(sid);
        }
    }
    return writers;
}

std::string ThisProgramPath() {
    const std::string path = ThisProgramFile();
    if (path.empty()) return {};
    // A short name (PROGRA~1) would not compare with the known folder.
    std::string longPath(32768, '\0');
    const DWORD length =
        GetLongPathNameA(path.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    if (length == 0 || length >= longPath.size()) return path;
    longPath.resize(length);
    return longPath;
}

std::string AllUsersFolderProblem(const std::string& program) {
    const std::string programFiles = StripSeparators(KnownFolder(FOLDERID_ProgramFiles));
    if (programFiles.empty()) return "the Program Files folder could not be read";
    // "\..\" could lead back out of it.
    if (!IsFullWindowsPath(program) || program.find("\\..") != std::string::npos ||
        !IsInsideFolder(program, programFiles) ||
        SameText(StripSeparators(program), programFiles)) {
        return "this copy of tolvane-service.exe is not in the all-users installation (in " +
               programFiles + "): " + program;
    }
    // The program, its folder and each folder above it up to Program Files:
    // a right to change any of them is a right to swap the program.
    std::string path = program;
    for (;;) {
        const auto writers = BroadWritersOf(path);
        if (!writers.empty()) {
            std::string names;
            for (const auto& writer : writers) names += (names.empty() ? "" : ", ") + writer;
            return "others than administrators may change " + path + " (" + names + ")";
        }
        if (SameText(path, programFiles)) return "";
        const std::string up = FolderOf(path, "\\");
        if (up.size() >= path.size()) return "";
        path = StripSeparators(up);
    }
}

int InstallService(const ServiceOptions& options, const Win32Identity& identity, std::FILE* out) {
    const std::string program = ThisProgramPath();
    const std::string notHere = AllUsersFolderProblem(program);
    if (!notHere.empty()) {
        std::fprintf(out, "Not installed: %s\n", notHere.c_str());
        return kServiceNotAllUsers;
    }
    // As the service itself would refuse it at its start.
    ServiceOptions asService = options;
    asService.install = false;
    std::string problem = WindowsServiceStartProblem(kLocalSystemSid, asService);
    if (problem.empty() && !identity.isUserAccount(*options.user)) {
        problem = "--user names no user's account on this computer: " + *options.user;
    }
    const auto imagePath = problem.empty()
                               ? ServiceImagePath(program, *options.user, options.schedule, problem)
                               : std::nullopt;
    if (!imagePath) {
        std::fprintf(out, "Not installed: %s\n", problem.c_str());
        return kServiceRefused;
    }

    return RegisterAndStart({kServiceName, kServiceName, kDescription}, program, *imagePath, out);
}

namespace {

bool ServiceExists(SC_HANDLE manager, const char* name) {
    UniqueServiceHandle service(OpenServiceA(manager, name, SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

// Stops and deletes the service `name`; the event log source goes with the
// last of the program's two services. `gone`: the service is no more (or
// never was).
int RemoveNamed(const char* name, std::FILE* out, bool& gone) {
    gone = false;
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        std::fprintf(out, "Not removed: the service manager refused (%s).\n",
                     ErrorText(GetLastError()).c_str());
        return 1;
    }
    UniqueServiceHandle service(
        OpenServiceA(manager.Get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    int status = 0;
    if (!service) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
            std::fprintf(out, "Not removed: %s\n", ErrorText(error).c_str());
            return error == ERROR_ACCESS_DENIED ? kServiceNeedsRights : 1;
        }
        std::fprintf(out, "The %s service is not installed.\n", name);
    } else {
        if (!StopAndWait(service.Get())) {
            std::fprintf(out, "The %s service did not stop; it goes when it does.\n", name);
        }
        if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
            std::fprintf(out, "Not removed: %s\n", ErrorText(GetLastError()).c_str());
            return 1;
        }
        std::fprintf(out, "The %s service is removed.\n", name);
    }
    gone = true;
    service.Reset();
    const char* other = std::string_view(name) == kServiceName ? kMachineServiceName : kServiceName;
    if (ServiceExists(manager.Get(), other)) return status;
    const LSTATUS deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventLogKey);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        std::fprintf(out, "The event log source could not be deleted: %s\n",
                     ErrorText(static_cast<DWORD>(deleted)).c_str());
        status = 1;
    }
    return status;
}

}  // namespace

int RemoveService(std::FILE* out) {
    const std::string program = ThisProgramPath();
    const std::string notHere = AllUsersFolderProblem(program);
    if (!notHere.empty()) {
        std::fprintf(out, "Not removed: %s\n", notHere.c_str());
        return kServiceNotAllUsers;
    }
    bool gone = false;
    int status = RemoveNamed(kServiceName, out, gone);
    if (gone && !RemoveLeftCopy(program, out)) status = 1;
    return status;
}

std::optional<std::string> MachineServiceImagePath(const std::string& program,
                                                   std::string& problem) {
    std::string why =
        IsFullWindowsPath(program) ? ImagePathArgumentProblem(program) : "it is not a full path";
    if (!why.empty()) {
        problem = "The program's path cannot go into the service's command line (" + why + ")";
        return std::nullopt;
    }
    return "\"" + program + "\" --machine";
}

int InstallMachineService(std::FILE* out) {
    const std::string program = ThisProgramPath();
    const std::string notHere = AllUsersFolderProblem(program);
    if (!notHere.empty()) {
        std::fprintf(out, "Not installed: %s\n", notHere.c_str());
        return kServiceNotAllUsers;
    }
    std::string problem;
    const auto imagePath = MachineServiceImagePath(program, problem);
    if (!imagePath) {
        std::fprintf(out, "Not installed: %s\n", problem.c_str());
        return kServiceRefused;
    }
    return RegisterAndStart({kMachineServiceName, kMachineServiceDisplayName, kMachineDescription},
                            program, *imagePath, out);
}

int RemoveMachineService(std::FILE* out) {
    const std::string notHere = AllUsersFolderProblem(ThisProgramPath());
    if (!notHere.empty()) {
        std::fprintf(out, "Not removed: %s\n", notHere.c_str());
        return kServiceNotAllUsers;
    }
    bool gone = false;
    return RemoveNamed(kMachineServiceName, out, gone);
}

}  // namespace tolvane
