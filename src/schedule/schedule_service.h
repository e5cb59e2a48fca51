#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/system_power.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The file's bytes without every line equal to `line` (compared as the reader
// trims it); every other byte stays as it was, unreadable lines included.
std::string RemoveScheduleLine(std::string_view bytes, std::string_view line);

// The largest schedule file the service reads: about 90,000 lines, far beyond
// any schedule kept by hand, and little enough that a file made huge on
// purpose cannot take the service's memory.
inline constexpr std::size_t kServiceMaxScheduleBytes = 4 * 1024 * 1024;

// Carries out the schedule file with no window: the service's tick. The file
// is the window's mirror, read afresh at every tick; the service keeps no list
// of its own.
class ScheduleService {
  public:
    ScheduleService(FileSystem& files, std::string schedulePath, Clock& clock, SystemPower& power,
                    ServiceLog& log);

    // Runs every line due now, in the file's order, each at most once per
    // minute. A one-time line leaves the file before its action is requested;
    // when it cannot be removed, or the window already took it out, it is not run.
    // Never throws: whatever goes wrong is logged, and the next tick comes as
    // usual. A file over kServiceMaxScheduleBytes is left alone, and logged
    // once while it stays so large.
    void Tick();

    const std::string& SchedulePath() const { return path_; }

  private:
    void CarryOut();
    std::optional<std::string> ReadSchedule();
    // Logs a lasting problem once, not at every tick; an empty one clears it.
    void Problem(const std::string& text);
    bool TakeOutOfFile(const std::string& line);
    void Run(const std::string& line, std::string_view actionPiece);

    FileSystem& files_;
    std::string path_;
    Clock& clock_;
    SystemPower& power_;
    ServiceLog& log_;
    WallMinutes minutes_;
    std::string problem_;
};

}  // namespace tolvane
