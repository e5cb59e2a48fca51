#include "platform/win32/win32_file_nodes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_file_lock.h"

// In ntdll since Windows NT; the SDK's winternl.h leaves it out.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK ioStatus,
                                               PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS informationClass,
                                               BOOLEAN returnSingleEntry, PUNICODE_STRING fileName,
                                               BOOLEAN restartScan);

namespace tolvane {

namespace {

constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);

// How long a rename waits for readers of the file it replaces.
constexpr ULONGLONG kReaderWaitMs = 10000;

// FILE_INFORMATION_CLASS values winternl.h does not name in every version.
constexpr auto kFileDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(1);
constexpr auto kFileBasicInformation = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr auto kFileStandardInformation = static_cast<FILE_INFORMATION_CLASS>(5);
constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
constexpr auto kFileDispositionInformation = static_cast<FILE_INFORMATION_CLASS>(13);
constexpr auto kFileAttributeTagInformation = static_cast<FILE_INFORMATION_CLASS>(35);

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(FileNodes::Node node) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(node));
}

FileNodes::Node AsNode(HANDLE handle) {
    return static_cast<FileNodes::Node>(reinterpret_cast<std::uintptr_t>(handle));
}

std::string StatusText(NTSTATUS status) {
    return ErrorText(RtlNtStatusToDosError(status));
}

std::optional<std::wstring> Wide(const std::string& text, std::string& reason) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length <= 0 || wide.size() > 32000 ||
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                            static_cast<int>(text.size()), wide.data(), length) != length) {
        reason = "the name \"" + text + "\" cannot be used";
        return std::nullopt;
    }
    return wide;
}

// Nothing for a name the code page cannot hold exactly: a best-fit stand-in
// would be another name.
std::optional<std::string> Narrow(const WCHAR* text, std::size_t length) {
    if (length == 0) return std::string();
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text,
                                         static_cast<int>(length), nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), narrow.data(),
                        size, nullptr, &lossy);
    if (lossy) return std::nullopt;
    return narrow;
}

