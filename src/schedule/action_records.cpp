#include "schedule/action_records.h"

namespace tolvane {

std::string RequestedRecord(Action action, std::string_view line) {
    std::string text = "Requested " + LoggedName(action) + " for: ";
    return text += line;
}

std::string FailedRecord(Action action, std::string_view line, std::string_view reason) {
    std::string text = "The " + LoggedName(action) + " for \"";
    ((text += line) += "\" failed: ") += reason;
    return text;
}

std::string MachineActsRecord(std::string_view line) {
    std::string text = "Not run, the machine's schedule acts at this minute: ";
    return text += line;
}

std::string NothingToDoRecord(std::string_view line) {
    std::string text = "Nothing to do for: ";
    return text += line;
}

}  // namespace tolvane
