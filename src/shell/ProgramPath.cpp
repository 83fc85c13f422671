#include "shell/ProgramPath.h"

namespace tavrel {

std::u16string FolderOfPath(const std::u16string& path) {
    const size_t last = path.rfind(u'\\');
    if (last == std::u16string::npos) return std::u16string();
    return path.substr(0, last);
}

}  // namespace tavrel
