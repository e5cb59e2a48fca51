#pragma once

#include <algorithm>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_shell_services.h"
#include "fakes/fake_system_power.h"
#include "fakes/fake_view.h"
#include "shell/main_window.h"

namespace tolvane::testing {

// The real adapters a test puts in place of fakes; null keeps the fake.
struct RealAdapters {
    MainWindowView* view = nullptr;
    EventPump* pump = nullptr;
    MsgBox* msgBox = nullptr;
    SettingsStore* settings = nullptr;
    ProcessStarter* processes = nullptr;
    FileSystem* files = nullptr;
    DesktopNotices* notices = nullptr;
    // The scripts Set Service runs, when they are not the Windows ones.
    std::string installScript;
    std::string removeScript;
};

// Everything the main window needs from its platform, as fakes. A test that
// drives a real adapter for some part (the files, the settings, the process
// starter, the window itself) hands it to Platform() in place of that fake;
// the rest stay fakes.
struct FakeWindowPlatform {
    FakeWindowPlatform() {
        // Waiting lets whole steps of time pass, so a pause ends: a step cut to
        // the time left can fall short by a rounding error again and again.
        pump.onWait = [this](double) { clock.Advance(0.05); };
    }
    FakeWindowPlatform(const FakeWindowPlatform&) = delete;
    FakeWindowPlatform& operator=(const FakeWindowPlatform&) = delete;

    MainWindowPlatform Platform(const RealAdapters& real = {}) {
        MainWindowPlatform platform{Pick(real.view, view),
                                    Pick(real.pump, pump),
                                    Pick(real.msgBox, msgBox),
                                    Pick(real.settings, settings),
                                    Pick(real.processes, processes),
                                    browser,
                                    tray,
                                    clock,
                                    Pick(real.files, files),
                                    power};
        platform.notices = real.notices;
        if (!real.installScript.empty()) platform.installScript = real.installScript;
        if (!real.removeScript.empty()) platform.removeScript = real.removeScript;
        return platform;
    }

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

  private:
    template <typename Interface, typename Fake>
    static Interface& Pick(Interface* real, Fake& fake) {
        return real ? *real : fake;
    }
};

}  // namespace tolvane::testing
