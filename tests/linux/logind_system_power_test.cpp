// The service's power requests, made to a logind mock (python3-dbusmock) on a
// private system bus this test starts; it refuses to run on any other bus.
// A monitor on that bus sees each call as it was sent: its argument types and
// its no-interaction flag, which the mock's record does not show.
#include "platform/linux/logind_system_power.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <systemd/sd-bus.h>

#include <time.h>

#include <QDBusMessage>
#include <map>

#include "logind_mock.h"

namespace tolvane {
namespace {

using Calls = std::vector<std::string>;

constexpr uid_t kOwner = 1000;
// Only guards against a hang: a loaded machine takes its time.
constexpr std::uint64_t kHangGuardMicroseconds = 120ull * 1000 * 1000;

// Every call to logind's manager on the bus at `address`, as the bus carried
// it, from the moment this is made.
class ManagerCallMonitor {
  public:
    struct Seen {
        std::string member;
        std::string signature;
        bool interactive = false;
    };

    explicit ManagerCallMonitor(const std::string& address) {
        sd_bus* bus = nullptr;
        sd_bus_new(&bus);
        bus_.reset(bus);
        sd_bus_message* become = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        char rule[] =
            "type='method_call',destination='org.freedesktop.login1',"
            "interface='org.freedesktop.login1.Manager'";
        char* rules[] = {rule, nullptr};
        ok_ = sd_bus_set_address(bus, address.c_str()) >= 0 && sd_bus_set_monitor(bus, 1) >= 0 &&
              sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
              sd_bus_message_new_method_call(
                  bus, &become, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                  "org.freedesktop.DBus.Monitoring", "BecomeMonitor") >= 0 &&
              sd_bus_message_append_strv(become, rules) >= 0 &&
              sd_bus_message_append(become, "u", 0u) >= 0 &&
              sd_bus_call(bus, become, kHangGuardMicroseconds, &error, nullptr) >= 0;
        sd_bus_message_unref(become);
        sd_bus_error_free(&error);
    }
    bool Ok() const { return ok_; }

    // The next `count` calls, waiting for them; fewer when the wait gives up.
    std::vector<Seen> Take(std::size_t count) {
        std::vector<Seen> seen;
        while (seen.size() < count) {
            sd_bus_message* message = nullptr;
            const int processed = sd_bus_process(bus_.get(), &message);
            if (processed < 0) break;
            if (message) {
                uint8_t type = 0;
                sd_bus_message_get_type(message, &type);
                const char* interface = sd_bus_message_get_interface(message);
                if (type == SD_BUS_MESSAGE_METHOD_CALL && interface &&
                    std::string(interface) == "org.freedesktop.login1.Manager") {
                    seen.push_back(
                        {sd_bus_message_get_member(message),
                         sd_bus_message_get_signature(message, 1),
                         sd_bus_message_get_allow_interactive_authorization(message) > 0});
                }
                sd_bus_message_unref(message);
                continue;
            }
            if (processed > 0) continue;
            if (sd_bus_wait(bus_.get(), kHangGuardMicroseconds) <= 0) break;
        }
        return seen;
    }

  private:
    SystemBus bus_;
    bool ok_ = false;
};

class LogindSystemPowerTest : public testing::LogindMockTest {
  protected:
    void SetUp() override {
        LogindMockTest::SetUp();
        if (HasFatalFailure()) return;
        // Two sessions of the schedule's owner and one of somebody else.
        for (const auto& [id, uid] : {std::pair{"c1", kOwner}, {"c2", 1001u}, {"c3", kOwner}}) {
            ASSERT_TRUE(CallLogindMock("AddSession",
                                       {QString(id), QString("seat0"), uid, QString("u"), true}));
        }
        ClearLogindCalls();
        // The bus the service would open: SetUp pointed the variable at the
        // test's own.
        std::string error;
        bus = OpenSystemBus(error);
        ASSERT_TRUE(bus) << error;
        power = std::make_unique<LogindSystemPower>(bus.get(), kOwner);
    }
    void TearDown() override {
        power.reset();
        bus.reset();
        LogindMockTest::TearDown();
    }
    // The manager's calls only; listing the sessions is how they are found.
    Calls Requests() {
        Calls requests;
        for (const auto& call : LogindCalls()) {
            if (call.rfind("ListSessions", 0) != 0) requests.push_back(call);
        }
        ClearLogindCalls();
        return requests;
    }

