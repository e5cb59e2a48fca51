#include "platform/linux/posix_file_system.h"

#include <dirent.h>
#include <limits.h>
#include <sys/file.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/linux/xdg_folders.h"
#include "schedule/paths.h"

namespace tolvane {

namespace {

// Owns a descriptor so every early return closes it.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

// mkostemps fills the X's with letters and digits; the suffix marks the file
// as ours, so a user's "rebootdata.kx.backup" is never taken for one.
constexpr std::string_view kTemporaryUnique = "XXXXXX";
constexpr std::string_view kTemporarySuffix = ".tmp";

bool IsTemporaryName(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + kTemporaryUnique.size() + kTemporarySuffix.size() ||
        name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
        return false;
    }
    const auto unique = name.substr(prefix.size(), kTemporaryUnique.size());
    return std::all_of(unique.begin(), unique.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// A bare name is in the working folder.
std::string FolderOrHere(const std::string& path) {
    std::string folder = FolderOf(path, "/");
    return folder.empty() ? "." : folder;
}

}  // namespace

PosixFileSystem::PosixFileSystem(std::string programFolder, std::string scheduleFolder)
    : programFolder_(std::move(programFolder)), scheduleFolder_(std::move(scheduleFolder)) {
    if (!scheduleFolder_.empty()) CreateOnFirstWrite(scheduleFolder_);
}

FileRead PosixFileSystem::ReadFile(const std::string& path, std::size_t maxBytes) {
    FileRead read;
    auto fail = [&](int error) {
        read.outcome = error == ENOENT || error == ENOTDIR ? FileRead::Outcome::Missing
                                                      : FileRead::Outcome::Unreadable;
        read.reason = ErrorText(error);
        read.bytes.clear();
        return read;
    };
    // Only a regular file is read: a FIFO in the file's place would hold the
    // program at its start until someone wrote into it (hence no waiting in
    // open), and a device such as /dev/zero would never end. Nor may a
    // terminal put there become the program's own (O_NOCTTY): its owner
    // could then stop the program from the keyboard.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) return fail(errno);
    if (!S_ISREG(info.st_mode)) {
        read.outcome = FileRead::Outcome::Unreadable;
        read.reason = S_ISDIR(info.st_mode) ? "It is a folder." : "It is no regular file.";
        return read;
    }
    // A sparse file of gigabytes costs nothing on the disk; its size says
    // before any byte is held. A file that grows while it is read is caught
    // below.
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        read.outcome = FileRead::Outcome::TooLarge;
        return read;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (got == 0) {
            read.outcome = FileRead::Outcome::Read;
            return read;
        }
        if (static_cast<std::size_t>(got) > maxBytes - read.bytes.size()) {
            read.bytes.clear();
            read.outcome = FileRead::Outcome::TooLarge;
            return read;
        }
        read.bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

bool PosixFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::optional<std::string> PosixFileSystem::WriteTemporaryFile(const std::string& folder,
                                                               const std::string& prefix,
                                                               std::string_view bytes,
                                                               std::string& reason) {
    std::string pattern = folder + "/" + prefix;
    pattern += kTemporaryUnique;
    pattern += kTemporarySuffix;
    const int suffixLength = static_cast<int>(kTemporarySuffix.size());
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int created = ::mkostemps(name.data(), suffixLength, O_CLOEXEC);
    if (created < 0 && errno == ENOENT &&
        std::find(madeOnDemand_.begin(), madeOnDemand_.end(), folder) != madeOnDemand_.end()) {
        if (!MakeFolders(folder, reason)) return std::nullopt;
        std::copy(pattern.begin(), pattern.end(), name.begin());  // mkostemps spent the X's
        created = ::mkostemps(name.data(), suffixLength, O_CLOEXEC);
    }
    Descriptor fd(created);
    if (fd.get() < 0) {
        reason = ErrorText(errno);
        return std::nullopt;
    }
    const std::string path(name.data());
    // mkstemp makes the file private; a schedule file is readable like any other.
    ::fchmod(fd.get(), 0644);
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.Close()) {
        reason = ErrorText(errno);
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return path;
}

bool PosixFileSystem::MoveFileOver(const std::string& from, const std::string& to,
                                   std::string& reason) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        reason = ErrorText(errno);
        return false;
    }
    // Make the new directory entry itself durable.
    Descriptor dir(::open(FolderOrHere(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

bool PosixFileSystem::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> PosixFileSystem::StaleTemporaryFiles(const std::string& folder,
                                                              const std::string& prefix,
                                                              double minimumAgeSeconds) {
    std::vector<std::string> stale;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return stale;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTemporaryName(entry->d_name, prefix)) continue;
        std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::difftime(now, info.st_mtime) >= minimumAgeSeconds) stale.push_back(std::move(path));
    }
    return stale;
}

namespace {

class PosixFileLock final : public FileLock {
  public:
    explicit PosixFileLock(int fd) : fd_(fd) {}
    ~PosixFileLock() override { ::close(fd_); }  // the lock goes with it
    PosixFileLock(const PosixFileLock&) = delete;
    PosixFileLock& operator=(const PosixFileLock&) = delete;

