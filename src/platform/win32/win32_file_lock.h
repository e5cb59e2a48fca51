#pragma once

#include <windows.h>

#include "platform/file_system.h"

namespace tolvane {

// Byte-range locks on the whole of a file, as every Tolvane process on
// Windows takes them: the window's writer and the service's walk alike, so
// they honour each other.
enum class HandleLock {
    Locked,
    Busy,    // another holder's lock stood in the way for the whole wait
    Failed,  // the system refused; `error` says why
};

// Takes the lock on `file` (opened for reading or writing), trying again
// while another holder's lock is in the way, up to `waitSeconds` (0: once).
HandleLock LockWholeFile(HANDLE file, LockKind kind, double waitSeconds, DWORD& error);
void UnlockWholeFile(HANDLE file);

}  // namespace tolvane
