#include "service/no_link_file_system.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "schedule/schedule_file.h"

namespace tolvane {

namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Empty when `name` is one plain name; otherwise what is wrong with it.
std::string NameProblem(std::string_view name) {
    if (name.empty()) return "an empty name";
    if (name == "." || name == "..") return "the name \"" + std::string(name) + "\"";
    if (name.back() == '.' || name.back() == ' ') {
        return "a name ending in a dot or blank: \"" + std::string(name) + "\"";
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::string_view(":*?\"<>|\\/").find(c) != std::string_view::npos) {
            return "a name with a character a plain name never holds: \"" + std::string(name) +
                   "\"";
        }
    }
    return {};
}

std::vector<std::string> CutNames(std::string_view rest) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || IsSeparator(rest[i])) {
            names.emplace_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    return names;
}

}  // namespace

std::optional<WalkPath> SplitWalkPath(std::string_view path, std::string& reason) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    WalkPath walk;
    std::string_view rest;
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
        walk.root = std::string(path.substr(0, 2)) + "\\";
        rest = path.substr(3);
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share: the server and the share are its root, plain names
        // both, so "\\?\" and "\\.\" (the device paths) are no root.
        auto parts = CutNames(path.substr(2));
        if (parts.size() < 2 || !NameProblem(parts[0]).empty() || !NameProblem(parts[1]).empty()) {
            reason = "not a plain full path: \"" + std::string(path) + "\"";
            return std::nullopt;
        }
        walk.root = "\\\\" + parts[0] + "\\" + parts[1] + "\\";
        walk.names.assign(parts.begin() + 2, parts.end());
        // "\\server\share\" is the share's root itself, as "C:\" is the drive's.
        if (walk.names.size() == 1 && walk.names[0].empty()) walk.names.clear();
    } else {
        reason = "not a full path: \"" + std::string(path) + "\"";
        return std::nullopt;
    }
    if (walk.names.empty() && !rest.empty()) walk.names = CutNames(rest);
    for (const std::string& name : walk.names) {
        const std::string problem = NameProblem(name);
        if (!problem.empty()) {
            reason = "not a plain full path (" + problem + "): \"" + std::string(path) + "\"";
            return std::nullopt;
        }
    }
    return walk;
}

std::string NumberedTemporaryName(std::string_view prefix, std::uint32_t process,
                                  unsigned counter) {
    return std::string(prefix) + std::to_string(process) + "-" + std::to_string(counter) +
           std::string(kTemporarySuffix);
}

bool IsNumberedTemporaryName(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() + kTemporarySuffix.size() ||
        name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
        return false;
    }
    const auto middle =
        name.substr(prefix.size(), name.size() - prefix.size() - kTemporarySuffix.size());
    const auto dash = middle.find('-');
    return dash != std::string_view::npos && IsDigits(middle.substr(0, dash)) &&
           IsDigits(middle.substr(dash + 1));
}

// An open object, closed when it goes out of scope.
class NoLinkFileSystem::Held {
  public:
    Held(FileNodes& nodes, FileNodes::Node node) : nodes_(&nodes), node_(node) {}
    Held(Held&& other) noexcept : nodes_(other.nodes_), node_(std::exchange(other.node_, 0)) {}
    Held& operator=(Held&& other) noexcept {
        if (this != &other) {
            Release();
            nodes_ = other.nodes_;
            node_ = std::exchange(other.node_, 0);
        }
        return *this;
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { Release(); }
    FileNodes::Node get() const { return node_; }

  private:
    void Release() {
        if (node_ != 0) nodes_->Close(std::exchange(node_, 0));
    }
    FileNodes* nodes_;
    FileNodes::Node node_;
};

// A lock held through an open, checked file: unlocked, then closed.
class NoLinkFileSystem::NodeLock final : public FileLock {
  public:
    NodeLock(FileNodes& nodes, Held file) : nodes_(nodes), file_(std::move(file)) {}
    ~NodeLock() override { nodes_.Unlock(file_.get()); }

