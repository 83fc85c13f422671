#include "shell/FolderChain.h"

#include <cstddef>

namespace tavrel {

namespace {

constexpr char16_t kBackslash = u'\\';
constexpr char16_t kSlash = u'/';
constexpr char16_t kDriveMark = u':';
constexpr char16_t kUncPrefix[] = u"\\\\";

// The walk keeps the path so far, which always ends in a backslash or is empty, and
// the length of its leading part that no ".." may remove: a drive, a root backslash,
// or the server and share of a UNC path.
class FolderWalk {
  public:
    FolderWalk(const std::u16string& path, IFolderCreator& creator)
        : m_strPath(path), m_creator(creator) {
        for (char16_t& ch : m_strPath) {
            if (ch == kSlash) ch = kBackslash;
        }
    }

    int Run() {
        size_t start = TakeRoot();
        while (start <= m_strPath.size()) {
            size_t end = m_strPath.find(kBackslash, start);
            if (end == std::u16string::npos) end = m_strPath.size();
            if (!TakeComponent(m_strPath.substr(start, end - start))) return 0;
            start = end + 1;
        }
        return 1;
    }

  private:
    // Copies the part of the path that names no folder of its own; returns where the
    // first component begins.
    size_t TakeRoot() {
        if (m_strPath.compare(0, 2, kUncPrefix) == 0) {
            const size_t server = m_strPath.find(kBackslash, 2);
            const size_t share =
                server == std::u16string::npos ? server : m_strPath.find(kBackslash, server + 1);
            const size_t rootEnd = share == std::u16string::npos ? m_strPath.size() : share + 1;
            m_strSoFar = m_strPath.substr(0, rootEnd);
        } else if (!m_strPath.empty() && m_strPath[0] == kBackslash) {
            m_strSoFar = m_strPath.substr(0, 1);
        } else {
            size_t first = m_strPath.find(kBackslash);
            if (first == std::u16string::npos) first = m_strPath.size();
            if (first > 0 && m_strPath[first - 1] == kDriveMark) {
                m_strSoFar = m_strPath.substr(0, first + 1);
            }
        }
        m_nRootLength = m_strSoFar.size();
        return m_nRootLength;
    }

    // False when ".." has nothing left to remove.
    bool TakeComponent(const std::u16string& component) {
        if (component.empty() || component == u".") return true;
        if (component == u"..") return DropLastFolder();
        m_strSoFar += component;
        m_creator.CreateFolder(m_strSoFar);
        m_strSoFar += kBackslash;
        return true;
    }

    bool DropLastFolder() {
        if (m_strSoFar.size() <= m_nRootLength) return false;
        // m_strSoFar ends with "<folder>\"; keep everything up to the backslash before it.
        const size_t before = m_strSoFar.rfind(kBackslash, m_strSoFar.size() - 2);
        const size_t keep = before == std::u16string::npos ? 0 : before + 1;
        m_strSoFar.erase(keep < m_nRootLength ? m_nRootLength : keep);
        return true;
    }

    std::u16string m_strPath;
    IFolderCreator& m_creator;
    std::u16string m_strSoFar;
    size_t m_nRootLength = 0;
};

}  // namespace

int CreateFolderChain(const std::u16string& path, IFolderCreator& creator) {
    return FolderWalk(path, creator).Run();
}

}  // namespace tavrel
