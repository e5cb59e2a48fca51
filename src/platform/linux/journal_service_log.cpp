#include "platform/linux/journal_service_log.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>

#include "schedule/log_text.h"

namespace tolvane {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// syslog's priorities, as journald files them.
constexpr const char* kPriorityError = "3";
constexpr const char* kPriorityInfo = "6";

Fields Entry(const std::string& text, const char* priority) {
    return {{"MESSAGE", EscapeForLog(text, LogBytes::Utf8)},
            {"PRIORITY", priority},
            {"SYSLOG_IDENTIFIER", "tolvane"}};
}

}  // namespace

std::string JournalEntryBytes(const Fields& fields) {
    std::string bytes;
    for (const auto& [name, value] : fields) {
        bytes += name;
        if (value.find('\n') == std::string::npos) {
            bytes += '=';
        } else {
            bytes += '\n';
            std::uint64_t length = value.size();
            for (int i = 0; i < 8; ++i) {
                bytes += static_cast<char>(length & 0xff);
                length >>= 8;
            }
        }
        bytes += value;
        bytes += '\n';
    }
    return bytes;
}

JournalServiceLog::JournalServiceLog(std::string socketPath)
    : socketPath_(std::move(socketPath)),
      socket_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

JournalServiceLog::~JournalServiceLog() {
    if (socket_ >= 0) ::close(socket_);
}

void JournalServiceLog::Info(const std::string& text) {
    if (!Send(JournalEntryBytes(Entry(text, kPriorityInfo)))) fallback_.Info(text);
}

void JournalServiceLog::Error(const std::string& text) {
    if (!Send(JournalEntryBytes(Entry(text, kPriorityError)))) fallback_.Error(text);
}

void JournalServiceLog::Record(const ActionRecord& record) {
    Fields fields = Entry(record.message, record.error ? kPriorityError : kPriorityInfo);
    const std::pair<const char*, const std::string*> facts[] = {
        {"TOLVANE_LINE", &record.line},
        {"TOLVANE_SCHEDULE", &record.schedule},
        {"TOLVANE_USER", &record.user},
        {"TOLVANE_RESULT", &record.result},
    };
    for (const auto& [name, value] : facts) {
        if (!value->empty()) fields.emplace_back(name, *value);
    }
    if (!Send(JournalEntryBytes(fields))) fallback_.Record(record);
}

bool JournalServiceLog::Send(const std::string& bytes) {
    if (socket_ < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.empty() || socketPath_.size() >= sizeof(address.sun_path)) return false;
    ::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());
    ssize_t sent = 0;
    do {
        sent = ::sendto(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size())) return true;
    // Too big for one datagram (a long line from a hostile file): journald
    // takes the entry from a sealed memory file passed over the socket.
    if (sent < 0 && (errno == EMSGSIZE || errno == ENOBUFS)) return SendThroughMemory(bytes);
    return false;
}

bool JournalServiceLog::SendThroughMemory(const std::string& bytes) {
    const int memory = ::memfd_create("tolvane-journal", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (memory < 0) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(memory, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    // journald takes only a memory file that can no longer change.
    const bool sealed =
        written == bytes.size() &&
        ::fcntl(memory, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
    bool sent = false;
    if (sealed) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_name = &address;
        message.msg_namelen = sizeof(address);
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr* rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        ::memcpy(CMSG_DATA(rights), &memory, sizeof(int));
        ssize_t n = 0;
        do {
            n = ::sendmsg(socket_, &message, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        sent = n >= 0;
    }
    ::close(memory);
    return sent;
}

}  // namespace tolvane
