#pragma once

#include <sys/types.h>

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <string>

#include "platform/system_power.h"

namespace tolvane {

// What the service does to the machine through systemd-logind. The service
// runs as root with nobody to ask, so every call is non-interactive:
//   reboot, shut down   RebootWithFlags / PowerOffWithFlags(1): block
//                       inhibitors hold even for root, so applications can
//                       veto; Reboot(false) / PowerOff(false) where logind
//                       lacks the WithFlags methods
//   the same, forced    Reboot(false) / PowerOff(false): root passes inhibitors
//   log off             TerminateSession of each of the user's sessions; with
//                       no desktop of its own to ask, plain and forced are one
//   lock                LockSession of each of the user's sessions
// Shut down means power off: logind's halt leaves the machine running.
// "The user" is the one whose schedule the service carries out.
class LogindSystemPower final : public SystemPower {
  public:
    LogindSystemPower(QDBusConnection systemBus, uid_t user);

    bool Reboot(bool force, std::string& reason) override;
    bool ShutDown(bool force, std::string& reason) override;
    bool LogOff(bool force, std::string& reason) override;
    bool Lock(std::string& reason) override;

  private:
    bool Call(const QString& method, const QVariantList& arguments, std::string& reason);
    bool EndMachine(const QString& withFlags, const QString& plain, bool force,
                    std::string& reason);
    bool ForEachSession(const QString& method, std::string& reason);
    QStringList UserSessions(std::string& reason);

    QDBusConnection bus_;
    uid_t user_;
};

}  // namespace tolvane
