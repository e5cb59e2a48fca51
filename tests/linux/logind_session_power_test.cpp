// The window's power requests on Linux, end to end from each request to the
// calls logind (python3-dbusmock) and the desktop's services receive, on
// private buses this test starts. The machine's own buses are never touched:
// the test refuses to run unless the system bus address is its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "logind_mock.h"
#include "native_platform.h"
#include "platform/linux/dbus_desktop_notices.h"
#include "platform/linux/logind_session_power.h"
#include "private_bus.h"

namespace tolvane {
namespace {

using testing::CallMock;
using testing::MockCalls;
using testing::PrivateBus;
using testing::ServeEventsUntil;
using Calls = std::vector<std::string>;

TEST(PrivateSystemBusGuard, RefusesAnUnsetAddressTheMachinesBusAndAnyOtherBus) {
    const std::string ours = "unix:path=/tmp/tolvane-bus-x/system";
    EXPECT_NE(testing::PrivateSystemBusProblem(nullptr, ours), "");
    EXPECT_NE(testing::PrivateSystemBusProblem("", ours), "");
    EXPECT_NE(testing::PrivateSystemBusProblem("unix:path=/run/dbus/system_bus_socket", ours), "");
    EXPECT_NE(testing::PrivateSystemBusProblem("unix:path=/var/run/dbus/system_bus_socket", ours),
              "");
    EXPECT_NE(testing::PrivateSystemBusProblem("unix:path=/tmp/elsewhere", ours), "");
    EXPECT_EQ(testing::PrivateSystemBusProblem(ours.c_str(), ours), "");
}

// A notification daemon or any other service the machine has installed must
// never answer on a test's bus: a test that finds a name unowned, or serves
// it itself, would then depend on the machine. Here the "installed" service
// sits in the folders D-Bus's standard session configuration reads.
TEST(PrivateBusTest, ActivatesNoServiceInstalledOnTheMachine) {
    std::string scratch = "/tmp/tolvane-bus-XXXXXX";
    ASSERT_NE(::mkdtemp(scratch.data()), nullptr);
    const std::string services = scratch + "/share/dbus-1/services";
    std::filesystem::create_directories(services);
    std::ofstream(services + "/org.freedesktop.Notifications.service")
        << "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n";
    std::map<std::string, std::optional<std::string>> saved;
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
        const char* value = ::getenv(name);
        saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
        ::setenv(name, (scratch + "/share").c_str(), 1);
    }
    std::vector<std::string> activatable;
    {
        PrivateBus bus(scratch, "session");
        const QDBusMessage reply = bus.Connection().call(QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "ListActivatableNames"));
        for (const QString& name : reply.arguments().value(0).toStringList()) {
            activatable.push_back(name.toStdString());
        }
    }
    for (const auto& [name, value] : saved) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    std::filesystem::remove_all(scratch);
    EXPECT_EQ(activatable, std::vector<std::string>{"org.freedesktop.DBus"});
}

class LogindTest : public testing::LogindMockTest {
  protected:
    void SetUp() override {
        session_ = std::make_unique<PrivateBus>(folder, "session");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", session_->Address().c_str(), 1);
        LogindMockTest::SetUp();
        if (HasFatalFailure()) return;
        power = std::make_unique<LogindSessionPower>(
            system_->Connection(), session_->Connection(),
            [this](const std::string& line) { reports.push_back(line); }, kLockCheckMs);
    }
    void TearDown() override {
        power.reset();
        session_.reset();
        LogindMockTest::TearDown();
    }

    // Serves the event loop until every request so far has had all its
    // answers: any further call it would make has been made, and recorded by
    // the mock, before that.
    void WaitUntilSettled() {
        EXPECT_TRUE(ServeEventsUntil([&] { return power->Outstanding() == 0; }, kHangGuardMs))
            << "requests still unanswered";
    }
    Calls WaitForCalls(const std::function<Calls()>& calls) {
        WaitUntilSettled();
        return calls();
    }
    int StartDesktopService(const QString& name, const QString& path, const QString& interface,
                            const QString& method, const QString& signature,
                            const QString& code = "") {
        const int mock = session_->StartMock({name, path, interface}, name, false);
        EXPECT_TRUE(CallMock(sessionBus(), name, path, "AddMethod",
                             {interface, method, signature, "", code}));
        return mock;
    }
    QDBusConnection sessionBus() { return session_->Connection(); }

