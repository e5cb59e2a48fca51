// The small Qt adapters: message boxes, starting programs, waiting for events,
// the notification-area icon.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "native_platform.h"
#include "platform/linux/application_icon.h"
#include "platform/linux/qt_event_pump.h"
#include "platform/linux/qt_msg_box.h"
#include "platform/linux/qt_process_starter.h"
#include "platform/linux/qt_tray_icon.h"
#include "qt_test_support.h"
#include "wait_until.h"

namespace tolvane {
namespace {

using testing::BoxAnswerer;

// A desktop theme that puts pictures on dialog buttons, as many Linux themes do.
class PicturesOnButtons final : public QProxyStyle {
  public:
    PicturesOnButtons() : QProxyStyle(QStyleFactory::create("Fusion")) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

TEST(QtMsgBox, ShowsTheExactTextAndTitleWithoutIconAndTheRightButtons) {
    QApplication::setStyle(new PicturesOnButtons);
    const struct {
        MsgBox::Buttons asked;
        QMessageBox::StandardButton press;
        std::vector<QMessageBox::StandardButton> buttons;
        QMessageBox::StandardButton defaultButton;
        MsgBox::Answer answer;
    } cases[] = {
        {MsgBox::Buttons::Ok,
         QMessageBox::Ok,
         {QMessageBox::Ok},
         QMessageBox::Ok,
         MsgBox::Answer::Ok},
        {MsgBox::Buttons::YesNo,
         QMessageBox::Yes,
         {QMessageBox::Yes, QMessageBox::No},
         QMessageBox::Yes,
         MsgBox::Answer::Yes},
        {MsgBox::Buttons::YesNo,
         QMessageBox::No,
         {QMessageBox::Yes, QMessageBox::No},
         QMessageBox::Yes,
         MsgBox::Answer::No},
    };
    QtMsgBox msgBox(nullptr);
    for (const auto& c : cases) {
        BoxAnswerer answerer({c.press});
        const auto answer =
            msgBox.Show(" /reboot \r\n<b>not bold</b> & more\r\n", "Tolvane - Quarnel", c.asked);
        EXPECT_EQ(answer, c.answer);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        const auto& seen = answerer.Seen()[0];
        EXPECT_EQ(seen.title, "Tolvane - Quarnel");
        EXPECT_EQ(seen.text, " /reboot \n<b>not bold</b> & more\n");
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_FALSE(seen.picturesOnButtons);
        auto buttons = seen.buttons;
        std::sort(buttons.begin(), buttons.end());
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_EQ(seen.defaultButton, c.defaultButton);
    }
    QApplication::setStyle(QStyleFactory::create("Fusion"));
}

TEST(QtMsgBox, EscapeOnAQuestionAnswersNo) {
    QtMsgBox msgBox(nullptr);
    QTimer escape;
    QObject::connect(&escape, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
        }
    });
    escape.start(5);
    EXPECT_EQ(msgBox.Show("Remove?", "Tolvane - Quarnel", MsgBox::Buttons::YesNo),
              MsgBox::Answer::No);
}

TEST(QtTrayIcon, WithoutATrayTheIconWaitsForOneAndTheShowingDoesNotCount) {
    // The offscreen platform has no tray, as a desktop without a panel.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QtTrayIcon tray(ApplicationIcon(), [] {});
    EXPECT_FALSE(tray.Show("Tolvane 2.1 - Quarnel")) << "a window hidden now could not come back";
    EXPECT_TRUE(tray.Icon().isVisible()) << "shown for a panel that starts later";
    EXPECT_EQ(tray.Icon().toolTip(), "Tolvane 2.1 - Quarnel");
}

class QtProcessStarterTest : public ::testing::Test {
  protected:
    ~QtProcessStarterTest() override { std::filesystem::remove_all(root); }
    std::string WriteScript(const std::string& name, bool runnable) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "#!/bin/sh\ncd \"$(dirname \"$0\")\" && echo \"$#:$1\" > ran.new && "
                               "mv ran.new ran\n";
        std::filesystem::permissions(path, runnable ? std::filesystem::perms::owner_all
                                                    : std::filesystem::perms::owner_read);
        return path;
    }
    // The script's line, once it has written it (through a rename, so a file
    // that exists is whole).
    std::string WaitForMark() {
        const std::string mark = folder + "/ran";
        EXPECT_TRUE(testing::WaitUntil([&] { return std::filesystem::exists(mark); }))
            << "the script never ran";
        std::ifstream in(mark);
        std::string line;
        std::getline(in, line);
        return line;
    }
    std::string root = testing::MakeScratchFolder();
    std::string folder = root + "/a folder; with $(odd) 'names'";
    QtProcessStarter starter;
    std::string reason;
};

TEST_F(QtProcessStarterTest, StartsAPathWithBlanksAndShellCharactersWithoutAShell) {
    std::filesystem::create_directories(folder);
    const std::string script = WriteScript("installs.sh", true);
    ASSERT_TRUE(starter.Start(script, {}, reason, {})) << reason;
    EXPECT_EQ(WaitForMark(), "0:") << "started without arguments";
}

