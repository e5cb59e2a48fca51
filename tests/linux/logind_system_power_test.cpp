// The service's power requests, made to a logind mock (python3-dbusmock) on a
// private system bus this test starts; it refuses to run on any other bus.
#include "platform/linux/logind_system_power.h"

#include <gtest/gtest.h>

#include "logind_mock.h"

namespace tolvane {
namespace {

using Calls = std::vector<std::string>;

constexpr uid_t kOwner = 1000;

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
        power = std::make_unique<LogindSystemPower>(systemBus, kOwner);
    }
    void TearDown() override {
        power.reset();
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
    LogindSystemPower stranger(systemBus, 4242);
    std::string reason;
    EXPECT_FALSE(stranger.Lock(reason));
    EXPECT_NE(reason.find("4242"), std::string::npos) << reason;
    EXPECT_FALSE(stranger.LogOff(true, reason));
    EXPECT_EQ(Requests(), Calls{});
}

}  // namespace
}  // namespace tolvane
