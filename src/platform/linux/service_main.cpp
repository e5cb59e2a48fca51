// tolvane-service: carries out a user's schedule file with no window, as a
// system service. Usage: tolvane-service --schedule FILE [--interval SECONDS]
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/linux/logind_system_power.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/stderr_service_log.h"
#include "schedule/schedule_service.h"

namespace {

constexpr int kTickSeconds = 45;

std::string FolderOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

struct Owner {
    uid_t uid;
    gid_t gid;
};

// Whose sessions a log-off or lock ends: the schedule's owner. The file may
// not exist yet, so its folder answers for it.
Owner ScheduleOwner(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 || ::stat(FolderOf(path).c_str(), &info) == 0) {
        return {info.st_uid, info.st_gid};
    }
    return {::getuid(), ::getgid()};
}

// The schedule lives in the user's own folder, which the user may change at
// any moment (a link in place of the file or folder, say). Its reads and
// writes are therefore made with the user's rights, not root's; the calls to
// logind keep root's. Set before any thread starts, so every thread has it.
void UseOwnersRightsForFiles(const Owner& owner) {
    if (::geteuid() != 0 || owner.uid == 0) return;
    ::setfsgid(owner.gid);
    ::setfsuid(owner.uid);
}

int Usage() {
    std::fprintf(stderr, "usage: tolvane-service --schedule FILE [--interval SECONDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string schedule;
    int interval = kTickSeconds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--schedule" && i + 1 < argc) {
            schedule = argv[++i];
        } else if (arg == "--interval" && i + 1 < argc) {
            interval = std::atoi(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (schedule.empty() || schedule.front() != '/' || interval < 1) return Usage();

    const Owner owner = ScheduleOwner(schedule);
    UseOwnersRightsForFiles(owner);

    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    tolvane::StderrServiceLog log;
    if (!bus.isConnected()) {
        log.Error("No system bus: " + bus.lastError().message().toStdString());
        return 1;
    }

    tolvane::PosixFileSystem files(FolderOf(schedule));
    tolvane::PosixClock clock;
    tolvane::LogindSystemPower power(bus, owner.uid);
    tolvane::ScheduleService service(files, schedule, clock, power, log);
    log.Info("Carrying out " + schedule + " every " + std::to_string(interval) + " seconds");

    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { service.Tick(); });
    timer.start(interval * 1000);
    return QCoreApplication::exec();
}
