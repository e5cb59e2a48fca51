// The services' loop on a fake clock: when it ticks, how long it waits, and
// when it stops.
#include "service/service_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_service_waiter.h"

namespace tolvane::testing {
namespace {

struct Loop {
    FakeClock clock;
    FakeServiceWaiter waiter{clock};
    // The monotonic time of each tick, from the loop's start.
    std::vector<double> ticks;
    // How long each tick takes, by its number; the rest take no time.
    std::vector<double> tickSeconds;

    void Run(double interval, int count) {
        const double start = clock.monotonic;
        RunServiceLoop(waiter, clock, interval, count, [&] {
            ticks.push_back(clock.monotonic - start);
            if (ticks.size() <= tickSeconds.size()) clock.Advance(tickSeconds[ticks.size() - 1]);
        });
    }
};

TEST(ServiceLoop, TicksAtOnceThenEveryIntervalFromTheFirstTick) {
    const struct {
        const char* name;
        std::vector<double> tickSeconds;
        std::vector<double> ticks;
        std::vector<double> waits;  // the first only looks for a stop
    } cases[] = {
        {"ticks that take no time", {}, {0, 45, 90, 135}, {0, 45, 45, 45}},
        // A slow tick does not push the next one later.
        {"a slow tick", {0, 10}, {0, 45, 90, 135}, {0, 45, 35, 45}},
        // One longer than the interval is followed at once, and the count
        // starts afresh from its end.
        {"a tick over the interval", {0, 60}, {0, 45, 105, 150}, {0, 45, 0, 45}},
        {"a tick of exactly the interval", {45}, {0, 45, 90, 135}, {0, 0, 45, 45}},
    };
    for (const auto& c : cases) {
        Loop loop;
        loop.tickSeconds = c.tickSeconds;
        loop.Run(45, 4);
        EXPECT_EQ(loop.ticks, c.ticks) << c.name;
        EXPECT_EQ(loop.waiter.waits, c.waits) << c.name;
    }
}

TEST(ServiceLoop, StopsAfterTheTicksAskedForWithoutWaitingAgain) {
    for (const int count : {1, 2, 5}) {
        Loop loop;
        loop.Run(0.5, count);
        EXPECT_EQ(loop.ticks.size(), static_cast<std::size_t>(count));
        // The look before the first tick and one wait between each two.
        EXPECT_EQ(loop.waiter.waits.size(), static_cast<std::size_t>(count)) << count;
    }
}

TEST(ServiceLoop, StopsWhenTheWaiterSaysStop) {
    const struct {
        int stopAtWait;
        std::size_t ticks;
    } cases[] = {
        {0, 0},  // asked to stop before it started: no tick at all
        {1, 1},
        {3, 3},
    };
    for (const auto& c : cases) {
        for (const int count : {0, 10}) {  // until stopped, or more ticks than come
            Loop loop;
            loop.waiter.stopAtWait = c.stopAtWait;
            loop.Run(45, count);
            EXPECT_EQ(loop.ticks.size(), c.ticks) << "stop at wait " << c.stopAtWait;
            // Nothing more is asked of a waiter that said stop.
            EXPECT_EQ(loop.waiter.waits.size(), static_cast<std::size_t>(c.stopAtWait + 1))
                << "stop at wait " << c.stopAtWait;
        }
    }
}

}  // namespace
}  // namespace tolvane::testing