    SystemBus bus;
    std::unique_ptr<LogindSystemPower> power;
};

TEST_F(LogindSystemPowerTest, EachActionMakesItsNonInteractiveCall) {
    struct Case {
        const char* name;
        bool (LogindSystemPower::*action)(bool, std::string&);
        bool force;
        Calls expected;
    };
    const Case cases[] = {
        {"reboot", &LogindSystemPower::Reboot, false, {"RebootWithFlags(1)"}},
        {"forced reboot", &LogindSystemPower::Reboot, true, {"Reboot(false)"}},
        {"shut down", &LogindSystemPower::ShutDown, false, {"PowerOffWithFlags(1)"}},
        {"forced shut down", &LogindSystemPower::ShutDown, true, {"PowerOff(false)"}},
        {"log off",
         &LogindSystemPower::LogOff,
         false,
         {"TerminateSession(c1)", "TerminateSession(c3)"}},
        {"forced log off",
         &LogindSystemPower::LogOff,
         true,
         {"TerminateSession(c1)", "TerminateSession(c3)"}},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_TRUE((power.get()->*c.action)(c.force, reason)) << c.name << ": " << reason;
        EXPECT_EQ(Requests(), c.expected) << c.name;
    }
    std::string reason;
    EXPECT_TRUE(power->Lock(reason)) << reason;
    EXPECT_EQ(Requests(), (Calls{"LockSession(c1)", "LockSession(c3)"}));
}

// The mock takes a call whatever its argument types and flags: the bus shows
// them as logind would get them.
TEST_F(LogindSystemPowerTest, EveryCallHasLogindsArgumentTypesAndAsksNobody) {
    ManagerCallMonitor monitor(::getenv("DBUS_SYSTEM_BUS_ADDRESS"));
    ASSERT_TRUE(monitor.Ok()) << "no monitor on the test's bus";
    std::string reason;
    for (const bool force : {false, true}) {
        EXPECT_TRUE(power->Reboot(force, reason)) << reason;
        EXPECT_TRUE(power->ShutDown(force, reason)) << reason;
        EXPECT_TRUE(power->LogOff(force, reason)) << reason;
    }
    EXPECT_TRUE(power->Lock(reason)) << reason;
    EXPECT_TRUE(power->AnnounceEnd(true, 60, reason)) << reason;
    EXPECT_TRUE(power->CancelAnnouncement(reason)) << reason;
    const std::map<std::string, std::string> signatures = {
        {"RebootWithFlags", "t"}, {"PowerOffWithFlags", "t"}, {"Reboot", "b"},
        {"PowerOff", "b"},        {"TerminateSession", "s"},  {"LockSession", "s"},
        {"ListSessions", ""},     {"ScheduleShutdown", "st"}, {"CancelScheduledShutdown", ""},
    };
    // What the mock answered, in order, is what the bus must have carried.
    const Calls recorded = LogindCalls();
    const auto seen = monitor.Take(recorded.size());
    ASSERT_EQ(seen.size(), recorded.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(recorded[i].substr(0, recorded[i].find('(')), seen[i].member);
        ASSERT_TRUE(signatures.contains(seen[i].member)) << seen[i].member;
        EXPECT_EQ(seen[i].signature, signatures.at(seen[i].member)) << seen[i].member;
        EXPECT_FALSE(seen[i].interactive) << seen[i].member << " may ask for a password";
    }
}

TEST_F(LogindSystemPowerTest, FallsBackWhereLogindLacksTheWithFlagsMethodsAndReportsErrors) {
    MakeLogindFail("RebootWithFlags", "t", "org.freedesktop.DBus.Error.UnknownMethod", "no");
    MakeLogindFail("PowerOffWithFlags", "t", "org.freedesktop.login1.BlockedByInhibitorLock",
                   "Operation inhibited");
    if (HasFatalFailure()) return;
    std::string reason;
    EXPECT_TRUE(power->Reboot(false, reason));
    EXPECT_EQ(Requests(), (Calls{"RebootWithFlags(1)", "Reboot(false)"}));

    // An application's veto is an answer, not a missing method: no retry.
    EXPECT_FALSE(power->ShutDown(false, reason));
    EXPECT_EQ(Requests(), Calls{"PowerOffWithFlags(1)"});
    EXPECT_NE(reason.find("BlockedByInhibitorLock"), std::string::npos) << reason;
}

TEST_F(LogindSystemPowerTest, WithNobodyLoggedOnLogOffAndLockFailWithAReason) {
    LogindSystemPower stranger(bus.get(), 4242);
    std::string reason;
    EXPECT_FALSE(stranger.Lock(reason));
    EXPECT_NE(reason.find("4242"), std::string::npos) << reason;
    EXPECT_FALSE(stranger.LogOff(true, reason));
    EXPECT_EQ(Requests(), Calls{});
}

// A session that fails does not keep the user's others from being tried, and
// the reason names each failed one with logind's error.
TEST_F(LogindSystemPowerTest, EverySessionIsTriedAndEachFailureIsNamed) {
    MakeLogindFail("LockSession", "s", "org.freedesktop.login1.NoSuchSession", "gone");
    if (HasFatalFailure()) return;
    std::string reason;
    EXPECT_FALSE(power->Lock(reason));
    EXPECT_EQ(Requests(), (Calls{"LockSession(c1)", "LockSession(c3)"}));
    EXPECT_NE(reason.find("session c1: org.freedesktop.login1.NoSuchSession: gone"),
              std::string::npos)
        << reason;
    EXPECT_NE(reason.find("session c3: "), std::string::npos) << reason;
}

TEST_F(LogindSystemPowerTest, NoBusAtTheAddressIsNoSystemBusWithTheReason) {
    const std::string ours = ::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string missing = "unix:path=" + folder + "/no-bus";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", missing.c_str(), 1);
    std::string error;
    const SystemBus none = OpenSystemBus(error);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ours.c_str(), 1);
    EXPECT_FALSE(none);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

// ---- The machine's: every user's sessions, and its end announced ----

class MachinePowerTest : public LogindSystemPowerTest {
  protected:
    void SetUp() override {
        LogindSystemPowerTest::SetUp();
        if (HasFatalFailure()) return;
        // Beside the fixture's c1, c2 (another user) and c3: a display
        // manager's login screen, nobody's work.
        ASSERT_TRUE(CallLogindMock(
            "AddSession", {QString("g1"), QString("seat0"), 120u, QString("Debian-gdm"), false}));
        SetClass("g1", "greeter");
        ClearLogindCalls();
        machine = std::make_unique<LogindSystemPower>(bus.get());
    }
    void SetClass(const QString& session, const QString& sessionClass) {
        ASSERT_TRUE(testing::CallMock(
            systemBus, kLogind, "/org/freedesktop/login1/session/" + session, "UpdateProperties",
            {QString("org.freedesktop.login1.Session"), QVariantMap{{"Class", sessionClass}}}));
    }
    static std::uint64_t RealTimeMicroseconds() {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return std::uint64_t(now.tv_sec) * 1000000u + std::uint64_t(now.tv_nsec) / 1000u;
    }

