// Benchmarks of the schedule core on the test fakes: the timer tick, Add It,
// and the schedule file's writing and reading, each over growing schedules so
// the complexity fit shows how the cost grows with the number of lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_event_pump.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "fakes/fake_shell_services.h"
#include "fakes/fake_view.h"
#include "heap_counter.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_list.h"
#include "schedule/scheduler.h"
#include "shell/main_window.h"

namespace tolvane {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;
using testing::FakeFileSystem;
using testing::FakeSystemPower;
using testing::FakeView;

// The clock of every tick: Monday 3:07 AM.
constexpr int kNowHour = 3;
constexpr int kNowMinute = 7;
const std::string kDueLine = "3:07 AM-Force Reboot-Repeat NO-Every Day";
constexpr int kDueCopies = 3;

// `count` plausible lines, spread over every hour, minute, half-day, day and
// action the editor offers, none of them due at the benchmark's clock.
std::vector<std::string> MakeLines(int count) {
    static const char* const kDays[] = {"Every Day", "Sunday",   "Monday",   "Tuesday",
                                        "Wednesday", "Thursday", "Saturday", "Friday"};
    std::mt19937 random(2026);
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ScheduleEntry entry;
        const int hour = 1 + static_cast<int>(random() % 12);
        int minute = static_cast<int>(random() % 60);
        if (hour == kNowHour && minute == kNowMinute) ++minute;
        entry.Hour = std::to_string(hour);
        entry.Minute = (minute < 10 ? "0" : "") + std::to_string(minute);
        entry.AmPm = random() % 2 ? "AM" : "PM";
        entry.Day = kDays[random() % 8];
        entry.Act = {AllActions()[random() % AllActions().size()].what, random() % 2 == 1};
        entry.Repeat = random() % 2;
        lines.push_back(ComposeScheduleLine(entry));
    }
    return lines;
}

// Fills the list in sorted order, so building it costs no more than the lines.
void Fill(ScheduleList& list, std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    for (auto& line : lines) list.Add(std::move(line));
}

// The scheduler and everything it works with, on fakes.
struct SchedulerRig {
    ScheduleList list;
    FakeFileSystem files;
    FakeEventPump pump;
    FakeClock clock;
    FakeSystemPower power;
    ScheduleFile file{list, files, pump};
    Scheduler scheduler{list, file, power, clock, pump};

    SchedulerRig() { clock.now = FakeClock::At(kNowHour, kNowMinute, 1); }
};

// A tick that finds nothing due: the walk over every line.
void BM_TickNoneDue(benchmark::State& state) {
    SchedulerRig rig;
    Fill(rig.list, MakeLines(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        // Each tick a week later, at the same minute (a clock set by hand): a
        // second tick in one minute would find nothing to do and skip the walk.
        state.PauseTiming();
        rig.clock.MoveWallClock(7 * 86400.0);
        state.ResumeTiming();
        rig.scheduler.RunDueLines();
    }
    if (!rig.power.requests.empty()) state.SkipWithError("a line was due");
    state.SetComplexityN(state.range(0));
}

// A tick that finds one one-time line due, kept `copies` times: the walk, the
// copies taken out of the list, the file rewritten and the reboot requested.
// The copies go back in between ticks, outside the timing, and each tick
// falls on another date so the line counts as not yet run in its minute.
void TickOneDue(benchmark::State& state, int copies) {
    SchedulerRig rig;
    Fill(rig.list, MakeLines(static_cast<int>(state.range(0)) - copies));
    long long requests = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < copies; ++i) rig.list.Add(kDueLine);
        ++rig.clock.now.year;
        rig.power.requests.clear();
        state.ResumeTiming();

        rig.scheduler.RunDueLines();

        state.PauseTiming();
        requests += static_cast<long long>(rig.power.requests.size());
        state.ResumeTiming();
    }
    if (requests != static_cast<long long>(state.iterations()) ||
        rig.list.Count() != state.range(0) - copies) {
        state.SkipWithError("the due line did not run exactly once per tick");
    }
    state.SetComplexityN(state.range(0));
}
void BM_TickOneDueWithCopies(benchmark::State& state) {
    TickOneDue(state, kDueCopies);
}
// The same with a tenth of the schedule copies of the due line: each copy
// leaves the list on its own, so this one grows with copies times lines.
void BM_TickOneDueTenthCopies(benchmark::State& state) {
    TickOneDue(state, static_cast<int>(state.range(0) / 10));
}

// The insertion alone: one line into a sorted list of state.range(0) lines, at
// a random place. The line is taken out again outside the timing, so every
// insertion meets a list of the same length.
void BM_ListAdd(benchmark::State& state) {
    ScheduleList list;
    Fill(list, MakeLines(static_cast<int>(state.range(0))));
    const auto newLines = MakeLines(1024);
    std::size_t next = 0;
    long long allocations = 0;
    long long bytes = 0;
    for (auto _ : state) {
        std::string line = newLines[next++ % newLines.size()];
        const long long allocationsBefore = bench::HeapAllocations();
        const long long bytesBefore = bench::HeapBytesAllocated();
        const int index = list.Add(std::move(line));
        allocations += bench::HeapAllocations() - allocationsBefore;
        bytes += bench::HeapBytesAllocated() - bytesBefore;

        state.PauseTiming();
        list.Remove(index);
        state.ResumeTiming();
    }
    const auto perAdd = benchmark::Counter::kAvgIterations;
    state.counters["allocs/add"] = benchmark::Counter(static_cast<double>(allocations), perAdd);
    state.counters["bytes/add"] = benchmark::Counter(static_cast<double>(bytes), perAdd);
    state.SetComplexityN(state.range(0));
}

