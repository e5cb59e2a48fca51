#include "platform/linux/qt_process_starter.h"

#include <QProcess>
#include <cstdio>
#include <memory>

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
    // Its output goes where the program's own goes; its error output is read
    // for the end to tell, and passed on to this program's as it comes.
    process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    auto errorOutput = std::make_shared<std::string>();
    const auto readErrorOutput = [process, errorOutput] {
        const QByteArray read = process->readAllStandardError();
        if (read.isEmpty()) return;
        std::fwrite(read.constData(), 1, std::size_t(read.size()), stderr);
        std::fflush(stderr);
        errorOutput->append(read.constData(), std::size_t(read.size()));
        if (errorOutput->size() > kErrorOutputKept) {
            errorOutput->erase(0, errorOutput->size() - kErrorOutputKept);
        }
    };
    QObject::connect(process, &QProcess::readyReadStandardError, &running_, readErrorOutput);
    process->start();
    // Returns once the program runs or could not be run: a missing or
    // not runnable file is known here, not later.
    if (!process->waitForStarted(-1)) {
        reason = process->errorString().toStdString();
        delete process;
        return false;
    }
    QObject::connect(process, &QProcess::finished, &running_,
                     [process, ended = std::move(ended), readErrorOutput,
                      errorOutput](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         readErrorOutput();
                         if (status != QProcess::NormalExit) {
                             ended(false, "It ended abnormally.", *errorOutput);
                         } else if (code != 0) {
                             ended(false, "It ended with status " + std::to_string(code) + ".",
                                   *errorOutput);
                         } else {
                             ended(true, {}, *errorOutput);
                         }
                     });
    return true;
}

bool QtWebBrowser::OpenWebAddress(const std::string& address,
                                  std::function<void()> failedLater) {
    std::string reason;
    const auto ended = [failedLater = std::move(failedLater)](bool succeeded, const std::string&,
                                                              const std::string&) {
        if (!succeeded && failedLater) failedLater();
    };
    return processes_.Start("xdg-open", {address}, reason, ended);
}

}  // namespace tolvane