TEST_F(QtProcessStarterTest, PassesEachArgumentWhole) {
    std::filesystem::create_directories(folder);
    const std::string script = WriteScript("installs.sh", true);
    ASSERT_TRUE(starter.Start(script, {"two \"quoted\" words; $(x)", ""}, reason, {})) << reason;
    EXPECT_EQ(WaitForMark(), "2:two \"quoted\" words; $(x)");
}

TEST_F(QtProcessStarterTest, TellsHowAProgramWaitedForEndedAndTheEndOfItsErrorOutput) {
    std::filesystem::create_directories(folder);
    struct Case {
        const char* script;
        bool succeeded;
        std::string how;
        std::string errorOutput;  // standard error only, never standard output
    };
    // 50 lines of 100 letters: more than is kept.
    const std::string line100(100, 'e');
    std::string much;
    for (int i = 0; i < 50; ++i) much += line100 + "\n";
    const std::string writeMuch =
        "i=0; while [ $i -lt 50 ]; do echo " + line100 + " >&2; i=$((i+1)); done; exit 1";
    const Case cases[] = {
        {"exit 0", true, "", ""},
        {"exit 126", false, "It ended with status 126.", ""},
        {"kill -9 $$", false, "It ended abnormally.", ""},
        {"echo to-output; printf 'first line\\nsecond line\\n' >&2; exit 2", false,
         "It ended with status 2.", "first line\nsecond line\n"},
        {writeMuch.c_str(), false,
         "It ended with status 1.", much.substr(much.size() - ProcessStarter::kErrorOutputKept)},
    };
    for (const auto& c : cases) {
        const std::string path = folder + "/installs.sh";
        std::ofstream(path) << "#!/bin/sh\n" << c.script << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        struct End {
            bool succeeded;
            std::string how, errorOutput;
        };
        std::optional<End> ended;
        ASSERT_TRUE(starter.Start(path, {}, reason,
                                  [&](bool succeeded, const std::string& how,
                                      const std::string& errorOutput) {
                                      ended = End{succeeded, how, errorOutput};
                                  }))
            << reason;
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 120'000)) << c.script;
        EXPECT_EQ(ended->succeeded, c.succeeded) << c.script;
        EXPECT_EQ(ended->how, c.how) << c.script;
        EXPECT_TRUE(ended->errorOutput == c.errorOutput)
            << c.script << "\n" << ended->errorOutput.size() << " bytes kept, expected "
            << c.errorOutput.size() << "; they end: " << ended->errorOutput.substr(
                   ended->errorOutput.size() - std::min<std::size_t>(ended->errorOutput.size(), 40));
    }
}

TEST_F(QtProcessStarterTest, SaysWhyWhenNothingCouldBeStarted) {
    std::filesystem::create_directories(folder);
    const std::string notRunnable = WriteScript("removeit.sh", false);
    const std::string cases[] = {folder + "/missing.sh", notRunnable, ""};
    for (const auto& program : cases) {
        reason.clear();
        EXPECT_FALSE(starter.Start(program, {}, reason, {})) << program;
        EXPECT_FALSE(starter.Start(program, {}, reason,
                                   [](bool, const std::string&, const std::string&) {}))
            << program;
        EXPECT_FALSE(reason.empty()) << program;
    }
}

// Notes the interval of every QTimer whose time comes while it is alive.
class TimersThatFired : public QObject {
public:
    TimersThatFired() { QCoreApplication::instance()->installEventFilter(this); }
    ~TimersThatFired() override { QCoreApplication::instance()->removeEventFilter(this); }
    std::vector<int> intervals;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            if (auto* timer = qobject_cast<QTimer*>(receiver)) intervals.push_back(timer->interval());
        }
        return false;
    }
};

TEST(QtEventPump, WaitingSleepsUntilTheTimeIsUpWhenNothingHappens) {
    QtEventPump pump;
    pump.ProcessPendingEvents();  // as the pause does before each wait
    // The dispatcher says when it goes to sleep; a wait that spun would never.
    int sleeps = 0;
    const auto counter =
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, [&] { ++sleeps; });
    TimersThatFired fired;
    pump.WaitForEvents(0.3);
    QObject::disconnect(counter);
    // What ended the wait is a timer set for no less than the time asked for:
    // read off the timer, not off a clock, so a slow machine changes nothing.
    ASSERT_EQ(fired.intervals.size(), 1u) << "the wait ended before its time with nothing to serve";
    EXPECT_GE(fired.intervals[0], 300);
    EXPECT_GE(sleeps, 1) << "the wait must sleep, not spin";
}

TEST(QtEventPump, AnEventEndsTheWaitEarlyAndPendingEventsAreServed) {
    QtEventPump pump;
    pump.ProcessPendingEvents();
    bool served = false;
    QTimer::singleShot(50, [&] { served = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    // Only the event can end this wait in time; the bound guards against a hang.
    pump.WaitForEvents(120.0);
    pump.ProcessPendingEvents();
    EXPECT_TRUE(served);
    EXPECT_LT(elapsed.elapsed(), 100 * 1000);
}

}  // namespace
}  // namespace tolvane