    std::unique_ptr<LogindSystemPower> machine;
};

TEST_F(MachinePowerTest, LogOffAndLockActOnEveryPersonsSessionsAndTheMachineAsAUsersWould) {
    std::string reason;
    EXPECT_TRUE(machine->LogOff(false, reason)) << reason;
    EXPECT_EQ(Requests(),
              (Calls{"TerminateSession(c1)", "TerminateSession(c2)", "TerminateSession(c3)"}));
    EXPECT_TRUE(machine->Lock(reason)) << reason;
    EXPECT_EQ(Requests(), (Calls{"LockSession(c1)", "LockSession(c2)", "LockSession(c3)"}));
    EXPECT_TRUE(machine->Reboot(false, reason)) << reason;
    EXPECT_TRUE(machine->ShutDown(true, reason)) << reason;
    EXPECT_EQ(Requests(), (Calls{"RebootWithFlags(1)", "PowerOff(false)"}));
}

TEST_F(MachinePowerTest, APersonsSessionOfANewerLogindCountsAndNothingElse) {
    SetClass("c1", "user-early");
    SetClass("c2", "background");
    SetClass("c3", "manager");
    if (HasFatalFailure()) return;
    std::string reason;
    EXPECT_TRUE(machine->LogOff(false, reason)) << reason;
    EXPECT_EQ(Requests(), Calls{"TerminateSession(c1)"});
}

TEST_F(MachinePowerTest, WithOnlyTheLoginScreenThereNobodyIsLoggedOnAndNothingIsEnded) {
    for (const char* session : {"c1", "c2", "c3"}) SetClass(session, "lock-screen");
    if (HasFatalFailure()) return;
    std::string reason;
    EXPECT_FALSE(machine->LogOff(true, reason));
    EXPECT_EQ(reason, "nobody is logged on");
    EXPECT_FALSE(machine->Lock(reason));
    EXPECT_EQ(reason, "nobody is logged on");
    EXPECT_EQ(Requests(), Calls{});
}

// The announcement is logind's dry kind, so logind itself never acts on
// it; its moment is the real-time clock's, seconds ahead.
TEST_F(MachinePowerTest, TheEndIsAnnouncedAsADryScheduledShutdownAndTakenBack) {
    const struct {
        bool reboot;
        double seconds;
        const char* type;
    } cases[] = {
        {true, 300, "dry-reboot"}, {false, 59.5, "dry-poweroff"}, {true, -3, "dry-reboot"}};
    for (const auto& c : cases) {
        std::string reason;
        const std::uint64_t before = RealTimeMicroseconds();
        ASSERT_TRUE(machine->AnnounceEnd(c.reboot, c.seconds, reason)) << c.type << ": " << reason;
        const std::uint64_t after = RealTimeMicroseconds();
        const Calls calls = Requests();
        ASSERT_EQ(calls.size(), 1u) << c.type;
        const std::string prefix = std::string("ScheduleShutdown(") + c.type + ", ";
        ASSERT_EQ(calls[0].rfind(prefix, 0), 0u) << calls[0];
        const std::uint64_t when = std::stoull(calls[0].substr(prefix.size()));
        // A moment already past is announced as now, never as a time before.
        const auto ahead = std::uint64_t(std::max(c.seconds, 0.0) * 1e6);
        EXPECT_GE(when, before + ahead) << calls[0];
        EXPECT_LE(when, after + ahead) << calls[0];

        EXPECT_TRUE(machine->CancelAnnouncement(reason)) << reason;
        EXPECT_EQ(Requests(), Calls{"CancelScheduledShutdown()"});
    }
}

TEST_F(MachinePowerTest, ARefusedAnnouncementOrTakingBackIsAFailureWithLogindsWords) {
    std::string reason;
    ASSERT_TRUE(machine->AnnounceEnd(false, 120, reason)) << reason;
    MakeLogindFail("CancelScheduledShutdown", "", "org.freedesktop.DBus.Error.AccessDenied",
                   "not yours");
    if (HasFatalFailure()) return;
    EXPECT_FALSE(machine->CancelAnnouncement(reason));
    EXPECT_EQ(reason, "org.freedesktop.DBus.Error.AccessDenied: not yours");

    MakeLogindFail("ScheduleShutdown", "st", "org.freedesktop.DBus.Error.AccessDenied", "denied");
    if (HasFatalFailure()) return;
    EXPECT_FALSE(machine->AnnounceEnd(false, 120, reason));
    EXPECT_EQ(reason, "org.freedesktop.DBus.Error.AccessDenied: denied");
    // The first announcement still stands in logind as the service's: it is
    // tried again.
    ClearLogindCalls();
    EXPECT_FALSE(machine->CancelAnnouncement(reason));
    EXPECT_EQ(Requests(), Calls{"CancelScheduledShutdown()"});
}

// logind holds one scheduled shutdown: an administrator's (`shutdown -r +30`)
// is neither replaced by the announcement nor taken back with it; the
// service's own is replaced by its next.
TEST_F(MachinePowerTest, AnotherScheduledShutdownIsNeitherReplacedNorTakenBack) {
    const auto others = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager, method);
        call.setArguments(arguments);
        return systemBus.call(call).type() == QDBusMessage::ReplyMessage;
    };
    const auto minutesAhead = [](int minutes) {
        return QVariant::fromValue(quint64(RealTimeMicroseconds() + minutes * 60000000ull));
    };
    ASSERT_TRUE(others("ScheduleShutdown", {QString("reboot"), minutesAhead(30)}));
    ClearLogindCalls();
    std::string reason;
    EXPECT_FALSE(machine->AnnounceEnd(false, 60, reason));
    EXPECT_EQ(reason,
              "logind already has a reboot scheduled by someone else, which is left in place");
    EXPECT_TRUE(machine->CancelAnnouncement(reason)) << reason;
    EXPECT_EQ(Requests(), Calls{});

