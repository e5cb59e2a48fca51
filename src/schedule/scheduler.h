#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/action_journal.h"

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/system_power.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// Finds the schedule's due lines at each timer tick and carries them out.
class Scheduler {
  public:
    // Told the platform's words when a request is refused at once.
    using Refused = std::function<void(const std::string& reason)>;

    Scheduler(ScheduleList& list, ScheduleFile& file, SystemPower& power, Clock& clock,
              EventPump& pump, Refused refused = {})
        : list_(list),
          file_(file),
          power_(power),
          clock_(clock),
          pump_(pump),
          refused_(std::move(refused)) {}

    // Walks the list once; every line due at a minute this tick stands for
    // runs, in list order: at most once per minute of the wall clock, however
    // many ticks fall in it and whatever the clock does between them, and
    // only when no other process of the schedule ran it at that minute. A
    // one-time line (every copy of it) leaves the file and the list before
    // its action is requested.
    void RunDueLines();

    // Every line run, failed or not run becomes a record in `journal`,
    // naming `user` as whom it acted for; none without one.
    void RecordTo(ActionJournal* journal, std::string user) {
        journal_ = journal;
        user_ = std::move(user);
    }
    // The minutes, among those given, at which the machine's schedule acts.
    // There the machine's service acts for everybody: the user's lines due
    // then are claimed as usual and then not run.
    using MachineActs = std::function<std::vector<WallMinute>(const std::vector<WallMinute>&)>;
    void GiveWayTo(MachineActs machineActs) { machineActs_ = std::move(machineActs); }

  private:
    void Note(std::string_view result, const std::string& message, const std::string& line,
              bool error = false);

    ScheduleList& list_;
    ScheduleFile& file_;
    SystemPower& power_;
    Clock& clock_;
    EventPump& pump_;
    Refused refused_;
    WallMinutes minutes_;
    ActionJournal* journal_ = nullptr;
    std::string user_;
    MachineActs machineActs_;
};

}  // namespace tolvane
