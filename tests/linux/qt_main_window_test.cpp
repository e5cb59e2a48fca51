// The real Linux window, offscreen at 96 dots per inch: built from the window
// table, wired to MainWindow, writing the real schedule and settings files.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fakes/fake_system_power.h"
#include "native_platform.h"
#include "platform/linux/linux_program.h"
#include "qt_test_support.h"
#include "shell/texts.h"
#include "shell/window_layout.h"

namespace tolvane {
namespace {

using testing::BoxAnswerer;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

class QtMainWindowTest : public ::testing::Test {
  protected:
    QtMainWindowTest() {
        std::filesystem::create_directories(root + "/program");
        program = std::make_unique<LinuxProgram>(
            LinuxProgramSetup{root + "/program", root + "/data/tolvane", root + "/config/tolvane",
                              &power, [this] { ++endings; }});
    }
    ~QtMainWindowTest() override {
        program.reset();
        std::filesystem::remove_all(root);
    }

    QtMainWindow& Window() { return program->Window(); }
    template <typename Widget>
    Widget* Get(ControlId id) {
        return static_cast<Widget*>(Window().ControlWidget(id));
    }
    std::string Settings() { return FileText(root + "/config/tolvane/Tolvane 2.1.ini"); }
    std::string Schedule() { return FileText(root + "/data/tolvane/rebootdata.kx"); }
    void WriteSettings(const std::string& text) {
        std::filesystem::create_directories(root + "/config/tolvane");
        std::ofstream(root + "/config/tolvane/Tolvane 2.1.ini") << text;
    }

