// tolvane: the Linux program.
#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/linux_program.h"
#include "schedule/text.h"
#include "shell/command_line.h"
#include "shell/texts.h"

namespace {

const char* const kUsage =
    "usage: tolvane [/reboot | /shutdown | /logoff | /lock] [/force]\n"
    "       tolvane [--reboot | --shutdown | --logoff | --lock] [--force]\n"
    "Reboots, shuts down, logs off or locks the computer, now or at times of day\n"
    "you schedule in its window. An option acts at once (forced with /force),\n"
    "then the window starts as usual.\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "See tolvane(1).\n";

}  // namespace

int main(int argc, char** argv) {
    // The conventions of a Linux command: answered on standard output, with
    // no window. Any other text is the program's own command line.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("tolvane " TOLVANE_VERSION);
        return 0;
    }
    // The command-line text is every argument joined by single blanks; read
    // before Qt takes out the options it knows.
    const std::string commandLine = tolvane::CommandLineText({argv + 1, argv + argc});
    // Started from a shell, a mistyped option is told there too.
    if (tolvane::ParseCommandLine(commandLine).invalid) {
        const std::string said = tolvane::text::EraseAll(tolvane::texts::InvalidOption(), "\r");
        std::fprintf(stderr, "tolvane: %s\n", said.c_str());
    }

    // Reading the font configuration (some sixty XML files) is the largest
    // piece of the window's first font; it needs no display, so it runs while
    // Qt connects to the X server, and Qt's own call then finds it done.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(argc, argv);
    fontConfiguration.join();
    QApplication::setApplicationName(QStringLiteral("tolvane"));
    QApplication::setDesktopFileName(QStringLiteral("tolvane"));
    // Hidden in the tray, with a message box just closed, the program is still running.
    QApplication::setQuitOnLastWindowClosed(false);

    tolvane::LinuxProgram program(tolvane::StandardSetup());
    program.Start(commandLine);
    return QApplication::exec();
}
