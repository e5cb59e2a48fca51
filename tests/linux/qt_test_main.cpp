// Runs widget tests offscreen in a QApplication, with nothing of the user's or
// the machine's reachable: private runtime folder, and D-Bus addresses that
// lead nowhere, so no power request can leave the process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string runtime = "/tmp/tolvane-runtime-XXXXXX";
    if (!::mkdtemp(runtime.data())) return 2;  // mkdtemp makes it 0700, as Qt wants
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string nowhere = "unix:path=" + runtime + "/no-bus-here";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere.c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", nowhere.c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ::rmdir(runtime.c_str());
    return result;
}
