#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tolvane::testing {

// Files in memory, with each step of a write able to fail on demand.
class FakeFileSystem : public FileSystem {
  public:
    std::string folder = "C:\\Program Files\\Tolvane";
    std::map<std::string, std::string> files;
    bool failRead = false;
    bool failTemporaryWrite = false;
    bool failMoveOver = false;
    std::string failureReason = "Access is denied.";
    int temporaryFilesCreated = 0;
    // How long ago a file was last written, in seconds; 0 for one not listed.
    std::map<std::string, double> ages;

    // Locks held, by file: how many shared holders, and whether one holds it
    // alone. All processes sharing this fake share them.
    struct LockState {
        int shared = 0;
        bool exclusive = false;
    };
    std::map<std::string, LockState> locks;
    bool failLock = false;
    int locksTaken = 0;
    // How long each request for a lock was willing to wait, in order.
    std::vector<double> lockWaits;
    // Symbolic links: the path each leads to.
    std::map<std::string, std::string> links;

    std::string ProgramFolder() override { return folder; }
    char PathSeparator() const override { return '\\'; }

    // Runs before each read, numbered from 1: another writer can act between two.
    std::function<void(int read)> beforeRead;
    int reads = 0;

    FileRead ReadFile(const std::string& linkOrPath, std::size_t maxBytes) override {
        if (beforeRead) beforeRead(++reads);
        FileRead read;
        const auto found = files.find(LinkTarget(linkOrPath));
        if (!failRead && found != files.end()) {
            read.outcome = found->second.size() > maxBytes ? FileRead::Outcome::TooLarge
                                                           : FileRead::Outcome::Read;
            if (read.outcome == FileRead::Outcome::Read) read.bytes = found->second;
        } else if (Exists(linkOrPath)) {
            read.outcome = FileRead::Outcome::Unreadable;
            read.reason = "It is no regular file that can be read.";
        }
        return read;
    }
    bool Exists(const std::string& path) override {
        return files.count(path) > 0 || links.count(path) > 0;
    }
    std::optional<std::string> WriteTemporaryFile(const std::string& inFolder,
                                                  const std::string& prefix, std::string_view bytes,
                                                  std::string& reason) override {
        if (failTemporaryWrite) {
            reason = failureReason;
            return std::nullopt;
        }
        const std::string path =
            inFolder + "\\" + prefix + std::to_string(++temporaryFilesCreated) + ".tmp";
        files[path] = std::string(bytes);
        ages.erase(path);
        return path;
    }
    bool MoveFileOver(const std::string& from, const std::string& to,
                      std::string& reason) override {
        const auto found = files.find(from);
        if (failMoveOver || found == files.end()) {
            reason = failureReason;
            return false;
        }
        files[to] = found->second;
        files.erase(from);
        ages.erase(from);
        ages.erase(to);
        return true;
    }
    bool RemoveFile(const std::string& path) override {
        ages.erase(path);
        return files.erase(path) > 0;
    }
    // Temporary files are named prefix, counter, ".tmp".
    std::vector<std::string> StaleTemporaryFiles(const std::string& inFolder,
                                                 const std::string& prefix,
                                                 double minimumAgeSeconds) override {
        const std::string start = inFolder + "\\" + prefix;
        const std::string_view suffix = ".tmp";
        std::vector<std::string> stale;
        for (const auto& [path, bytes] : files) {
            if (path.size() <= start.size() + suffix.size() || path.rfind(start, 0) != 0 ||
                path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) {
                continue;
            }
            const auto counter = std::string_view(path).substr(
                start.size(), path.size() - start.size() - suffix.size());
            if (!std::all_of(counter.begin(), counter.end(),
                             [](char c) { return c >= '0' && c <= '9'; })) {
                continue;
            }
            const auto age = ages.find(path);
            if ((age == ages.end() ? 0.0 : age->second) >= minimumAgeSeconds) {
                stale.push_back(path);
            }
        }
        return stale;
    }

    std::unique_ptr<FileLock> LockFile(const std::string& path, LockKind kind, double waitSeconds,
                                       std::string& reason) override {
        lockWaits.push_back(waitSeconds);
        LockState& state = locks[path];
        // One thread: a lock in the way is never released while waiting.
        if (failLock || state.exclusive || (kind == LockKind::Exclusive && state.shared > 0)) {
            reason = failLock ? failureReason : "Another program holds the lock " + path + ".";
            return nullptr;
        }
        if (!files.count(path)) files[path] = "";
        ++locksTaken;
        if (kind == LockKind::Exclusive) {
            state.exclusive = true;
        } else {
            ++state.shared;
        }
        return std::make_unique<Held>(*this, path, kind);
    }
    bool LockedElsewhere(const std::string& path) override {
        const auto found = locks.find(path);
        return found != locks.end() && (found->second.exclusive || found->second.shared > 0);
    }
    std::string LinkTarget(const std::string& path) override {
        std::string current = path;
        for (auto link = links.find(current); link != links.end(); link = links.find(current)) {
            current = link->second;
        }
        return current;
    }

  private:
    class Held final : public FileLock {
      public:
        Held(FakeFileSystem& fs, std::string path, LockKind kind)
            : fs_(fs), path_(std::move(path)), kind_(kind) {}
        ~Held() override {
            LockState& state = fs_.locks[path_];
            if (kind_ == LockKind::Exclusive) {
                state.exclusive = false;
            } else {
                --state.shared;
            }
        }

      private:
        FakeFileSystem& fs_;
        std::string path_;
        LockKind kind_;
    };
};

}  // namespace tolvane::testing
