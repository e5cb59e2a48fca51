#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantList>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/session_services.h"

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

// Ending the session and locking it on Linux, through systemd-logind on the
// system bus and the desktop's own services on the session bus. Every call is
// asynchronous: an authorisation prompt never freezes the window, and the
// answers are read from the event loop. Nothing reaches the user on failure;
// each failure is one line on `report` with the D-Bus error's name and message.
//
// What the Windows flags become:
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
// The privilege calls have no Linux meaning; they succeed and do nothing.
class LogindSessionServices final : public SessionServices {
  public:
    using Report = std::function<void(const std::string&)>;

    LogindSessionServices(QDBusConnection systemBus, QDBusConnection sessionBus, Report report,
                          int lockCheckDelayMs = 2000);
    ~LogindSessionServices() override;

    Handle GetCurrentProcess() override { return 1; }
    bool OpenProcessToken(Handle, std::uint32_t, Handle& token) override {
        token = 0;
        return true;
    }
    bool LookupPrivilegeValueA(const std::string&, const std::string&, Luid&) override {
        return true;
    }
    bool AdjustTokenPrivileges(Handle, bool, const TokenPrivileges&, std::uint32_t,
                               TokenPrivileges&, std::uint32_t& returnLength) override {
        returnLength = 0;
        return true;
    }
    bool CloseHandle(Handle) override { return true; }

    // True once the request is on its way; the outcome arrives later.
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    bool LockWorkStation() override;
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
    void Reboot(bool force);
    void PowerOff(bool force);
    void LogOff(bool force);
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
