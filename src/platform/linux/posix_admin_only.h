#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "platform/admin_only.h"

namespace tolvane {

// What the check needs to know of one name in a path, as lstat(2) and
// readlink(2) tell it.
struct PathEntry {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;         // type and permission bits, as st_mode
    std::string linkTarget;  // a symbolic link's target, as readlink gives it
};

// Looks one name up without following a link there: 0, or the errno of the failure.
using LookUpPathEntry = std::function<int(const std::string& path, PathEntry& entry)>;

// Root's alone, as sshd's StrictModes judges a key file: the file or folder
// and every folder above it, up to /, belong to root and nobody else may write
// them. Each name of the absolute path is looked at with lstat, never
// followed blindly: a symbolic link counts only when root owns it, and then
// its target must pass the same rule.
//
// One relaxation, so a root-owned folder under /tmp works: a folder two or
// more levels above the path that root owns and that others may write is
// accepted when its sticky bit is set, since others can then neither rename
// nor remove what root made in it. The path itself and its own folder never
// get it (others could add names beside the file there).
//
// Owners and groups are named by number: a user database lookup would load
// nsswitch's modules into a service that runs for months.
class PosixAdminOnlyCheck final : public AdminOnlyCheck {
  public:
    PosixAdminOnlyCheck();  // the real file system
    explicit PosixAdminOnlyCheck(LookUpPathEntry lookUp, std::string workingFolder = "/");

    std::string WhyOthersCanChange(const std::string& path) override;

  private:
    LookUpPathEntry lookUp_;
    std::string workingFolder_;  // for a relative path; empty: getcwd at each check
};

}  // namespace tolvane
