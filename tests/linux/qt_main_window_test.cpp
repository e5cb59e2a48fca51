// The real Linux window, offscreen at 96 dots per inch: built from the window
// table and wired to MainWindow. The whole program runs on the real schedule
// and settings files; the route from each control and menu item to its
// handler runs the window in front of the fakes.
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
#include <csignal>
#include <sys/resource.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <variant>

#include "fakes/fake_admin_only.h"
#include "fakes/fake_system_power.h"
#include "fakes/fake_window_platform.h"
#include "native_platform.h"
#include "platform/linux/linux_program.h"
#include "qt_test_support.h"
#include "shell/settings_keys.h"
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

// The machine's schedule beside the user's, in a private root: listed apart,
// read and never chosen; and the window's actions recorded for its user.
class QtMachineLinesTest : public ::testing::Test {
  protected:
    QtMachineLinesTest() {
        std::filesystem::create_directories(root + "/program");
        std::filesystem::create_directories(root + "/etc/tolvane");
        std::ofstream(machinePath, std::ios::binary)
            << "6:00 PM-Force ShutDown-Repeat YES-Every Day\r\n1:00 AM-Reboot-Repeat NO-Sunday\r\n";
    }
    ~QtMachineLinesTest() override {
        program.reset();
        std::filesystem::remove_all(root);
    }
    void Open() {
        LinuxProgramSetup setup{root + "/program", root + "/data/tolvane",
                                root + "/config/tolvane", &power, [] {}};
        setup.machineSchedule = machinePath;
        setup.machineState = root + "/var/lib/tolvane";
        setup.adminOnly = &adminOnly;
        setup.journal = &journal;
        setup.userName = "ilse";
        program = std::make_unique<LinuxProgram>(setup);
        program->Start("");
    }
    QListWidget* List(ControlId id) {
        return static_cast<QListWidget*>(program->Window().ControlWidget(id));
    }
    static std::vector<std::string> Lines(QListWidget* list) {
        std::vector<std::string> lines;
        for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
        return lines;
    }

    std::string root = testing::MakeScratchFolder();
    std::string machinePath = root + "/etc/tolvane/rebootdata.kx";
    testing::FakeSystemPower power;
    testing::FakeAdminOnly adminOnly;
    testing::FakeServiceLog journal;
    std::unique_ptr<LinuxProgram> program;
};

TEST_F(QtMachineLinesTest, TheMachinesLinesAreListedApartAndNeverChosen) {
    Open();
    QListWidget* machine = List(ControlId::MachineLines);
    EXPECT_EQ(Lines(machine), (std::vector<std::string>{"6:00 PM-Force ShutDown-Repeat YES-Every Day",
                                                        "1:00 AM-Reboot-Repeat NO-Sunday"}));
    EXPECT_EQ(List(ControlId::ScheduleLines)->count(), 0) << "the user's list holds none of them";
    EXPECT_EQ(machine->selectionMode(), QAbstractItemView::NoSelection);
    QTest::mouseClick(machine->viewport(), Qt::LeftButton, {},
                      machine->visualItemRect(machine->item(0)).center());
    EXPECT_TRUE(machine->selectedItems().isEmpty());
    EXPECT_EQ(program->Form().List().Selected(), -1);
    EXPECT_EQ(FileText(machinePath),
              "6:00 PM-Force ShutDown-Repeat YES-Every Day\r\n1:00 AM-Reboot-Repeat NO-Sunday\r\n");
}

TEST_F(QtMachineLinesTest, AMachineScheduleOthersCanChangeIsNotListed) {
    adminOnly.others[machinePath] = "group 100 can write it";
    Open();
    EXPECT_EQ(List(ControlId::MachineLines)->count(), 0);
}

TEST_F(QtMachineLinesTest, ANowButtonIsRecordedForTheUserWithTheUsersSchedule) {
    Open();
    QTest::mouseClick(static_cast<QPushButton*>(program->Window().ControlWidget(ControlId::RebootNow)),
                      Qt::LeftButton);
    EXPECT_EQ(power.requests, std::vector<std::string>{"reboot"});
    ASSERT_EQ(journal.records.size(), 1u);
    EXPECT_EQ(journal.records[0].user, "ilse");
    EXPECT_EQ(journal.records[0].schedule, root + "/data/tolvane/rebootdata.kx");
    EXPECT_EQ(journal.records[0].result, "done");
    EXPECT_EQ(journal.records[0].line, "");
}

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
        if (spec.kind != ControlKind::BorderlessFrame && spec.kind != ControlKind::ListBox &&
            spec.kind != ControlKind::ShownLines) {
            EXPECT_EQ(Caption(widget), spec.caption);
        }
    }
    EXPECT_EQ(Window().ClientArea()->size(), QSize(442, 444));
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