    // A click where a user clicks an option or check box: on its indicator.
    void ClickNearLeftEdge(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
    }
    void Type(ControlId combo, const char* text) {
        QLineEdit* edit = Get<QComboBox>(combo)->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void AddEntry(ControlId action, ControlId onceOrRepeat, const char* hour, const char* minute,
                  const char* amPm) {
        ClickNearLeftEdge(Get<QRadioButton>(action));
        ClickNearLeftEdge(Get<QRadioButton>(onceOrRepeat));
        Type(ControlId::Hour, hour);
        Type(ControlId::Minute, minute);
        Type(ControlId::AmPm, amPm);
        QTest::mouseClick(Get<QPushButton>(ControlId::AddToSchedule), Qt::LeftButton);
    }

    std::string root = testing::MakeScratchFolder();
    testing::FakeSystemPower power;
    int endings = 0;
    std::unique_ptr<LinuxProgram> program;
};

std::string Caption(QWidget* widget) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(widget)) return g->title().toStdString();
    if (auto* l = qobject_cast<QLabel*>(widget)) return l->text().toStdString();
    if (auto* c = qobject_cast<QComboBox*>(widget)) return c->currentText().toStdString();
    return "";
}

TEST_F(QtMainWindowTest, EveryControlStandsAtItsPlaceWithItsCaptionAt96Dpi) {
    ASSERT_EQ(Window().DotsPerInch(), 96);
    for (const ControlSpec& spec : MainWindowControls()) {
        SCOPED_TRACE(std::string(spec.name));
        QWidget* widget = Window().ControlWidget(spec.id);
        const int x = spec.left / 15, y = spec.top / 15, w = spec.width / 15, h = spec.height / 15;
        EXPECT_EQ(widget->geometry(), QRect(x, y, w, h));
        EXPECT_EQ(widget->objectName(), Q(spec.name));
        QWidget* container =
            spec.container ? Window().ControlWidget(*spec.container) : Window().ClientArea();
        EXPECT_EQ(widget->parentWidget(), container);
        if (spec.kind != ControlKind::BorderlessFrame && spec.kind != ControlKind::ListBox) {
            EXPECT_EQ(Caption(widget), spec.caption);
        }
    }
    EXPECT_EQ(Window().ClientArea()->size(), QSize(442, 359));
    EXPECT_EQ(Window().windowTitle(), "Tolvane 2.1 - Quarnel ");
    EXPECT_FALSE(Window().windowIcon().isNull());
}

TEST_F(QtMainWindowTest, TheWindowHasAFixedSize) {
    program->Start("");
    EXPECT_EQ(Window().minimumSize(), Window().maximumSize());
    EXPECT_FALSE(Window().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window().windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(QtMainWindowTest, TabOrderFollowsTheTableAndMinimizeHoldsTheFirstFocus) {
    std::vector<const ControlSpec*> expected;
    for (const ControlSpec& spec : MainWindowControls()) {
        const bool focusable = spec.kind != ControlKind::Frame &&
                               spec.kind != ControlKind::BorderlessFrame &&
                               spec.kind != ControlKind::Label;
        EXPECT_EQ(Window().ControlWidget(spec.id)->focusPolicy() != Qt::NoFocus, focusable)
            << spec.name;
        if (focusable) expected.push_back(&spec);
    }
    std::sort(expected.begin(), expected.end(),
              [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });

    std::vector<std::string> chain;
    QWidget* first = Window().ControlWidget(expected.front()->id);
    QWidget* at = first;
    do {
        const auto found =
            std::find_if(MainWindowControls().begin(), MainWindowControls().end(),
                         [&](const ControlSpec& s) { return Window().ControlWidget(s.id) == at; });
        if (found != MainWindowControls().end() && at->focusPolicy() != Qt::NoFocus) {
            chain.emplace_back(found->name);
        }
        at = at->nextInFocusChain();
    } while (at != first && chain.size() <= expected.size());
    std::vector<std::string> names;
    for (auto* spec : expected) names.emplace_back(spec->name);
    EXPECT_EQ(chain, names);
    EXPECT_EQ(Window().focusWidget(), Window().ControlWidget(ControlId::HideToTrayButton));
}

TEST_F(QtMainWindowTest, MenusShowTheTableInOrderWithAccessKeysCheckMarksAndTheSeparator) {
    std::vector<std::string> shown;
    for (QAction* top : Window().findChild<QMenuBar*>()->actions()) {
        shown.push_back(top->text().toStdString());
        for (QAction* item : top->menu()->actions()) {
            shown.push_back(item->isSeparator() ? "-" : item->text().toStdString());
            if (item->isCheckable()) shown.back() += " (check)";
        }
    }
    std::vector<std::string> table;
    for (const MenuSpec& spec : MainWindowMenus()) {
        table.emplace_back(spec.caption);
        if (spec.checkable) table.back() += " (check)";
    }
    EXPECT_EQ(shown, table);
    EXPECT_EQ(Window().MenuAction(MenuId::Exit)->text(), "E&xit");
}

TEST_F(QtMainWindowTest, TheCombosAreEditableAndFilledAtStartUpKeepingTheirText) {
    program->Start("");
    const struct {
        ControlId combo;
        int items;
        std::string text;
    } combos[] = {{ControlId::Hour, 12, ""},
                  {ControlId::Minute, 60, ""},
                  {ControlId::AmPm, 2, ""},
                  {ControlId::Day, 8, "Every Day"}};
    for (const auto& c : combos) {
        auto* combo = Get<QComboBox>(c.combo);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(combo->count(), c.items);
        EXPECT_EQ(combo->currentText().toStdString(), c.text);
    }
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(QtMainWindowTest, OptionButtonsFormTwoIndependentGroups) {
    ClickNearLeftEdge(Get<QRadioButton>(ControlId::ScheduleReboot));
    ClickNearLeftEdge(Get<QRadioButton>(ControlId::Repeat));
    EXPECT_TRUE(Window().OptionValue(ControlId::ScheduleReboot));
    ClickNearLeftEdge(Get<QRadioButton>(ControlId::ScheduleShutDown));
    EXPECT_FALSE(Window().OptionValue(ControlId::ScheduleReboot));
    EXPECT_TRUE(Window().OptionValue(ControlId::ScheduleShutDown));
    EXPECT_TRUE(Window().OptionValue(ControlId::Repeat));
    Window().SetOptionValue(ControlId::ScheduleShutDown, false);
    EXPECT_FALSE(Window().OptionValue(ControlId::ScheduleShutDown));
}

TEST_F(QtMainWindowTest, AddItPutsTheLineInTheListInTextOrderAndInTheFile) {
    program->Start("");
    BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok});
    AddEntry(ControlId::ScheduleReboot, ControlId::OnlyOnce, "7", "05", "AM");
    AddEntry(ControlId::ScheduleShutDown, ControlId::Repeat, "10", "30", "PM");

    auto* list = Get<QListWidget>(ControlId::ScheduleLines);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "10:30 PM-ShutDown-Repeat YES-Every Day");
    EXPECT_EQ(list->item(1)->text(), "7:05 AM-Reboot-Repeat NO-Every Day");
    EXPECT_EQ(Schedule(),
              "10:30 PM-ShutDown-Repeat YES-Every Day\r\n7:05 AM-Reboot-Repeat NO-Every Day\r\n"
              "\r\n");

    ASSERT_EQ(boxes.Seen().size(), 2u);
    const auto& box = boxes.Seen()[0];
    EXPECT_EQ(box.title, "Tolvane");
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, std::vector{QMessageBox::Ok});
    EXPECT_EQ(box.text.rfind(std::string(texts::kAddedFirstLine) + "\n7:05 AM", 0), 0u) << box.text;
    EXPECT_EQ(Window().ComboText(ControlId::Hour), "") << "the time is cleared after an add";
}

