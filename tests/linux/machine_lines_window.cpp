// The real Linux window with a machine schedule beside the user's, all of it
// under a private root: for a screenshot on a private X server. Power
// requests are only recorded; no notice leaves the process.
//
// Usage: tolvane_machine_lines_window ROOT
//   ROOT/etc/tolvane/rebootdata.kx   the machine's schedule, judged as the
//                                    program judges /etc/tolvane (root's alone)
//   ROOT/data/tolvane/rebootdata.kx  the user's schedule
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "fakes/fake_system_power.h"
#include "platform/linux/linux_program.h"
#include "platform/linux/posix_admin_only.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] != '/') {
        std::fputs("usage: tolvane_machine_lines_window ROOT (an absolute path)\n", stderr);
        return 2;
    }
    const std::string root = argv[1];
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    tolvane::testing::FakeSystemPower power;
    tolvane::testing::FakeServiceLog journal;
    tolvane::PosixAdminOnlyCheck adminOnly;
    // Outside root's own folders only root can make a path root's alone.
    if (::geteuid() != 0) std::fputs("not root: the machine's lines will be refused\n", stderr);
    tolvane::LinuxProgramSetup setup{root + "/program", root + "/data/tolvane",
                                     root + "/config/tolvane", &power, [] { std::_Exit(0); }};
    setup.machineSchedule = root + "/etc/tolvane/rebootdata.kx";
    setup.machineState = root + "/var/lib/tolvane";
    setup.adminOnly = &adminOnly;
    setup.journal = &journal;
    tolvane::LinuxProgram program(setup);
    program.Start("");
    return QApplication::exec();
}
