// The service's log in the journal's native protocol, received by a stand-in
// for journald's socket.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/linux/journal_service_log.h"

namespace tolvane {
namespace {

using Entry = std::multimap<std::string, std::string>;

// Reads entries back as journald does: "NAME=value" lines, or a name line
// followed by a 64-bit little-endian length, the value and a line break.
std::optional<Entry> ParseEntry(const std::string& bytes) {
    Entry entry;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) return std::nullopt;
        const std::string line = bytes.substr(at, end - at);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            entry.emplace(line.substr(0, equals), line.substr(equals + 1));
            at = end + 1;
            continue;
        }
        at = end + 1;
        if (bytes.size() - at < 8) return std::nullopt;
        std::uint64_t length = 0;
        for (int i = 7; i >= 0; --i)
            length = length << 8 | static_cast<unsigned char>(bytes[at + i]);
        at += 8;
        if (bytes.size() - at < length + 1 || bytes[at + length] != '\n') return std::nullopt;
        entry.emplace(line, bytes.substr(at, length));
        at += length + 1;
    }
    return entry;
}

// A datagram socket where journald's would be.
class StandInJournal {
  public:
    StandInJournal() {
        char pattern[] = "/tmp/tolvane-journal-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = folder_ + "/socket";
        socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof(address.sun_path) - 1);
        bound_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~StandInJournal() {
        ::close(socket_);
        std::filesystem::remove_all(folder_);
    }
    bool Bound() const { return bound_; }
    const std::string& Path() const { return path_; }

    // The next entry's bytes, from the datagram or from the memory file
    // passed with it; nothing if none arrives (a hang guard, not a wait).
    std::optional<std::string> Receive(bool* throughMemory = nullptr) {
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, 30000) != 1) return std::nullopt;
        std::string bytes(1 << 20, '\0');
        iovec part{bytes.data(), bytes.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        const ssize_t length = ::recvmsg(socket_, &message, MSG_CMSG_CLOEXEC);
        if (length < 0) return std::nullopt;
        bytes.resize(static_cast<std::size_t>(length));
        const cmsghdr* rights = CMSG_FIRSTHDR(&message);
        if (throughMemory) *throughMemory = rights != nullptr;
        if (!rights) return bytes;
        int memory = -1;
        ::memcpy(&memory, CMSG_DATA(rights), sizeof(int));
        // journald refuses a memory file that could still change.
        const int seals = ::fcntl(memory, F_GET_SEALS);
        const int needed = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
        std::string content;
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::pread(memory, buffer, sizeof(buffer), static_cast<off_t>(content.size()))) >
               0) {
            content.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(memory);
        if (!bytes.empty() || seals < 0 || (seals & needed) != needed) return std::nullopt;
        return content;
    }

  private:
    std::string folder_;
    std::string path_;
    int socket_ = -1;
    bool bound_ = false;
};

TEST(JournalServiceLog, ARecordCarriesItsFourFactsAndThePriorityOfItsOutcome) {
    const struct {
        ActionRecord record;
        const char* priority;
    } cases[] = {
        {{"Requested reboot for: 06:00 PM Reboot", "06:00 PM Reboot", "/etc/tolvane/rebootdata.kx",
          "(all users)", "done", false},
         "6"},
        {{"Could not shut down: denied", "Sunday 11:00 PM Shutdown", "/home/ann/.local/share/x.kx",
          "ann", "failed", true},
         "3"},
        {{"The machine's schedule is refused", "", "/etc/tolvane/rebootdata.kx", "(all users)",
          "refused", true},
         "3"},
        {{"Not run: the machine's line acted", "06:00 PM Log off", "/home/ann/r.kx", "ann",
          "skipped", false},
         "6"},
    };
    StandInJournal journal;
    ASSERT_TRUE(journal.Bound());
    JournalServiceLog log(journal.Path());
    for (const auto& c : cases) {
        log.Record(c.record);
        const std::optional<std::string> bytes = journal.Receive();
        ASSERT_TRUE(bytes) << c.record.result;
        const std::optional<Entry> entry = ParseEntry(*bytes);
        ASSERT_TRUE(entry) << *bytes;
        const Entry expected = [&] {
            Entry e{{"MESSAGE", c.record.message},    {"PRIORITY", c.priority},
                    {"SYSLOG_IDENTIFIER", "tolvane"}, {"TOLVANE_SCHEDULE", c.record.schedule},
                    {"TOLVANE_USER", c.record.user},  {"TOLVANE_RESULT", c.record.result}};
            // An empty fact is left out, not sent empty.
            if (!c.record.line.empty()) e.emplace("TOLVANE_LINE", c.record.line);
            return e;
        }();
        EXPECT_EQ(*entry, expected) << c.record.result;
    }
}

