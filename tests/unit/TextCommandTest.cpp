#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/TextCommand.h"

TEST(TextCommandTest, SplitCommand) {
    const struct {
        std::u16string text;
        bool isCommand;
        std::u16string code;
        std::u16string arguments;
    } cases[] = {
        {u"[RC00010]1920,1080", true, u"[RC00010]", u"1920,1080"},
        {u"[MV00007]", true, u"[MV00007]", u""},
        {u"[MV0007]", false, u"", u""},
        {u"", false, u"", u""},
        {u"[RH00003]1", true, u"[RH00003]", u"1"},
        {u"[rh00003]1", true, u"[rh00003]", u"1"},  // codes are compared by the caller
    };
    for (const auto& c : cases) {
        std::u16string code = u"old", args = u"old";
        EXPECT_EQ(SplitCommand(c.text, code, args), c.isCommand);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(args, c.arguments);
    }
}

TEST(TextCommandTest, TokenizedAndListedArguments) {
    using V = std::vector<std::u16string>;
    const struct {
        std::u16string arguments;
        V tokenized;
        V listed;
    } cases[] = {
        {u"1920,1080", {u"1920", u"1080"}, {u"1920", u"1080"}},
        {u",,5,", {u"5"}, {u"5"}},
        {u"", {}, {}},
        {u",", {}, {}},
        {u"\"a\",\"b\"", {u"\"a\"", u"\"b\""}, {u"a", u"b"}},
        {u"\"\",x", {u"\"\"", u"x"}, {u"x"}},
        {u"1,Reserved,Reserved",
         {u"1", u"Reserved", u"Reserved"},
         {u"1", u"Reserved", u"Reserved"}},
        {u" a , b", {u" a ", u" b"}, {u" a ", u" b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenizeArguments(c.arguments), c.tokenized);
        EXPECT_EQ(ListArguments(c.arguments), c.listed);
    }
}

TEST(TextCommandTest, DecimalPrefix) {
    const struct {
        std::u16string field;
        int32_t value;
    } cases[] = {
        {u"1920", 1920},
        {u"-5", -5},
        {u"+7", 7},
        {u"12abc", 12},
        {u"abc", 0},
        {u"", 0},
        {u"  42", 42},
        {u"-", 0},
        {u"2147483647", 2147483647},
        {u"99999999999999999999", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalPrefix(c.field), c.value);
}

TEST(TextCommandTest, MakeCommandAndDecimalText) {
    EXPECT_EQ(MakeCommand(u"[RC00010]", {DecimalText(1920), DecimalText(1080)}),
              u"[RC00010]1920,1080");
    EXPECT_EQ(MakeCommand(u"[RC00003]"), u"[RC00003]");
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(-2147483648LL), u"-2147483648");
}