// NtCreateFile of `name` relative to `folder` (or absolute when `folder` is
// null), never following a reparse point at that name.
NTSTATUS Open(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
              ULONG disposition, ULONG options, HANDLE& opened) {
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    UNICODE_STRING text{bytes, bytes, const_cast<PWSTR>(name.c_str())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    opened = nullptr;
    return NtCreateFile(
        &opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

ACCESS_MASK AccessFor(FileNodes::Use use) {
    switch (use) {
        case FileNodes::Use::List:
            return FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
        case FileNodes::Use::Read:
            return FILE_READ_DATA | FILE_READ_ATTRIBUTES;
        case FileNodes::Use::Change:
            return DELETE | FILE_READ_ATTRIBUTES;
        case FileNodes::Use::Lock:
            // A byte-range lock needs read or write access; read is enough.
            return FILE_READ_DATA | FILE_READ_ATTRIBUTES;
        case FileNodes::Use::Look:
            break;
    }
    return FILE_READ_ATTRIBUTES;
}

template <typename Information>
NTSTATUS Query(HANDLE handle, FILE_INFORMATION_CLASS kind, Information& information) {
    IO_STATUS_BLOCK io{};
    return NtQueryInformationFile(handle, &io, &information, sizeof information, kind);
}

// Whether `name` in `folder` is a file (no folder, not read-only), looked at
// as itself.
bool PlainFileNamed(HANDLE folder, const std::wstring& name) {
    HANDLE opened = nullptr;
    if (!NT_SUCCESS(Open(folder, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, opened))) {
        return false;
    }
    FILE_BASIC_INFORMATION basic{};
    const NTSTATUS status = Query(opened, kFileBasicInformation, basic);
    NtClose(opened);
    return NT_SUCCESS(status) &&
           (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

}  // namespace

std::optional<FileNodes::Node> Win32FileNodes::OpenRoot(const std::string& root,
                                                        std::string& reason) {
    // "C:\" is \??\C:\, "\\server\share\" is \??\UNC\server\share\.
    std::string native =
        root.rfind("\\\\", 0) == 0 ? "\\??\\UNC\\" + root.substr(2) : "\\??\\" + root;
    const auto name = Wide(native, reason);
    if (!name) return std::nullopt;
    HANDLE opened = nullptr;
    const NTSTATUS status =
        Open(nullptr, *name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE, kShareAll,
             FILE_OPEN, FILE_DIRECTORY_FILE, opened);
    if (!NT_SUCCESS(status)) {
        reason = StatusText(status);
        return std::nullopt;
    }
    return AsNode(opened);
}

std::optional<FileNodes::Node> Win32FileNodes::OpenChild(Node folder, const std::string& name,
                                                         Use use, bool& missing,
                                                         std::string& reason) {
    missing = false;
    const auto wide = Wide(name, reason);
    if (!wide) return std::nullopt;
    HANDLE opened = nullptr;
    const NTSTATUS status =
        Open(AsHandle(folder), *wide, AccessFor(use), kShareAll, FILE_OPEN, 0, opened);
    if (!NT_SUCCESS(status)) {
        missing = status == kNameNotFound || status == kPathNotFound || status == kNoSuchFile;
        reason = StatusText(status);
        return std::nullopt;
    }
    return AsNode(opened);
}

std::optional<FileNodes::Node> Win32FileNodes::CreateChild(Node folder, const std::string& name,
                                                           bool& exists, std::string& reason) {
    exists = false;
    const auto wide = Wide(name, reason);
    if (!wide) return std::nullopt;
    HANDLE opened = nullptr;
    const NTSTATUS status =
        Open(AsHandle(folder), *wide, FILE_GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0,
             FILE_CREATE, FILE_NON_DIRECTORY_FILE, opened);
    if (!NT_SUCCESS(status)) {
        exists = status == kNameCollision;
        reason = StatusText(status);
        return std::nullopt;
    }
    return AsNode(opened);
}

std::optional<FileNodes::Node> Win32FileNodes::OpenOrCreateChild(Node folder,
                                                                 const std::string& name,
                                                                 std::string& reason) {
    const auto wide = Wide(name, reason);
    if (!wide) return std::nullopt;
    HANDLE opened = nullptr;
    // No FILE_NON_DIRECTORY_FILE: a folder in the file's place is opened and
    // shown as one, for the caller to refuse.
    const NTSTATUS status =
        Open(AsHandle(folder), *wide, AccessFor(Use::Lock), kShareAll, FILE_OPEN_IF, 0, opened);
    if (!NT_SUCCESS(status)) {
        reason = StatusText(status);
        return std::nullopt;
    }
    return AsNode(opened);
}

std::optional<FileNodeFacts> Win32FileNodes::Describe(Node node, std::string& reason) {
    const HANDLE handle = AsHandle(node);
    FILE_ATTRIBUTE_TAG_INFORMATION tag{};
    FILE_STANDARD_INFORMATION standard{};
    FILE_BASIC_INFORMATION basic{};
    NTSTATUS status = Query(handle, kFileAttributeTagInformation, tag);
    if (NT_SUCCESS(status)) status = Query(handle, kFileStandardInformation, standard);
    if (NT_SUCCESS(status)) status = Query(handle, kFileBasicInformation, basic);
    if (!NT_SUCCESS(status)) {
        reason = StatusText(status);
        return std::nullopt;
    }
    FileNodeFacts facts;
    facts.folder = standard.Directory || (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.link = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.names = standard.NumberOfLinks;
    facts.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    // File times count 100-nanosecond steps.
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const LONGLONG current = static_cast<LONGLONG>(
        (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    const LONGLONG written = basic.LastWriteTime.QuadPart;
    facts.ageSeconds = current > written ? static_cast<double>(current - written) / 1e7 : 0.0;
    return facts;
}

std::optional<std::string> Win32FileNodes::Read(Node file, std::size_t maxBytes,
                                                std::string& reason) {
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        const std::size_t wanted = std::min(sizeof buffer, maxBytes - bytes.size());
        DWORD got = 0;
        if (!ReadFile(AsHandle(file), buffer, static_cast<DWORD>(wanted), &got, nullptr)) {
            reason = ErrorText(GetLastError());
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

bool Win32FileNodes::Write(Node file, std::string_view bytes, std::string& reason) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(AsHandle(file), bytes.data(), chunk, &written, nullptr) || written == 0) {
            reason = ErrorText(GetLastError());
            return false;
        }
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(AsHandle(file))) {
        reason = ErrorText(GetLastError());
        return false;
    }
    return true;
}

bool Win32FileNodes::Lock(Node file, LockKind kind, double waitSeconds, bool& busy,
                          std::string& reason) {
    busy = false;
    DWORD error = 0;
    switch (LockWholeFile(AsHandle(file), kind, waitSeconds, error)) {
        case HandleLock::Locked:
            return true;
        case HandleLock::Busy:
            busy = true;
            reason = "another program holds a lock on it";
            return false;
        case HandleLock::Failed:
            reason = ErrorText(error);
            return false;
    }
    return false;
}

void Win32FileNodes::Unlock(Node file) {
    UnlockWholeFile(AsHandle(file));
}

bool Win32FileNodes::MoveInto(Node file, Node folder, const std::string& name,
                              std::string& reason) {
    const auto wide = Wide(name, reason);
    if (!wide) return false;
    const std::size_t nameBytes = wide->size() * sizeof(WCHAR);
    // The record ends in the name; 8-byte units keep it aligned.
    std::vector<std::uint64_t> record(
        (offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes + sizeof(WCHAR) + 7) / 8);
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(record.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = AsHandle(folder);
    rename->FileNameLength = static_cast<ULONG>(nameBytes);
    std::copy(wide->begin(), wide->end(), rename->FileName);
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = NtSetInformationFile(
            AsHandle(file), &io, rename, static_cast<ULONG>(record.size() * sizeof record[0]),
            kFileRenameInformation);
        if (NT_SUCCESS(status)) return true;
        // A window reading the file it replaces makes the system refuse for a
        // moment (as in Win32FileSystem::MoveFileOver); a read-only file or a
        // folder there refuses for good.
        if ((status != kAccessDenied && status != kSharingViolation) ||
            !PlainFileNamed(AsHandle(folder), *wide) || GetTickCount64() - start >= kReaderWaitMs) {
            reason = StatusText(status);
            return false;
        }
        Sleep(1);
    }
}

bool Win32FileNodes::Delete(Node node, std::string& reason) {
    FILE_DISPOSITION_INFORMATION disposition{TRUE};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(AsHandle(node), &io, &disposition,
                                                 sizeof disposition, kFileDispositionInformation);
    if (!NT_SUCCESS(status)) {
        reason = StatusText(status);
        return false;
    }
    return true;
}

std::optional<std::vector<std::string>> Win32FileNodes::List(Node folder, std::string& reason) {
    std::vector<std::string> names;
    std::vector<std::uint64_t> buffer(65536 / 8);
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status =
            NtQueryDirectoryFile(AsHandle(folder), nullptr, nullptr, nullptr, &io, buffer.data(),
                                 static_cast<ULONG>(buffer.size() * sizeof buffer[0]),
                                 kFileDirectoryInformation, FALSE, nullptr, restart);
        if (status == kNoMoreFiles) return names;
        if (!NT_SUCCESS(status)) {
            reason = StatusText(status);
            return std::nullopt;
        }
        const auto* at = reinterpret_cast<const std::byte*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(at);
            const auto name = Narrow(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
            if (name && *name != "." && *name != "..") names.push_back(*name);
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

void Win32FileNodes::Close(Node node) {
    NtClose(AsHandle(node));
}

std::uint32_t Win32FileNodes::ProcessNumber() {
    return GetCurrentProcessId();
}

}  // namespace tolvane
