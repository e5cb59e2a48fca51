// Start-up, the persisted options, the notification area, the service, About
// and Help.
#include <set>

#include "main_window_fixture.h"
#include "shell/settings_keys.h"
#include "shell/texts.h"

namespace tolvane::testing {
namespace {

using namespace settings_keys;
using Texts = std::vector<std::string>;
constexpr auto Saved = FakeSettingsStore::Saved;

const std::string kInvalidOption =
    "Invaild Option!\r\n"
    "Acceptable options are as follows\r\n"
    "\r\n"
    " /reboot \r\n"
    " /shutdown \r\n"
    " /logoff \r\n"
    " /lock \r\n"
    " /force (This option can be used with an other option) \r\n"
    "  \r\n"
    "For more information check http://www.quarnel.com  \r\n";

// ---- Start-up ----

TEST_F(MainWindowTest, StartUpRunsItsStepsInOrderAndShowsTheWindow) {
    files.files[schedulePath] = "7:05 AM-ShutDown-Repeat YES-Monday\r\n\r\n";
    form.OnLoad("");
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_TRUE(power.requests.empty());
    EXPECT_EQ(view.comboItems[ControlId::Day].size(), 8u);
    EXPECT_EQ(view.listItems, Texts{"7:05 AM-ShutDown-Repeat YES-Monday"});
    EXPECT_FALSE(view.menuChecks[MenuId::MinimizeOnStart]);
    EXPECT_TRUE(view.menuChecks[MenuId::ShowSchedule]);
    EXPECT_TRUE(view.menuChecks[MenuId::ShowNowPanel]);
    EXPECT_EQ(view.checks[ControlId::ForceNow], 0);
    EXPECT_EQ(settings.saves, Texts{Saved(kProgramFolder, "C:\\Program Files\\Tolvane")});
    EXPECT_TRUE(view.visible);
    EXPECT_TRUE(tray.shows.empty());
}

TEST_F(MainWindowTest, TheCommandLineActsFirstWithTheForceBoxSavedBeforeTheAction) {
    struct Case {
        const char* commandLine;
        Texts requests;
        bool invalid;
        int check2;
    };
    const Case cases[] = {
        {"", {}, false, 0},
        {"   ", {}, false, 0},
        {"/REBOOT", {"reboot"}, false, 0},
        {"  / reb oot  ", {"reboot"}, false, 0},
        {"/reboot /force", {"forced reboot"}, false, 1},
        {"/Force/Reboot", {"forced reboot"}, false, 1},
        {"/shutdown", {"shutdown"}, false, 0},
        {"/logoff /FORCE", {"forced log-off"}, false, 1},
        {"/lock /force", {"lock"}, false, 1},
        {"/force", {}, true, 1},
        {"/forcereboot", {}, true, 1},
        {"/reboot /shutdown", {}, true, 0},
        {"reboot", {}, true, 0},
        {"\t/reboot", {}, true, 0},
        {"\"/reboot\"", {}, true, 0},
    };
    for (const auto& c : cases) {
        FakeWindowPlatform fresh;
        std::vector<std::string> savedAtAction;
        size_t combosAtMessage = 99;
        fresh.power.onRequest = [&] { savedAtAction = fresh.settings.saves; };
        fresh.msgBox.whileShown = [&] { combosAtMessage = fresh.view.comboItems.size(); };
        MainWindow window(fresh.Platform());
        window.OnLoad(c.commandLine);

        EXPECT_EQ(fresh.power.requests, c.requests) << c.commandLine;
        EXPECT_EQ(fresh.msgBox.Texts(), c.invalid ? Texts{kInvalidOption} : Texts{})
            << c.commandLine;
        if (c.invalid) {
            EXPECT_EQ(combosAtMessage, 0u) << "message before the pickers are filled";
        }
        EXPECT_EQ(fresh.view.checks[ControlId::ForceNow], c.check2) << c.commandLine;
        if (c.check2 == 1) {
            EXPECT_EQ(fresh.settings.Get(kForceNow), "1") << c.commandLine;
            if (!c.requests.empty()) {
                EXPECT_EQ(savedAtAction, Texts{Saved(kForceNow, "1")});
            }
        } else {
            // Only /force stores the box; any other start leaves it as stored.
            for (const auto& save : fresh.settings.saves) {
                EXPECT_NE(save.rfind(Saved(kForceNow, ""), 0), 0u) << c.commandLine << ": " << save;
            }
        }
        EXPECT_EQ(fresh.settings.Get(kProgramFolder), "C:\\Program Files\\Tolvane");
        EXPECT_TRUE(fresh.view.visible) << c.commandLine;
    }
}

TEST_F(MainWindowTest, AStartWithoutForceActsPlainlyBeforeTheStoredForceIsRestored) {
    settings.Put("Options", "C2", "1");  // any letter case names the same key
    form.OnLoad("/reboot");
    EXPECT_EQ(power.requests, Texts{"reboot"});
    EXPECT_EQ(view.checks[ControlId::ForceNow], 1);
    form.OnRebootNow();
    EXPECT_EQ(power.requests, (Texts{"reboot", "forced reboot"}));
}

TEST_F(MainWindowTest, StoredOptionsAreRestoredAndOddValuesCountAsAbsent) {
    struct Case {
        const char* runMinimized;
        const char* showSchedule;
        const char* showNow;
        const char* c2;
        bool minimized, schedule, now;
        int check2;
    };
    const Case cases[] = {
        {"True", "False", "False", "1", true, false, false, 1},
        {"false", "TRUE", "true", "2", false, true, true, 2},
        {"yes", "1", "", "7", false, true, true, 0},
        {"", "maybe", "False ", "-1", false, true, false, 0},
    };
    for (const auto& c : cases) {
        FakeWindowPlatform fresh;
        // Names in other letter cases than the program's find the same values.
        fresh.settings.Put("runit", "RunMinimized", c.runMinimized);
        fresh.settings.Put("RUNIT", "showrebootschedulem", c.showSchedule);
        fresh.settings.Put(kShowNowPanel, c.showNow);
        fresh.settings.Put(kForceNow, c.c2);
        MainWindow window(fresh.Platform());
        window.OnLoad("");
        EXPECT_EQ(fresh.view.menuChecks[MenuId::MinimizeOnStart], c.minimized) << c.runMinimized;
        EXPECT_EQ(fresh.view.menuChecks[MenuId::ShowSchedule], c.schedule) << c.showSchedule;
        EXPECT_EQ(fresh.view.menuChecks[MenuId::ShowNowPanel], c.now) << c.showNow;
        EXPECT_EQ(fresh.view.checks[ControlId::ForceNow], c.check2) << c.c2;
        EXPECT_EQ(fresh.view.visible, !c.minimized);
        EXPECT_EQ(fresh.tray.shows.size(), c.minimized ? 1u : 0u);
    }
}

TEST_F(MainWindowTest, CheckMarkTogglesFlipAndStoreOnlyTheirOwnKey) {
    form.OnLoad("");
    settings.saves.clear();
    form.OnToggleShowSchedule();
    form.OnToggleShowSchedule();
    form.OnToggleShowNowPanel();
    form.OnToggleMinimizeOnStart();
    form.OnToggleMinimizeOnStart();
    EXPECT_EQ(settings.saves, (Texts{Saved(kShowSchedule, "False"), Saved(kShowSchedule, "True"),
                                     Saved(kShowNowPanel, "False"), Saved(kRunMinimized, "True"),
                                     Saved(kRunMinimized, "False")}));
    EXPECT_TRUE(view.visible);  // nothing is hidden now
    EXPECT_EQ(view.hides, 0);
}

// The names users' settings already hold, letter case included: the store
// finds a name in any case but creates it as spelt, so another spelling
// would split a section or leave a stored value behind.
TEST_F(MainWindowTest, EverySettingIsReadAndWrittenUnderTheNameStoredSettingsHave) {
    form.OnLoad("");
    form.OnToggleMinimizeOnStart();
    form.OnToggleShowSchedule();
    form.OnToggleShowNowPanel();
    form.SetForceNow(1);
    form.OnSetService();
    processes.started.back().ended(true, "", "");
    EXPECT_EQ(settings.names,
              (std::set<std::string>{"Location\\Path", "Options\\NoticeMinutes", "Options\\Service",
                                     "Runit\\RunMinimized", "Runit\\ShowRebootScheduleM",
                                     "Runit\\ShowShowRebootNowM", "options\\c2"}));
}

// ---- The notification area ----

TEST_F(MainWindowTest, MinimizeHidesAndShowsTheIconWithItsTip) {
    form.OnHideToTray();
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(tray.shows, Texts{"Tolvane 2.1 - Quarnel"});
}

TEST_F(MainWindowTest, ActivatingTheIconShowsTheWindowWhichCanBeHiddenAgain) {
    form.OnHideToTray();
    form.OnTrayIconActivated();
    EXPECT_TRUE(view.visible);
    form.OnHideToTray();  // hide again: the repeated showing is refused, one icon stays
    EXPECT_FALSE(view.visible);
    form.OnTrayIconActivated();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(tray.shows.size(), 2u);
    EXPECT_TRUE(tray.present);
    EXPECT_FALSE(tray.kept);  // shown again: the icon is not the way back now
}

TEST_F(MainWindowTest, WithoutANotificationAreaTheWindowComesBack) {
    tray.noNotificationArea = true;
    form.OnHideToTray();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.hides, 1);
    // A notification area that starts later gets no icon for a shown window.
    EXPECT_FALSE(tray.kept);
}

// The tray puts a kept icon back after a restart of the notification area;
// the window keeps it only while it is hidden there.
TEST_F(MainWindowTest, TheIconIsKeptOnlyWhileTheWindowIsHiddenToIt) {
    form.OnLoad("");
    EXPECT_FALSE(tray.kept);  // shown, no icon: nothing to restore
    form.OnHideToTray();
    EXPECT_TRUE(tray.kept);
    form.OnTrayIconActivated();
    EXPECT_FALSE(tray.kept);
    form.OnHideToTray();  // the icon is there already: the showing is refused
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(tray.kept);
}

TEST_F(MainWindowTest, ClosingIsRefusedAndExitEndsTheProgram) {
    int cancel = 0;
    form.OnCloseRequested(cancel);
    EXPECT_NE(cancel, 0);
    EXPECT_FALSE(view.ended);
    form.OnExit();
    EXPECT_TRUE(view.ended);
    view.ended = false;
    form.OnExit();
    EXPECT_TRUE(view.ended);
}

// ---- Service installation ----

TEST_F(MainWindowTest, SetServiceInstallsThenRemovesThroughTheBatchFilesWithoutArguments) {
    settings.Put(kProgramFolder, "  C:\\Program Files\\Tolvane  ");
    const double start = clock.monotonic;
    form.OnSetService();
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].program, "C:\\Program Files\\Tolvane\\installs.bat");
    EXPECT_TRUE(processes.started[0].arguments.empty());
    EXPECT_GE(clock.monotonic - start, 0.5);  // the pause of one second
    EXPECT_EQ(msgBox.shown.size(), 1u) << "nothing said before the script ended";
    EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
    processes.started[0].ended(true, "", "");
    EXPECT_EQ(settings.Get(kServiceInstalled), "1");
    ASSERT_EQ(msgBox.shown.size(), 2u);
    EXPECT_EQ(msgBox.shown[0].text,
              "The service is currently not installed. Would you like to install the server for "
              "Tolvane now?");
    EXPECT_EQ(msgBox.shown[0].title, "Tolvane - Quarnel");
    EXPECT_EQ(msgBox.shown[0].buttons, MsgBox::Buttons::YesNo);
    EXPECT_EQ(msgBox.shown[1].text,
              "The Service has been installed. You can modify the service options in the Control "
              "Pannel -> Administrative Tools -> Services \r\nThe service name is Tolvane");
    EXPECT_EQ(msgBox.shown[1].title, "Tolvane");

    form.OnSetService();
    processes.started[1].ended(true, "", "");
    EXPECT_EQ(processes.started[1].program, "C:\\Program Files\\Tolvane\\removeit.bat");
    EXPECT_EQ(settings.Get(kServiceInstalled), "0");
    EXPECT_EQ(msgBox.shown[2].text,
              "The service is already installed. Would you like to remove the service for Tolvane "
              "now?");
    EXPECT_EQ(msgBox.shown[3].text, "The Service has been removed.");
}

