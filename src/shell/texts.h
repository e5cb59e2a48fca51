#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "power/action.h"

// The program's own words: titles, messages and the maker's addresses, each
// written once.
namespace tolvane::texts {

// The maker and the author, named once for the About box, the help command and
// the command-line help.
inline constexpr std::string_view kMakerWebAddress = "http://www.quarnel.com";
inline constexpr std::string_view kHelpPageAddress = "http://www.quarnel.com/tolvane.htm";
inline constexpr std::string_view kAuthorName = "Ilse Quarnel";
inline constexpr std::string_view kSupportEmail = "support@quarnel.com";

inline constexpr std::string_view kCrLf = "\r\n";

inline constexpr std::string_view kApplicationName = "Tolvane 2.1";  // the settings' root
inline constexpr std::string_view kWindowTitle = "Tolvane 2.1 - Quarnel ";
inline constexpr std::string_view kTrayTip = "Tolvane 2.1 - Quarnel";
inline constexpr std::string_view kAboutTitle = "Tolvane 2.1 - Quarnel";
inline constexpr std::string_view kServiceQuestionTitle = "Tolvane - Quarnel";
inline constexpr std::string_view kMessageTitle = "Tolvane";

// The schedule editor.
inline constexpr std::string_view kNoActionChosen =
    "Plese select reboot, logoff, shutdown as an option";
inline constexpr std::string_view kNoRepeatChosen =
    "Please select only once or repeat option for the reboots";
inline constexpr std::string_view kNothingSelected =
    "Please select the item you would like to remove";
inline constexpr std::string_view kAddedFirstLine =
    "The reboot time has been set, your computer will be preform at ";
inline constexpr std::string_view kAddedLastLine =
    "Note* Tolvane 2.1 should be running at that time for the action to be taken.";

// The three lines confirming a new entry: its time, then action and repeat.
std::string AddedConfirmation(std::string_view hour, std::string_view minute, std::string_view amPm,
                              std::string_view actionAndRepeat);

// Said after an edit whose schedule file could not be written.
std::string ScheduleNotSaved(std::string_view path, std::string_view reason);
// The one choice a notice before a scheduled action offers.
inline constexpr std::string_view kSkipThisTime = "Skip this time";
// A notice `minutesBefore` a scheduled action at `time` ("10:30 PM").
std::string NoticeText(Action action, std::string_view time, int minutesBefore);
// The notice before a line of the machine's schedule: no skip is offered.
std::string MachineNoticeText(Action action, std::string_view time, int minutesBefore);
// The notice asked as a question: its text, then whether to skip this time.
// What a notice says once its run was skipped: "Skipped: reboot at 10:30 PM".
std::string SkippedNotice(Action action, std::string_view time);
std::string NoticeQuestion(std::string_view noticeText);
// Said when the system refused an exit or lock request, or nobody carried it out.
std::string RequestFailed(std::string_view what);
// Said when the service's install or remove script ended without doing its work.
// `errorOutput`: the end of what the script wrote to its standard error. Its
// last line holding more than blanks, made safe to show and cut to
// kShownErrorLineBytes, follows `how` on a line of its own.
std::string ServiceScriptFailed(std::string_view script, std::string_view how,
                                std::string_view errorOutput = {});
inline constexpr std::size_t kShownErrorLineBytes = 300;
// Said once at start when the schedule file stands but cannot be read.
std::string ScheduleUnreadable(std::string_view path, std::string_view reason);

// The ten lines shown for a command line that is no option.
std::string InvalidOption();

// The five lines of the About box.
std::string AboutText();

// Set Service.
inline constexpr std::string_view kInstallQuestion =
    "The service is currently not installed. Would you like to install the server for Tolvane "
    "now?";
inline constexpr std::string_view kRemoveQuestion =
    "The service is already installed. Would you like to remove the service for Tolvane now?";
inline constexpr std::string_view kRemoved = "The Service has been removed.";
std::string Installed();
std::string CouldNotStart(std::string_view file, std::string_view reason);

// Help.
std::string CouldNotOpenHelp();

}  // namespace tolvane::texts
