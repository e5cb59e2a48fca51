#include "power/action.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tolvane {

namespace {

constexpr std::array<ActionFacts, 4> kActions{{
    {ActionKind::Reboot, "Reboot", "reboot", "Reboot", "reboot", true, true,
     [](SystemPower& p, bool force, std::string& reason) { return p.Reboot(force, reason); }},
    {ActionKind::LogOff, "LogOff", "logoff", "Log off", "log-off", true, true,
     [](SystemPower& p, bool force, std::string& reason) { return p.LogOff(force, reason); }},
    {ActionKind::ShutDown, "ShutDown", "shutdown", "Shut down", "shutdown", true, true,
     [](SystemPower& p, bool force, std::string& reason) { return p.ShutDown(force, reason); }},
    {ActionKind::Lock, "LockWorkStation", "lock", "Lock", "lock", false, false,
     [](SystemPower& p, bool, std::string& reason) { return p.Lock(reason); }},
}};

}  // namespace

std::span<const ActionFacts> AllActions() {
    return kActions;
}

const ActionFacts& FactsOf(ActionKind what) {
    return *std::find_if(kActions.begin(), kActions.end(),
                         [what](const ActionFacts& facts) { return facts.what == what; });
}

Action MakeAction(ActionKind what, bool force) {
    return {what, force && FactsOf(what).forcible};
}

bool RunAction(SystemPower& power, Action action, std::string& reason) {
    const ActionFacts& facts = FactsOf(action.what);
    return facts.request(power, action.force && facts.forcible, reason);
}

std::string NoticeName(Action action) {
    std::string name(FactsOf(action.what).noticeWord);
    if (!action.force) return name;
    name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return "Forced " + name;
}

std::string LoggedName(Action action) {
    const std::string word(FactsOf(action.what).loggedWord);
    return action.force ? "forced " + word : word;
}

}  // namespace tolvane