TEST_F(QtMainWindowTest, ClickingALineSelectsItAndRemoveItTakesItFromListAndFile) {
    program->Start("");
    {
        BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok});
        AddEntry(ControlId::ScheduleReboot, ControlId::OnlyOnce, "7", "05", "AM");
        AddEntry(ControlId::ScheduleLogOff, ControlId::OnlyOnce, "9", "00", "PM");
    }
    auto* list = Get<QListWidget>(ControlId::ScheduleLines);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(program->Form().List().Selected(), 0);
    QTest::mouseClick(Get<QPushButton>(ControlId::RemoveFromSchedule), Qt::LeftButton);

    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "9:00 PM-LogOff-Repeat NO-Every Day");
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(program->Form().List().Selected(), -1);
    EXPECT_EQ(Schedule(), "9:00 PM-LogOff-Repeat NO-Every Day\r\n\r\n");
}

TEST_F(QtMainWindowTest, TheListShowsFourWholeLinesAndNoHorizontalBarBesideAVeryLongLine) {
    program->Start("");
    auto* list = Get<QListWidget>(ControlId::ScheduleLines);
    const std::string longLine = "11:59 PM-ShutDown-Repeat YES-" + std::string(300, 'W');
    const char* lines[] = {"1:00 AM-Reboot-Repeat NO-Every Day", longLine.c_str(),
                           "3:00 AM-LogOff-Repeat NO-Every Day", "4:00 AM-Lock-Repeat NO-Monday",
                           "5:00 AM-Reboot-Repeat YES-Sunday"};
    for (int i = 0; i < 5; ++i) Window().ItemInserted(i, lines[i]);
    // Layout of the scroll bars is deferred to the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->verticalScrollBar()->isVisible(); }))
        << "five lines, room for four";

    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QRect room = list->viewport()->rect();
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        const QRect line = list->visualItemRect(list->item(row));
        EXPECT_GE(line.top(), room.top());
        EXPECT_LE(line.bottom(), room.bottom()) << "line " << row << " is cut";
        EXPECT_LE(list->fontMetrics().height(), line.height());
    }
    EXPECT_GE(list->visualItemRect(list->item(1)).width(), room.width());
    EXPECT_GT(list->visualItemRect(list->item(4)).top(), room.bottom())
        << "no part of a fifth line below the four";
    EXPECT_GE(room.height() - 4 * list->visualItemRect(list->item(0)).height(), 0);
    EXPECT_LT(room.height() - 4 * list->visualItemRect(list->item(0)).height(), 4)
        << "the four lines fill the list";
}

