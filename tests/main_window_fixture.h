#pragma once

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_shell_services.h"
#include "fakes/fake_system_power.h"
#include "fakes/fake_view.h"
#include "shell/main_window.h"

namespace tolvane::testing {

// The main window's behaviour on a complete set of fakes.
class MainWindowTest : public ::testing::Test {
  protected:
    FakeView view;
    FakeEventPump pump;
    FakeMsgBox msgBox;
    FakeSettingsStore settings;
    FakeProcessStarter processes;
    FakeWebBrowser browser;
    FakeTrayIcon tray;
    FakeClock clock;
    FakeFileSystem files;
    FakeSystemPower power;
    MainWindow form{MainWindowPlatform{view, pump, msgBox, settings, processes, browser, tray,
                                       clock, files, power}};

    const std::string schedulePath = "C:\\Program Files\\Tolvane\\rebootdata.kx";

    MainWindowTest() {
        // Waiting lets time pass, so a pause ends.
        pump.onWait = [this](double seconds) { clock.Advance(std::min(seconds, 0.05)); };
    }

    std::string ScheduleBytes() { return files.files[schedulePath]; }
    // The schedule file as another program leaves it, seen by the window.
    void WriteSchedule(const std::vector<std::string>& lines) {
        files.files[schedulePath] = ScheduleFileBytes(lines);
        form.OnScheduleFileChanged();
    }
    const std::vector<std::string>& Lines() { return form.List().Items(); }

    // Fills the editor as a user would.
    void Choose(ControlId action, bool force, ControlId onceOrRepeat, const std::string& hour,
                const std::string& minute, const std::string& amPm, const std::string& day) {
        view.SetOptionValue(action, true);
        view.SetCheckValue(ControlId::ScheduleForce, force ? 1 : 0);
        view.SetOptionValue(onceOrRepeat, true);
        view.SetComboText(ControlId::Hour, hour);
        view.SetComboText(ControlId::Minute, minute);
        view.SetComboText(ControlId::AmPm, amPm);
        view.SetComboText(ControlId::Day, day);
    }
};

}  // namespace tolvane::testing
