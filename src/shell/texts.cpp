#include "shell/texts.h"

#include "schedule/log_text.h"
#include "schedule/text.h"

namespace tolvane::texts {

namespace {
// Each piece followed by CR LF, the last one too.
std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (auto line : lines) {
        text += line;
        text += kCrLf;
    }
    return text;
}
// "<lead> <file>:", the platform's reason, a blank line, then what it means.
std::string FileProblem(std::string_view lead, std::string_view file, std::string_view reason,
                        std::string_view consequence) {
    std::string text(lead);
    ((text += " ") += file) += ":";
    (text += kCrLf) += reason;
    (text += kCrLf) += kCrLf;
    return text += consequence;
}
}  // namespace

std::string AddedConfirmation(std::string_view hour, std::string_view minute, std::string_view amPm,
                              std::string_view actionAndRepeat) {
    std::string text(kAddedFirstLine);
    text += kCrLf;
    ((((text += hour) += ":") += minute) += " ") += amPm;
    (text += " - ") += actionAndRepeat;
    text += kCrLf;
    text += kAddedLastLine;
    return text;
}

std::string ScheduleNotSaved(std::string_view path, std::string_view reason) {
    return FileProblem("The schedule could not be saved to", path, reason,
                       "The list shows the change, but it will be lost when Tolvane ends.");
}

std::string NoticeText(Action action, std::string_view time, int minutesBefore) {
    std::string what = NoticeName(action);
    (what += " at ") += time;
    what += minutesBefore == 1 ? ", in 1 minute."
                               : ", in " + std::to_string(minutesBefore) + " minutes.";
    return what;
}

std::string MachineNoticeText(Action action, std::string_view time, int minutesBefore) {
    std::string text = NoticeText(action, time, minutesBefore);
    text.pop_back();  // its full stop
    return text += ", scheduled by your administrator.";
}

std::string SkippedNotice(Action action, std::string_view time) {
    std::string text = "Skipped: " + text::ToLower(NoticeName(action));
    (text += " at ") += time;
    return text;
}

std::string NoticeQuestion(std::string_view noticeText) {
    std::string text(noticeText);
    ((text += kCrLf) += kCrLf) += kSkipThisTime;
    return text += "?";
}

std::string RequestFailed(std::string_view what) {
    std::string text = "The request was not carried out:";
    (text += kCrLf) += what;
    return text;
}

namespace {
// The last line of `output` that holds more than blanks, trimmed of them.
std::string_view LastNonBlankLine(std::string_view output) {
    constexpr std::string_view kBlanks = " \t\r";
    std::size_t end = output.size();
    while (end > 0) {
        const std::size_t newline = output.rfind('\n', end - 1);
        const std::size_t from = newline == std::string_view::npos ? 0 : newline + 1;
        const std::string_view line = output.substr(from, end - from);
        const std::size_t first = line.find_first_not_of(kBlanks);
        if (first != std::string_view::npos) {
            return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
        }
        if (newline == std::string_view::npos) break;
        end = newline;
    }
    return {};
}

// A script's words, shown in a message box: one line, no controls, and short.
std::string ShownErrorLine(std::string_view errorOutput) {
    std::string line = EscapeForLog(LastNonBlankLine(errorOutput), LogBytes::Utf8);
    if (line.size() <= kShownErrorLineBytes) return line;
    std::size_t cut = kShownErrorLineBytes - 3;
    // Never half a UTF-8 sequence: back to the start of the one cut through.
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
    return line += "...";
}
}  // namespace

std::string ServiceScriptFailed(std::string_view script, std::string_view how,
                                std::string_view errorOutput) {
    std::string reason(how);
    const std::string said = ShownErrorLine(errorOutput);
    if (!said.empty()) (reason += kCrLf) += said;
    return FileProblem("The service script did not finish its work", script, reason,
                       "The service setting was not changed.");
}

std::string ScheduleUnreadable(std::string_view path, std::string_view reason) {
    return FileProblem("The schedule could not be read from", path, reason,
                       "The file is left as it is, and changes to the schedule are not saved "
                       "until it can be read.");
}

std::string InvalidOption() {
    const std::string moreInformation =
        "For more information check " + std::string(kMakerWebAddress) + "  ";
    return Lines({"Invaild Option!", "Acceptable options are as follows", "", " /reboot ",
                  " /shutdown ", " /logoff ", " /lock ",
                  " /force (This option can be used with an other option) ", "  ",
                  moreInformation});
}

std::string AboutText() {
    const std::string author = "Written By: " + std::string(kAuthorName);
    const std::string email = "Email: " + std::string(kSupportEmail);
    const std::string web = "Web Site: " + std::string(kMakerWebAddress);
    return Lines({"Tolvane 2.1", "", author, email, web});
}

std::string Installed() {
    std::string text =
        "The Service has been installed. You can modify the service options in the Control "
        "Pannel -> Administrative Tools -> Services ";
    text += kCrLf;
    text += "The service name is Tolvane";
    return text;
}

std::string CouldNotStart(std::string_view file, std::string_view reason) {
    return FileProblem("Could not start", file, reason, "Nothing was changed.");
}

std::string CouldNotOpenHelp() {
    std::string text = "The help page could not be opened. You can read it at";
    text += kCrLf;
    text += kHelpPageAddress;
    return text;
}

}  // namespace tolvane::texts
