#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "schedule/schedule_list.h"
#include "schedule/schedule_store.h"
#include "schedule/wall_minutes.h"

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
// files of earlier writes that never finished are removed first. A symbolic
// link at `path` stays; the file it leads to gets the bytes.
WriteResult ReplaceFileContents(FileSystem& fs, const std::string& path, std::string_view bytes);

// The largest schedule file the window reads: a list box of some 250,000
// lines, far beyond any schedule kept by hand.
inline constexpr std::size_t kWindowMaxScheduleBytes = 16 * 1024 * 1024;

// The schedule file (beside the program on Windows) and the window's list as
// its mirror. The file is the truth: every edit is made to the file as it is
// at that moment, under the lock all writers share, and the list then shows
// what the file holds.
class ScheduleFile {
  public:
    ScheduleFile(ScheduleList& list, FileSystem& fs, EventPump& pump)
        : list_(list), fs_(fs), pump_(pump) {}

    std::string Path();
    ScheduleStore Store() { return ScheduleStore(fs_, Path(), kWindowMaxScheduleBytes); }

    // Adds the file's lines to the list (which is not emptied first).
    void GetFileData();
    // Start-up's load of the schedule. Empty, or why a file that stands
    // could not be read.
    std::string GetRebootData();

    // The list's edits, each also made to the file. When the file could not
    // be written the edit is kept, in order with any others still unsaved:
    // the list shows the file with them, and every later edit and every
    // SavePending makes them to the file as it then is, until they land.
    // The result says why the file could not be written.
    WriteResult AddLine(std::string line);
    WriteResult RemoveLine(int index);
    // Makes the edits not yet saved, if any; what still fails stays kept.
    WriteResult SavePending();

    // Whether this window carries out `line`, due at `minute`: no other
    // process has (see ScheduleStore::ClaimRun). Every copy of a one-time
    // line leaves the list too, and the unsaved edits. A line the window
    // could not save yet runs all the same, claimed by the run record alone.
    bool ClaimRun(const std::string& line, WallMinute minute, bool oneTime);

    // Shows the file in the list when it changed since it was last seen.
    // The selection stays on its line while that line is still there.
    void Reload();

  private:
    struct Edit {
        bool add = true;  // otherwise a removal of one copy
        std::string line;
    };

    void AddLines(const std::string& bytes);
    // Makes the list hold exactly the lines of `bytes` with the unsaved
    // edits made to them, with as few insertions and removals as it takes.
    void Show(const std::string& bytes);
    // The file's bytes with every unsaved edit made, in order; nothing when
    // they change nothing.
    std::optional<std::string> WithPending(const std::string& found) const;

    ScheduleList& list_;
    FileSystem& fs_;
    EventPump& pump_;
    std::string seen_;  // the file's bytes the list last showed
    std::vector<Edit> pending_;
};

}  // namespace tolvane