TEST_F(MainWindowTest, ASetServiceScriptThatFailsOrIsCancelledChangesNothingAndSaysWhy) {
    settings.Put(kProgramFolder, "C:\\Tolvane");
    for (const char* stored : {"0", "1"}) {
        settings.Put(kServiceInstalled, stored);
        msgBox.shown.clear();
        form.OnSetService();
        processes.started.back().ended(false, "It ended with status 126.", "");
        EXPECT_EQ(settings.Get(kServiceInstalled), stored);
        ASSERT_EQ(msgBox.shown.size(), 2u);
        const std::string& said = msgBox.shown[1].text;
        EXPECT_NE(
            said.find(stored[0] == '0' ? "C:\\Tolvane\\installs.bat" : "C:\\Tolvane\\removeit.bat"),
            std::string::npos)
            << said;
        EXPECT_NE(said.find("It ended with status 126."), std::string::npos) << said;
    }
}

// The script's own last words follow how it ended: the last line holding
// more than blanks, one line with every control made visible, and short.
TEST_F(MainWindowTest, AFailedSetServiceScriptsLastErrorLineIsShownSafelyAndBounded) {
    settings.Put(kProgramFolder, "C:\\Tolvane");
    const std::string lead =
        "The service script did not finish its work C:\\Tolvane\\installs.bat:\r\n"
        "It ended with status 2.";
    const std::string tail = "\r\n\r\nThe service setting was not changed.";
    const std::string longLine(400, 'x');
    const std::string cutLongLine = std::string(297, 'x') + "...";
    // 296 bytes, then a two-byte letter across the cut, which goes whole.
    const std::string longWide = std::string(296, 'y') + "\xC3\xA9" + std::string(50, 'y');
    const struct {
        const char* name;
        std::string errorOutput;
        std::string shown;  // empty: no line added
    } cases[] = {
        {"nothing written", "", ""},
        {"only blank lines", "\n  \r\n\t\n", ""},
        {"two lines, the last counts",
         "installs.sh: first\ninstalls.sh: run installs.sh as that user\n",
         "installs.sh: run installs.sh as that user"},
        {"blank lines after it, CR LF, blanks around it",
         "first\r\n  the reason \r\n\r\n   \n", "the reason"},
        {"no line end", "only line", "only line"},
        {"controls made visible", "bad\x1b[2Jline\x07", "bad\\x1b[2Jline\\x07"},
        {"a leading < cannot pose as markup", "<b>x</b>", "\\x3cb>x</b>"},
        {"a lone CR inside stays on the line", "50%\r100% done", "50%\\r100% done"},
        {"cut to 300 bytes", longLine, cutLongLine},
        {"never half a UTF-8 letter", longWide, std::string(296, 'y') + "..."},
    };
    for (const auto& c : cases) {
        msgBox.shown.clear();
        form.OnSetService();
        processes.started.back().ended(false, "It ended with status 2.", c.errorOutput);
        ASSERT_EQ(msgBox.shown.size(), 2u) << c.name;
        EXPECT_EQ(msgBox.shown[1].text, c.shown.empty() ? lead + tail : lead + "\r\n" + c.shown + tail)
            << c.name;
        EXPECT_LE(c.shown.size(), 300u) << c.name;
    }
}

