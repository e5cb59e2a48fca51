#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_nodes.h"

namespace tolvane::testing {

// One object on the fake disk: a folder, a file or a link. Two names may hold
// the same entry (a hard link); `names` is then raised by hand.
struct FakeEntry {
    bool folder = false;
    bool link = false;
    std::shared_ptr<FakeEntry> leadsTo;  // a link's target
    std::uint32_t names = 1;
    std::string bytes;
    std::optional<std::uint64_t> shownSize;  // the size Describe reports, when not the bytes'
    double ageSeconds = 0;
    std::map<std::string, std::shared_ptr<FakeEntry>> children;
    // Locks held on the file, by this process or any other: a test sets
    // them by hand for a holder elsewhere.
    int sharedLocks = 0;
    bool exclusiveLock = false;
};

// A disk in memory. It behaves as a system that would follow links
// everywhere except in the object it was asked to open: a link used as a
// folder, read, written or listed leads to its target, so code that ever
// used one would be seen to reach the target. Every request is written down.
class FakeFileNodes final : public FileNodes {
  public:
    std::map<std::string, std::shared_ptr<FakeEntry>> roots;
    std::vector<std::string> calls;
    // Runs before each request with its text: the disk may change between steps.
    std::function<void(const std::string& call)> beforeCall;
    std::uint32_t process = 4242;

    // The folders of a path, made where missing: "C:\a\b".
    std::shared_ptr<FakeEntry> MakeFolder(std::string_view path) {
        auto [root, names] = Cut(path);
        auto& slot = roots[root];
        if (!slot) slot = Folder();
        auto entry = slot;
        for (const auto& name : names) {
            auto& child = entry->children[name];
            if (!child) child = Folder();
            entry = child;
        }
        return entry;
    }
    std::shared_ptr<FakeEntry> MakeFile(std::string_view path, std::string bytes,
                                        double ageSeconds = 0) {
        auto file = std::make_shared<FakeEntry>();
        file->bytes = std::move(bytes);
        file->ageSeconds = ageSeconds;
        Put(path, file);
        return file;
    }
    // Puts `entry` at `path`, in place of whatever had that name.
    void Put(std::string_view path, std::shared_ptr<FakeEntry> entry) {
        const auto cut = path.find_last_of('\\');
        MakeFolder(path.substr(0, cut))->children[std::string(path.substr(cut + 1))] =
            std::move(entry);
    }
    // The entry at `path`, links not followed; null when there is none.
    std::shared_ptr<FakeEntry> At(std::string_view path) const {
        auto [root, names] = Cut(path);
        const auto found = roots.find(root);
        auto entry = found == roots.end() ? nullptr : found->second;
        for (const auto& name : names) {
            if (!entry || entry->children.count(name) == 0) return nullptr;
            entry = entry->children.at(name);
        }
        return entry;
    }
    static std::shared_ptr<FakeEntry> Folder() {
        auto folder = std::make_shared<FakeEntry>();
        folder->folder = true;
        return folder;
    }
    static std::shared_ptr<FakeEntry> LinkTo(std::shared_ptr<FakeEntry> target) {
        auto link = std::make_shared<FakeEntry>();
        link->link = true;
        link->folder = target->folder;  // a junction is a folder, a file link a file
        link->leadsTo = std::move(target);
        return link;
    }
    std::size_t OpenCount() const { return open_.size(); }

