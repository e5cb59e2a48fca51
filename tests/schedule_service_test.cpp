#include "service/schedule_service.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "schedule/schedule_file.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

TEST(RemoveScheduleLine, TakesOutEveryCopyAndKeepsEveryOtherByte) {
    struct Case {
        std::string bytes;
        std::string line;
        std::string result;
    };
    const Case cases[] = {
        {"A\r\nB\r\n\r\n", "A", "B\r\n\r\n"},
        {"A\r\n\r\n", "A", "\r\n"},
        {"A\r\nB\r\nA\r\n  A \r\n\r\n", "A", "B\r\n\r\n"},
        {"A\r\nx\ny\r\n\r\nA", "A", "x\ny\r\n\r\nA"},  // the unterminated tail is no line
        {"B\r\n", "A", "B\r\n"},
        {"", "A", ""},
        {"AB\r\n", "A", "AB\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveScheduleLine(c.bytes, c.line), c.result) << c.bytes;
    }
}

class ScheduleServiceTest : public ::testing::Test {
  protected:
    const std::string path = "C:\\Tolvane\\rebootdata.kx";
    FakeFileSystem files;
    FakeClock clock;
    FakeSystemPower power;
    FakeServiceLog log;

    ScheduleServiceTest() { clock.now = FakeClock::At(2, 59); }

    ScheduleService Start() { return ScheduleService(files, path, clock, power, log); }
    void Write(const Texts& lines) { files.files[path] = ScheduleFileBytes(lines); }
};

TEST_F(ScheduleServiceTest, RunsDueLinesFromTheFileAndTakesOutOneTimeOnesFirst) {
    Write({"3:00 AM-Force Reboot-Repeat YES-Every Day", "3:00 AM-LockWorkStation-Repeat NO-Monday",
           "3:00 AM-LogOff-Repeat NO-Sunday", "4:00 AM-ShutDown-Repeat YES-Every Day"});
    auto service = Start();
    std::vector<std::string> fileAtRequest;
    power.onRequest = [&] { fileAtRequest.push_back(files.files[path]); };
    clock.now = FakeClock::At(3, 0, 1);
    service.Tick();
    EXPECT_EQ(power.requests, (Texts{"forced reboot", "lock"}));
    const std::string after = ScheduleFileBytes({"3:00 AM-Force Reboot-Repeat YES-Every Day",
                                                 "3:00 AM-LogOff-Repeat NO-Sunday",
                                                 "4:00 AM-ShutDown-Repeat YES-Every Day"});
    EXPECT_EQ(fileAtRequest.back(), after);
    EXPECT_EQ(files.files[path], after);
    EXPECT_EQ(log.infos.size(), 2u);
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(ScheduleServiceTest, ALineRunsOncePerMinuteAndNotInTheMinuteTheServiceStarted) {
    Write({"3:00 AM-Force Reboot-Repeat YES-Every Day"});
    clock.now = FakeClock::At(3, 0);
    auto service = Start();  // back up after its own reboot, still at 3:00
    service.Tick();
    EXPECT_TRUE(power.requests.empty());

    clock.now.day += 1;  // the next night
    service.Tick();
    clock.Advance(45);
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"forced reboot"});
}

TEST_F(ScheduleServiceTest, ReadsTheFileAfreshAtEveryTick) {
    auto service = Start();
    clock.now = FakeClock::At(3, 0);
    service.Tick();  // no file yet
    Write({"3:01 AM-ShutDown-Repeat YES-Every Day"});
    clock.now = FakeClock::At(3, 1);
    service.Tick();
    Write({"3:02 AM-Reboot-Repeat YES-Every Day"});  // the window changed the schedule
    clock.now = FakeClock::At(3, 2);
    service.Tick();
    EXPECT_EQ(power.requests, (Texts{"shutdown", "reboot"}));
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(ScheduleServiceTest, AMalformedFileIsReadWithoutHarmAndKeptByteForByte) {
    const std::string bytes = std::string("junk\r\n\0\xff-\r\n---\r\n", 16) +
                              "3:00 AM-Reboot-Repeat NO-Every Day\r\n x\ny \r\ntail";
    files.files[path] = bytes;
    auto service = Start();
    clock.now = FakeClock::At(3, 0, 2);
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"reboot"});
    EXPECT_EQ(files.files[path], std::string("junk\r\n\0\xff-\r\n---\r\n", 16) + " x\ny \r\ntail");
}

