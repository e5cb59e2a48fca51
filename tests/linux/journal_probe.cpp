// Writes one record of a done action to the journal, for the read-back test:
// journal_probe LINE
#include <cstdio>

#include "platform/linux/journal_service_log.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: journal_probe LINE\n");
        return 2;
    }
    tolvane::JournalServiceLog log;
    log.Record({std::string("Requested reboot for: ") + argv[1], argv[1],
                "/etc/tolvane/rebootdata.kx", "(all users)", "done", false});
    return 0;
}
