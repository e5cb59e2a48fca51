// tolvane-service.exe: the schedule carried out by the service manager's
// service "Tolvane" (a user's) or "TolvaneMachine" (the machine's, with
// --machine), or in the foreground with --console; --check FILE says which
// lines of a schedule can never run.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_admin_only.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_service.h"
#include "platform/win32/win32_service_setup.h"
#include "platform/win32/win32_system_power.h"
#include "schedule/log_text.h"
#include "schedule/paths.h"
#include "schedule/schedule_file.h"
#include "service/schedule_check_command.h"

namespace {

int Refuse(const std::vector<std::string>& arguments, const std::string& why) {
    std::fprintf(stderr, "%s\n\n%s",
                 tolvane::EscapeForLog(why, tolvane::LogBytes::CodePage).c_str(),
                 tolvane::kWindowsServiceUsage);
    // Started by the service manager, nobody sees standard error; run by a
    // person (the console, the setup's steps), the person does.
    const auto given = [&](const char* option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    if (!given("--console") && !given("--install") && !given("--remove") &&
        !given("--can-install") && !given("--print-user") && !given("--print-schedule") &&
        !given("--check")) {
        tolvane::Win32EventLog().Error("Not started: " + why);
    }
    return tolvane::kServiceRefused;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolvane;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    int exitStatus = 0;
    const auto options = OpenServiceProgram(
        arguments, ParseWindowsServiceArguments, kWindowsServiceUsage,
        [&](const std::string& why) { Refuse(arguments, why); }, exitStatus);
    if (!options) return exitStatus;
    if (options->check) {
        // Any user, as a plain console program: the file is read with the
        // caller's rights and nothing else is touched.
        Win32FileSystem files;
        const ScheduleCheckOutcome checked =
            CheckScheduleFile(files, *options->check, LogBytes::CodePage);
        std::fputs(checked.report.c_str(), stdout);
        std::fputs(checked.problem.c_str(), stderr);
        return checked.exitStatus;
    }
    const Win32Identity identity = RealIdentity();
    if (options->printUser) {
        const auto self = identity.runningAs();
        if (!self) return 1;
        std::printf("%s\n", self->c_str());
        return 0;
    }
    if (options->printSchedule) {
        const std::string folder = WindowScheduleFolder(Win32FileSystem().ProgramFolder());
        if (folder.empty()) return 1;
        std::printf("%s\n", JoinPath(folder, '\\', kScheduleFileName).c_str());
        return 0;
    }
    // The setup's steps say what they did on standard output, where the
    // batch files show it.
    if (options->canInstall) {
        const std::string problem = AllUsersFolderProblem(ThisProgramPath());
        if (problem.empty()) return 0;
        std::printf("%s\n", problem.c_str());
        return kServiceNotAllUsers;
    }
    if (options->install) {
        return options->machine ? InstallMachineService(stdout)
                                : InstallService(*options, identity, stdout);
    }
    if (options->remove)
        return options->machine ? RemoveMachineService(stdout) : RemoveService(stdout);
    std::string user;
    const std::string error = ServiceStartProblem(*options, identity, user);
    if (!error.empty()) return Refuse(arguments, error);
    ServiceOptions run = *options;
    if (!run.machine) run.user = user;

    // The machine's schedule: its folders made when missing, and the check
    // that only administrators (or, run by a person, that person) can
    // change them.
    static std::optional<MachineRun> machine;
    static RealSecurityReader securityReader;
    static std::optional<Win32AdminOnlyCheck> adminOnly;
    std::vector<std::string> folderProblems;
    if (run.machine) {
        const std::string home = MachineHome();
        if (home.empty() && (run.schedule.empty() || run.state.empty())) {
            return Refuse(arguments, "the ProgramData folder could not be read");
        }
        machine = MachinePlaces(run, home);
        if (run.schedule.empty() || run.state.empty()) {
            if (const auto why = MakeMachineFolder(home); !why.empty()) {
                folderProblems.push_back(home + " could not be made: " + why);
            }
        }
        const std::string& state = machine->machine.stateFolder;
        if (const auto why = MakeMachineFolder(state); !why.empty()) {
            folderProblems.push_back(state + " could not be made: " + why);
        }
        adminOnly.emplace(securityReader, identity.runningAs().value_or(""));
        machine->machine.adminOnly = &*adminOnly;
        machine->machine.noticeMinutes = ReadMachineNoticeMinutes();
    }
    // A user's schedule gives way at the minutes the machine's acts, when
    // there is a machine's schedule only administrators can change.
    static std::optional<ScheduleService::MachineBeside> beside;
    if (!run.machine) {
        adminOnly.emplace(securityReader, identity.runningAs().value_or(""));
        if (const std::string home = MachineHome(); !home.empty()) {
            const MachineRun places = MachinePlaces(ServiceOptions{}, home);
            beside = ScheduleService::MachineBeside{places.schedule, places.machine.stateFolder,
                                                    &*adminOnly};
        }
    }
    const ScheduleService::MachineBeside* besideMachine = beside ? &*beside : nullptr;
    if (run.console) {
        // Every file of the service's is reached through the no-link walk.
        Win32FileNodes nodes;
        ConsoleLog consoleLog;
        for (const auto& problem : folderProblems) consoleLog.Error(problem);
        NoLinkFileSystem files(nodes, Win32FileSystem().ProgramFolder(),
                               FolderOf(machine ? machine->schedule : run.schedule, "\\/"),
                               &consoleLog);
        Win32Clock clock;
        if (machine) {
            Win32SystemPower power(Win32SystemPower::EveryUser{});
            return RunConsole(run, files, clock, power, consoleLog, &*machine);
        }
        Win32SystemPower power(user);
        return RunConsole(run, files, clock, power, consoleLog, nullptr, besideMachine);
    }
    for (const auto& problem : folderProblems) Win32EventLog().Error(problem);
    return RunAsService(run, machine ? &*machine : nullptr, besideMachine);
}