    static constexpr int kLockCheckMs = 100;
    static constexpr int kHangGuardMs = 120 * 1000;
    std::unique_ptr<PrivateBus> session_;
    std::vector<std::string> reports;
    std::unique_ptr<LogindSessionPower> power;
    std::string reason;  // never written: every answer comes later
};

TEST_F(LogindTest, EachEndOfTheSessionMakesItsLogindCall) {
    const struct {
        const char* name;
        bool (SystemPower::*request)(bool, std::string&);
        bool force;
        Calls expected;
    } cases[] = {
        {"reboot", &SystemPower::Reboot, false, {"RebootWithFlags(1)"}},
        {"forced reboot", &SystemPower::Reboot, true, {"Reboot(true)"}},
        {"shut down", &SystemPower::ShutDown, false, {"PowerOffWithFlags(1)"}},
        {"forced shut down", &SystemPower::ShutDown, true, {"PowerOff(true)"}},
        // No session manager runs on the session bus: logind ends the session.
        {"log off", &SystemPower::LogOff, false, {"TerminateSession(auto)"}},
        {"forced log off", &SystemPower::LogOff, true, {"TerminateSession(auto)"}},
    };
    for (const auto& c : cases) {
        ClearLogindCalls();
        EXPECT_TRUE((power.get()->*c.request)(c.force, reason)) << c.name;
        EXPECT_EQ(WaitForCalls([&] { return LogindCalls(); }), c.expected) << c.name;
    }
    EXPECT_EQ(reports, Calls{});
    EXPECT_EQ(reason, "");
}

TEST_F(LogindTest, PlainRebootAndShutDownFallBackWhereLogindLacksTheWithFlagsMethods) {
    for (const char* method : {"RebootWithFlags", "PowerOffWithFlags"}) {
        MakeLogindFail(method, "t", "org.freedesktop.DBus.Error.UnknownMethod", "Unknown method");
    }
    power->Reboot(false, reason);
    EXPECT_EQ(WaitForCalls([&] { return LogindCalls(); }),
              (Calls{"RebootWithFlags(1)", "Reboot(false)"}));
    ClearLogindCalls();
    power->ShutDown(false, reason);
    EXPECT_EQ(WaitForCalls([&] { return LogindCalls(); }),
              (Calls{"PowerOffWithFlags(1)", "PowerOff(false)"}));
    EXPECT_EQ(reports, Calls{});
}

TEST_F(LogindTest, AFailureIsWrittenWithTheDBusErrorsNameAndMessageAndNotRetried) {
    MakeLogindFail("PowerOffWithFlags", "t", "org.freedesktop.login1.BlockedByInhibitorLock",
                   "Operation inhibited by backup");
    std::vector<std::string> told;
    power->TellFailures([&](const std::string& what) { told.push_back(what); });
    EXPECT_TRUE(power->ShutDown(false, reason)) << "the refusal comes later";
    EXPECT_EQ(WaitForCalls([&] { return LogindCalls(); }), Calls{"PowerOffWithFlags(1)"})
        << "an application's veto is not overridden by a fallback";
    WaitUntilSettled();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0],
              "tolvane: logind PowerOffWithFlags failed: "
              "org.freedesktop.login1.BlockedByInhibitorLock: Operation inhibited by backup");
    EXPECT_EQ(told, std::vector<std::string>{reports[0].substr(9)}) << "and the window hears it";
}

TEST_F(LogindTest, PlainLogOffAsksTheDesktopsSessionManagerWithoutAPrompt) {
    const struct {
        QString name, path, interface, method, signature;
        std::string expected;
    } desktops[] = {
        {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
         "Logout", "u", "Logout(1)"},
        {"org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown", "logout", "", "logout()"},
        {"org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout", "iii",
         "logout(0, 0, 0)"},
        {"org.xfce.SessionManager", "/org/xfce/SessionManager", "org.xfce.Session.Manager",
         "Logout", "bb", "Logout(false, true)"},
    };
    for (const auto& d : desktops) {
        const int mock = StartDesktopService(d.name, d.path, d.interface, d.method, d.signature);
        ClearLogindCalls();
        power->LogOff(false, reason);
        EXPECT_EQ(WaitForCalls([&] { return MockCalls(sessionBus(), d.name, d.path); }),
                  Calls{d.expected});
        EXPECT_EQ(LogindCalls(), Calls{}) << d.name.toStdString();
        session_->StopMock(mock);
    }
    EXPECT_EQ(reports, Calls{});
}