// The Add It button end to end on fakes, into a schedule of state.range(0)
// lines: the editor read, the line composed and inserted, the window's list
// told, the whole schedule file rewritten (in memory) and the confirmation
// shown. The new line is taken out again outside the timing.
void BM_AddIt(benchmark::State& state) {
    FakeView view;
    FakeEventPump pump;
    testing::FakeMsgBox msgBox;
    testing::FakeSettingsStore settings;
    testing::FakeProcessStarter processes;
    testing::FakeWebBrowser browser;
    testing::FakeTrayIcon tray;
    FakeClock clock;
    FakeFileSystem files;
    FakeSystemPower power;
    MainWindow form{MainWindowPlatform{view, pump, msgBox, settings, processes, browser, tray,
                                       clock, files, power}};
    Fill(form.List(), MakeLines(static_cast<int>(state.range(0))));

    long long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        view.SetOptionValue(ControlId::ScheduleShutDown, true);
        view.SetOptionValue(ControlId::Repeat, true);
        view.SetComboText(ControlId::Hour, "11");
        view.SetComboText(ControlId::Minute, "45");
        view.SetComboText(ControlId::AmPm, "PM");
        msgBox.shown.clear();
        const long long before = bench::HeapAllocations();
        state.ResumeTiming();

        form.OnAddToSchedule();

        state.PauseTiming();
        allocations += bench::HeapAllocations() - before;
        const auto& items = form.List().Items();
        const auto added = std::find(items.begin(), items.end(),
                                     std::string("11:45 PM-ShutDown-Repeat YES-Every Day"));
        if (added == items.end() || msgBox.shown.size() != 1) {
            state.SkipWithError("Add It did not add the line");
            break;
        }
        form.List().Remove(static_cast<int>(added - items.begin()));
        state.ResumeTiming();
    }
    state.counters["allocs/add"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.SetComplexityN(state.range(0));
}

// The schedule file written from the list: the bytes built and handed to the
// (in-memory) file system as a temporary file that then replaces the old one.
void BM_WriteScheduleFile(benchmark::State& state) {
    SchedulerRig rig;
    Fill(rig.list, MakeLines(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        const auto written =
            ReplaceFileContents(rig.files, rig.file.Path(), ScheduleFileBytes(rig.list.Items()));
        if (!written) state.SkipWithError("the write failed");
    }
    const auto& bytes = rig.files.files[rig.file.Path()];
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(bytes.size()));
    state.SetComplexityN(state.range(0));
}

// The schedule file read into an empty list, as at start-up: the bytes cut
// into lines and each added to the list. `shuffled` reads a file whose lines
// are in no order (edited by hand), where each line lands somewhere inside
// the list rather than at its end.
void ReadScheduleFile(benchmark::State& state, bool shuffled) {
    FakeFileSystem files;
    FakeEventPump pump;
    auto lines = MakeLines(static_cast<int>(state.range(0)));
    std::sort(lines.begin(), lines.end());
    if (shuffled) std::shuffle(lines.begin(), lines.end(), std::mt19937(7));
    {
        ScheduleList unused;
        files.files[ScheduleFile(unused, files, pump).Path()] = ScheduleFileBytes(lines);
    }
    for (auto _ : state) {
        state.PauseTiming();
        {
            ScheduleList list;
            ScheduleFile file(list, files, pump);
            state.ResumeTiming();
            file.GetFileData();
            state.PauseTiming();
            if (list.Count() != state.range(0)) state.SkipWithError("lines were lost");
            if (!std::is_sorted(list.Items().begin(), list.Items().end())) {
                state.SkipWithError("the list is out of order");
            }
        }
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
void BM_ReadScheduleFile(benchmark::State& state) {
    ReadScheduleFile(state, false);
}
void BM_ReadShuffledScheduleFile(benchmark::State& state) {
    ReadScheduleFile(state, true);
}

// 10 to 100,000 lines, every power of ten, for the complexity fit.
void Lines(benchmark::internal::Benchmark* b) {
    b->RangeMultiplier(10)->Range(10, 100000)->Complexity(benchmark::oN);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TickNoneDue)->Apply(Lines);
BENCHMARK(BM_TickOneDueWithCopies)->Apply(Lines);
BENCHMARK(BM_TickOneDueTenthCopies)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Complexity(benchmark::oNSquared)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListAdd)->Apply(Lines);
BENCHMARK(BM_AddIt)->Apply(Lines);
BENCHMARK(BM_WriteScheduleFile)->Apply(Lines);
BENCHMARK(BM_ReadScheduleFile)->Apply(Lines);
BENCHMARK(BM_ReadShuffledScheduleFile)->Apply(Lines);

}  // namespace
}  // namespace tolvane

BENCHMARK_MAIN();
