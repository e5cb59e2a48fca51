#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantList>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system_power.h"

class QDBusError;
class QDBusMessage;

namespace tolvane {

// One method of a D-Bus service, with the arguments to call it with.
struct DBusMethod {
    QString service;
    QString path;
    QString interface;
    QString method;
    QVariantList arguments;
};

// The desktops' polite log-off (no prompt), tried in this order on the session bus.
std::vector<DBusMethod> SessionManagerLogouts();
// The desktops' screen lockers, tried in this order on the session bus.
std::vector<DBusMethod> ScreenSaverLocks();

// The window's power requests on Linux, through systemd-logind on the system
// bus and the desktop's own services on the session bus. Every call is
// asynchronous: an authorisation prompt never freezes the window, and the
// answers are read from the event loop. So each request returns true once it
// is on its way; each failure is one line on `report` with the D-Bus error's
// name and message, and the final one is told to TellFailures' `told`.
//
// What each request becomes:
//   reboot, shut down   RebootWithFlags / PowerOffWithFlags (1: block inhibitors
//                       hold even for root, so applications can veto; no
//                       password prompt), else Reboot(false) / PowerOff(false)
//                       where logind lacks the WithFlags methods
//   the same, forced    Reboot(true) / PowerOff(true): interactive, so the user
//                       may be asked to override an inhibitor where polkit allows
//   log off             the desktop's session manager; where none answers,
//                       TerminateSession of the caller's session
//   log off, forced     TerminateSession of the caller's session
//   lock                LockSession of the caller's session; when the session
//                       does not report itself locked shortly after, the
//                       desktop's screen saver is asked to lock
// Shut down means power off: logind's halt leaves the machine running.
// "The caller's session" is logind's "auto": the session the program runs in,
// or, for a program started outside any (a systemd user unit), the user's
// graphical session.
class LogindSessionPower final : public SystemPower {
  public:
    using Report = std::function<void(const std::string&)>;

    LogindSessionPower(QDBusConnection systemBus, QDBusConnection sessionBus, Report report,
                       int lockCheckDelayMs = 2000);
    ~LogindSessionPower() override;

    bool Reboot(bool force, std::string& reason) override;
    bool ShutDown(bool force, std::string& reason) override;
    bool LogOff(bool force, std::string& reason) override;
    bool Lock(std::string& reason) override;
    // Each failure goes to `report` and to `told`.
    void TellFailures(Failed told) override { told_ = std::move(told); }

    // Calls not yet answered and lock checks not yet made. At zero, everything
    // the requests so far will ever do has been done.
    int Outstanding() const { return outstanding_; }

  private:
    using OnReply = std::function<void(const QDBusMessage&)>;
    using OnError = std::function<void(const QDBusError&)>;

    void Call(QDBusConnection& bus, const DBusMethod& method, bool interactive, bool startService,
              OnReply onReply, OnError onError);
    void CallLogind(const QString& method, const QVariantList& arguments, bool interactive,
                    OnReply onReply = {}, OnError onError = {});
    void TryInOrder(std::shared_ptr<const std::vector<DBusMethod>> methods, std::size_t next,
                    std::function<void()> noneAnswered);
    // Reboot or PowerOff: forced at once, otherwise through its WithFlags
    // form, or the plain one where logind has no such form.
    void RequestPower(const QString& method, bool force);
    void TerminateOwnSession();
    void LockScreenUnlessLocked();
    void LockThroughScreenSaver();
    // `final`: nothing else will be tried, so the request failed.
    void ReportFailure(const QString& what, const QDBusError& error, bool final = true);

    QDBusConnection system_;
    QDBusConnection session_;
    Report report_;
    Failed told_;
    int lockCheckDelayMs_;
    int outstanding_ = 0;
    QObject context_;  // owns the calls in flight
};

}  // namespace tolvane
