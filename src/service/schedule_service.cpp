#include "service/schedule_service.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "power/action.h"
#include "schedule/action_records.h"
#include "schedule/due_lines.h"
#include "schedule/machine_schedule.h"
#include "schedule/schedule_file.h"
#include "schedule/text.h"

namespace tolvane {

namespace {

// The machine's lock and run record stand in its state folder, under the
// schedule's own name, since nobody may write beside the schedule.
std::string SharedFilesOf(const ScheduleService::Setup& setup) {
    if (!setup.machine) return {};
    std::string shared = setup.machine->stateFolder;
    const char separator = setup.files.PathSeparator();
    if (shared.empty() || shared.back() != separator) shared += separator;
    return shared + std::string(kMachineScheduleName);
}

}  // namespace

ScheduleService::ScheduleService(const Setup& setup)
    : files_(setup.files),
      store_(setup.files, setup.schedulePath, kServiceMaxScheduleBytes, SharedFilesOf(setup)),
      clock_(setup.clock),
      power_(setup.power),
      log_(setup.log),
      user_(setup.user),
      machine_(setup.machine),
      beside_(setup.machineBeside) {
    if (machine_) donePath_ = MachineDonePath(machine_->stateFolder, files_.PathSeparator());
    // A machine the service rebooted at a line's minute can be back within
    // that minute; the line must not reboot it again.
    minutes_.StartAfter(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
}

ScheduleService::ScheduleService(FileSystem& files, std::string schedulePath, Clock& clock,
                                 SystemPower& power, ServiceLog& log)
    : ScheduleService(Setup{files, std::move(schedulePath), clock, power, log, {}}) {}

void ScheduleService::Tick() {
    try {
        CarryOut();
    } catch (const std::exception& e) {
        log_.Error(std::string("The schedule could not be carried out: ") + e.what());
    } catch (...) {
        log_.Error("The schedule could not be carried out: an unknown error");
    }
}

void ScheduleService::CarryOut() {
    const WallMinutes::Tick tick =
        minutes_.Next(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
    if (tick.due.empty() && tick.slept.empty()) return;
    if (!machine_) {
        // The window asks before a forced action and logs off politely;
        // while one runs, it carries the user's schedule out.
        const bool windowRuns = store_.WindowRunning();
        if (windowRuns != leftToWindow_) {
            leftToWindow_ = windowRuns;
            log_.Info(windowRuns
                          ? "A Tolvane window runs the schedule; the service leaves it to it."
                          : "No Tolvane window runs the schedule; the service carries it out.");
        }
        if (windowRuns) return;
    }
    const auto bytes = ReadSchedule();
    const std::vector<SpentLine> spent =
        bytes && machine_ ? SpentLines(*bytes) : std::vector<SpentLine>{};
    const auto hasRun = [&](const std::string& line) {
        return std::any_of(spent.begin(), spent.end(),
                           [&](const SpentLine& s) { return s.line == line; });
    };
    if (machine_) Announce(bytes, spent);
    if (!bytes) return;  // no schedule yet, or one that is not read

    std::vector<ScheduleStore::DueRun> due;
    std::vector<std::optional<Action>> actions;
    DueLineWalk now(tick.due);
    DueLineWalk asleep(tick.slept);
    for (const std::string& line : ScheduleFileLines(*bytes)) {
        if (std::optional<DueLine> found = now.Check(line)) {
            if (found->oneTime && hasRun(line)) {
                Note(kRecordSkipped, "Not run, a one-time line that has run already: " + line, line);
                continue;
            }
            due.push_back({line, found->minute, found->oneTime});
            actions.push_back(found->action);
        } else if (!now.Found(line) && asleep.Check(line)) {
            Note(kRecordSkipped, "Not run, its minute passed while the machine was asleep: " + line,
                 line);
        }
    }
    Problem("");
    if (due.empty()) return;
    const std::vector<WallMinute> machineActs = MachineMinutes(due);

    // A holder of the lock may keep it for as long as the lines' minute
    // lasts; past that they are not run late. A stop ends the wait at once.
    WallMinute newest = due.front().minute;
    for (const auto& run : due) newest = std::max(newest, run.minute);
    // The machine's file is never rewritten: its one-time lines are claimed
    // for their minute like the others, and remembered in the done record.
    std::vector<ScheduleStore::DueRun> claimed = due;
    if (machine_) {
        for (auto& run : claimed) run.oneTime = false;
    }
    const std::vector<ScheduleStore::Claimed> claims = store_.ClaimRuns(
        claimed,
        [&] { return !stopping_() && WallMinuteOf(clock_.Now()) <= newest; },
        [](const std::string& found, const std::string& line) {
            // Only the line's own bytes go: the rest of a file kept by hand
            // stays exactly as its writer left it.
            std::optional<std::string> without = RemoveScheduleLine(found, line);
            if (*without == found) without.reset();
            return without;
        });
    // What a stop left unclaimed is not worth a word; what was claimed runs.
    const bool stopped = stopping_();
    for (std::size_t i = 0; i < due.size(); ++i) {
        if (stopped && claims[i].claim == ScheduleStore::Claim::Failed) continue;
        const std::string& line = due[i].line;
        if (!Claimed(line, claims[i])) continue;
        if (std::find(machineActs.begin(), machineActs.end(), due[i].minute) != machineActs.end()) {
            Note(kRecordSkipped, MachineActsRecord(line), line);
            continue;
        }
        if (machine_ && due[i].oneTime && !RecordSpent(spent, line, due[i].minute)) continue;
        Run(line, actions[i]);
    }
}

std::optional<std::string> ScheduleService::ReadSchedule() {
    // The machine's schedule runs with every right: what others could have
    // changed is not taken in, and neither is a state folder they could.
    std::string refusal;
    if (machine_ && machine_->adminOnly) {
        refusal = machine_->adminOnly->WhyOthersCanChange(store_.Path());
        const std::string state = machine_->adminOnly->WhyOthersCanChange(machine_->stateFolder);
        if (refusal.empty() && !state.empty()) refusal = "its state folder: " + state;
    }
    FileRead read = store_.Read();
    switch (read.outcome) {
        case FileRead::Outcome::Read:
            if (!refusal.empty()) {
                Problem("The machine's schedule is refused, and nothing in it is carried out: " +
                            store_.Path() + " (" + refusal + ")",
                        true);
                return std::nullopt;
            }
            return std::move(read.bytes);
        case FileRead::Outcome::Missing:
            break;
        case FileRead::Outcome::TooLarge:
            Problem("The schedule file is larger than " +
                    std::to_string(kServiceMaxScheduleBytes / (1024 * 1024)) +
                    " MiB; it is not read, and nothing in it is carried out: " + store_.Path());
            break;
        case FileRead::Outcome::Unreadable:
            // A folder, a pipe or a device in the file's place is a state the
            // user can mend: told once, looked at again at every tick.
            Problem("The schedule cannot be read, and nothing in it is carried out: " +
                    store_.Path() + " (" + read.reason + ")");
            break;
    }
    return std::nullopt;
}

void ScheduleService::Problem(const std::string& text, bool refused) {
    if (text == problem_) return;
    problem_ = text;
    if (text.empty()) return;
    if (refused) {
        Note(kRecordRefused, text, "", true);
    } else {
        log_.Error(text);
    }
}

void ScheduleService::Note(std::string_view result, const std::string& message,
                           const std::string& line, bool error) {
    log_.Record({message, line, store_.Path(), user_, std::string(result), error});
}

bool ScheduleService::Claimed(const std::string& line, const ScheduleStore::Claimed& claimed) {
    switch (claimed.claim) {
        case ScheduleStore::Claim::Run:
            if (!claimed.problem.empty()) log_.Error("Run, but " + claimed.problem + ": " + line);
            return true;
        case ScheduleStore::Claim::AlreadyRan:
            Note(kRecordSkipped, "Not run, already carried out at this minute: " + line, line);
            return false;
        case ScheduleStore::Claim::Gone:
            Note(kRecordSkipped, "Not run, already taken out of the schedule: " + line, line);
            return false;
        case ScheduleStore::Claim::Failed:
            Note(kRecordFailed, "Not run, " + claimed.problem + ": " + line, line, true);
            return false;
    }
    return false;
}

void ScheduleService::Run(const std::string& line, const std::optional<Action>& action) {
    if (!action) {
        Note(kRecordSkipped, NothingToDoRecord(line), line);
        return;
    }
    // The announcement was a warning only; the action itself must meet the
    // machine's inhibitors as a plain request does.
    if (action->what == ActionKind::Reboot || action->what == ActionKind::ShutDown) {
        TakeBackAnnouncement();
    }
    std::string reason;
    const bool done = RunAction(power_, *action, reason);
    if (done) {
        Note(kRecordDone, RequestedRecord(*action, line), line);
    } else {
        Note(kRecordFailed, FailedRecord(*action, line, reason), line, true);
    }
}

std::vector<SpentLine> ScheduleService::SpentLines(const std::string& bytes) {
    const FileRead read = files_.ReadFile(donePath_, kMachineScheduleMaxBytes);
    if (read.outcome != FileRead::Outcome::Read) return {};
    const std::vector<std::string> lines = ScheduleFileLines(bytes);
    std::vector<SpentLine> spent;
    for (SpentLine& entry : ReadDoneRecord(read.bytes)) {
        if (std::find(lines.begin(), lines.end(), entry.line) != lines.end()) {
            spent.push_back(std::move(entry));
        }
    }
    // Taken out of the schedule, a line is forgotten: added again, it runs again.
    if (DoneRecordBytes(spent) != read.bytes) {
        const WriteResult written = ReplaceFileContents(files_, donePath_, DoneRecordBytes(spent));
        if (!written.ok) log_.Error("The record of one-time lines that ran could not be written: " +
                                    donePath_ + " (" + written.reason + ")");
    }
    return spent;
}

bool ScheduleService::RecordSpent(std::vector<SpentLine> spent, const std::string& line,
                                  WallMinute minute) {
    spent.push_back({minute, line});
    const WriteResult written = ReplaceFileContents(files_, donePath_, DoneRecordBytes(spent));
    if (written.ok) return true;
    // Unrecorded, it would run again the next time its minute comes.
    Note(kRecordFailed,
         "Not run, the record of one-time lines that ran could not be written (" + donePath_ +
             ": " + written.reason + "): " + line,
         line, true);
    return false;
}

std::vector<WallMinute> ScheduleService::MachineMinutes(
    const std::vector<ScheduleStore::DueRun>& due) {
    if (!beside_) return {};
    std::vector<WallMinute> minutes;
    for (const auto& run : due) minutes.push_back(run.minute);
    return MachineActingMinutes(
        files_, {beside_->schedulePath, beside_->stateFolder, beside_->adminOnly}, minutes);
}

void ScheduleService::Announce(const std::optional<std::string>& bytes,
                               const std::vector<SpentLine>& spent) {
    std::optional<std::pair<WallMinute, bool>> next;
    const LocalTime now = clock_.Now();
    const WallMinute thisMinute = WallMinuteOf(now);
    if (bytes && machine_->noticeMinutes > 0) {
        std::vector<LocalTime> ahead;
        for (int i = 1; i <= machine_->noticeMinutes; ++i) {
            ahead.push_back(StartOfWallMinute(thisMinute + i));
        }
        DueLineWalk walk(std::move(ahead));
        for (const std::string& line : ScheduleFileLines(*bytes)) {
            const std::optional<DueLine> found = walk.Check(line);
            if (!found || !found->action) continue;
            const ActionKind what = found->action->what;
            if (what != ActionKind::Reboot && what != ActionKind::ShutDown) continue;
            const bool ran = std::any_of(spent.begin(), spent.end(),
                                         [&](const SpentLine& s) { return s.line == line; });
            if (found->oneTime && ran) continue;
            if (!next || found->minute < next->first) {
                next = std::make_pair(found->minute, what == ActionKind::Reboot);
            }
        }
    }
    if (next == announced_) return;
    if (!next) {
        TakeBackAnnouncement();
        return;
    }
    const double seconds =
        static_cast<double>(next->first - thisMinute) * 60.0 - std::fmod(now.secondsSinceMidnight, 60.0);
    std::string reason;
    if (power_.AnnounceEnd(next->second, seconds, reason)) {
        log_.Info(std::string("Announced the machine's ") + (next->second ? "reboot" : "shutdown") +
                  " in " + std::to_string(next->first - thisMinute) + " minutes");
    } else {
        log_.Error("The machine's coming " + std::string(next->second ? "reboot" : "shutdown") +
                   " could not be announced: " + reason);
    }
    // Told once, whether or not the system took it: no word at every tick.
    announced_ = next;
}

void ScheduleService::TakeBackAnnouncement() {
    if (!announced_) return;
    announced_.reset();
    std::string reason;
    if (!power_.CancelAnnouncement(reason)) {
        log_.Error("The machine's announced end could not be taken back: " + reason);
    }
}

}  // namespace tolvane
