// One schedule line, any bytes, at a clock reading taken from the input: it is
// split, matched, and walked by the timer's tick with everything the tick
// acts on faked. A line may only be due when every piece is a real value,
// and a due line acts once in its minute.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "fuzz_check.h"
#include "log_escape_check.h"
#include "schedule/schedule_matching.h"
#include "schedule/scheduler.h"
#include "schedule/text.h"
#include "schedule/wall_minutes.h"

using namespace tolvane;

namespace {

bool OneOf(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed) {
        if (value == a) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    LocalTime now;
    now.year = input.ConsumeIntegralInRange(1970, 2100);
    now.month = input.ConsumeIntegralInRange(1, 12);
    now.day = input.ConsumeIntegralInRange(1, 28);
    now.weekday = input.ConsumeIntegralInRange(0, 6);
    now.hour = input.ConsumeIntegralInRange(0, 23);
    now.minute = input.ConsumeIntegralInRange(0, 59);
    now.secondsSinceMidnight = now.hour * 3600.0 + now.minute * 60.0;
    // A real clock's weekday is its date's (the byte taken above stays, so the
    // seeds keep their meaning).
    now.weekday = StartOfWallMinute(WallMinuteOf(now)).weekday;
    const std::string line = input.ConsumeRemainingBytesAsString();
    // The service's log quotes the line as it stands.
    CheckLogEscape(line);

    const ScheduleLineParts parts = SplitScheduleLine(line);
    if (parts.complete) {
        const std::string pieces = parts.timePiece + "-" + parts.actionPiece + "-" +
                                   parts.repeatPiece + "-" + parts.dayPiece;
        FUZZ_CHECK(line.compare(0, pieces.size(), pieces) == 0);
        FUZZ_CHECK(line.size() == pieces.size() || line[pieces.size()] == '-');
    }
    const bool due = IsDue(parts, now);
    if (due) {
        FUZZ_CHECK(parts.complete);
        FUZZ_CHECK(
            OneOf(parts.hour, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
        FUZZ_CHECK(parts.minute.size() == 2 && parts.minute[0] >= '0' && parts.minute[0] <= '5' &&
                   parts.minute[1] >= '0' && parts.minute[1] <= '9');
        FUZZ_CHECK(OneOf(parts.amPm, {"AM", "PM"}));
        FUZZ_CHECK(
            OneOf(text::ToUpper(parts.dayPiece), {"EVERY DAY", "SUNDAY", "MONDAY", "TUESDAY",
                                                  "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"}));
    }

    // The tick over a schedule holding this one line, in the list and the
    // file; a line the file cannot hold as it is (a CR LF inside, blanks at
    // its ends) never reaches the list that way.
    const std::string bytes = ScheduleFileBytes({line});
    if (ScheduleFileLines(bytes) != std::vector<std::string>{line}) return 0;
    ScheduleList list;
    testing::FakeFileSystem fs;
    testing::FakeEventPump pump;
    testing::FakeClock clock;
    testing::FakeSystemPower power;
    clock.now = now;
    ScheduleFile file(list, fs, pump);
    Scheduler scheduler(list, file, power, clock, pump);
    fs.files[file.Path()] = bytes;
    file.Reload();

    scheduler.RunDueLines();
    const bool acts = ChooseAction(parts.actionPiece).has_value();
    FUZZ_CHECK(power.requests.size() == (due && acts ? 1u : 0u));
    const bool removed = due && IsOneTime(parts.repeatPiece);
    FUZZ_CHECK(list.Count() == (removed ? 0 : 1));
    if (removed) FUZZ_CHECK(fs.files[file.Path()] == "\r\n");

    scheduler.RunDueLines();  // a second tick in the same minute does nothing more
    FUZZ_CHECK(power.requests.size() == (due && acts ? 1u : 0u));
    return 0;
}
