// The service's power requests, made to a logind mock (python3-dbusmock) on a
// private system bus this test starts; it refuses to run on any other bus.
#include "platform/linux/logind_system_power.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "private_bus.h"

namespace tolvane {
namespace {

using testing::CallMock;
using testing::ClearMockCalls;
using testing::MockCalls;
using testing::PrivateBus;
using Calls = std::vector<std::string>;

const QString kLogind = "org.freedesktop.login1";
const QString kLogindPath = "/org/freedesktop/login1";
const QString kManager = "org.freedesktop.login1.Manager";
constexpr uid_t kOwner = 1000;

class LogindSystemPowerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = "/tmp/tolvane-bus-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("no folder for the bus");
        folder = pattern;
        system_ = std::make_unique<PrivateBus>(folder, "system");
        bus = system_->Connection();
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", system_->Address().c_str(), 1);
        ASSERT_EQ(testing::PrivateSystemBusProblem(::getenv("DBUS_SYSTEM_BUS_ADDRESS"),
                                                   system_->Address()),
                  "")
            << "refusing to run";
        system_->StartMock({"--system", "--template", TOLVANE_LOGIND_TEMPLATE}, kLogind, true);
        ASSERT_TRUE(CallMock(bus, kLogind, kLogindPath, "ClearCalls", {}))
            << "org.freedesktop.login1 on this bus is not the mock; refusing to run";
        // Two sessions of the schedule's owner and one of somebody else.
        for (const auto& [id, uid] : {std::pair{"c1", kOwner}, {"c2", 1001u}, {"c3", kOwner}}) {
            ASSERT_TRUE(CallMock(bus, kLogind, kLogindPath, "AddSession",
                                 {QString(id), QString("seat0"), uid, QString("u"), true}));
        }
        ClearMockCalls(bus, kLogind, kLogindPath);
        power = std::make_unique<LogindSystemPower>(bus, kOwner);
    }
    void TearDown() override {
        power.reset();
        system_.reset();
        std::filesystem::remove_all(folder);
    }
    // The manager's calls only; listing the sessions is how they are found.
    Calls Requests() {
        Calls requests;
        for (const auto& call : MockCalls(bus, kLogind, kLogindPath)) {
            if (call.rfind("ListSessions", 0) != 0) requests.push_back(call);
        }
        ClearMockCalls(bus, kLogind, kLogindPath);
        return requests;
    }

    std::string folder;
    std::unique_ptr<PrivateBus> system_;
    QDBusConnection bus{QString()};
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

TEST_F(LogindSystemPowerTest, FallsBackWhereLogindLacksTheWithFlagsMethodsAndReportsErrors) {
    ASSERT_TRUE(CallMock(bus, kLogind, kLogindPath, "AddMethod",
                         {kManager, QString("RebootWithFlags"), QString("t"), QString(""),
                          QString("raise dbus.exceptions.DBusException(\"no\", "
                                  "name=\"org.freedesktop.DBus.Error.UnknownMethod\")")}));
    ASSERT_TRUE(CallMock(bus, kLogind, kLogindPath, "AddMethod",
                         {kManager, QString("PowerOffWithFlags"), QString("t"), QString(""),
                          QString("raise dbus.exceptions.DBusException(\"Operation inhibited\", "
                                  "name=\"org.freedesktop.login1.BlockedByInhibitorLock\")")}));
    std::string reason;
    EXPECT_TRUE(power->Reboot(false, reason));
    EXPECT_EQ(Requests(), (Calls{"RebootWithFlags(1)", "Reboot(false)"}));

    // An application's veto is an answer, not a missing method: no retry.
    EXPECT_FALSE(power->ShutDown(false, reason));
    EXPECT_EQ(Requests(), Calls{"PowerOffWithFlags(1)"});
    EXPECT_NE(reason.find("BlockedByInhibitorLock"), std::string::npos) << reason;
}

TEST_F(LogindSystemPowerTest, WithNobodyLoggedOnLogOffAndLockFailWithAReason) {
    LogindSystemPower stranger(bus, 4242);
    std::string reason;
    EXPECT_FALSE(stranger.Lock(reason));
    EXPECT_NE(reason.find("4242"), std::string::npos) << reason;
    EXPECT_FALSE(stranger.LogOff(true, reason));
    EXPECT_EQ(Requests(), Calls{});
}

}  // namespace
}  // namespace tolvane
