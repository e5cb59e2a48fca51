#pragma once

#include <gtest/gtest.h>

#include "fakes/fake_window_platform.h"
#include "shell/main_window.h"

namespace tolvane::testing {

// The main window's behaviour on a complete set of fakes.
class MainWindowTest : public ::testing::Test, protected FakeWindowPlatform {
  protected:
    MainWindow form{Platform()};

    const std::string schedulePath = "C:\\Program Files\\Tolvane\\rebootdata.kx";

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
