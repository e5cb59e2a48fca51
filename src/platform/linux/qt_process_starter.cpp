#include "platform/linux/qt_process_starter.h"

#include <QProcess>

#include "platform/linux/windows_command_line.h"

namespace tolvane {

bool QtProcessStarter::Start(const std::string& commandLine, int /*windowStyle*/,
                             std::string& reason, Ended ended) {
    const auto pieces = SplitWindowsCommandLine(commandLine);
    if (pieces.empty() || pieces.front().empty()) {
        reason = "No program was named.";
        return false;
    }
    QStringList arguments;
    for (std::size_t i = 1; i < pieces.size(); ++i) arguments << QString::fromStdString(pieces[i]);
    if (!ended) {
        QProcess process;
        process.setProgram(QString::fromStdString(pieces.front()));
        process.setArguments(arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        if (process.startDetached()) return true;
        reason = process.errorString().toStdString();
        return false;
    }
    auto* process = new QProcess(&running_);
    process->setProgram(QString::fromStdString(pieces.front()));
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    // Its output is not read here; it goes where the program's own goes.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    // Returns once the program runs or could not be run: a missing or
    // not runnable file is known here, not later.
    if (!process->waitForStarted(-1)) {
        reason = process->errorString().toStdString();
        delete process;
        return false;
    }
    QObject::connect(process, &QProcess::finished, &running_,
                     [process, ended = std::move(ended)](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit) {
                             ended(false, "It ended abnormally.");
                         } else if (code != 0) {
                             ended(false, "It ended with status " + std::to_string(code) + ".");
                         } else {
                             ended(true, {});
                         }
                     });
    return true;
}

bool QtWebBrowser::OpenWebAddress(const std::string& address,
                                  std::function<void()> failedLater) {
    std::string reason;
    const auto ended = [failedLater = std::move(failedLater)](bool succeeded, const std::string&) {
        if (!succeeded && failedLater) failedLater();
    };
    // xdg-open takes one argument; the quotes keep the address one piece.
    return address.find('"') == std::string::npos &&
           processes_.Start("xdg-open \"" + address + "\"", kNormalFocus, reason, ended);
}

}  // namespace tolvane
