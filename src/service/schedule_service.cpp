#include "service/schedule_service.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "power/action.h"
#include "schedule/due_lines.h"
#include "schedule/schedule_file.h"
#include "schedule/text.h"

namespace tolvane {

ScheduleService::ScheduleService(FileSystem& files, std::string schedulePath, Clock& clock,
                                 SystemPower& power, ServiceLog& log)
    : store_(files, std::move(schedulePath), kServiceMaxScheduleBytes),
      clock_(clock),
      power_(power),
      log_(log) {
    // A machine the service rebooted at a line's minute can be back within
    // that minute; the line must not reboot it again.
    minutes_.StartAfter(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
}

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
    // The window asks before a forced action and logs off politely; while
    // one runs, it carries the schedule out.
    const bool windowRuns = store_.WindowRunning();
    if (windowRuns != leftToWindow_) {
        leftToWindow_ = windowRuns;
        log_.Info(windowRuns ? "A Tolvane window runs the schedule; the service leaves it to it."
                             : "No Tolvane window runs the schedule; the service carries it out.");
    }
    if (windowRuns) return;
    const auto bytes = ReadSchedule();
    if (!bytes) return;  // no schedule yet, or one that is not read

    std::vector<ScheduleStore::DueRun> due;
    std::vector<std::optional<Action>> actions;
    DueLineWalk now(tick.due);
    DueLineWalk asleep(tick.slept);
    for (const std::string& line : ScheduleFileLines(*bytes)) {
        if (std::optional<DueLine> found = now.Check(line)) {
            due.push_back({line, found->minute, found->oneTime});
            actions.push_back(found->action);
        } else if (!now.Found(line) && asleep.Check(line)) {
            log_.Info("Not run, its minute passed while the machine was asleep: " + line);
        }
    }
    Problem("");
    if (due.empty()) return;

    // A holder of the lock may keep it for as long as the lines' minute
    // lasts; past that they are not run late. A stop ends the wait at once.
    WallMinute newest = due.front().minute;
    for (const auto& run : due) newest = std::max(newest, run.minute);
    const std::vector<ScheduleStore::Claimed> claims = store_.ClaimRuns(
        due,
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
        if (Claimed(due[i].line, claims[i])) Run(due[i].line, actions[i]);
    }
}

std::optional<std::string> ScheduleService::ReadSchedule() {
    FileRead read = store_.Read();
    switch (read.outcome) {
        case FileRead::Outcome::Read:
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

void ScheduleService::Problem(const std::string& text) {
    if (text == problem_) return;
    problem_ = text;
    if (!text.empty()) log_.Error(text);
}

bool ScheduleService::Claimed(const std::string& line, const ScheduleStore::Claimed& claimed) {
    switch (claimed.claim) {
        case ScheduleStore::Claim::Run:
            if (!claimed.problem.empty()) log_.Error("Run, but " + claimed.problem + ": " + line);
            return true;
        case ScheduleStore::Claim::AlreadyRan:
            log_.Info("Not run, already carried out at this minute: " + line);
            return false;
        case ScheduleStore::Claim::Gone:
            log_.Info("Not run, already taken out of the schedule: " + line);
            return false;
        case ScheduleStore::Claim::Failed:
            log_.Error("Not run, " + claimed.problem + ": " + line);
            return false;
    }
    return false;
}

void ScheduleService::Run(const std::string& line, const std::optional<Action>& action) {
    if (!action) {
        log_.Info("Nothing to do for: " + line);
        return;
    }
    std::string reason;
    const bool done = RunAction(power_, *action, reason);
    const std::string what = LoggedName(*action);
    if (done) {
        log_.Info("Requested " + what + " for: " + line);
    } else {
        log_.Error("The " + what + " for \"" + line + "\" failed: " + reason);
    }
}

}  // namespace tolvane