    // The administrator's replaces the service's announcement, and stays.
    ASSERT_TRUE(others("CancelScheduledShutdown", {}));
    EXPECT_TRUE(machine->AnnounceEnd(false, 60, reason)) << reason;
    ASSERT_TRUE(others("ScheduleShutdown", {QString("poweroff"), minutesAhead(15)}));
    ClearLogindCalls();
    EXPECT_TRUE(machine->CancelAnnouncement(reason)) << reason;
    EXPECT_EQ(Requests(), Calls{});

    // With nothing scheduled, the service's next announcement takes the
    // place of its first, and is the one taken back.
    ASSERT_TRUE(others("CancelScheduledShutdown", {}));
    ClearLogindCalls();
    EXPECT_TRUE(machine->AnnounceEnd(true, 300, reason)) << reason;
    EXPECT_TRUE(machine->AnnounceEnd(false, 120, reason)) << reason;
    EXPECT_TRUE(machine->CancelAnnouncement(reason)) << reason;
    const Calls calls = Requests();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].rfind("ScheduleShutdown(dry-reboot, ", 0), 0u) << calls[0];
    EXPECT_EQ(calls[1].rfind("ScheduleShutdown(dry-poweroff, ", 0), 0u) << calls[1];
    EXPECT_EQ(calls[2], "CancelScheduledShutdown()");
}

}  // namespace
}  // namespace tolvane