TEST(JournalServiceLog, FieldsKeepTheirBytesAndTheMessageIsOnePlainLine) {
    const std::string line = "06:00 PM Reboot\nTOLVANE_RESULT=done\r\x1b[2J=";
    StandInJournal journal;
    ASSERT_TRUE(journal.Bound());
    JournalServiceLog log(journal.Path());
    log.Record(
        {"Requested reboot for: " + line, line, "/etc/tolvane/a\nb.kx", "ann", "failed", true});
    const std::optional<std::string> bytes = journal.Receive();
    ASSERT_TRUE(bytes);
    const std::optional<Entry> entry = ParseEntry(*bytes);
    ASSERT_TRUE(entry) << *bytes;
    // A line break inside a value cannot forge a field of its own.
    EXPECT_EQ(entry->count("TOLVANE_RESULT"), 1u);
    EXPECT_EQ(entry->find("TOLVANE_RESULT")->second, "failed");
    EXPECT_EQ(entry->find("TOLVANE_LINE")->second, line);
    EXPECT_EQ(entry->find("TOLVANE_SCHEDULE")->second, "/etc/tolvane/a\nb.kx");
    EXPECT_EQ(entry->find("MESSAGE")->second,
              "Requested reboot for: 06:00 PM Reboot\\nTOLVANE_RESULT=done\\r\\x1b[2J=");
}

TEST(JournalServiceLog, InfoAndErrorAreMessagesAtTheirPriorities) {
    StandInJournal journal;
    ASSERT_TRUE(journal.Bound());
    JournalServiceLog log(journal.Path());
    log.Info("Waiting for the next line");
    log.Error("The schedule cannot be read");
    const Entry expected[] = {
        {{"MESSAGE", "Waiting for the next line"},
         {"PRIORITY", "6"},
         {"SYSLOG_IDENTIFIER", "tolvane"}},
        {{"MESSAGE", "The schedule cannot be read"},
         {"PRIORITY", "3"},
         {"SYSLOG_IDENTIFIER", "tolvane"}},
    };
    for (const Entry& want : expected) {
        const std::optional<std::string> bytes = journal.Receive();
        ASSERT_TRUE(bytes);
        EXPECT_EQ(ParseEntry(*bytes), want);
    }
}

TEST(JournalServiceLog, AnEntryTooBigForADatagramGoesInASealedMemoryFile) {
    StandInJournal journal;
    ASSERT_TRUE(journal.Bound());
    JournalServiceLog log(journal.Path());
    const std::string line(3 << 20, 'x');
    log.Record(
        {"Requested reboot", line, "/etc/tolvane/rebootdata.kx", "(all users)", "done", false});
    bool throughMemory = false;
    const std::optional<std::string> bytes = journal.Receive(&throughMemory);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(throughMemory);
    const std::optional<Entry> entry = ParseEntry(*bytes);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->find("TOLVANE_LINE")->second, line);
    EXPECT_EQ(entry->find("TOLVANE_RESULT")->second, "done");
}

TEST(JournalServiceLog, WithNoJournalEveryEntryGoesToStandardError) {
    JournalServiceLog log("/nonexistent/tolvane/journal/socket");
    ::testing::internal::CaptureStderr();
    log.Record({"Requested reboot for: 06:00 PM Reboot", "06:00 PM Reboot",
                "/etc/tolvane/rebootdata.kx", "(all users)", "done", false});
    log.Error("The schedule cannot be read\nsecond");
    log.Info("Waiting");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "<6>Requested reboot for: 06:00 PM Reboot\n"
              "<3>The schedule cannot be read\\nsecond\n"
              "<6>Waiting\n");
}

}  // namespace
}  // namespace tolvane
