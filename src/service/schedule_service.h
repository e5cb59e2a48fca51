#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/admin_only.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/service_log.h"
#include "platform/system_power.h"
#include "power/action.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_store.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// The largest schedule file the service reads: about 90,000 lines, far beyond
// any schedule kept by hand, and little enough that a file made huge on
// purpose cannot take the service's memory.
inline constexpr std::size_t kServiceMaxScheduleBytes = 4 * 1024 * 1024;

// Carries out the schedule file with no window: the service's tick. The file
// is the window's mirror, read afresh at every tick; the service keeps no list
// of its own.
class ScheduleService {
  public:
    // The machine's schedule, run for everybody: the administrators' file,
    // read and never rewritten; refused (logged once, nothing run) while
    // others than administrators can change it.
    struct Machine {
        std::string stateFolder;  // its lock, run record and done record
        AdminOnlyCheck* adminOnly = nullptr;
        // How long before a reboot or shutdown line's minute the machine is
        // told of it (SystemPower::AnnounceEnd); 0: never.
        int noticeMinutes = 5;
    };
    // A user's schedule beside the machine's: at a minute where a line of
    // the machine's is due, the machine's service acts and the user's lines
    // of that minute are not run.
    struct MachineBeside {
        std::string schedulePath;
        std::string stateFolder;
        AdminOnlyCheck* adminOnly = nullptr;
    };
    struct Setup {
        FileSystem& files;
        std::string schedulePath;
        Clock& clock;
        SystemPower& power;
        ServiceLog& log;
        // Whom it acts for, as records of actions name it: the user's name
        // (or number), or kRecordAllUsers for the machine.
        std::string user;
        std::optional<Machine> machine{};
        std::optional<MachineBeside> machineBeside{};
    };
    explicit ScheduleService(const Setup& setup);
    ScheduleService(FileSystem& files, std::string schedulePath, Clock& clock, SystemPower& power,
                    ServiceLog& log);

    // Runs every line due now, in the file's order, each at most once per
    // minute among all processes of the schedule (the run record says who
    // came first). A one-time line leaves the file before its action is
    // requested; when it cannot be removed, or is no longer there, it is not
    // run. While a window of the schedule runs, the schedule is left to it.
    // All lines due in one tick are claimed in one turn of the lock; while
    // another process holds it, the tick waits until the lines' minute is
    // over and then logs them as not run. Never throws: whatever goes wrong
    // is logged, and the next tick comes as usual. A file over
    // kServiceMaxScheduleBytes, or something else than a file in its place,
    // is left alone, and logged once while it stays so.
    // The machine's schedule differs: no window is waited for; its file is
    // never rewritten (a one-time line goes into the done record instead,
    // and is not run where that record cannot be written); it is refused
    // while others than administrators can change it or its state folder;
    // and its next reboot or shutdown within the notice minutes is announced.
    // Every action, and every line not run, is a record with its four facts.
    void Tick();

    const std::string& SchedulePath() const { return store_.Path(); }
    bool ForMachine() const { return machine_.has_value(); }

    // Asked while the tick waits for another process's lock on the
    // schedule: true ends the wait, and the tick with it, within a second.
    void StopWhen(std::function<bool()> stopping) { stopping_ = std::move(stopping); }

  private:
    void CarryOut();
    std::optional<std::string> ReadSchedule();
    // Logs a lasting problem once, not at every tick; an empty one clears it.
    // `refused`: the schedule itself is refused, which is a record of its own.
    void Problem(const std::string& text, bool refused = false);
    // A record of what became of a line (or of the whole schedule).
    void Note(std::string_view result, const std::string& message, const std::string& line,
              bool error = false);
    // Whether this process carries the line out; says why not in the log.
    bool Claimed(const std::string& line, const ScheduleStore::Claimed& claimed);
    void Run(const std::string& line, const std::optional<Action>& action);
    // The machine's one-time lines that ran and still stand in `bytes`; the
    // record is rewritten without those gone from the schedule.
    std::vector<SpentLine> SpentLines(const std::string& bytes);
    bool RecordSpent(std::vector<SpentLine> spent, const std::string& line, WallMinute minute);
    // The minutes at which a line of the machine's schedule is due, among `due`.
    std::vector<WallMinute> MachineMinutes(const std::vector<ScheduleStore::DueRun>& due);
    // Tells the machine of its next reboot or shutdown within the notice
    // minutes, or takes back what was told when there is none any more.
    void Announce(const std::optional<std::string>& bytes, const std::vector<SpentLine>& spent);
    void TakeBackAnnouncement();

    FileSystem& files_;
    ScheduleStore store_;
    Clock& clock_;
    SystemPower& power_;
    ServiceLog& log_;
    std::string user_;
    std::optional<Machine> machine_;
    std::optional<MachineBeside> beside_;
    std::string donePath_;
    WallMinutes minutes_;
    std::string problem_;
    bool leftToWindow_ = false;
    // The end told of: its minute, and whether a reboot.
    std::optional<std::pair<WallMinute, bool>> announced_;
    std::function<bool()> stopping_ = [] { return false; };
};

}  // namespace tolvane
