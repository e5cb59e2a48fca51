#include "platform/win32/win32_file_lock.h"

namespace tolvane {

namespace {

// The whole range, so a lock taken by any Tolvane process on this file
// covers the one any other asks for.
constexpr DWORD kAllLow = MAXDWORD;
constexpr DWORD kAllHigh = MAXDWORD;

}  // namespace

HandleLock LockWholeFile(HANDLE file, LockKind kind, double waitSeconds, DWORD& error) {
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    const ULONGLONG start = GetTickCount64();
    const double waitMs = waitSeconds > 0 ? waitSeconds * 1000.0 : 0.0;
    // A waiting LockFileEx cannot be given a time limit on a handle opened for
    // synchronous use; holders keep the lock for one read and one write, so a
    // short pause between tries costs nothing.
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(file, flags, 0, kAllLow, kAllHigh, &at)) return HandleLock::Locked;
        error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return HandleLock::Failed;
        if (static_cast<double>(GetTickCount64() - start) >= waitMs) return HandleLock::Busy;
        Sleep(2);
    }
}

void UnlockWholeFile(HANDLE file) {
    OVERLAPPED at{};
    UnlockFileEx(file, 0, kAllLow, kAllHigh, &at);
}

}  // namespace tolvane
