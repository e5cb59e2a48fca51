// tolvane-service.exe: the schedule carried out by the service manager's
// service "Tolvane", or in the foreground with --console.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_service.h"
#include "platform/win32/win32_system_power.h"

int main(int argc, char** argv) {
    using namespace tolvane;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto options = ParseServiceArguments(arguments, error);
    if (!options) {
        std::fprintf(stderr, "%s\n\n%s", error.c_str(), kServiceUsage);
        // Started by the service manager, nobody sees standard error.
        if (std::find(arguments.begin(), arguments.end(), "--console") == arguments.end()) {
            Win32EventLog().Error("Not started: " + error);
        }
        return 2;
    }
    if (options->help) {
        std::fputs(kServiceUsage, stdout);
        return 0;
    }
    if (options->console) {
        Win32FileSystem files(ScheduleFolderOf(options->schedule));
        Win32Clock clock;
        Win32SystemPower power;
        ConsoleLog log;
        return RunConsole(*options, files, clock, power, log);
    }
    return RunAsService(*options);
}