TEST_F(LogindTest, ASessionManagerThatRefusesIsReportedAndTheSessionIsNotTerminated) {
    StartDesktopService("org.gnome.SessionManager", "/org/gnome/SessionManager",
                        "org.gnome.SessionManager", "Logout", "u",
                        "raise dbus.exceptions.DBusException(\"Logout interrupted\", "
                        "name=\"org.gnome.SessionManager.NotInRunning\")");
    power->LogOff(false, reason);
    EXPECT_EQ(WaitForCalls([&] { return LogindCalls(); }), Calls{});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("org.gnome.SessionManager.NotInRunning: Logout interrupted"),
              std::string::npos)
        << reports[0];
}

TEST_F(LogindTest, LockAsksLogindThenTheScreenSaverWhenTheSessionDidNotLock) {
    ASSERT_TRUE(CallLogindMock("AddSession", {"auto", "seat0", 1000u, "alice", true}));
    StartDesktopService("org.freedesktop.ScreenSaver", "/ScreenSaver",
                        "org.freedesktop.ScreenSaver", "Lock", "");
    ClearLogindCalls();
    power->Lock(reason);
    EXPECT_EQ(WaitForCalls([&] {
                  return MockCalls(sessionBus(), "org.freedesktop.ScreenSaver", "/ScreenSaver");
              }),
              Calls{"Lock()"});
    EXPECT_EQ(LogindCalls(), (Calls{"LockSession(auto)", "GetSession(auto)"}));
    EXPECT_EQ(reports, Calls{});
}

TEST_F(LogindTest, LockLeavesTheScreenSaverAloneWhenTheSessionReportsItselfLocked) {
    ASSERT_TRUE(CallLogindMock("AddSession", {"auto", "seat0", 1000u, "alice", true}));
    // The session's locker answers logind's Lock signal by saying it locked.
    ASSERT_TRUE(
        CallLogindMock("AddMethod", {kManager, "LockSession", "s", "",
                                     "objects['/org/freedesktop/login1/session/' + args[0]].Set("
                                     "'org.freedesktop.login1.Session', 'LockedHint', True)"}));
    StartDesktopService("org.freedesktop.ScreenSaver", "/ScreenSaver",
                        "org.freedesktop.ScreenSaver", "Lock", "");
    power->Lock(reason);
    WaitUntilSettled();
    EXPECT_EQ(MockCalls(sessionBus(), "org.freedesktop.ScreenSaver", "/ScreenSaver"), Calls{});
    EXPECT_EQ(reports, Calls{});
}

TEST_F(LogindTest, ALockThatNobodyCanCarryOutIsReported) {
    MakeLogindFail("LockSession", "s", "org.freedesktop.login1.NoSessionForPID",
                   "PID 1 does not belong to any known session");
    std::vector<std::string> told;
    power->TellFailures([&](const std::string& what) { told.push_back(what); });
    EXPECT_TRUE(power->Lock(reason)) << "the failure comes later";
    WaitUntilSettled();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0],
              "tolvane: logind LockSession failed: org.freedesktop.login1.NoSessionForPID: PID 1 "
              "does not belong to any known session");
    EXPECT_EQ(reports[1], "tolvane: No screen saver of the desktop answered the lock request.");
    // The window hears the outcome only: logind's refusal led to another try.
    EXPECT_EQ(told, std::vector<std::string>{
                        "No screen saver of the desktop answered the lock request."});
}

