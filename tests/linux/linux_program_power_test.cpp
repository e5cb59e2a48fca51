// The Linux program with its own power wiring (no stand-in): the window's
// buttons reach logind, here python3-dbusmock's on a private system bus.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "logind_mock.h"
#include "native_platform.h"
#include "platform/linux/linux_program.h"
#include "private_bus.h"

namespace tolvane {
namespace {

using Calls = std::vector<std::string>;

class LinuxProgramPowerTest : public testing::LogindMockTest {
  protected:
    void TearDown() override {
        std::filesystem::remove_all(root);
        LogindMockTest::TearDown();
    }

    static constexpr int kHangGuardMs = 120 * 1000;
    std::string root = testing::MakeScratchFolder();
};

TEST_F(LinuxProgramPowerTest, TheNowButtonsReachLogindThroughTheProgramsOwnConnection) {
    std::filesystem::create_directories(root + "/program");
    // No power given: the program makes its own, reached at the first request.
    LinuxProgram program(LinuxProgramSetup{root + "/program", root + "/data/tolvane",
                                           root + "/config/tolvane", nullptr, [] {}});
    program.Start("");
    EXPECT_EQ(LogindCalls(), Calls{}) << "the start asks logind for nothing";

    const auto click = [&](ControlId id) {
        QTest::mouseClick(static_cast<QPushButton*>(program.Window().ControlWidget(id)),
                          Qt::LeftButton);
    };
    Calls calls;
    const auto callsBecome = [&](const Calls& expected) {
        return testing::ServeEventsUntil(
            [&] {
                calls = LogindCalls();
                return calls.size() >= expected.size();
            },
            kHangGuardMs);
    };
    click(ControlId::RebootNow);
    ASSERT_TRUE(callsBecome({"RebootWithFlags(1)"}));
    EXPECT_EQ(calls, Calls{"RebootWithFlags(1)"});
    click(ControlId::ShutDownNow);
    ASSERT_TRUE(callsBecome({"RebootWithFlags(1)", "PowerOffWithFlags(1)"}));
    EXPECT_EQ(calls, (Calls{"RebootWithFlags(1)", "PowerOffWithFlags(1)"}));
}

}  // namespace
}  // namespace tolvane
