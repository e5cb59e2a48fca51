#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_service.h"
#include "service/service_arguments.h"

namespace tolvane {

// tolvane-service.exe --install and --remove run with administrator rights.
// What they register then runs as LocalSystem, so they act only from the
// all-users installation, where only administrators can change the program
// (a copy in a user's folder could be swapped for anything once approved),
// and they build the service's command line themselves from values checked
// to arrive at the service as exactly the arguments meant.

// Why `value` could not be carried into the service's command line as one
// argument that the program reads back unchanged; empty when it can. The
// service manager expands %NAME% in it and the program splits it by the
// usual quoting rules, so a quotation mark, a percent sign, a control
// character, a character no file name holds (which the ANSI code page also
// gives for a character it lacks), or a backslash at the end (which would
// escape the closing quotation mark) is refused.
std::string ImagePathArgumentProblem(std::string_view value);

// The ImagePath of the service: the program's full path in quotation marks,
// --user SID and --schedule with the path in quotation marks. Nothing, with
// one line saying why in `problem`, when the program's path or the
// schedule's is not a full path or could not be carried whole, or `user` is
// no SID.
std::optional<std::string> ServiceImagePath(const std::string& program, const std::string& user,
                                            const std::string& schedule, std::string& problem);

// The SIDs that may change what `descriptor` guards (write, append, delete,
// change its permissions or owner) though they stand for anybody: Everyone,
// the users, the authenticated or interactive ones, guests, anonymous logons.
// A descriptor without a DACL lets everybody do everything. Empty when none.
std::vector<std::string> BroadWriters(PSECURITY_DESCRIPTOR descriptor);

// The full path of this program, with the long names.
std::string ThisProgramPath();

// Why the program at `program` may not install or remove the service; empty
// when it may: it must lie inside the system's Program Files folder, and
// neither it nor any folder from it up to Program Files may be changed by
// anybody at large (see BroadWriters).
std::string AllUsersFolderProblem(const std::string& program);

// --install: registers and starts the service "Tolvane" for options.user and
// options.schedule (replacing one registered before), with its description
// and event log source. Says what it did or why not on `out`; returns the
// exit status (0, kServiceRefused, kServiceNotAllUsers, kServiceNeedsRights
// when it lacks administrator rights, or 1 when Windows refused a step).
int InstallService(const ServiceOptions& options, const Win32Identity& identity, std::FILE* out);

// --remove: stops and deletes the service and its event log source, and the
// lone copy of the program an earlier version put in %ProgramFiles%\Tolvane
// unless that is this program. Returns the exit status as InstallService.
int RemoveService(std::FILE* out);

// The ImagePath of the machine's service: the program's full path in
// quotation marks and --machine. Nothing, with why in `problem`, when the
// path could not be carried whole.
std::optional<std::string> MachineServiceImagePath(const std::string& program,
                                                   std::string& problem);

// --install --machine: registers and starts the service "TolvaneMachine"
// ("Tolvane (machine schedule)"), LocalSystem, automatic start, running
// tolvane-service.exe --machine, from the all-users installation only.
// Returns the exit status as InstallService.
int InstallMachineService(std::FILE* out);

// --remove --machine: stops and deletes it; the event log source goes when
// the user's service "Tolvane" is not installed either.
int RemoveMachineService(std::FILE* out);

}  // namespace tolvane