TEST_F(QtMainWindowTest, TheListFollowsTheFileWhenAnotherProgramChangesIt) {
    program->Start("");  // no schedule yet, not even its folder
    // Stopped, so only the watcher can tell the window.
    const_cast<QTimer&>(Window().Timer()).stop();
    auto* list = Get<QListWidget>(ControlId::ScheduleLines);
    const auto shows = [&](const std::vector<std::string>& lines) {
        return QTest::qWaitFor(
            [&] {
                if (list->count() != int(lines.size())) return false;
                for (int i = 0; i < list->count(); ++i) {
                    if (list->item(i)->text().toStdString() != lines[std::size_t(i)]) return false;
                }
                return true;
            },
            120'000);
    };
    // An editor saving in place, then a script replacing the file.
    std::filesystem::create_directories(root + "/data/tolvane");
    std::ofstream(root + "/data/tolvane/rebootdata.kx", std::ios::binary) << "B\r\nA\r\n\r\n";
    ASSERT_TRUE(shows({"A", "B"}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    ASSERT_TRUE(ReplaceFileContents(program->Files(), root + "/data/tolvane/rebootdata.kx",
                                    "B\r\nC\r\n\r\n"));
    ASSERT_TRUE(shows({"B", "C"}));
    EXPECT_EQ(program->Form().List().Selected(), 0) << "the selection stays on its line";
    EXPECT_EQ(list->currentRow(), 0);
}

TEST_F(QtMainWindowTest, TheForceBoxReachesTheSettingsFileAndComesBackAtTheNextStart) {
    program->Start("");
    ClickNearLeftEdge(Get<QCheckBox>(ControlId::ForceNow));
    EXPECT_NE(Settings().find("[options]\nc2=1\n"), std::string::npos) << Settings();
    ClickNearLeftEdge(Get<QCheckBox>(ControlId::ForceNow));
    EXPECT_NE(Settings().find("[options]\nc2=0\n"), std::string::npos) << Settings();

    WriteSettings("[OPTIONS]\nC2=1\n");
    program = std::make_unique<LinuxProgram>(LinuxProgramSetup{
        root + "/program", root + "/data/tolvane", root + "/config/tolvane", &power, {}});
    program->Start("");
    EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), 1);
    EXPECT_NE(Settings().find("[Location]\nPath=" + root + "/program\n"), std::string::npos)
        << Settings();
}

TEST_F(QtMainWindowTest, AStoredGrayedForceBoxLeavesGrayedAtTheFirstClickForGood) {
    WriteSettings("[options]\nc2=2\n");
    program = std::make_unique<LinuxProgram>(LinuxProgramSetup{
        root + "/program", root + "/data/tolvane", root + "/config/tolvane", &power, {}});
    program->Start("");
    auto* box = Get<QCheckBox>(ControlId::ForceNow);
    ASSERT_EQ(box->checkState(), Qt::PartiallyChecked);
    ASSERT_EQ(Window().CheckValue(ControlId::ForceNow), 2);

    // Through grayed, a box that still cycled three states would come back
    // to 2 at the third click.
    for (const int expected : {1, 0, 1, 0, 1}) {
        ClickNearLeftEdge(box);
        EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), expected);
        EXPECT_NE(Settings().find("c2=" + std::to_string(expected) + "\n"), std::string::npos)
            << Settings();
    }
    QTest::keyClick(box, Qt::Key_Space);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), 1) << "the keyboard cycles the same way";
    EXPECT_EQ(Settings().find("c2=2"), std::string::npos) << Settings();
}

TEST_F(QtMainWindowTest, AnOptionsMenuItemFlipsItsMarkOnceAndStoresIt) {
    program->Start("");
    QAction* item = Window().MenuAction(MenuId::MinimizeOnStart);
    ASSERT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_NE(Settings().find("[Runit]\nRunMinimized=True\n"), std::string::npos) << Settings();
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_NE(Settings().find("RunMinimized=False\n"), std::string::npos) << Settings();
}