  private:
    int fd_;
};

// Opens a lock file as itself: no link followed, nothing but a regular file
// taken, and no waiting in open for a FIFO put in its place.
int OpenLockFile(const std::string& path, int flags, std::string& reason) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        reason = ErrorText(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "The lock file " + path + " is no regular file.";
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

// A wait for a lock in the kernel, on a thread of its own: flock has no time
// limit. Whoever asked may give up; the wait goes on, and the next request
// for the same lock takes it over rather than starting a second one, so a
// lock held for hours costs one thread, not one per request.
struct PosixFileSystem::LockWait {
    LockWait(std::string path, int operation, int fd)
        : path(std::move(path)), operation(operation), fd(fd) {}
    const std::string path;
    const int operation;
    const int fd;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool locked = false;
    int error = 0;
    // Whether someone waits for the outcome; a lock got with nobody waiting
    // is let go at once, so it never stands in another program's way.
    bool wanted = true;
};

PosixFileSystem::~PosixFileSystem() {
    for (const auto& wait : waits_) {
        const std::lock_guard<std::mutex> guard(wait->mutex);
        wait->wanted = false;  // the thread lets go of what it gets
    }
}

std::unique_ptr<FileLock> PosixFileSystem::LockFile(const std::string& path, LockKind kind,
                                                    double waitSeconds, std::string& reason) {
    const int operation = kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH;
    // Waits that ended with nobody there have closed their descriptor.
    waits_.erase(std::remove_if(waits_.begin(), waits_.end(),
                                [](const std::shared_ptr<LockWait>& wait) {
                                    const std::lock_guard<std::mutex> guard(wait->mutex);
                                    return wait->done && !wait->wanted;
                                }),
                 waits_.end());
    std::shared_ptr<LockWait> wait;
    for (const auto& pending : waits_) {
        if (pending->path == path && pending->operation == operation) wait = pending;
    }
    if (!wait) {
        int fd = OpenLockFile(path, O_RDWR | O_CREAT, reason);
        if (fd < 0 && errno == ENOENT &&
            std::find(madeOnDemand_.begin(), madeOnDemand_.end(), FolderOrHere(path)) !=
                madeOnDemand_.end()) {
            if (!MakeFolders(FolderOrHere(path), reason)) return nullptr;
            fd = OpenLockFile(path, O_RDWR | O_CREAT, reason);
        }
        if (fd < 0) return nullptr;
        if (::flock(fd, operation | LOCK_NB) == 0) return std::make_unique<PosixFileLock>(fd);
        if (errno != EWOULDBLOCK || waitSeconds <= 0) {
            reason = errno == EWOULDBLOCK ? "Another program holds the lock " + path + "."
                                          : ErrorText(errno);
            ::close(fd);
            return nullptr;
        }
        // Waiting in the kernel, a waiter is woken the moment the holder lets
        // go; trying again now and then could lose every time to a holder
        // that takes the lock straight back.
        wait = std::make_shared<LockWait>(path, operation, fd);
        waits_.push_back(wait);
        std::thread([wait] {
            int result = 0;
            do {
                result = ::flock(wait->fd, wait->operation);
            } while (result != 0 && errno == EINTR);
            const std::lock_guard<std::mutex> guard(wait->mutex);
            wait->done = true;
            wait->locked = result == 0;
            wait->error = result == 0 ? 0 : errno;
            if (!wait->wanted || !wait->locked) ::close(wait->fd);
            wait->ended.notify_all();
        }).detach();
    }
    std::unique_lock<std::mutex> guard(wait->mutex);
    wait->wanted = true;
    const auto limit = std::chrono::duration<double>(std::max(waitSeconds, 0.0));
    if (!wait->ended.wait_for(guard, limit, [&] { return wait->done; })) {
        wait->wanted = false;
        reason = "Another program holds the lock " + path + ".";
        return nullptr;
    }
    guard.unlock();
    waits_.erase(std::find(waits_.begin(), waits_.end(), wait));
    if (!wait->locked) {
        reason = ErrorText(wait->error);
        return nullptr;
    }
    return std::make_unique<PosixFileLock>(wait->fd);
}

bool PosixFileSystem::LockedElsewhere(const std::string& path) {
    std::string reason;
    const int fd = OpenLockFile(path, O_RDONLY, reason);
    if (fd < 0) return false;
    Descriptor owned(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return false;  // released with the descriptor
    return errno == EWOULDBLOCK;
}

std::string PosixFileSystem::LinkTarget(const std::string& path) {
    // Each link is read in turn, a relative one taken from its own folder;
    // a loop ends where the system would give up too.
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::vector<char> target(static_cast<std::size_t>(PATH_MAX) + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return current;
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.front() != '/') next = FolderOrHere(current) + "/" + next;
        current = std::move(next);
    }
    return path;
}

}  // namespace tolvane