TEST_F(LogindTest, NoticesGoToTheNotificationServiceAndItsSkipComesBack) {
    const QString service = "org.freedesktop.Notifications";
    const QString path = "/org/freedesktop/Notifications";
    DBusDesktopNotices notices(session_->Connection());
    DesktopNotice notice;
    notice.title = "Tolvane 2.1";
    notice.text = "Reboot at 10:30 PM, in 5 minutes.";
    notice.skipLabel = "Skip this time";
    int first = 0;
    int second = 0;
    EXPECT_FALSE(notices.Show(notice, [&] { ++first; })) << "no notification service yet";

    session_->StartMock({"--template", "notification_daemon"}, service, false);
    ASSERT_TRUE(notices.Show(notice, [&] { ++first; }));
    ASSERT_TRUE(notices.Show(notice, [&] { ++second; }));
    Calls calls;
    ASSERT_TRUE(ServeEventsUntil(
        [&] {
            calls = MockCalls(sessionBus(), service, path);
            return calls.size() == 2;
        },
        kHangGuardMs));
    EXPECT_NE(calls[0].find("Reboot at 10:30 PM, in 5 minutes."), std::string::npos) << calls[0];

    // A choice is matched to its notice once the notice's number is back.
    ASSERT_TRUE(ServeEventsUntil([&] { return notices.Pending() == 0; }, kHangGuardMs));
    const auto invoke = [&](uint id, const QString& action) {
        EXPECT_TRUE(CallMock(sessionBus(), service, path, "EmitSignal",
                             {service, "ActionInvoked", "us",
                              QVariant::fromValue(QVariantList{QVariant::fromValue(id), action})}));
    };
    invoke(1, "skip");
    invoke(1, "skip");   // answered already
    invoke(2, "other");  // not the notice's choice
    invoke(3, "skip");   // not a notice of ours
    invoke(2, "skip");
    ASSERT_TRUE(ServeEventsUntil([&] { return second == 1; }, kHangGuardMs));
    EXPECT_EQ(first, 1);

    // A series: the last minute's notice, critical, in the place of the
    // earlier one; then a word with nothing to choose in its place.
    DesktopNotice earlier = notice;
    earlier.series = "10:30 PM-Reboot-Repeat YES-Every Day\n1";
    DesktopNotice last = earlier;
    last.text = "Reboot at 10:30 PM, in 1 minute.";
    last.urgent = true;
    DesktopNotice skipped = earlier;
    skipped.text = "Skipped: reboot at 10:30 PM";
    skipped.skipLabel.clear();
    int third = 0;
    ASSERT_TRUE(notices.Show(earlier, [&] { ++third; }));
    ASSERT_TRUE(ServeEventsUntil([&] { return notices.Pending() == 0; }, kHangGuardMs));
    ASSERT_TRUE(notices.Show(last, [&] { ++third; }));
    ASSERT_TRUE(ServeEventsUntil([&] { return notices.Pending() == 0; }, kHangGuardMs));
    ASSERT_TRUE(notices.Show(skipped, nullptr));
    ASSERT_TRUE(ServeEventsUntil([&] { return notices.Pending() == 0; }, kHangGuardMs));
    calls = MockCalls(sessionBus(), service, path);
    ASSERT_EQ(calls.size(), 5u);
    const std::string hints = "{desktop-entry: tolvane, urgency: ";
    EXPECT_NE(calls[0].find(hints + "1}"), std::string::npos) << calls[0];
    EXPECT_NE(calls[0].find("Tolvane 2.1, 0, tolvane"), std::string::npos) << calls[0];
    EXPECT_NE(calls[3].find("Tolvane 2.1, 3, tolvane"), std::string::npos) << calls[3];
    EXPECT_NE(calls[3].find(hints + "2}"), std::string::npos) << calls[3];
    EXPECT_NE(calls[4].find("Tolvane 2.1, 3, tolvane"), std::string::npos) << calls[4];
    EXPECT_NE(calls[4].find("Skipped: reboot at 10:30 PM, [], " + hints + "1}"), std::string::npos)
        << calls[4];
    // The word put in its place took the choice away: a skip of it is
    // ignored, as a later skip of another notice (signals come in order) shows.
    int fourth = 0;
    ASSERT_TRUE(notices.Show(notice, [&] { ++fourth; }));
    ASSERT_TRUE(ServeEventsUntil([&] { return notices.Pending() == 0; }, kHangGuardMs));
    invoke(3, "skip");
    invoke(4, "skip");
    ASSERT_TRUE(ServeEventsUntil([&] { return fourth == 1; }, kHangGuardMs));
    EXPECT_EQ(third, 0);
}

}  // namespace
}  // namespace tolvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
