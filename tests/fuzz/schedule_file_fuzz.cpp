// Any bytes as the schedule file: read into the list, written back by an edit
// that adds a line and takes it out again, read again. The second read must
// give the same lines, and the same edit once more the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fuzz_check.h"
#include "schedule/schedule_file.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing::FakeFileSystem fs;
    testing::FakeEventPump pump;
    ScheduleList first;
    ScheduleFile firstFile(first, fs, pump);
    const std::string path = firstFile.Path();
    fs.files[path] = std::string(reinterpret_cast<const char*>(data), size);

    firstFile.GetRebootData();
    for (const auto& line : first.Items()) {
        // What the list gets is one trimmed, non-empty line.
        FUZZ_CHECK(!line.empty() && line.front() != ' ' && line.back() != ' ');
        FUZZ_CHECK(line.find("\r\n") == std::string::npos);
    }

    const auto addAndRemove = [](ScheduleFile& file, ScheduleList& list) {
        const std::string probe = "12:00 AM-LockWorkStation-Repeat YES-Every Day";
        const auto before = list.Items();
        FUZZ_CHECK(file.AddLine(probe));
        const auto at = std::find(list.Items().begin(), list.Items().end(), probe);
        FUZZ_CHECK(at != list.Items().end());
        FUZZ_CHECK(file.RemoveLine(static_cast<int>(at - list.Items().begin())));
        FUZZ_CHECK(list.Items() == before);
    };
    addAndRemove(firstFile, first);
    FUZZ_CHECK(fs.files.size() == 2);  // beside it only its lock file, no temporary one
    const std::string written = fs.files[path];
    FUZZ_CHECK(written.size() >= 2 && written.compare(written.size() - 2, 2, "\r\n") == 0);

    ScheduleList second;
    ScheduleFile secondFile(second, fs, pump);
    secondFile.GetRebootData();
    FUZZ_CHECK(second.Items() == first.Items());

    addAndRemove(secondFile, second);
    FUZZ_CHECK(fs.files[path] == written);
    return 0;
}
