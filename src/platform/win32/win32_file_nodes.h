#pragma once

#include "platform/file_nodes.h"

namespace tolvane {

// FileNodes through the native file requests (NtCreateFile and friends): each
// name is opened relative to its folder's handle (RootDirectory) with
// FILE_OPEN_REPARSE_POINT, renames name their target relative to a folder
// handle, deletes go through the handle's delete disposition and listings
// through NtQueryDirectoryFile. Names are bytes in the ANSI code page, as in
// Win32FileSystem.
class Win32FileNodes final : public FileNodes {
  public:
    std::optional<Node> OpenRoot(const std::string& root, std::string& reason) override;
    std::optional<Node> OpenChild(Node folder, const std::string& name, Use use, bool& missing,
                                  std::string& reason) override;
    std::optional<Node> CreateChild(Node folder, const std::string& name, bool& exists,
                                    std::string& reason) override;
    std::optional<Node> OpenOrCreateChild(Node folder, const std::string& name,
                                          std::string& reason) override;
    std::optional<FileNodeFacts> Describe(Node node, std::string& reason) override;
    std::optional<std::string> Read(Node file, std::size_t maxBytes, std::string& reason) override;
    bool Write(Node file, std::string_view bytes, std::string& reason) override;
    // LockFileEx on the whole range, as Win32FileSystem takes it.
    bool Lock(Node file, LockKind kind, double waitSeconds, bool& busy,
              std::string& reason) override;
    void Unlock(Node file) override;
    bool MoveInto(Node file, Node folder, const std::string& name, std::string& reason) override;
    bool Delete(Node node, std::string& reason) override;
    std::optional<std::vector<std::string>> List(Node folder, std::string& reason) override;
    void Close(Node node) override;
    std::uint32_t ProcessNumber() override;
};

}  // namespace tolvane