// The disk refuses the schedule's bytes after the start (as a full disk
// would; the file size limit does it here, for root too): the line added is
// kept, shown, and written at the next tick once the disk takes it.
TEST_F(QtMainWindowTest, ALineTheDiskRefusedIsKeptAndWrittenAtTheNextTick) {
    std::filesystem::create_directories(root + "/data/tolvane");
    std::ofstream(root + "/data/tolvane/rebootdata.kx", std::ios::binary) << "A\r\n\r\n";
    program->Start("");
    const_cast<QTimer&>(Window().Timer()).stop();
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit full = before;
    full.rlim_cur = 1;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    {
        BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok});
        AddEntry(ControlId::ScheduleReboot, ControlId::Repeat, "1", "05", "PM");
        ASSERT_EQ(boxes.Seen().size(), 2u);
        EXPECT_NE(boxes.Seen()[1].text.find("could not be saved"), std::string::npos)
            << boxes.Seen()[1].text;
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
    ::signal(SIGXFSZ, oldHandler);
    const std::string line = "1:05 PM-Reboot-Repeat YES-Every Day";
    EXPECT_EQ(Schedule(), "A\r\n\r\n");
    auto* list = Get<QListWidget>(ControlId::ScheduleLines);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text().toStdString(), line);

    program->Form().OnTimerTick();
    EXPECT_EQ(Schedule(), ScheduleFileBytes({line, "A"}));
    EXPECT_EQ(list->count(), 2);
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

// A click on a grayed box clears it, as on the Windows window; from then on
// clicks check and clear, and each value reaches the settings file.
TEST_F(QtMainWindowTest, AStoredGrayedForceBoxClearsAtTheFirstClickAndNeverGraysAgain) {
    WriteSettings("[options]\nc2=2\n");
    program = std::make_unique<LinuxProgram>(LinuxProgramSetup{
        root + "/program", root + "/data/tolvane", root + "/config/tolvane", &power, {}});
    program->Start("");
    auto* box = Get<QCheckBox>(ControlId::ForceNow);
    ASSERT_EQ(box->checkState(), Qt::PartiallyChecked);
    ASSERT_EQ(Window().CheckValue(ControlId::ForceNow), 2);

    // Through grayed, a box that still cycled three states would come back
    // to 2 at the third click.
    for (const int expected : {0, 1, 0, 1, 0, 1}) {
        ClickNearLeftEdge(box);
        EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), expected);
        EXPECT_NE(Settings().find("c2=" + std::to_string(expected) + "\n"), std::string::npos)
            << Settings();
    }
    Window().SetCheckValue(ControlId::ForceNow, 2);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), 0) << "the keyboard does the same";
    EXPECT_NE(Settings().find("c2=0\n"), std::string::npos) << Settings();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(Window().CheckValue(ControlId::ForceNow), 1);
    EXPECT_EQ(Settings().find("c2=2"), std::string::npos) << Settings();
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

TEST_F(QtMainWindowTest, ClosingTheWindowIsRefused) {
    program->Start("");
    EXPECT_FALSE(Window().close());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(endings, 0);
}

TEST_F(QtMainWindowTest, SetServiceRunsTheShellScriptBesideTheProgram) {
    // Stands in for the real script: says it ran, without arguments.
    const std::string script = root + "/program/installs.sh";
    std::ofstream(script) << "#!/bin/sh\necho \"ran with $# arguments\" > \"$0.ran\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    program->Start("");

    BoxAnswerer boxes({QMessageBox::Yes, QMessageBox::Ok});
    Window().MenuAction(MenuId::SetService)->trigger();
    ASSERT_EQ(boxes.Seen().size(), 2u) << "the question, then the script's end";
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

// The Qt window in front of MainWindow on the fakes: what a handler does
// shows on them, with no message box or program of the machine's.
struct QtWindowOnFakes : testing::FakeWindowPlatform {
    QtWindowOnFakes() {
        window.Attach(&form);
        files.files[form.SchedulePath()] =
            "7:05 AM-Reboot-Repeat NO-Every Day\r\n9:00 PM-LogOff-Repeat NO-Every Day\r\n\r\n";
        form.OnLoad("");
    }
    ~QtWindowOnFakes() { window.Attach(nullptr); }

    std::vector<std::string> Shown() {
        std::vector<std::string> lines;
        for (int i = 0; i < List()->count(); ++i) {
            lines.push_back(List()->item(i)->text().toStdString());
        }
        return lines;
    }
    QListWidget* List() {
        return static_cast<QListWidget*>(window.ControlWidget(ControlId::ScheduleLines));
    }
    void ClickLine(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(List()->item(row)).center());
    }

    int endings = 0;
    QtMainWindow window{[this] { ++endings; }};
    MainWindow form{Platform(Real())};

  private:
    testing::RealAdapters Real() {
        testing::RealAdapters real;
        real.view = &window;
        real.installScript = "installs.sh";
        real.removeScript = "removeit.sh";
        return real;
    }
};

