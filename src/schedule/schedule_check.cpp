#include "schedule/schedule_check.h"

#include <algorithm>
#include <optional>

#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"
#include "schedule/text.h"

namespace tolvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kQuotedValueBytes = 40;

// The hours and minutes a clock can read: every value the matching compares
// a line with comes from one of these.
constexpr int kHours = 24;
constexpr int kMinutes = 60;
constexpr int kWeekdays = 7;

std::string Quoted(std::string_view value) {
    if (value.size() > kQuotedValueBytes) {
        return "\"" + std::string(value.substr(0, kQuotedValueBytes)) + "...\"";
    }
    return "\"" + std::string(value) + "\"";
}

// The clock's hours whose 12-hour text is `hour`, and the minute whose text
// is `minute`: the same texts the matching makes of the clock.
std::optional<int> HourOf(std::string_view hour, bool afternoon) {
    for (int h = afternoon ? 12 : 0; h < (afternoon ? kHours : 12); ++h) {
        if (TwelveHourText(h) == hour) return h;
    }
    return std::nullopt;
}

bool IsHourText(std::string_view hour) {
    return HourOf(hour, false) || HourOf(hour, true);
}

std::optional<int> MinuteOf(std::string_view minute) {
    for (int m = 0; m < kMinutes; ++m) {
        if (MinuteText(m) == minute) return m;
    }
    return std::nullopt;
}

// The weekday a day piece names, 0 for every day; nothing for no day at all.
std::optional<int> WeekdayOf(std::string_view day) {
    const std::string upper = text::ToUpper(day);
    if (upper == "EVERY DAY") return 0;
    for (int w = 0; w < kWeekdays; ++w) {
        if (WeekdayNameUpper(w) == upper) return w;
    }
    return std::nullopt;
}

std::string Joined(const std::vector<std::string>& whys) {
    std::string joined;
    for (const std::string& why : whys) {
        if (!joined.empty()) joined += "; ";
        joined += why;
    }
    return joined;
}

// Every part of the line that no reading of the clock can match, or that
// names nothing to do. Each reason is a certainty: the matching compares the
// part with exactly the texts tried here.
std::vector<std::string> WhyNeverRuns(const ScheduleLineParts& parts) {
    std::vector<std::string> whys;
    if (parts.dayPiece.empty()) {
        whys.push_back("no day (a line is time-action-repeat-day)");
    } else if (!WeekdayOf(parts.dayPiece)) {
        whys.push_back("no such day: " + Quoted(parts.dayPiece) +
                       " (Every Day, or Sunday to Saturday)");
    }
    if (parts.hour.empty()) {
        whys.push_back("no hour");
    } else if (!IsHourText(parts.hour)) {
        std::string why = "no such hour: " + Quoted(parts.hour) + " (1 to 12, no leading zero)";
        if (parts.hour.starts_with(kByteOrderMark)) {
            why += "; it starts with a UTF-8 byte order mark (save the file without one)";
        }
        whys.push_back(std::move(why));
    }
    if (parts.minute.empty()) {
        whys.push_back("no minute");
    } else if (!MinuteOf(parts.minute)) {
        whys.push_back("no such minute: " + Quoted(parts.minute) + " (00 to 59, two digits)");
    }
    if (parts.amPm.empty()) {
        whys.push_back("no AM/PM (the time is hour:minute AM/PM)");
    } else if (parts.amPm != "AM" && parts.amPm != "PM") {
        whys.push_back("no such AM/PM: " + Quoted(parts.amPm) + " (AM or PM, in capitals)");
    }
    if (!ChooseAction(parts.actionPiece)) {
        whys.push_back((parts.actionPiece.empty() ? std::string("no action")
                                                  : "no action in " + Quoted(parts.actionPiece)) +
                       " (Reboot, LogOff, ShutDown or LockWorkStation)");
    }
    if (!whys.empty()) return whys;

    // Every part can match: the matching itself must then find the line due
    // at the minute they name. Should it ever not, the line is still
    // reported, never passed as one that runs.
    const bool afternoon = parts.amPm == "PM";
    const int weekday = *WeekdayOf(parts.dayPiece);
    const LocalTime minute = LocalTime::Of(
        2026, 12, 6 + weekday, weekday, *HourOf(parts.hour, afternoon), *MinuteOf(parts.minute), 0);
    if (!IsDue(parts, minute)) whys.push_back("never due");
    return whys;
}

