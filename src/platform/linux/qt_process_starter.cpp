#include "platform/linux/qt_process_starter.h"

#include <QProcess>

namespace tolvane {

bool QtProcessStarter::Start(const std::string& program, const std::vector<std::string>& arguments,
                             std::string& reason, Ended ended) {
    if (program.empty()) {
        reason = "No program was named.";
        return false;
    }
    QStringList pieces;
    for (const std::string& argument : arguments) pieces << QString::fromStdString(argument);
    if (!ended) {
        QProcess process;
        process.setProgram(QString::fromStdString(program));
        process.setArguments(pieces);
        process.setStandardInputFile(QProcess::nullDevice());
        if (process.startDetached()) return true;
        reason = process.errorString().toStdString();
        return false;
    }
    auto* process = new QProcess(&running_);
    process->setProgram(QString::fromStdString(program));
    process->setArguments(pieces);
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
    return processes_.Start("xdg-open", {address}, reason, ended);
}

}  // namespace tolvane
