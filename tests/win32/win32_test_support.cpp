#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tolvane::testing {

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

namespace {

// What a failing call may leave in its out-arguments; never to be used.
const HANDLE kJunkToken = reinterpret_cast<HANDLE>(0xBAD);
constexpr LUID kJunkLuid{77, 77};

BOOL Answer(BOOL result, DWORD error) {
    SetLastError(error);
    return result;
}

}  // namespace

void RecordedTokenCalls::Record(Win32TokenCalls& table) {
    table.openProcessToken = [this](HANDLE of, DWORD access, PHANDLE token) {
        calls.push_back("OpenProcessToken(" +
                        std::string(of == process ? "this process" : "other") + ", " + Hex(access) +
                        ")");
        *token = openTokenError ? kJunkToken : kRecordedToken;
        return Answer(openTokenError == 0, openTokenError);
    };
    table.lookupPrivilegeValue = [this](LPCSTR system, LPCSTR name, PLUID luid) {
        calls.push_back(std::string("LookupPrivilegeValue(") + (system ? system : "local") + ", " +
                        name + ")");
        *luid = lookupError ? kJunkLuid : kRecordedShutdownLuid;
        return Answer(lookupError == 0, lookupError);
    };
    table.adjustTokenPrivileges = [this](HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES wanted,
                                         DWORD length, PTOKEN_PRIVILEGES previous,
                                         PDWORD returned) {
        const auto& entry = wanted->Privileges[0];
        // The previous state goes with its length, or neither is asked for.
        const char* previousState = previous && returned   ? "previous"
                                    : previous || returned ? "half a previous"
                                                           : "no previous";
        calls.push_back("AdjustTokenPrivileges(" + HandleName(token) + ", " +
                        (disableAll ? "disable all" : "keep others") + ", " +
                        std::to_string(wanted->PrivilegeCount) + " x {" +
                        std::to_string(entry.Luid.LowPart) + ":" +
                        std::to_string(entry.Luid.HighPart) + ", " + Hex(entry.Attributes) + "}, " +
                        std::to_string(length) + ", " + previousState + ")");
        return Answer(adjustResult, adjustLastError);
    };
    table.closeHandle = [this](HANDLE handle) {
        calls.push_back("CloseHandle(" + HandleName(handle) + ")");
        return TRUE;
    };
}

std::string RecordedTokenCalls::HandleName(HANDLE handle) const {
    if (handle == kRecordedToken) return "token";
    if (handle == nullptr) return "no token";
    return "other";
}

std::string UniqueName(const std::string& prefix) {
    static unsigned counter = 0;
    return prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
           "-" + std::to_string(++counter);
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string MakeScratchFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    // Wine reuses process ids quickly, so try names until one is free.
    for (;;) {
        const std::string folder = std::string(base) + UniqueName("tolvane-test-");
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "no scratch folder";
            return folder;
        }
    }
}

void RemoveFolderTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::optional<RegistryValue> ReadRegistryValue(const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
    }
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if ((value.type == REG_SZ) && !value.data.empty() && value.data.back() == '\0') {
        value.data.pop_back();
    }
    return value;
}

bool Signalled(HANDLE object) {
    return WaitForSingleObject(object, kHangGuardMs) == WAIT_OBJECT_0;
}

TestThread::TestThread(std::function<void()> work) : work_(std::move(work)) {
    handle_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
    if (!handle_) ADD_FAILURE() << "no thread: error " << GetLastError();
}

TestThread::~TestThread() {
    Join();
}

DWORD WINAPI TestThread::Main(void* self) {
    static_cast<TestThread*>(self)->work_();
    return 0;
}

void TestThread::Join() {
    if (!handle_) return;
    if (!Signalled(handle_)) {
        ADD_FAILURE() << "the test's thread was still running after " << kHangGuardMs / 1000
                      << " s";
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 1);
    }
    CloseHandle(handle_);
    handle_ = nullptr;
}

namespace {

struct StartedJob {
    HANDLE job = nullptr;
    HANDLE port = nullptr;
};

StartedJob& Started() {
    static StartedJob started;
    return started;
}

}  // namespace

void TrackStartedProcesses() {
    StartedJob& started = Started();
    if (started.job) return;
    started.job = CreateJobObjectA(nullptr, nullptr);
    started.port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{started.job, started.port};
    if (!started.job || !started.port ||
        !SetInformationJobObject(started.job, JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof association) ||
        !AssignProcessToJobObject(started.job, GetCurrentProcess())) {
        ADD_FAILURE() << "no job for the started processes: error " << GetLastError();
    }
}

bool StartedProcessesEnded() {
    StartedJob& started = Started();
    if (!started.job) {
        ADD_FAILURE() << "TrackStartedProcesses() was not called";
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + kHangGuardMs;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION job{};
        if (!QueryInformationJobObject(started.job, JobObjectBasicAccountingInformation, &job,
                                       sizeof job, nullptr)) {
            ADD_FAILURE() << "the job cannot be asked: error " << GetLastError();
            return false;
        }
        if (job.ActiveProcesses <= 1) return true;  // this process alone
        // Each start and end in the job queues a message: wait for the next.
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        GetQueuedCompletionStatus(started.port, &message, &key, &detail,
                                  static_cast<DWORD>(deadline - now));
    }
}

bool DispatchMessagesUntil(const std::function<bool()>& done, int hangGuardSeconds) {
    const ULONGLONG giveUp = GetTickCount64() + static_cast<ULONGLONG>(hangGuardSeconds) * 1000;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= giveUp) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(giveUp - now),
                                  QS_ALLINPUT);
    }
}

}  // namespace tolvane::testing