    std::optional<Node> OpenRoot(const std::string& root, std::string& reason) override {
        Call("OpenRoot(" + root + ")");
        const auto found = roots.find(root);
        if (found == roots.end()) {
            reason = "no such volume";
            return std::nullopt;
        }
        return Hand(found->second, nullptr, root, root);
    }
    std::optional<Node> OpenChild(Node folder, const std::string& name, Use use, bool& missing,
                                  std::string& reason) override {
        Call("OpenChild(" + Label(folder) + ", " + name + ", " + UseName(use) + ")");
        missing = false;
        const auto dir = Followed(open_.at(folder).entry);
        const auto found = dir->children.find(name);
        if (!dir->folder || found == dir->children.end()) {
            missing = true;
            reason = "not found";
            return std::nullopt;
        }
        return Hand(found->second, dir, name, Join(Label(folder), name));
    }
    std::optional<Node> CreateChild(Node folder, const std::string& name, bool& exists,
                                    std::string& reason) override {
        Call("CreateChild(" + Label(folder) + ", " + name + ")");
        const auto dir = Followed(open_.at(folder).entry);
        exists = dir->children.count(name) > 0;
        if (exists) {
            reason = "exists";
            return std::nullopt;
        }
        auto file = std::make_shared<FakeEntry>();
        dir->children[name] = file;
        return Hand(file, dir, name, Join(Label(folder), name));
    }
    std::optional<Node> OpenOrCreateChild(Node folder, const std::string& name,
                                          std::string& reason) override {
        Call("OpenOrCreateChild(" + Label(folder) + ", " + name + ")");
        const auto dir = Followed(open_.at(folder).entry);
        if (!dir->folder) {
            reason = "not a folder";
            return std::nullopt;
        }
        auto& child = dir->children[name];
        if (!child) child = std::make_shared<FakeEntry>();
        return Hand(child, dir, name, Join(Label(folder), name));
    }
    std::optional<FileNodeFacts> Describe(Node node, std::string&) override {
        Call("Describe(" + Label(node) + ")");
        const auto& entry = open_.at(node).entry;
        FileNodeFacts facts;
        facts.folder = entry->folder;
        facts.link = entry->link;
        facts.names = entry->names;
        facts.size = entry->shownSize.value_or(entry->bytes.size());
        facts.ageSeconds = entry->ageSeconds;
        return facts;
    }
    std::optional<std::string> Read(Node file, std::size_t maxBytes, std::string&) override {
        Call("Read(" + Label(file) + ", " + std::to_string(maxBytes) + ")");
        return Followed(open_.at(file).entry)->bytes.substr(0, maxBytes);
    }
    bool Write(Node file, std::string_view bytes, std::string&) override {
        Call("Write(" + Label(file) + ")");
        Followed(open_.at(file).entry)->bytes += bytes;
        return true;
    }
    // One thread: a lock in the way is never released while waiting, so
    // the wait is not waited.
    bool Lock(Node file, LockKind kind, double, bool& busy, std::string& reason) override {
        Call(std::string(kind == LockKind::Exclusive ? "LockExclusive(" : "LockShared(") +
             Label(file) + ")");
        auto& held = open_.at(file);
        const auto entry = Followed(held.entry);
        busy = held.lock || entry->exclusiveLock ||
               (kind == LockKind::Exclusive && entry->sharedLocks > 0);
        if (busy) {
            reason = "locked";
            return false;
        }
        held.lock = kind;
        if (kind == LockKind::Exclusive) {
            entry->exclusiveLock = true;
        } else {
            ++entry->sharedLocks;
        }
        return true;
    }
    void Unlock(Node file) override {
        Call("Unlock(" + Label(file) + ")");
        Release(open_.at(file));
    }
    bool MoveInto(Node file, Node folder, const std::string& name, std::string& reason) override {
        Call("MoveInto(" + Label(file) + ", " + Label(folder) + ", " + name + ")");
        auto& held = open_.at(file);
        const auto dir = Followed(open_.at(folder).entry);
        const auto existing = dir->children.find(name);
        if (existing != dir->children.end() && existing->second->folder) {
            reason = "a folder has that name";
            return false;
        }
        // The file keeps its count of names; a file whose name it takes loses one.
        if (existing != dir->children.end() && existing->second != held.entry &&
            existing->second->names > 0) {
            --existing->second->names;
        }
        const auto names = held.entry->names;
        Unname(held);
        held.entry->names = names;
        dir->children[name] = held.entry;
        held.parent = dir;
        held.name = name;
        return true;
    }
    bool Delete(Node node, std::string&) override {
        Call("Delete(" + Label(node) + ")");
        Unname(open_.at(node));
        return true;
    }
    std::optional<std::vector<std::string>> List(Node folder, std::string&) override {
        Call("List(" + Label(folder) + ")");
        std::vector<std::string> names;
        for (const auto& [name, entry] : Followed(open_.at(folder).entry)->children) {
            names.push_back(name);
        }
        return names;
    }
    void Close(Node node) override {
        Call("Close(" + Label(node) + ")");
        const auto found = open_.find(node);
        if (found != open_.end()) Release(found->second);  // as the system does
        open_.erase(node);
    }
    std::uint32_t ProcessNumber() override { return process; }

  private:
    struct Open {
        std::shared_ptr<FakeEntry> entry;
        std::shared_ptr<FakeEntry> parent;  // the folder it was opened in, for renames and deletes
        std::string name;
        std::string label;             // the path it was reached by, for the record
        std::optional<LockKind> lock;  // the lock taken through this node
    };
    static void Release(Open& held) {
        if (!held.lock) return;
        const auto entry = Followed(held.entry);
        if (*held.lock == LockKind::Exclusive) {
            entry->exclusiveLock = false;
        } else if (entry->sharedLocks > 0) {
            --entry->sharedLocks;
        }
        held.lock.reset();
    }

    static std::pair<std::string, std::vector<std::string>> Cut(std::string_view path) {
        // "C:\" or "\\server\share\" and the names below it.
        std::size_t start =
            path.rfind("\\\\", 0) == 0 ? path.find('\\', path.find('\\', 2) + 1) : path.find('\\');
        start = start == std::string_view::npos ? path.size() : start + 1;
        std::string root(path.substr(0, start));
        if (root.back() != '\\') root += '\\';
        std::vector<std::string> names;
        while (start < path.size()) {
            const auto end = std::min(path.find('\\', start), path.size());
            names.emplace_back(path.substr(start, end - start));
            start = end + 1;
        }
        return {root, names};
    }
    static std::shared_ptr<FakeEntry> Followed(std::shared_ptr<FakeEntry> entry) {
        while (entry->link && entry->leadsTo) entry = entry->leadsTo;
        return entry;
    }
    static std::string UseName(Use use) {
        switch (use) {
            case Use::Look:
                return "look";
            case Use::List:
                return "list";
            case Use::Read:
                return "read";
            case Use::Change:
                return "change";
            case Use::Lock:
                return "lock";
        }
        return "?";
    }
    void Call(const std::string& text) {
        if (beforeCall) beforeCall(text);
        calls.push_back(text);
    }
    Node Hand(std::shared_ptr<FakeEntry> entry, std::shared_ptr<FakeEntry> parent, std::string name,
              std::string label) {
        const Node node = ++next_;
        open_[node] =
            Open{std::move(entry), std::move(parent), std::move(name), std::move(label), {}};
        return node;
    }
    static std::string Join(const std::string& folder, const std::string& name) {
        return folder.back() == '\\' ? folder + name : folder + "\\" + name;
    }
    std::string Label(Node node) const {
        const auto found = open_.find(node);
        return found == open_.end() ? "(closed #" + std::to_string(node) + ")"
                                    : found->second.label;
    }
    static void Unname(Open& held) {
        if (!held.parent) return;
        const auto named = held.parent->children.find(held.name);
        if (named != held.parent->children.end() && named->second == held.entry) {
            held.parent->children.erase(named);
            if (held.entry->names > 0) --held.entry->names;
        }
    }

    std::map<Node, Open> open_;
    Node next_ = 0;
};

}  // namespace tolvane::testing