// Each group keeps exactly the button last clicked in it, whatever the other
// group holds and however often the same button is clicked; Add It then finds
// both choices.
TEST(QtMainWindowOptions, AClickNeverClearsAnOptionButtonAndEachGroupStandsAlone) {
    using enum ControlId;
    const std::vector<ControlId> actions = {ScheduleReboot, ScheduleLock, ScheduleLogOff,
                                            ScheduleShutDown};
    const std::vector<ControlId> repeats = {OnlyOnce, Repeat};
    for (const ControlId action : actions) {
        for (const ControlId repeat : repeats) {
            SCOPED_TRACE(std::string(Control(action).name) + " with " +
                         std::string(Control(repeat).name));
            QtWindowOnFakes w;
            const auto selected = [&](const std::vector<ControlId>& group) {
                std::vector<ControlId> on;
                for (const ControlId id : group) {
                    if (w.window.OptionValue(id)) on.push_back(id);
                }
                return on;
            };
            const auto click = [&](ControlId id) {
                QWidget* button = w.window.ControlWidget(id);
                QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
            };
            // The repeat choice first, then the action, then each again.
            const struct {
                ControlId clicked;
                std::vector<ControlId> actionsOn, repeatsOn;
            } steps[] = {
                {repeat, {}, {repeat}},       {action, {action}, {repeat}},
                {action, {action}, {repeat}}, {repeat, {action}, {repeat}},
                {action, {action}, {repeat}},
            };
            for (std::size_t i = 0; i < std::size(steps); ++i) {
                click(steps[i].clicked);
                EXPECT_EQ(selected(actions), steps[i].actionsOn) << "after click " << i + 1;
                EXPECT_EQ(selected(repeats), steps[i].repeatsOn) << "after click " << i + 1;
            }

            QTest::mouseClick(w.window.ControlWidget(AddToSchedule), Qt::LeftButton);
            ASSERT_FALSE(w.msgBox.Texts().empty());
            EXPECT_TRUE(w.msgBox.Texts().front().starts_with(texts::kAddedFirstLine))
                << w.msgBox.Texts().front();
        }
    }
}

