// The schedule file written to and read from a real disk through the Linux
// program's file system adapter: the same work as on the fakes plus the
// system calls, the two flushes to the disk and the rename.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/fake_event_pump.h"
#include "platform/linux/posix_file_system.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"

namespace tolvane {
namespace {

// A folder of its own under the temporary folder, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        const auto base = std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX";
        std::string pattern = base.string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// `count` distinct lines, put in the list in sorted order.
void Fill(ScheduleList& list, int count) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back(std::to_string(1 + i % 12) + ":" + (i % 60 < 10 ? "0" : "") +
                        std::to_string(i % 60) + (i % 2 ? " PM" : " AM") +
                        "-Force Reboot-Repeat NO-Day " + std::to_string(i));
    }
    std::sort(lines.begin(), lines.end());
    for (auto& line : lines) list.Add(std::move(line));
}

void BM_WriteScheduleFileOnDisk(benchmark::State& state) {
    ScratchFolder folder;
    PosixFileSystem files(folder.Path());
    testing::FakeEventPump pump;
    ScheduleList list;
    Fill(list, static_cast<int>(state.range(0)));
    ScheduleFile file(list, files, pump);
    for (auto _ : state) {
        const auto written =
            ReplaceFileContents(files, file.Path(), ScheduleFileBytes(list.Items()));
        if (!written) state.SkipWithError(("the write failed: " + written.reason).c_str());
    }
    state.SetComplexityN(state.range(0));
}

void BM_ReadScheduleFileFromDisk(benchmark::State& state) {
    ScratchFolder folder;
    PosixFileSystem files(folder.Path());
    testing::FakeEventPump pump;
    {
        ScheduleList list;
        Fill(list, static_cast<int>(state.range(0)));
        const std::string path = ScheduleFile(list, files, pump).Path();
        if (!ReplaceFileContents(files, path, ScheduleFileBytes(list.Items()))) {
            state.SkipWithError("no file");
        }
    }
    for (auto _ : state) {
        ScheduleList list;
        ScheduleFile file(list, files, pump);
        file.GetFileData();
        if (list.Count() != state.range(0)) state.SkipWithError("lines were lost");
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_WriteScheduleFileOnDisk)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadScheduleFileFromDisk)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvane
