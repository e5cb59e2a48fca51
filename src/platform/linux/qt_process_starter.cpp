#include "platform/linux/qt_process_starter.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "platform/linux/windows_command_line.h"

namespace tolvane {

bool QtProcessStarter::Start(const std::string& commandLine, int /*windowStyle*/,
                             std::string& reason) {
    const auto pieces = SplitWindowsCommandLine(commandLine);
    if (pieces.empty() || pieces.front().empty()) {
        reason = "No program was named.";
        return false;
    }
    QProcess process;
    process.setProgram(QString::fromStdString(pieces.front()));
    QStringList arguments;
    for (std::size_t i = 1; i < pieces.size(); ++i) arguments << QString::fromStdString(pieces[i]);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached()) return true;
    reason = process.errorString().toStdString();
    return false;
}

bool QtWebBrowser::OpenWebAddress(const std::string& address) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

}  // namespace tolvane
