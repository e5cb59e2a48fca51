#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "schedule/schedule_list.h"

namespace tolvane {

inline constexpr std::string_view kScheduleFileName = "rebootdata.kx";

// The file's exact bytes for these lines: each line and CR LF, spaces trimmed
// from both ends of the whole, then one more CR LF. An empty schedule is CR LF.
std::string ScheduleFileBytes(const std::vector<std::string>& lines);

// The lines a file holds: the text is cut at every CR LF (a lone CR or LF stays
// inside its line), the text after the last CR LF is never taken, and each
// line is trimmed of spaces, blank ones dropped.
std::vector<std::string> ScheduleFileLines(std::string_view bytes);

// `folder` and the file name, without doubling a separator the folder ends with.
std::string JoinPath(std::string_view folder, char separator, std::string_view name);

// How a write ended; on failure, the platform's words for the cause.
struct WriteResult {
    bool ok = true;
    std::string reason;
    explicit operator bool() const { return ok; }
};

// How old a temporary file beside the schedule or settings must be before a
// write takes it for a leftover: a write takes well under a second, so one
// that old belongs to a writer that did not live to finish.
inline constexpr double kStaleTemporaryFileSeconds = 60.0;

// Replaces the file at `path` with `bytes` so that at every moment the file is
// either its old or its new content: the bytes go to a temporary file beside
// it, flushed, which then takes the old file's place in one step. Temporary
// files of earlier writes that never finished are removed first.
WriteResult ReplaceFileContents(FileSystem& fs, const std::string& path, std::string_view bytes);

// The schedule file (beside the program on Windows), mirroring the schedule list.
class ScheduleFile {
  public:
    ScheduleFile(ScheduleList& list, FileSystem& fs, EventPump& pump)
        : list_(list), fs_(fs), pump_(pump) {}

    std::string Path();

    // Replaces the file with the list's lines. When the file could not be
    // written it keeps its earlier contents, and the result says why.
    WriteResult SetFileData();
    // Adds the file's lines to the list (which is not emptied first).
    void GetFileData();
    // Start-up's load of the schedule.
    void GetRebootData() { GetFileData(); }

  private:
    ScheduleList& list_;
    FileSystem& fs_;
    EventPump& pump_;
};

}  // namespace tolvane
