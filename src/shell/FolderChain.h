// Creating every folder along a path, from the top down. The walk over the path is
// kept apart from the file system so that it can be checked with a recording double.
#pragma once

#include <string>

namespace tavrel {

// What the walk needs from the file system. A failed creation (a folder that already
// exists, a drive or server that cannot be created) is not an error for the walk.
class IFolderCreator {
  public:
    virtual ~IFolderCreator() = default;
    virtual void CreateFolder(const std::u16string& path) = 0;
};

// Creates every folder along `path` ("/" counts as "\"), resolving "." and ".."
// components and skipping a drive ("C:") and the server and share of a UNC path.
// Returns 1, or 0 when a ".." climbs above the start of the path (nothing after it is
// created).
int CreateFolderChain(const std::u16string& path, IFolderCreator& creator);

}  // namespace tavrel
