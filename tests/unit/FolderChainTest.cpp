#include "shell/FolderChain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class CRecordingCreator : public IFolderCreator {
  public:
    void CreateFolder(const std::u16string& path) override { m_created.push_back(path); }
    std::vector<std::u16string> m_created;
};

TEST(FolderChainTest, CreatesEveryFolderAlongThePath) {
    const struct {
        std::u16string path;
        int expected;
        std::vector<std::u16string> created;
    } cases[] = {
        {u"C:/Data/NoteSave/2025-04-07",
         1,
         {u"C:\\Data", u"C:\\Data\\NoteSave", u"C:\\Data\\NoteSave\\2025-04-07"}},
        {u"C:\\Data\\NoteSave\\", 1, {u"C:\\Data", u"C:\\Data\\NoteSave"}},
        {u"C:\\Data\\\\Notes", 1, {u"C:\\Data", u"C:\\Data\\Notes"}},
        {u"C:\\", 1, {}},
        {u"C:", 1, {}},
        {u"", 1, {}},
        {u"C:\\a\\.\\b", 1, {u"C:\\a", u"C:\\a\\b"}},
        {u"C:\\a\\b\\..\\c", 1, {u"C:\\a", u"C:\\a\\b", u"C:\\a\\c"}},
        {u"C:\\a\\b\\..\\..\\c", 1, {u"C:\\a", u"C:\\a\\b", u"C:\\c"}},
        {u"C:\\a\\..\\..\\c", 0, {u"C:\\a"}},
        {u"C:\\..", 0, {}},
        {u"C:\\a\\b\\..", 1, {u"C:\\a", u"C:\\a\\b"}},
        {u"C:\\a\\b\\.", 1, {u"C:\\a", u"C:\\a\\b"}},
        {u"..\\x", 0, {}},
        {u"a\\..\\b", 1, {u"a", u"b"}},
        {u".\\a\\b", 1, {u"a", u"a\\b"}},
        {u"a/b", 1, {u"a", u"a\\b"}},
        {u"\\Data\\Notes", 1, {u"\\Data", u"\\Data\\Notes"}},
        {u"\\..\\Data", 0, {}},
        {u"\\\\server\\share\\dir\\sub",
         1,
         {u"\\\\server\\share\\dir", u"\\\\server\\share\\dir\\sub"}},
        {u"//server/share/dir", 1, {u"\\\\server\\share\\dir"}},
        {u"\\\\server\\share", 1, {}},
        {u"\\\\server\\share\\..\\other", 0, {}},
        {u"\\\\server\\share\\a\\..\\b", 1, {u"\\\\server\\share\\a", u"\\\\server\\share\\b"}},
        {u"D:\\\uBC14\uD0D5\\\uB178\uD2B8",
         1,
         {u"D:\\\uBC14\uD0D5", u"D:\\\uBC14\uD0D5\\\uB178\uD2B8"}},
    };
    for (const auto& c : cases) {
        CRecordingCreator creator;
        EXPECT_EQ(c.expected, CreateFolderChain(c.path, creator)) << Narrow(c.path);
        EXPECT_EQ(c.created, creator.m_created) << Narrow(c.path);
    }
}

}  // namespace
