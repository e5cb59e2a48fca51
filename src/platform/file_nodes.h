#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tolvane {

// What the file system says about an open file or folder, about the object
// itself: a link is described as the link, never as what it leads to.
struct FileNodeFacts {
    bool folder = false;
    // A reparse point of any kind: a junction, a symbolic link, a mount
    // point, a placeholder of a cloud folder.
    bool link = false;
    std::uint32_t names = 1;  // how many names (hard links) the file has
    std::uint64_t size = 0;
    double ageSeconds = 0;  // since it was last written
};

// Files and folders as open objects, each opened by one name inside a folder
// that is already open: no path is ever resolved as a whole, and no link is
// ever followed. The decisions (what may be opened, what is refused) are the
// caller's; this only makes the requests.
class FileNodes {
  public:
    using Node = std::uint64_t;  // an open object; never 0

    // What an object is opened for. Every use may also describe it.
    enum class Use {
        Look,    // its facts only
        List,    // a folder whose names are listed
        Read,    // a file whose bytes are read
        Change,  // a file that is renamed or deleted
        Lock,    // a file whose locks are taken or asked about
    };

    virtual ~FileNodes() = default;

    // The root folder of a volume or share: "C:\" or "\\server\share\".
    virtual std::optional<Node> OpenRoot(const std::string& root, std::string& reason) = 0;
    // The object called `name` (one name, no separator) in `folder`, opened
    // as itself even when it is a link. `missing` says that nothing has that
    // name; otherwise `reason` holds the system's words.
    virtual std::optional<Node> OpenChild(Node folder, const std::string& name, Use use,
                                          bool& missing, std::string& reason) = 0;
    // A new empty file called `name` in `folder`, open for writing and for
    // Change, shared with nobody; nothing when anything at all has that name
    // (`exists` then says so).
    virtual std::optional<Node> CreateChild(Node folder, const std::string& name, bool& exists,
                                            std::string& reason) = 0;
    // The object called `name` in `folder` as OpenChild opens it for
    // Use::Lock; a new empty file when nothing has that name.
    virtual std::optional<Node> OpenOrCreateChild(Node folder, const std::string& name,
                                                  std::string& reason) = 0;
    virtual std::optional<FileNodeFacts> Describe(Node node, std::string& reason) = 0;
    // The file's bytes from its start, at most `maxBytes` of them.
    virtual std::optional<std::string> Read(Node file, std::size_t maxBytes,
                                            std::string& reason) = 0;
    // Writes all of `bytes` and flushes them to the disk.
    virtual bool Write(Node file, std::string_view bytes, std::string& reason) = 0;
    // Takes a lock on the whole of `file` (opened for Use::Lock), honoured by
    // every process that locks the same file, trying again up to
    // `waitSeconds` (0: once) while another holder's lock is in the way;
    // `busy` then says so. Closing the node releases it too.
    virtual bool Lock(Node file, LockKind kind, double waitSeconds, bool& busy,
                      std::string& reason) = 0;
    virtual void Unlock(Node file) = 0;
    // Gives `file` the name `name` in `folder`, in place of a file that has it.
    virtual bool MoveInto(Node file, Node folder, const std::string& name, std::string& reason) = 0;
    // Deletes the name the object was opened by.
    virtual bool Delete(Node node, std::string& reason) = 0;
    // The names in a folder, without "." and "..".
    virtual std::optional<std::vector<std::string>> List(Node folder, std::string& reason) = 0;
    virtual void Close(Node node) = 0;

    // A number no other running process has, for names only this one makes.
    virtual std::uint32_t ProcessNumber() = 0;
};

}  // namespace tolvane