TEST_F(ScheduleServiceTest, AOneTimeLineThatCannotLeaveTheFileIsNotRun) {
    Write({"3:00 AM-Reboot-Repeat NO-Every Day"});
    auto service = Start();
    files.failMoveOver = true;
    clock.now = FakeClock::At(3, 0);
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("Access is denied."), std::string::npos);
    EXPECT_EQ(files.files[path], ScheduleFileBytes({"3:00 AM-Reboot-Repeat NO-Every Day"}));
}

TEST_F(ScheduleServiceTest, AOneTimeLineTheWindowAlreadyTookIsNotRunAgain) {
    Write({"3:00 AM-Reboot-Repeat NO-Every Day"});
    auto service = Start();
    clock.now = FakeClock::At(3, 0);
    // The window runs the line between the service's two reads of the file.
    files.beforeRead = [&](int read) {
        if (read == 2) Write({});
    };
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(ScheduleServiceTest, ARefusedRequestIsLogged) {
    Write({"3:00 AM-LogOff-Repeat YES-Every Day"});
    auto service = Start();
    power.refuse = true;
    clock.now = FakeClock::At(3, 0);
    service.Tick();
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("Access denied"), std::string::npos);
    EXPECT_NE(log.errors[0].find("3:00 AM-LogOff-Repeat YES-Every Day"), std::string::npos);
}

TEST_F(ScheduleServiceTest, AFileOverTheBoundIsLeftAloneAndLoggedOnceWhileItLasts) {
    const std::string due = ScheduleFileBytes({"3:02 AM-Reboot-Repeat NO-Every Day"});
    const std::string huge = due + std::string(kServiceMaxScheduleBytes - due.size() + 1, ' ');
    files.files[path] = huge;
    auto service = Start();
    clock.now = FakeClock::At(3, 0);
    service.Tick();
    clock.Advance(60);
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    EXPECT_EQ(files.files[path], huge);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("larger than 4 MiB"), std::string::npos) << log.errors[0];

    files.files[path] = huge.substr(0, kServiceMaxScheduleBytes);  // at the bound: read
    clock.Advance(60);
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"reboot"});
    files.files[path] = huge;  // too large again: said again
    clock.Advance(60);
    service.Tick();
    EXPECT_EQ(log.errors.size(), 2u);
}

TEST_F(ScheduleServiceTest, SomethingElseInTheFilesPlaceIsToldOnceAndLookedAtAgainEveryTick) {
    files.links[path] = "C:\\Tolvane\\a folder";  // stands there, and is no file
    auto service = Start();
    for (int minute : {0, 1}) {
        clock.now = FakeClock::At(3, minute);
        service.Tick();
    }
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("cannot be read"), std::string::npos) << log.errors[0];
    files.links.clear();
    Write({"3:02 AM-Reboot-Repeat YES-Every Day"});
    clock.now = FakeClock::At(3, 2);
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"reboot"});
    EXPECT_EQ(log.errors.size(), 1u);
}