TEST_F(QtMainWindowTest, APressOnTheTrayIconShowsTheHiddenWindow) {
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        bool shows;
    } cases[] = {{QSystemTrayIcon::Trigger, true},
                 {QSystemTrayIcon::Context, true},
                 {QSystemTrayIcon::DoubleClick, false},
                 {QSystemTrayIcon::MiddleClick, false}};
    program->Start("");
    for (const auto& c : cases) {
        Window().HideWindow();
        emit program->Tray().Icon().activated(c.reason);
        EXPECT_EQ(Window().isVisible(), c.shows) << c.reason;
    }
}

TEST_F(QtMainWindowTest, MinimizeWithoutATrayShowsTheIconForLaterAndKeepsTheWindowOnScreen) {
    program->Start("");
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QTest::mouseClick(Get<QPushButton>(ControlId::HideToTrayButton), Qt::LeftButton);
    EXPECT_TRUE(Window().isVisible()) << "hidden with no icon, it could never come back";
    EXPECT_TRUE(program->Tray().Icon().isVisible());
    EXPECT_EQ(program->Tray().Icon().toolTip(), "Tolvane 2.1 - Quarnel");
}

TEST_F(QtMainWindowTest, ClosingTheWindowIsRefusedAndExitEndsTheProgram) {
    program->Start("");
    EXPECT_FALSE(Window().close());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(endings, 0);
    QTest::mouseClick(Get<QPushButton>(ControlId::ExitButton), Qt::LeftButton);
    EXPECT_EQ(endings, 1);
    Window().MenuAction(MenuId::Exit)->trigger();
    EXPECT_EQ(endings, 2);
}

TEST_F(QtMainWindowTest, SetServiceStartsTheShellScriptBesideTheProgramAndRemembersIt) {
    // Stands in for the real script: says it ran, without arguments.
    const std::string script = root + "/program/installs.sh";
    std::ofstream(script) << "#!/bin/sh\necho \"ran with $# arguments\" > \"$0.ran\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    program->Start("");

    BoxAnswerer boxes({QMessageBox::Yes, QMessageBox::Ok});
    Window().MenuAction(MenuId::SetService)->trigger();
    ASSERT_EQ(boxes.Seen().size(), 2u);
    EXPECT_EQ(boxes.Seen()[0].title, "Tolvane - Quarnel");
    EXPECT_EQ(boxes.Seen()[0].defaultButton, QMessageBox::Yes);
    EXPECT_EQ(boxes.Seen()[1].text.rfind("The Service has been installed.", 0), 0u);
    EXPECT_NE(Settings().find("[Options]\nService=1\n"), std::string::npos) << Settings();
    EXPECT_EQ(FileText(script + ".ran"), "ran with 0 arguments\n");
}

TEST_F(QtMainWindowTest, TheTimerRunsEvery45SecondsFromTheWindowsCreation) {
    EXPECT_TRUE(Window().Timer().isActive());
    EXPECT_EQ(Window().Timer().interval(), 45000);
}

TEST_F(QtMainWindowTest, TheCommandLineActsThroughThePowerRequestsBeforeTheWindowShows) {
    program->Start("/Reboot /FORCE");
    EXPECT_EQ(power.requests, std::vector<std::string>{"forced reboot"});
    EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), 1);
    EXPECT_NE(Settings().find("c2=1"), std::string::npos);
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(QtMainWindowTest, TheNowButtonsAskForTheirOperationPlainOrForced) {
    program->Start("");
    const struct {
        ControlId button;
        bool force;
        std::vector<std::string> requests;
    } cases[] = {
        {ControlId::RebootNow, false, {"reboot"}},
        {ControlId::ShutDownNow, true, {"forced shutdown"}},
        {ControlId::LogOffNow, true, {"forced log-off"}},
        {ControlId::LogOffNow, false, {"log-off"}},
        {ControlId::LockNow, true, {"lock"}},
    };
    for (const auto& c : cases) {
        if (Window().CheckValue(ControlId::ForceNow) != (c.force ? 1 : 0)) {
            ClickNearLeftEdge(Get<QCheckBox>(ControlId::ForceNow));
        }
        power.requests.clear();
        QTest::mouseClick(Get<QPushButton>(c.button), Qt::LeftButton);
        EXPECT_EQ(power.requests, c.requests);
    }
}

}  // namespace
}  // namespace tolvane
