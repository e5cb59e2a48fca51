// Notices before scheduled actions, and what skipping one does.
#include <gtest/gtest.h>

#include "fakes/fake_desktop_notices.h"
#include "main_window_fixture.h"
#include "shell/notice_timer.h"
#include "shell/settings_keys.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

class NoticeTest : public MainWindowTest {
  protected:
    FakeDesktopNotices notices;
    MainWindow window{Platform(WithNotices())};

    // The fakes, with notices shown on `notices`.
    RealAdapters WithNotices() {
        RealAdapters real;
        real.notices = &notices;
        return real;
    }

    // Ticks every 45 seconds from `hour`:`minute` for `minutes` minutes.
    void TickFrom(int hour, int minute, int minutes) {
        clock.now = FakeClock::At(hour, minute);
        for (double passed = 0; passed < minutes * 60.0; passed += 45) {
            window.OnTimerTick();
            clock.Advance(45);
        }
    }
};

TEST_F(NoticeTest, FiveMinutesAndOneMinuteBeforeEachActionButALock) {
    files.files[schedulePath] = ScheduleFileBytes({"10:30 PM-Force Reboot-Repeat YES-Every Day",
                                                   "10:31 PM-ShutDown-Repeat NO-Every Day",
                                                   "10:30 PM-LockWorkStation-Repeat YES-Every Day",
                                                   "10:30 PM-Hibernate-Repeat YES-Every Day"});
    window.OnLoad("");
    TickFrom(22, 20, 12);
    EXPECT_EQ(
        notices.Texts(),
        (Texts{"Forced reboot at 10:30 PM, in 5 minutes.", "Shut down at 10:31 PM, in 5 minutes.",
               "Forced reboot at 10:30 PM, in 1 minute.", "Shut down at 10:31 PM, in 1 minute."}));
    for (const auto& shown : notices.shown) {
        EXPECT_EQ(shown.notice.title, "Tolvane 2.1");
        EXPECT_EQ(shown.notice.skipLabel, "Skip this time");
        EXPECT_EQ(shown.notice.question, shown.notice.text + "\r\n\r\nSkip this time?");
    }
    // The last minute's notice stays until dismissed, in the place of the
    // earlier one for the same run.
    EXPECT_FALSE(notices.shown[0].notice.urgent);
    EXPECT_TRUE(notices.shown[2].notice.urgent);
    EXPECT_EQ(notices.shown[0].notice.series, notices.shown[2].notice.series);
    EXPECT_EQ(notices.shown[1].notice.series, notices.shown[3].notice.series);
    EXPECT_NE(notices.shown[0].notice.series, notices.shown[1].notice.series);
    EXPECT_EQ(power.requests, (Texts{"forced reboot", "lock", "shutdown"}))
        << "the actions still run";
}

TEST_F(NoticeTest, TheStoredMinutesChooseTheLeadAndZeroTurnsNoticesOff) {
    struct Case {
        const char* stored;
        Texts texts;
    };
    const Case cases[] = {
        {"10", {"Reboot at 10:30 PM, in 10 minutes.", "Reboot at 10:30 PM, in 1 minute."}},
        {" 1 ", {"Reboot at 10:30 PM, in 1 minute."}},
        {"0", {}},
        {"-3", {"Reboot at 10:30 PM, in 5 minutes.", "Reboot at 10:30 PM, in 1 minute."}},
        {"soon", {"Reboot at 10:30 PM, in 5 minutes.", "Reboot at 10:30 PM, in 1 minute."}},
        {"1441", {"Reboot at 10:30 PM, in 5 minutes.", "Reboot at 10:30 PM, in 1 minute."}},
    };
    files.files[schedulePath] = ScheduleFileBytes({"10:30 PM-Reboot-Repeat YES-Every Day"});
    int day = 1;
    for (const auto& c : cases) {
        settings.Put(settings_keys::kNoticeMinutes, c.stored);
        notices.shown.clear();
        MainWindow started{Platform(WithNotices())};
        started.OnLoad("");
        clock.now = FakeClock::At(22, 15, day++);
        for (int tick = 0; tick < 20; ++tick) {
            started.OnTimerTick();
            clock.Advance(45);
        }
        EXPECT_EQ(notices.Texts(), c.texts) << c.stored;
    }
}

TEST_F(NoticeTest, SkippingLeavesOutThatRunOnlyAndTakesAOneTimeLineOut) {
    files.files[schedulePath] = ScheduleFileBytes(
        {"10:30 PM-Reboot-Repeat YES-Every Day", "10:30 PM-ShutDown-Repeat NO-Every Day"});
    window.OnLoad("");
    TickFrom(22, 25, 1);
    ASSERT_EQ(notices.shown.size(), 2u);
    notices.shown[0].skip();
    notices.shown[1].skip();
    // Each skip is told in a notice of its own, with nothing to choose, in
    // the place of the one skipped.
    ASSERT_EQ(notices.shown.size(), 4u);
    EXPECT_EQ(notices.Texts()[2], "Skipped: reboot at 10:30 PM");
    EXPECT_EQ(notices.Texts()[3], "Skipped: shut down at 10:30 PM");
    for (std::size_t i : {2u, 3u}) {
        EXPECT_EQ(notices.shown[i].notice.skipLabel, "");
        EXPECT_FALSE(notices.shown[i].skip);
        EXPECT_EQ(notices.shown[i].notice.series, notices.shown[i - 2].notice.series);
    }
    EXPECT_EQ(ScheduleBytes(), ScheduleFileBytes({"10:30 PM-Reboot-Repeat YES-Every Day"}));
    EXPECT_EQ(window.List().Items(), Texts{"10:30 PM-Reboot-Repeat YES-Every Day"});

    // The skip is in the run record, which the service reads as well.
    EXPECT_NE(files.files[schedulePath + ".runs"].find("\t10:30 PM-Reboot-Repeat YES-Every Day"),
              std::string::npos);
    TickFrom(22, 26, 6);
    EXPECT_TRUE(power.requests.empty());

    // The next day the repeating line runs again.
    clock.Advance(24 * 3600.0 - 10 * 60);
    for (int tick = 0; tick < 12; ++tick) {
        window.OnTimerTick();
        clock.Advance(45);
    }
    EXPECT_EQ(power.requests, Texts{"reboot"});
}

TEST_F(NoticeTest, WithoutANotificationServiceTheScheduleRunsAsBefore) {
    notices.available = false;
    files.files[schedulePath] = ScheduleFileBytes({"10:30 PM-Reboot-Repeat YES-Every Day"});
    window.OnLoad("");
    TickFrom(22, 24, 7);
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_EQ(power.requests, Texts{"reboot"});
}

}  // namespace
}  // namespace tolvane::testing
