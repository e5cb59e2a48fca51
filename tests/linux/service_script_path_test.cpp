// Set Service with hostile "Path" values, through the real process start:
// the script's path reaches the starter whole and is started without a
// shell. Folders with blanks, shell signs, quotes of either kind,
// backslashes (one at the end too) and control characters start exactly the
// script inside them; a folder or script that is not there starts nothing and
// leaves the flag alone.
#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/fake_window_platform.h"
#include "native_platform.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/qt_process_starter.h"
#include "shell/main_window.h"
#include "shell/settings_keys.h"
#include "wait_until.h"

namespace tolvane {
namespace {

using settings_keys::kProgramFolder;
using settings_keys::kServiceInstalled;

namespace fs = std::filesystem;

// The window with the real process starter and files, and the Linux
// scripts' names; the rest are fakes.
class ServiceScriptPath : public ::testing::Test, protected testing::FakeWindowPlatform {
  protected:
    ServiceScriptPath() {
        // A whole step of time at each wait: a step cut to the time left can,
        // once the clock has run through several pauses, fall short by a
        // rounding error at every wait and never end the pause.
        pump.onWait = [this](double) { clock.Advance(0.05); };
    }
    ~ServiceScriptPath() override { fs::remove_all(root); }

    // The stored flag, once the script's end has come through the event loop.
    bool StoredOnceEnded(const std::string& value) {
        return QTest::qWaitFor([&] { return settings.Get(kServiceInstalled) == value; }, 120'000);
    }
    // A script that adds its own path to the log, so the log says which ran.
    void Script(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "#!/bin/sh\nprintf '%s\\0' \"$0\" >> '" << log << "'\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    // The paths of the scripts that ran, NUL-separated in the log since a
    // path may hold a line break. Each start the program made runs one script
    // that writes one path, so the log is complete once it holds as many.
    std::vector<std::string> Ran() {
        std::vector<std::string> paths;
        auto read = [&] {
            std::ifstream in(log, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            paths.clear();
            // A path without its NUL is still being written.
            for (std::size_t from = 0, end; (end = bytes.find('\0', from)) != std::string::npos;
                 from = end + 1) {
                paths.push_back(bytes.substr(from, end - from));
            }
            return paths.size() >= starter.started;
        };
        EXPECT_TRUE(testing::WaitUntil(read))
            << starter.started << " started, " << paths.size() << " ran";
        starter.started = 0;
        fs::remove(log);
        return paths;
    }

    // The real starter, counting the programs it started.
    struct CountingStarter final : ProcessStarter {
        bool Start(const std::string& program, const std::vector<std::string>& arguments,
                   std::string& reason, Ended ended) override {
            const bool ok = real.Start(program, arguments, reason, std::move(ended));
            started += ok;
            return ok;
        }
        QtProcessStarter real;
        std::size_t started = 0;
    };

    std::string root = testing::MakeScratchFolder();
    std::string log = root + "/ran.log";
    CountingStarter starter;
    PosixFileSystem disk{root};
    MainWindow form{Platform({.processes = &starter,
                              .files = &disk,
                              .installScript = "installs.sh",
                              .removeScript = "removeit.sh"})};
};

TEST_F(ServiceScriptPath, TheScriptInTheFolderRunsWhateverCharactersTheFolderHolds) {
    const std::string folders[] = {
        "dir with spaces",
        "a & b; $(touch pwned) `id` | c > d",
        "it's 'single' quoted",
        "quote\"",
        "\"double\" \"quotes\" \"x",
        "ends with a backslash\\",
        "back\\\\slashes\\ \\t inside",
        "tab\there and\nline break",
        "%TEMP% and !bang! stay text",
        "*?[glob]~",
    };
    for (const std::string& name : folders) {
        SCOPED_TRACE(name);
        const std::string folder = root + "/" + name;
        Script(folder + "/installs.sh");
        // Where a path cut at its first blank, or read by a shell, would lead.
        const auto blank = name.find_first_of(" \t");
        if (blank != std::string::npos) Script(root + "/" + name.substr(0, blank));
        settings.Put(kServiceInstalled, "0");
        settings.Put(kProgramFolder, folder);
        form.OnSetService();
        EXPECT_EQ(Ran(), std::vector<std::string>{folder + "/installs.sh"});
        EXPECT_TRUE(StoredOnceEnded("1"));
        EXPECT_FALSE(fs::exists(root + "/pwned"));
    }
}

TEST_F(ServiceScriptPath, BlanksAroundThePathAndASeparatorAtItsEndStillFindTheFolder) {
    const std::string folder = root + "/lib/tolvane";
    Script(folder + "/installs.sh");
    Script(folder + "/removeit.sh");
    settings.Put(kProgramFolder, "  " + folder + "/  ");
    form.OnSetService();
    EXPECT_EQ(Ran(), std::vector<std::string>{folder + "/installs.sh"});
    ASSERT_TRUE(StoredOnceEnded("1"));
    settings.Put(kProgramFolder, folder + "//");
    form.OnSetService();
    EXPECT_EQ(Ran(), std::vector<std::string>{folder + "//removeit.sh"});
    EXPECT_TRUE(StoredOnceEnded("0"));
}

TEST_F(ServiceScriptPath, WhatCannotBeStartedExactlyStartsNothingAndChangesNothing) {
    Script(root + "/present/removeit.sh");  // but no installs.sh
    const std::string paths[] = {
        root + "/gone",     // the folder is not there
        root + "/present",  // the script is not there
        "",                 // no folder recorded: "/installs.sh", not there
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        msgBox.shown.clear();
        settings.Put(kProgramFolder, path);
        form.OnSetService();
        EXPECT_EQ(settings.Get(kServiceInstalled), "<absent>");
        ASSERT_EQ(msgBox.shown.size(), 2u);
        EXPECT_EQ(msgBox.shown[1].text.rfind("Could not start", 0), 0u) << msgBox.shown[1].text;
    }
    EXPECT_EQ(Ran(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tolvane