// The schedule's Force box the same way: cleared by the click, so Add It
// adds a plain line.
TEST(QtMainWindowOptions, AClickOnTheGrayedScheduleForceBoxClearsItForTheNextLine) {
    QtWindowOnFakes w;
    w.window.SetCheckValue(ControlId::ScheduleForce, 2);
    for (const ControlId id :
         {ControlId::ScheduleForce, ControlId::ScheduleReboot, ControlId::OnlyOnce}) {
        QWidget* widget = w.window.ControlWidget(id);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
    }
    EXPECT_EQ(w.window.CheckValue(ControlId::ScheduleForce), 0);
    QTest::mouseClick(w.window.ControlWidget(ControlId::AddToSchedule), Qt::LeftButton);
    const std::string& file = w.files.files[w.form.SchedulePath()];
    EXPECT_NE(file.find("-Reboot-Repeat NO-Every Day\r\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("Force"), std::string::npos) << file;
}

// The Delete key on the schedule list is Remove It: the selected line goes,
// and with none selected the same message comes. Pressed on any other
// control, it takes nothing out.
TEST(QtMainWindowKeys, DeleteOnTheFocusedListRemovesTheSelectedLineAsRemoveItDoes) {
    using Texts = std::vector<std::string>;
    const Texts both = {"7:05 AM-Reboot-Repeat NO-Every Day", "9:00 PM-LogOff-Repeat NO-Every Day"};
    const struct {
        const char* name;
        int line;         // clicked before the key; -1 none
        ControlId focus;  // where the key is pressed
        Texts shown;
        Texts messages;
    } cases[] = {
        {"first line", 0, ControlId::ScheduleLines, {both[1]}, {}},
        {"second line", 1, ControlId::ScheduleLines, {both[0]}, {}},
        {"no line selected",
         -1,
         ControlId::ScheduleLines,
         both,
         {std::string(texts::kNothingSelected)}},
        {"focus on Remove It", 0, ControlId::RemoveFromSchedule, both, {}},
        {"focus on the hour", 0, ControlId::Hour, both, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QtWindowOnFakes w;
        if (c.line >= 0) w.ClickLine(c.line);
        w.window.ControlWidget(c.focus)->setFocus(Qt::OtherFocusReason);
        QWidget* focused = w.window.focusWidget();
        ASSERT_NE(focused, nullptr);
        // A combo's focus is its text field.
        ASSERT_TRUE(focused == w.window.ControlWidget(c.focus) ||
                    focused->parentWidget() == w.window.ControlWidget(c.focus));
        QTest::keyClick(focused, Qt::Key_Delete);
        EXPECT_EQ(w.Shown(), c.shown);
        EXPECT_EQ(w.msgBox.Texts(), c.messages);
        std::string file;
        for (const std::string& line : c.shown) file += line + "\r\n";
        EXPECT_EQ(w.files.files[w.form.SchedulePath()], file + "\r\n");
    }
}

// A user's act on a control, by its kind, or on a menu item.
void ActOn(QtWindowOnFakes& w, const std::variant<ControlId, MenuId>& target) {
    if (const MenuId* item = std::get_if<MenuId>(&target)) {
        w.window.MenuAction(*item)->trigger();
        return;
    }
    const ControlSpec& spec = Control(std::get<ControlId>(target));
    QWidget* widget = w.window.ControlWidget(spec.id);
    switch (spec.kind) {
        case ControlKind::PushButton:
            QTest::mouseClick(widget, Qt::LeftButton);
            return;
        case ControlKind::CheckBox:  // on its indicator
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
            return;
        case ControlKind::ListBox:
            w.ClickLine(1);
            return;
        default:
            FAIL() << spec.name << " has no act of the user's here";
    }
}

std::string_view NameOf(const std::variant<ControlId, MenuId>& target) {
    if (const MenuId* item = std::get_if<MenuId>(&target)) return Menu(*item).name;
    return Control(std::get<ControlId>(target)).name;
}

TEST(QtMainWindowDispatch, EveryControlAndMenuItemReachesItsHandler) {
    using Texts = std::vector<std::string>;
    using Check = std::function<void(QtWindowOnFakes&)>;
    const Check hidesToTray = [](QtWindowOnFakes& w) {
        EXPECT_FALSE(w.window.isVisible());
        EXPECT_EQ(w.tray.shows, Texts{"Tolvane 2.1 - Quarnel"});
    };
    const Check showsAbout = [](QtWindowOnFakes& w) {
        EXPECT_EQ(w.msgBox.Texts(), Texts{texts::AboutText()});
    };
    const Check opensHelp = [](QtWindowOnFakes& w) {
        EXPECT_EQ(w.browser.opened, Texts{std::string(texts::kHelpPageAddress)});
    };
    const Check endsTheProgram = [](QtWindowOnFakes& w) { EXPECT_EQ(w.endings, 1); };
    const auto requests = [](Texts expected) {
        return [expected](QtWindowOnFakes& w) { EXPECT_EQ(w.power.requests, expected); };
    };
    // One click flips the mark once (Qt's own flip is undone) and stores it.
    const auto flipsMark = [](MenuId item, bool before, SettingKey key, const char* stored) {
        return std::pair<Check, Check>{
            [=](QtWindowOnFakes& w) { ASSERT_EQ(w.window.MenuAction(item)->isChecked(), before); },
            [=](QtWindowOnFakes& w) {
                EXPECT_EQ(w.window.MenuAction(item)->isChecked(), !before);
                EXPECT_EQ(w.settings.Get(key), stored);
            }};
    };
    const auto [minimizeBefore, minimizeAfter] =
        flipsMark(MenuId::MinimizeOnStart, false, settings_keys::kRunMinimized, "True");
    const auto [scheduleBefore, scheduleAfter] =
        flipsMark(MenuId::ShowSchedule, true, settings_keys::kShowSchedule, "False");
    const auto [nowBefore, nowAfter] =
        flipsMark(MenuId::ShowNowPanel, true, settings_keys::kShowNowPanel, "False");

    const struct Row {
        std::variant<ControlId, MenuId> target;
        Check prepare;  // may be empty
        Check done;
    } rows[] = {
        {ControlId::HideToTrayButton, {}, hidesToTray},
        {ControlId::AboutButton, {}, showsAbout},
        {ControlId::HelpButton, {}, opensHelp},
        {ControlId::ExitButton, {}, endsTheProgram},
        {ControlId::AddToSchedule,
         // Typed and clicked as a user fills the editor.
         [](QtWindowOnFakes& w) {
             for (ControlId option : {ControlId::ScheduleShutDown, ControlId::Repeat}) {
                 QWidget* button = w.window.ControlWidget(option);
                 QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
             }
             const std::pair<ControlId, const char*> typed[] = {
                 {ControlId::Hour, "10"}, {ControlId::Minute, "30"}, {ControlId::AmPm, "PM"}};
             for (const auto& [combo, text] : typed) {
                 QLineEdit* edit =
                     static_cast<QComboBox*>(w.window.ControlWidget(combo))->lineEdit();
                 edit->clear();
                 QTest::keyClicks(edit, text);
             }
         },
         [](QtWindowOnFakes& w) {
             // In text order: the new line goes in at the top of the list.
             EXPECT_EQ(w.Shown(), (Texts{"10:30 PM-ShutDown-Repeat YES-Every Day",
                                         "7:05 AM-Reboot-Repeat NO-Every Day",
                                         "9:00 PM-LogOff-Repeat NO-Every Day"}));
         }},
        {ControlId::RemoveFromSchedule, [](QtWindowOnFakes& w) { w.ClickLine(0); },
         [](QtWindowOnFakes& w) {
             EXPECT_EQ(w.Shown(), Texts{"9:00 PM-LogOff-Repeat NO-Every Day"});
             EXPECT_TRUE(w.List()->selectedItems().isEmpty());
             EXPECT_EQ(w.form.List().Selected(), -1);
         }},
        {ControlId::ScheduleLines,
         {},
         [](QtWindowOnFakes& w) { EXPECT_EQ(w.form.List().Selected(), 1); }},
        {ControlId::RebootNow, {}, requests({"reboot"})},
        {ControlId::LockNow, {}, requests({"lock"})},
        {ControlId::LogOffNow, {}, requests({"log-off"})},
        {ControlId::ShutDownNow, {}, requests({"shutdown"})},
        {ControlId::ForceNow,
         {},
         [](QtWindowOnFakes& w) { EXPECT_EQ(w.settings.Get(settings_keys::kForceNow), "1"); }},
        {MenuId::HideToTray, {}, hidesToTray},
        {MenuId::FileAbout, {}, showsAbout},
        {MenuId::Exit, {}, endsTheProgram},
        {MenuId::MinimizeOnStart, minimizeBefore, minimizeAfter},
        {MenuId::ShowSchedule, scheduleBefore, scheduleAfter},
        {MenuId::ShowNowPanel, nowBefore, nowAfter},
        {MenuId::SetService,
         {},
         [](QtWindowOnFakes& w) {
             EXPECT_EQ(w.msgBox.shown.size(), 1u) << "the question";
             ASSERT_EQ(w.processes.started.size(), 1u);
             EXPECT_TRUE(w.processes.started[0].program.ends_with("installs.sh"))
                 << w.processes.started[0].program;
         }},
        {MenuId::HelpAbout, {}, showsAbout},
        {MenuId::Help, {}, opensHelp},
    };

    const auto hasRow = [&](std::variant<ControlId, MenuId> target) {
        return std::any_of(std::begin(rows), std::end(rows),
                           [&](const Row& row) { return row.target == target; });
    };
    for (const ControlSpec& spec : MainWindowControls()) {
        // The list's handler is its selection, which the table does not name.
        if (spec.click || spec.kind == ControlKind::ListBox) {
            EXPECT_TRUE(hasRow(spec.id)) << spec.name << " has no row";
        }
    }
    for (const MenuSpec& spec : MainWindowMenus()) {
        if (spec.click) {
            EXPECT_TRUE(hasRow(spec.id)) << spec.name << " has no row";
        }
    }

    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(NameOf(row.target)));
        QtWindowOnFakes w;
        ASSERT_TRUE(w.window.isVisible());
        if (row.prepare) row.prepare(w);
        ActOn(w, row.target);
        row.done(w);
    }
}

}  // namespace
}  // namespace tolvane