TEST_F(MainWindowTest, AScriptEndingAfterTheWindowIsGoneIsNotReported) {
    // A second window on the fixture's fakes, which outlive it.
    auto window = std::make_unique<MainWindow>(Platform());
    window->OnSetService();
    window.reset();
    processes.started.back().ended(true, "", "");
    EXPECT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
}

TEST_F(MainWindowTest, SetServiceReadsTheFlagAsANumber) {
    const std::pair<const char*, bool> cases[] = {{"0", false},   {"00", false}, {"1", true},
                                                  {" 2 ", true},  {"-1", true},  {"0.0", false},
                                                  {"yes", false}, {"", false}};
    for (const auto& [flag, installed] : cases) {
        settings.Put(kServiceInstalled, flag);
        msgBox.answers = {MsgBox::Answer::No};
        form.OnSetService();
        EXPECT_EQ(msgBox.shown.back().text.substr(0, 16),
                  installed ? "The service is a" : "The service is c")
            << flag;
    }
}

TEST_F(MainWindowTest, SetServiceDeclinedClosedOrUnstartableChangesNothing) {
    for (const MsgBox::Answer declined : {MsgBox::Answer::No, MsgBox::Answer::Closed}) {
        msgBox.answers = {declined};
        form.OnSetService();
    }
    EXPECT_TRUE(processes.started.empty());
    EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
    EXPECT_EQ(msgBox.shown.size(), 2u);

    // The platform's reason for not starting it is shown with the path.
    processes.fail = true;
    form.OnSetService();  // no Path stored: the file name alone
    EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
    ASSERT_EQ(msgBox.shown.size(), 4u);
    EXPECT_NE(msgBox.shown[3].text.find("\\installs.bat"), std::string::npos);
    EXPECT_NE(msgBox.shown[3].text.find("cannot find the file"), std::string::npos);
}

