// Where the running program lives, as far as that can be worked out without Windows.
#pragma once

#include <string>

namespace tavrel {

// `path` cut before its last backslash; empty when it holds none.
std::u16string FolderOfPath(const std::u16string& path);

}  // namespace tavrel
