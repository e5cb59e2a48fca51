#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/system_power.h"

namespace tolvane {

// What the program can do: to the machine (reboot, shut down) or to its
// user's session (log off, lock).
enum class ActionKind { Reboot, LogOff, ShutDown, Lock };

// An action as every part of the program speaks of it. Forced: applications
// get no say. Made through MakeAction, a lock is never forced: it has
// nothing to force.
struct Action {
    ActionKind what = ActionKind::Reboot;
    bool force = false;
    bool operator==(const Action&) const = default;
};

// Everything the program writes, reads or asks for one kind of action.
struct ActionFacts {
    ActionKind what;
    // As a schedule line stores it ("Reboot", "LockWorkStation"); lower-cased,
    // the word a line's action piece is searched for.
    std::string_view lineWord;
    // The command line's option, without its "/" or "--".
    std::string_view optionWord;
    // How a notice names it ("Shut down"), and the service's log ("shutdown").
    std::string_view noticeWord;
    std::string_view loggedWord;
    bool forcible;
    // Whether notices warn of it beforehand: a lock loses nothing.
    bool announced;
    // The platform's request; `force` is false for what is not forcible.
    bool (*request)(SystemPower& power, bool force, std::string& reason);
};

// Every kind, in the order a line's action piece is searched: the first
// word found decides.
std::span<const ActionFacts> AllActions();
const ActionFacts& FactsOf(ActionKind what);

Action MakeAction(ActionKind what, bool force);

// Requests the action of the platform: the one place where an action, a
// line's or a button's, becomes a request. Returns false, with the platform's
// words in `reason`, when it was refused at once.
bool RunAction(SystemPower& power, Action action, std::string& reason);

// "Forced reboot" / "Reboot", as a notice names it.
std::string NoticeName(Action action);
// "forced reboot" / "reboot", as the service's log names it.
std::string LoggedName(Action action);

}  // namespace tolvane