TEST_F(MainWindowTest, TheTimerKeepsTickingDuringTheServicePause) {
    form.List().Add("1:05 PM-LockWorkStation-Repeat YES-Every Day");
    clock.now = FakeClock::At(13, 5);
    pump.onProcess = [&](int call) {
        if (call == 0) form.OnTimerTick();
    };
    form.OnSetService();
    EXPECT_EQ(power.requests, Texts{"lock"});
}

// ---- About and Help ----

TEST_F(MainWindowTest, EveryRouteToAboutShowsTheSameFiveLines) {
    form.OnAbout();
    form.OnAbout();
    form.OnAbout();
    ASSERT_EQ(msgBox.shown.size(), 3u);
    for (const auto& shown : msgBox.shown) {
        EXPECT_EQ(shown.text,
                  "Tolvane 2.1\r\n\r\nWritten By: Ilse Quarnel\r\nEmail: support@quarnel.com\r\n"
                  "Web Site: http://www.quarnel.com\r\n");
        EXPECT_EQ(shown.title, "Tolvane 2.1 - Quarnel");
        EXPECT_EQ(shown.buttons, MsgBox::Buttons::Ok);
    }
}

TEST_F(MainWindowTest, EveryRouteToHelpOpensTheSamePage) {
    form.OnHelp();
    form.OnHelp();
    EXPECT_EQ(browser.opened, (Texts(2, "http://www.quarnel.com/tolvane.htm")));
    EXPECT_TRUE(msgBox.shown.empty());
    browser.failedLater();  // the opener found no browser
    browser.fail = true;
    form.OnHelp();  // nothing could be started to open it
    ASSERT_EQ(msgBox.shown.size(), 2u);
    for (const auto& shown : msgBox.shown) {
        EXPECT_NE(shown.text.find("http://www.quarnel.com/tolvane.htm"), std::string::npos);
    }
}