TEST_F(ScheduleServiceTest, AllOneTimeLinesDueInATickLeaveTheFileInOneWrite) {
    // A large file with many one-time lines due at once: each taken out by a
    // rewrite of its own would write the whole file hundreds of times.
    Texts lines;
    for (int i = 0; i < 200; ++i) lines.push_back("3:00 AM-Note " + std::to_string(i) + "-Repeat NO-Every Day");
    Texts later;
    for (int i = 0; i < 20000; ++i) later.push_back("4:00 AM-Note " + std::to_string(i) + "-Repeat NO-Every Day");
    Texts all = lines;
    all.insert(all.end(), later.begin(), later.end());
    Write(all);
    ASSERT_GT(files.files[path].size(), 700'000u);
    auto service = Start();
    clock.now = FakeClock::At(3, 0);
    service.Tick();
    EXPECT_EQ(log.infos.size(), 200u);  // "Nothing to do for" each, once
    EXPECT_EQ(files.files[path], ScheduleFileBytes(later));
    EXPECT_EQ(files.temporaryFilesCreated, 2) << "one write of the schedule, one of the run record";
    EXPECT_TRUE(log.errors.empty());
}

// Another process keeps the schedule's lock: the tick waits in short steps,
// for as long as the lines' minute lasts or until the service is stopped.
TEST_F(ScheduleServiceTest, AHeldLockHoldsTheTickOnlyUntilTheMinuteEndsOrAStop) {
    const Texts due = {"3:00 AM-Reboot-Repeat NO-Every Day", "3:00 AM-LockWorkStation-Repeat YES-Every Day"};
    struct Case {
        const char* name;
        bool stop;  // a stop comes while it waits; otherwise the minute ends
    };
    for (const Case& c : {Case{"the minute ends", false}, Case{"a stop", true}}) {
        SCOPED_TRACE(c.name);
        FakeFileSystem held;
        held.files[path] = ScheduleFileBytes(due);
        held.locks[path + ".lock"].exclusive = true;
        FakeServiceLog heard;
        FakeSystemPower acted;
        clock.now = FakeClock::At(2, 59);
        ScheduleService service(held, path, clock, acted, heard);
        int asked = 0;
        service.StopWhen([&] {
            ++asked;
            if (!c.stop && asked == 5) clock.Advance(60);
            return c.stop && asked >= 5;
        });
        clock.now = FakeClock::At(3, 0, 30);
        service.Tick();
        EXPECT_TRUE(acted.requests.empty());
        EXPECT_EQ(held.files[path], ScheduleFileBytes(due));
        ASSERT_GE(held.lockWaits.size(), 5u);
        for (double wait : held.lockWaits) EXPECT_LE(wait, kLockStepSeconds);
        if (c.stop) {
            EXPECT_TRUE(heard.errors.empty()) << heard.errors.front();
        } else {
            ASSERT_EQ(heard.errors.size(), 2u);
            for (std::size_t i = 0; i < due.size(); ++i) {
                EXPECT_NE(heard.errors[i].find("could not be locked (Another program holds"),
                          std::string::npos)
                    << heard.errors[i];
                EXPECT_NE(heard.errors[i].find(due[i]), std::string::npos) << heard.errors[i];
            }
        }
    }
}

TEST_F(ScheduleServiceTest, ATickThatFailsIsLoggedAndTheNextTickRunsAsUsual) {
    Write({"3:00 AM-Reboot-Repeat YES-Every Day"});
    auto service = Start();
    clock.now = FakeClock::At(3, 0);
    clock.onRead = [](FakeClock&) { throw std::bad_alloc(); };
    EXPECT_NO_THROW(service.Tick());
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("could not be carried out"), std::string::npos);
    clock.onRead = nullptr;
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"reboot"});
}

TEST_F(ScheduleServiceTest, ALineWhoseMinutePassedInSleepIsNotRunLateButLogged) {
    Write({"3:00 AM-Reboot-Repeat YES-Every Day", "3:01 AM-LockWorkStation-Repeat YES-Every Day"});
    auto service = Start();  // at 2:59
    clock.Sleep(150);        // wakes at 3:01:30
    service.Tick();
    EXPECT_EQ(power.requests, Texts{"lock"}) << "the wake's own minute is due, not 3:00";
    ASSERT_EQ(log.infos.size(), 2u);
    EXPECT_EQ(log.infos[0],
              "Not run, its minute passed while the machine was asleep: "
              "3:00 AM-Reboot-Repeat YES-Every Day");
}

}  // namespace
}  // namespace tolvane::testing
