// The Linux program with its own power wiring (no stand-in): the window's
// buttons reach logind, here python3-dbusmock's on a private system bus.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "logind_mock.h"
#include "native_platform.h"
#include "platform/linux/linux_program.h"
#include "private_bus.h"
#include "qt_test_support.h"

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

// Standard error, sent to a file while it lives.
class StandardErrorToFile {
  public:
    explicit StandardErrorToFile(const std::string& path) : path_(path) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~StandardErrorToFile() {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    std::string Text() const {
        std::fflush(stderr);
        std::ostringstream text;
        text << std::ifstream(path_).rdbuf();
        return text.str();
    }

  private:
    std::string path_;
    int saved_ = -1;
};

// A system bus address where nothing listens: the program's own power wiring
// still tells every lock it could not carry out, in a box and on standard
// error, from the button and from a due schedule line alike.
TEST(LinuxProgramWithoutSystemBus, ALockThatCannotReachLogindIsToldInTheWindowAndOnStandardError) {
    const std::string root = testing::MakeScratchFolder();
    const std::string address = "unix:path=" + root + "/nothing-listens-here";
    const char* before = ::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string saved = before ? before : "";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    std::filesystem::create_directories(root + "/program");
    std::filesystem::create_directories(root + "/data/tolvane");
    {
        // A lock every minute of the day: one is due whatever the clock says.
        std::ofstream schedule(root + "/data/tolvane/rebootdata.kx", std::ios::binary);
        for (int minute = 0; minute < 24 * 60; ++minute) {
            const int hour = minute / 60;
            char line[64];
            std::snprintf(line, sizeof line, "%d:%02d %s-LockWorkStation-Repeat YES-Every Day\r\n",
                          hour % 12 == 0 ? 12 : hour % 12, minute % 60, hour < 12 ? "AM" : "PM");
            schedule << line;
        }
    }
    StandardErrorToFile standardError(root + "/stderr");
    testing::BoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok});
    {
        LinuxProgram program(LinuxProgramSetup{root + "/program", root + "/data/tolvane",
                                               root + "/config/tolvane", nullptr, [] {}});
        program.Start("");
        // Only the ticks this test makes.
        const_cast<QTimer&>(program.Window().Timer()).stop();

        const std::function<void()> requests[] = {
            [&] {
                QTest::mouseClick(static_cast<QPushButton*>(
                                      program.Window().ControlWidget(ControlId::LockNow)),
                                  Qt::LeftButton);
            },
            [&] {
                program.Window().Run("the timer", [](MainWindow& form) { form.OnTimerTick(); });
            },
        };
        for (std::size_t i = 0; i < std::size(requests); ++i) {
            const std::size_t linesBefore = standardError.Text().size();
            requests[i]();
            ASSERT_TRUE(testing::ServeEventsUntil(
                [&] { return answerer.Seen().size() == i + 1; }, 120 * 1000))
                << "no box for request " << i;
            EXPECT_EQ(answerer.Seen()[i].text,
                      "The request was not carried out:\nNo screen saver of the desktop "
                      "answered the lock request.");
            const std::string written = standardError.Text().substr(linesBefore);
            EXPECT_NE(written.find("tolvane: logind LockSession failed: "
                                   "org.freedesktop.DBus.Error.Disconnected: "),
                      std::string::npos)
                << written;
            EXPECT_NE(written.find(
                          "tolvane: No screen saver of the desktop answered the lock request."),
                      std::string::npos)
                << written;
        }
    }
    if (before) {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    } else {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tolvane