  private:
    FileNodes& nodes_;
    Held file_;
};

struct NoLinkFileSystem::Failure {
    enum Kind {
        kMissing,  // nothing has one of the names
        kFailed,   // the system refused a request; `text` has its words
        kRefused,  // a link, a second name, something that is no file, a path not plain
    } kind = kFailed;
    std::string text;
};

NoLinkFileSystem::NoLinkFileSystem(FileNodes& nodes, std::string programFolder,
                                   std::string scheduleFolder, ServiceLog* log)
    : nodes_(nodes),
      programFolder_(std::move(programFolder)),
      scheduleFolder_(std::move(scheduleFolder)),
      log_(log) {}

std::optional<NoLinkFileSystem::Held> NoLinkFileSystem::OpenFolder(const WalkPath& path,
                                                                   std::size_t depth,
                                                                   FileNodes::Use use,
                                                                   Failure& failure) {
    std::string reason;
    const auto root = nodes_.OpenRoot(path.root, reason);
    if (!root) {
        failure = {Failure::kFailed, path.root + ": " + reason};
        return std::nullopt;
    }
    Held folder(nodes_, *root);
    std::string where = path.root;
    for (std::size_t i = 0;; ++i) {
        const auto facts = nodes_.Describe(folder.get(), reason);
        if (!facts) {
            failure = {Failure::kFailed, where + ": " + reason};
            return std::nullopt;
        }
        // The root is where the walk starts, not a name on the way: what a
        // drive letter or share stands for is the system's to say (its device
        // names only administrators change), and Wine shows a Unix mount
        // point such as Z:\ (/) as a reparse point.
        if (facts->link && i > 0) {
            failure = {Failure::kRefused, "Refused: " + where +
                                              " is a link (a junction, symbolic link or other "
                                              "reparse point), and no link is followed"};
            return std::nullopt;
        }
        if (!facts->folder) {
            failure = {Failure::kMissing, where + " is not a folder"};
            return std::nullopt;
        }
        if (i == depth) return folder;
        bool missing = false;
        const auto child =
            nodes_.OpenChild(folder.get(), path.names[i],
                             i + 1 == depth ? use : FileNodes::Use::Look, missing, reason);
        where = JoinPath(where, '\\', path.names[i]);
        if (!child) {
            failure = {missing ? Failure::kMissing : Failure::kFailed,
                       where + (missing ? " does not exist" : ": " + reason)};
            return std::nullopt;
        }
        folder = Held(nodes_, *child);
    }
}

std::optional<NoLinkFileSystem::Held> NoLinkFileSystem::OpenFolder(const std::string& folder,
                                                                   FileNodes::Use use,
                                                                   Failure& failure) {
    std::string reason;
    const auto path = SplitWalkPath(folder, reason);
    if (!path) {
        failure = {Failure::kRefused, "Refused: " + reason};
        return std::nullopt;
    }
    return OpenFolder(*path, path->names.size(), use, failure);
}

std::optional<NoLinkFileSystem::Held> NoLinkFileSystem::OpenFile(const std::string& path,
                                                                 FileNodes::Use use,
                                                                 Failure& failure,
                                                                 FileNodeFacts& facts,
                                                                 bool create) {
    std::string reason;
    const auto walk = SplitWalkPath(path, reason);
    if (!walk || walk->names.empty()) {
        failure = {Failure::kRefused,
                   "Refused: " + (walk ? "no file is named: \"" + path + "\"" : reason)};
        return std::nullopt;
    }
    const std::size_t depth = walk->names.size() - 1;
    auto folder = OpenFolder(*walk, depth, FileNodes::Use::Look, failure);
    if (!folder) return std::nullopt;
    bool missing = false;
    const auto node =
        create ? nodes_.OpenOrCreateChild(folder->get(), walk->names[depth], reason)
               : nodes_.OpenChild(folder->get(), walk->names[depth], use, missing, reason);
    if (!node) {
        failure = {missing ? Failure::kMissing : Failure::kFailed,
                   path + (missing ? " does not exist" : ": " + reason)};
        return std::nullopt;
    }
    Held file(nodes_, *node);
    const auto described = nodes_.Describe(file.get(), reason);
    if (!described) {
        failure = {Failure::kFailed, path + ": " + reason};
        return std::nullopt;
    }
    facts = *described;
    if (facts.link) {
        failure = {Failure::kRefused, "Refused: " + path +
                                          " is a link (a junction, symbolic link or other "
                                          "reparse point), and no link is followed"};
    } else if (facts.folder) {
        failure = {Failure::kRefused, "Refused: " + path + " is not a regular file"};
    } else if (facts.names != 1) {
        // Another name of the same file may stand in a folder the user cannot
        // see into; through this one it would be read, replaced or deleted.
        failure = {Failure::kRefused, "Refused: " + path + " has " + std::to_string(facts.names) +
                                          " names (hard links); only a file with one name is used"};
    } else {
        return file;
    }
    return std::nullopt;
}

void NoLinkFileSystem::Report(const Failure& failure) {
    if (failure.kind != Failure::kRefused || failure.text == lastReported_) return;
    lastReported_ = failure.text;
    if (log_) log_->Error(failure.text);
}

FileRead NoLinkFileSystem::ReadFile(const std::string& path, std::size_t maxBytes) {
    FileRead read;
    std::optional<std::string> bytes;
    Failure failure;
    FileNodeFacts facts;
    // The file is closed again before anything else is looked at.
    if (const auto file = OpenFile(path, FileNodes::Use::Read, failure, facts); !file) {
        if (failure.kind == Failure::kMissing) lastReported_.clear();
        Report(failure);
    } else {
        lastReported_.clear();
        if (facts.size > maxBytes) {
            read.outcome = FileRead::Outcome::TooLarge;
            return read;
        }
        // One byte more than allowed shows a file that grew since its size was read.
        const std::size_t limit = maxBytes < std::string().max_size() ? maxBytes + 1 : maxBytes;
        std::string reason;
        bytes = nodes_.Read(file->get(), limit, reason);
        if (bytes && bytes->size() > maxBytes) {
            read.outcome = FileRead::Outcome::TooLarge;
            return read;
        }
    }
    if (bytes) {
        read.outcome = FileRead::Outcome::Read;
        read.bytes = std::move(*bytes);
    } else if (Exists(path)) {
        // Something stands there that this walk cannot read.
        read.outcome = FileRead::Outcome::Unreadable;
        read.reason = "It is no regular file that can be read.";
    }
    return read;
}

bool NoLinkFileSystem::Exists(const std::string& path) {
    Failure failure;
    FileNodeFacts facts;
    return OpenFile(path, FileNodes::Use::Look, failure, facts) ||
           failure.kind != Failure::kMissing;
}

std::string NoLinkFileSystem::Refusal(const std::string& path) {
    Failure failure;
    FileNodeFacts facts;
    if (OpenFile(path, FileNodes::Use::Look, failure, facts)) return {};
    return failure.kind == Failure::kRefused ? failure.text : std::string();
}

std::optional<std::string> NoLinkFileSystem::WriteTemporaryFile(const std::string& folder,
                                                                const std::string& prefix,
                                                                std::string_view bytes,
                                                                std::string& reason) {
    Failure failure;
    const auto dir = OpenFolder(folder, FileNodes::Use::Look, failure);
    if (!dir) {
        Report(failure);
        reason = failure.text;
        return std::nullopt;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = NumberedTemporaryName(prefix, nodes_.ProcessNumber(), ++counter_);
        const std::string problem = NameProblem(name);
        if (!problem.empty()) {
            reason = "Refused: " + problem;
            return std::nullopt;
        }
        bool exists = false;
        const auto created = nodes_.CreateChild(dir->get(), name, exists, reason);
        if (!created) {
            if (exists) continue;
            return std::nullopt;
        }
        Held file(nodes_, *created);
        if (!nodes_.Write(file.get(), bytes, reason)) {
            std::string ignored;
            nodes_.Delete(file.get(), ignored);
            return std::nullopt;
        }
        return JoinPath(folder, '\\', name);
    }
    reason = "no free name for a temporary file in " + folder;
    return std::nullopt;
}

bool NoLinkFileSystem::MoveFileOver(const std::string& from, const std::string& to,
                                    std::string& reason) {
    const auto target = SplitWalkPath(to, reason);
    if (!target || target->names.empty()) {
        reason = "Refused: " + (target ? "no file is named: \"" + to + "\"" : reason);
        return false;
    }
    Failure failure;
    FileNodeFacts facts;
    // What has the name now is checked like any file used here: a link or a
    // second name there is refused, not quietly replaced.
    if (!OpenFile(to, FileNodes::Use::Look, failure, facts) && failure.kind == Failure::kRefused) {
        Report(failure);
        reason = failure.text;
        return false;
    }
    auto file = OpenFile(from, FileNodes::Use::Change, failure, facts);
    const auto folder =
        file ? OpenFolder(*target, target->names.size() - 1, FileNodes::Use::Look, failure)
             : std::nullopt;
    if (!folder) {
        Report(failure);
        reason = failure.text;
        return false;
    }
    return nodes_.MoveInto(file->get(), folder->get(), target->names.back(), reason);
}

bool NoLinkFileSystem::RemoveFile(const std::string& path) {
    Failure failure;
    FileNodeFacts facts;
    const auto file = OpenFile(path, FileNodes::Use::Change, failure, facts);
    if (!file) {
        Report(failure);
        return false;
    }
    std::string reason;
    return nodes_.Delete(file->get(), reason);
}

std::vector<std::string> NoLinkFileSystem::StaleTemporaryFiles(const std::string& folder,
                                                               const std::string& prefix,
                                                               double minimumAgeSeconds) {
    std::vector<std::string> stale;
    Failure failure;
    const auto dir = OpenFolder(folder, FileNodes::Use::List, failure);
    if (!dir) {
        Report(failure);
        return stale;
    }
    std::string reason;
    const auto names = nodes_.List(dir->get(), reason);
    if (!names) return stale;
    for (const std::string& name : *names) {
        if (!IsNumberedTemporaryName(name, prefix)) continue;
        const std::string path = JoinPath(folder, '\\', name);
        // Checked here as well as when it is removed: a link or a second name
        // is not even offered for removal.
        FileNodeFacts facts;
        if (!OpenFile(path, FileNodes::Use::Look, failure, facts)) {
            Report(failure);
            continue;
        }
        if (facts.ageSeconds >= minimumAgeSeconds) stale.push_back(path);
    }
    return stale;
}

std::unique_ptr<FileLock> NoLinkFileSystem::LockFile(const std::string& path, LockKind kind,
                                                     double waitSeconds, std::string& reason) {
    Failure failure;
    FileNodeFacts facts;
    auto file = OpenFile(path, FileNodes::Use::Lock, failure, facts, true);
    if (!file) {
        Report(failure);
        reason = failure.text;
        return nullptr;
    }
    bool busy = false;
    if (!nodes_.Lock(file->get(), kind, waitSeconds, busy, reason)) {
        if (busy) reason = "Another program holds the lock " + path + ".";
        return nullptr;
    }
    return std::make_unique<NodeLock>(nodes_, std::move(*file));
}

bool NoLinkFileSystem::LockedElsewhere(const std::string& path) {
    Failure failure;
    FileNodeFacts facts;
    const auto file = OpenFile(path, FileNodes::Use::Lock, failure, facts);
    if (!file) {
        Report(failure);
        return false;
    }
    bool busy = false;
    std::string reason;
    if (nodes_.Lock(file->get(), LockKind::Exclusive, 0, busy, reason)) {
        nodes_.Unlock(file->get());
        return false;
    }
    return busy;
}

}  // namespace tolvane
