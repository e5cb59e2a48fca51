#include "schedule/schedule_service.h"

#include <exception>
#include <set>

#include "schedule/schedule_file.h"
#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/text.h"

namespace tolvane {

std::string RemoveScheduleLine(std::string_view bytes, std::string_view line) {
    constexpr std::string_view kLineEnd = "\r\n";
    const auto pieces = text::Split(bytes, kLineEnd);
    std::string kept;
    kept.reserve(bytes.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();  // never read as a line
        if (!last && text::TrimSpaces(pieces[i]) == line) continue;
        kept += pieces[i];
        if (!last) kept += kLineEnd;
    }
    return kept;
}

ScheduleService::ScheduleService(FileSystem& files, std::string schedulePath, Clock& clock,
                                 SystemPower& power, ServiceLog& log)
    : files_(files), path_(std::move(schedulePath)), clock_(clock), power_(power), log_(log) {
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
    const auto bytes = ReadSchedule();
    if (!bytes) return;         // no schedule yet, or one that is not read
    std::set<std::string> ran;  // copies of one line act once
    for (const std::string& line : ScheduleFileLines(*bytes)) {
        const auto parts = SplitScheduleLine(line);
        if (!IsDueAtAny(parts, tick.due)) {
            if (IsDueAtAny(parts, tick.slept)) {
                log_.Info("Not run, its minute passed while the machine was asleep: " + line);
            }
            continue;
        }
        if (!ran.insert(line).second) continue;
        if (IsOneTime(parts.repeatPiece) && !TakeOutOfFile(line)) continue;
        Run(line, parts.actionPiece);
    }
    Problem("");
}

std::optional<std::string> ScheduleService::ReadSchedule() {
    bool tooLarge = false;
    auto bytes = files_.ReadFileUpTo(path_, kServiceMaxScheduleBytes, tooLarge);
    if (tooLarge) {
        Problem("The schedule file is larger than " +
                std::to_string(kServiceMaxScheduleBytes / (1024 * 1024)) +
                " MiB; it is not read, and nothing in it is carried out: " + path_);
    }
    return bytes;
}

void ScheduleService::Problem(const std::string& text) {
    if (text == problem_) return;
    problem_ = text;
    if (!text.empty()) log_.Error(text);
}

bool ScheduleService::TakeOutOfFile(const std::string& line) {
    // Read again: the window may have rewritten the file since the tick began.
    const auto current = ReadSchedule();
    if (!current) {
        log_.Error("Not run, the schedule file could not be read again: " + line);
        return false;
    }
    const std::string without = RemoveScheduleLine(*current, line);
    if (without == *current) {
        log_.Info("Not run, already taken out of the schedule: " + line);
        return false;
    }
    const WriteResult written = ReplaceFileContents(files_, path_, without);
    if (!written) {
        log_.Error("Not run, the one-time line could not be taken out of " + path_ + " (" +
                   written.reason + "): " + line);
        return false;
    }
    return true;
}

void ScheduleService::Run(const std::string& line, std::string_view actionPiece) {
    const PowerAction action = ChooseAction(actionPiece);
    const bool force = action == PowerAction::RebootForced ||
                       action == PowerAction::ShutDownForced || action == PowerAction::LogOffForced;
    std::string reason;
    bool done = false;
    std::string what;
    switch (action) {
        case PowerAction::Reboot:
        case PowerAction::RebootForced:
            what = "reboot";
            done = power_.Reboot(force, reason);
            break;
        case PowerAction::ShutDown:
        case PowerAction::ShutDownForced:
            what = "shutdown";
            done = power_.ShutDown(force, reason);
            break;
        case PowerAction::LogOff:
        case PowerAction::LogOffForced:
            what = "log-off";
            done = power_.LogOff(force, reason);
            break;
        case PowerAction::Lock:
            what = "lock";
            done = power_.Lock(reason);
            break;
        case PowerAction::None:
            log_.Info("Nothing to do for: " + line);
            return;
    }
    if (force) what = "forced " + what;
    if (done) {
        log_.Info("Requested " + what + " for: " + line);
    } else {
        log_.Error("The " + what + " for \"" + line + "\" failed: " + reason);
    }
}

}  // namespace tolvane
