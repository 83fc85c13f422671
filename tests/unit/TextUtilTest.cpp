#include "shell/ProgramPath.h"
#include "shell/TextUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(TextUtilTest, SplitTextCountsAndPieces) {
    const struct {
        std::u16string text;
        std::u16string separators;
        int expected;
        std::vector<std::u16string> pieces;
    } cases[] = {
        {u"1920,1080", u",", 3, {u"1920", u"1080"}},
        {u",,5,", u",", 2, {u"5"}},
        {u"", u",", 0, {}},
        {u"\"a\",\"b\"", u",", 3, {u"a", u"b"}},
        {u"\"\"", u",", 0, {}},
        {u",,,", u",", 0, {}},
        {u"one", u",", 2, {u"one"}},
        {u"one", u"", 2, {u"one"}},
        {u"a,b;c", u",;", 4, {u"a", u"b", u"c"}},
        {u"a b", u",", 2, {u"a b"}},
        {u"file:a.exe:1,0,0,1:", u":", 4, {u"file", u"a.exe", u"1,0,0,1"}},
        {u"x\"y\"z,", u",", 2, {u"xyz"}},
        {u"\uD55C,\uAE00", u",", 3, {u"\uD55C", u"\uAE00"}},
        {u"a,\",\",b", u",", 3, {u"a", u"b"}},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> pieces{u"left over"};
        EXPECT_EQ(c.expected, SplitText(c.text, c.separators, pieces)) << Narrow(c.text);
        EXPECT_EQ(c.pieces, pieces) << Narrow(c.text);
    }
}

TEST(TextUtilTest, ConvertedTextsEndAtFirstZero) {
    EXPECT_EQ("ab", BytesBeforeZero(std::string("ab\0cd", 5)));
    EXPECT_EQ("", BytesBeforeZero(std::string("\0cd", 3)));
    EXPECT_EQ("abc", BytesBeforeZero("abc"));
    EXPECT_EQ(u"ab", TextBeforeZero(std::u16string(u"ab\0cd", 5)));
    EXPECT_EQ(u"", TextBeforeZero(std::u16string(u"\0", 1)));
    EXPECT_EQ(u"abc", TextBeforeZero(u"abc"));
}

TEST(TextUtilTest, FolderOfPath) {
    const struct {
        std::u16string path;
        std::u16string expected;
    } cases[] = {
        {u"C:\\Program Files\\Vantor\\Vantor Tavrel.exe", u"C:\\Program Files\\Vantor"},
        {u"C:\\a.exe", u"C:"},
        {u"a.exe", u""},
        {u"", u""},
        {u"\\\\server\\share\\x.exe", u"\\\\server\\share"},
        {u"C:/forward/slash.exe", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(c.expected), Narrow(FolderOfPath(c.path))) << Narrow(c.path);
    }
}

}  // namespace
