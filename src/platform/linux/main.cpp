// tolvane: the Linux program.
#include <QApplication>
#include <string>

#include "platform/linux/linux_program.h"

int main(int argc, char** argv) {
    // The command-line text is every argument, as given, joined by single
    // blanks; read before Qt takes out the options it knows.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvane"));
    QApplication::setDesktopFileName(QStringLiteral("tolvane"));
    // Hidden in the tray, with a message box just closed, the program is still running.
    QApplication::setQuitOnLastWindowClosed(false);

    tolvane::LinuxProgram program(tolvane::StandardSetup());
    program.Start(commandLine);
    return QApplication::exec();
}
