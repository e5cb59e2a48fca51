#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvane::testing {

// Why `address` must not be used as the system bus in a test, or empty when it
// may: it has to be set, name neither of the machine's own system bus sockets,
// and be the private bus the test started (`expected`).
std::string PrivateSystemBusProblem(const char* address, const std::string& expected);

// A dbus-daemon of the test's own on a unix socket in a private folder, with
// python3-dbusmock services on it. Everything it started ends with it, by PID.
class PrivateBus {
  public:
    PrivateBus(const std::string& folder, const QString& name);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& Address() const { return address_; }
    QDBusConnection Connection() const;

    // Runs `/usr/bin/python3 -m dbusmock <arguments>` against this bus (as its
    // system bus when `asSystemBus`), and waits until `busName` is served.
    // Returns the mock's index for StopMock.
    int StartMock(const QStringList& arguments, const QString& busName, bool asSystemBus);
    void StopMock(int index);

  private:
    std::string address_;
    QString name_;
    QProcess daemon_;
    std::vector<std::unique_ptr<QProcess>> mocks_;
};

// Serves the event loop until `done` holds or `milliseconds` have passed.
bool ServeEventsUntil(const std::function<bool()>& done, int milliseconds);

// The calls a dbusmock object has recorded, each as "Method(arg, arg)".
std::vector<std::string> MockCalls(const QDBusConnection& bus, const QString& service,
                                   const QString& path);
void ClearMockCalls(const QDBusConnection& bus, const QString& service, const QString& path);
// Calls a method of the mock itself (org.freedesktop.DBus.Mock); false on an error.
bool CallMock(const QDBusConnection& bus, const QString& service, const QString& path,
              const QString& method, const QVariantList& arguments);

}  // namespace tolvane::testing
