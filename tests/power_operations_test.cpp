#include "power/power_operations.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_session_services.h"
#include "power/pause.h"

namespace tolvane {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;
using testing::FakeSessionServices;
using Names = std::vector<std::string>;

const Names kPrivilegeThenExit = {"GetCurrentProcess",     "OpenProcessToken",
                                  "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                                  "CloseHandle",           "ExitWindowsEx"};

struct ExitCase {
    const char* name;
    void (PowerOperations::*operation)();
    std::uint32_t flags;
};

const ExitCase kExitCases[] = {
    {"LogOffUser", &PowerOperations::LogOffUser, 0},
    {"ShutDownSystem", &PowerOperations::ShutDownSystem, 1},
    {"RebootSystem", &PowerOperations::RebootSystem, 2},
    {"LogOffUserForced", &PowerOperations::LogOffUserForced, 4},
    {"ShutDownSystemForced", &PowerOperations::ShutDownSystemForced, 5},
    {"RebootSystemForced", &PowerOperations::RebootSystemForced, 6},
};

TEST(PowerOperations, EachExitEnablesThePrivilegeThenAsksWithItsFlags) {
    for (const auto& c : kExitCases) {
        FakeSessionServices services;
        PowerOperations power(services);
        (power.*c.operation)();
        ASSERT_EQ(services.Names(), kPrivilegeThenExit) << c.name;
        const auto& calls = services.calls;
        EXPECT_EQ(calls[1].args, (std::vector<std::uint64_t>{services.process, 0x28})) << c.name;
        EXPECT_EQ(calls[2].text, "|SeShutdownPrivilege") << c.name;
        const auto& adjust = calls[3];
        EXPECT_EQ(adjust.args, (std::vector<std::uint64_t>{services.token, 0, 16})) << c.name;
        EXPECT_EQ(adjust.privileges.privilegeCount, 1u);
        EXPECT_EQ(adjust.privileges.luid.lowPart, services.luid.lowPart);
        EXPECT_EQ(adjust.privileges.attributes, 2u);
        EXPECT_EQ(calls[4].args, (std::vector<std::uint64_t>{services.token})) << c.name;
        EXPECT_EQ(calls[5].args, (std::vector<std::uint64_t>{c.flags, 0xFFFFFFFFu})) << c.name;
        EXPECT_EQ(c.flags & 8u, 0u) << "never the power-off bit";
    }
}

TEST(PowerOperations, TheExitIsRequestedEvenWhenEveryPrivilegeStepFails) {
    for (const auto& c : kExitCases) {
        FakeSessionServices services;
        services.privilegeStepsFail = true;
        PowerOperations power(services);
        (power.*c.operation)();
        // No token to close; the adjustment is still tried with token and identifier 0.
        EXPECT_EQ(services.Names(),
                  (Names{"GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValueA",
                         "AdjustTokenPrivileges", "ExitWindowsEx"}))
            << c.name;
        EXPECT_EQ(services.calls[3].args[0], 0u);
        EXPECT_EQ(services.calls[3].privileges.luid.lowPart, 0u);
        EXPECT_EQ(services.ExitFlags(), std::vector<std::uint64_t>{c.flags}) << c.name;
    }
}

TEST(PowerOperations, LockingTakesNoPrivilegeStep) {
    FakeSessionServices services;
    PowerOperations power(services);
    power.LockWorkStation();
    EXPECT_EQ(services.Names(), Names{"LockWorkStation"});
}

TEST(RoundHalfToEven, RoundsHalvesToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{100.5, 100}, {101.5, 102}, {100.4, 100},
                                               {100.6, 101}, {0.5, 0},     {86399.5, 86400},
                                               {7.0, 7}};
    for (const auto& [in, out] : cases) EXPECT_EQ(RoundHalfToEven(in), out) << in;
}

// How long a pause lasts on the fake clock, which moves on at every wait.
double PauseLength(std::int32_t seconds, double startTimeOfDay, FakeEventPump& pump) {
    FakeClock clock;
    clock.now.secondsSinceMidnight = startTimeOfDay;
    const double start = clock.monotonic;
    pump.onWait = [&](double maxSeconds) { clock.Advance(std::clamp(maxSeconds, 1e-6, 0.1)); };
    PauseSeconds(seconds, clock, pump);
    return clock.monotonic - start;
}

TEST(PauseSeconds, LastsFromTheRoundedStartToItsEnd) {
    struct Case {
        std::int32_t seconds;
        double start;
        double length;
    };
    const Case
        cases[] =
            {
                {1, 100.4, 0.6},   {1, 100.6, 1.4}, {0, 100.4, 0.0}, {0, 100.6, 0.4},
                {1, 100.5, 0.5},   {1, 101.5, 1.5}, {3, 10.0, 3.0},  {-2, 50.0, 0.0},
                {1, 86399.7, 1.3},  // across midnight, the time of day starting again at 0
            };
    for (const auto& c : cases) {
        FakeEventPump pump;
        EXPECT_NEAR(PauseLength(c.seconds, c.start, pump), c.length, 1e-5)
            << c.seconds << " s from " << c.start;
    }
}

TEST(PauseSeconds, ServesEventsWhileWaitingInsteadOfSpinning) {
    FakeEventPump pump;
    int clicks = 0;
    pump.onProcess = [&](int) { ++clicks; };
    PauseLength(1, 10.0, pump);
    EXPECT_GE(clicks, 9);
    EXPECT_EQ(pump.waits.size(), static_cast<std::size_t>(pump.processed));
    EXPECT_LE(pump.waits.front(), 1.0);  // never sleeps past the end
}

}  // namespace
}  // namespace tolvane
