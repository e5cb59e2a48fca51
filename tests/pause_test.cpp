#include "power/pause.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"

namespace tolvane {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;

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