// Where the program installed its page, Help opens that copy, offline; only
// without it the maker's page.
TEST_F(MainWindowTest, HelpOpensTheInstalledPageWhenItIsThere) {
    struct Case {
        const char* installed;
        bool there;
        const char* opened;
    };
    const Case cases[] = {
        {"/usr/share/doc/tolvane/tolvane.htm", true, "file:///usr/share/doc/tolvane/tolvane.htm"},
        {"/opt/my apps/share/doc/tolvane/tolvane.htm", true,
         "file:///opt/my%20apps/share/doc/tolvane/tolvane.htm"},
        {"/usr/share/doc/tolvane/tolvane.htm", false, "http://www.quarnel.com/tolvane.htm"},
        {"", false, "http://www.quarnel.com/tolvane.htm"},
    };
    for (const auto& c : cases) {
        MainWindowPlatform platform = Platform();
        platform.installedHelpPage = c.installed;
        files.files.clear();
        if (c.there) files.files[c.installed] = "<html>";
        browser.opened.clear();
        MainWindow window{platform};
        window.OnHelp();
        EXPECT_EQ(browser.opened, Texts{c.opened}) << c.installed;
    }
}

TEST_F(MainWindowTest, ARefusedRequestOrALockNobodyCarriedOutIsSaid) {
    const std::string said = "The request was not carried out:\r\n";
    power.refuse = true;
    power.refusal = "The reboot was refused: an application is busy.";
    form.OnRebootNow();  // refused at once, from a button
    form.List().Add("1:05 PM-LockWorkStation-Repeat YES-Every Day");
    clock.now = FakeClock::At(13, 5);
    power.refusal = "The lock was refused.";
    form.OnTimerTick();  // refused at once, from the schedule
    ASSERT_TRUE(power.told);
    power.told("Nothing carried out the lock.");  // found out later
    EXPECT_EQ(power.requests, (Texts{"reboot", "lock"}));
    EXPECT_EQ(msgBox.Texts(),
              (Texts{said + "The reboot was refused: an application is busy.",
                     said + "The lock was refused.", said + "Nothing carried out the lock."}));
    { MainWindow gone{Platform()}; }
    EXPECT_FALSE(power.told) << "a window that is gone is told nothing more";
}

}  // namespace
}  // namespace tolvane::testing