class LineCounter {
  public:
    explicit LineCounter(std::string_view bytes) : bytes_(bytes) {}
    // The editor's line number of the byte at `offset`; offsets only grow.
    int At(std::size_t offset) {
        for (; counted_ < offset; ++counted_) {
            if (bytes_[counted_] == '\n') ++line_;
        }
        return line_;
    }

  private:
    std::string_view bytes_;
    std::size_t counted_ = 0;
    int line_ = 1;
};

// The text after the last CR LF, which the service never reads: each of its
// lines with something on it (an editor's lines, ended by LF) is lost.
void CheckUnreadTail(std::string_view tail, std::size_t offset, LineCounter& lines,
                     std::vector<LineProblem>& problems) {
    std::size_t start = 0;
    for (const std::string_view piece : text::Split(tail, "\n")) {
        const bool endsWithLf = start + piece.size() < tail.size();
        std::string_view line = piece;
        if (endsWithLf && line.ends_with('\r')) line.remove_suffix(1);
        line = text::TrimSpaces(line);
        if (!line.empty()) {
            problems.push_back(
                {lines.At(offset + start), std::string(line),
                 endsWithLf ? "never read: it ends with LF alone, and only lines ended by CR LF "
                              "are read"
                            : "never read: no CR LF ends it, and only lines ended by CR LF are "
                              "read",
                 false});
        }
        start += piece.size() + 1;
    }
}

}  // namespace

std::vector<LineProblem> CheckScheduleLines(std::string_view bytes) {
    std::vector<LineProblem> problems;
    LineCounter lines(bytes);
    // Cut as the service's reader cuts: at every CR LF, the text after the
    // last one apart.
    const std::vector<std::string_view> pieces = text::Split(bytes, kLineEnd);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        const std::string_view line = text::TrimSpaces(pieces[i]);
        if (line.empty()) continue;
        const std::vector<std::string> whys = WhyNeverRuns(SplitScheduleLine(line));
        if (whys.empty()) continue;
        const std::size_t offset = static_cast<std::size_t>(line.data() - bytes.data());
        // An LF alone inside what the service reads as one line is most
        // likely two lines meant, saved with the wrong line ends.
        const bool joined = text::Contains(line, "\n");
        problems.push_back({lines.At(offset), std::string(line),
                            joined ? "an LF without CR before it joins this and the next "
                                     "line into one, which can never run: " +
                                         Joined(whys)
                                   : Joined(whys)});
    }
    const std::string_view tail = pieces.back();
    CheckUnreadTail(tail, static_cast<std::size_t>(tail.data() - bytes.data()), lines, problems);
    return problems;
}

namespace {

// At most `limit` bytes of `text`, cut where a UTF-8 character starts when
// the text is UTF-8, with "..." where it was cut.
std::string Shortened(std::string_view text, std::size_t limit, LogBytes bytes) {
    if (text.size() <= limit) return std::string(text);
    std::size_t cut = limit;
    if (bytes == LogBytes::Utf8) {
        const auto continuation = [&](std::size_t at) {
            return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        };
        for (int back = 0; back < 3 && cut > 0 && continuation(cut); ++back) --cut;
    }
    return std::string(text.substr(0, cut)) + "...";
}

}  // namespace

std::string CheckReport(const std::vector<LineProblem>& problems, LogBytes bytes) {
    std::string report;
    for (const LineProblem& problem : problems) {
        report += "line " + std::to_string(problem.number) + ": " +
                  EscapeForLog(problem.why, bytes) + ": " +
                  EscapeForLog(Shortened(problem.line, kReportedLineBytes, bytes), bytes) + "\n";
    }
    return report;
}

}  // namespace tolvane
