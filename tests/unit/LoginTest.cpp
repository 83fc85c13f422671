// The login dialog's plain logic: the teacher-ID checks, the lookup request, the reading
// of the login web server's reply and what the dialog does with it.
#include "login/RelayLookup.h"
#include "login/TeacherId.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tavrel;

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t ch : text) out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
}

// Stands in for the string table: "<id>".
std::u16string FakeString(unsigned id) {
    const std::string digits = "<" + std::to_string(id) + ">";
    return std::u16string(digits.begin(), digits.end());
}

TEST(TeacherIdTest, TrimmedIdsAreCheckedInOrder) {
    const std::u16string twenty = u"abcdefghij0123456789";
    const struct {
        std::u16string typed;
        std::u16string trimmed;
        unsigned refusal;
    } cases[] = {
        {u"", u"", IDS_LOGIN_ID_EMPTY},
        {u" \t\r\n", u"", IDS_LOGIN_ID_EMPTY},
        {u"\u3000", u"", IDS_LOGIN_ID_EMPTY},
        {u"  teacher01  ", u"teacher01", 0},
        {u"\u3000t 01\u00A0", u"t 01", 0},
        {twenty, twenty, 0},
        {u"   " + twenty + u"   ", twenty, 0},
        {twenty + u"x", twenty + u"x", IDS_LOGIN_ID_TOO_LONG},
        {u"선생님아이디일이삼사오육칠팔구십일이삼사", u"선생님아이디일이삼사오육칠팔구십일이삼사",
         0},
        {u"선생님아이디일이삼사오육칠팔구십일이삼사오",
         u"선생님아이디일이삼사오육칠팔구십일이삼사오", IDS_LOGIN_ID_TOO_LONG},
        {u"t:01", u"t:01", IDS_LOGIN_ID_BAD_CHARS},
        // A forbidden character is reported before the length.
        {twenty + u":", twenty + u":", IDS_LOGIN_ID_BAD_CHARS},
        {u"a b-c_d.e", u"a b-c_d.e", 0},
    };
    for (const auto& c : cases) {
        const std::u16string trimmed = TrimLoginText(c.typed);
        EXPECT_EQ(Narrow(c.trimmed), Narrow(trimmed)) << Narrow(c.typed);
        EXPECT_EQ(c.refusal, ValidateTeacherId(trimmed)) << Narrow(c.typed);
    }
}

TEST(TeacherIdTest, EveryForbiddenCharacterIsRefusedAnywhere) {
    const std::u16string forbidden = u",\\<>&|:/*?\"";
    ASSERT_EQ(forbidden.size(), 11u);
    for (char16_t ch : forbidden) {
        for (const std::u16string& id :
             {std::u16string(1, ch), u"ab" + std::u16string(1, ch), std::u16string(1, ch) + u"cd",
              u"a" + std::u16string(1, ch) + u"b"}) {
            EXPECT_EQ(IDS_LOGIN_ID_BAD_CHARS, ValidateTeacherId(id)) << Narrow(id);
        }
    }
    for (char16_t ch : std::u16string(u"!#$%'()+;=@[]^`{}~")) {
        EXPECT_EQ(0u, ValidateTeacherId(u"id" + std::u16string(1, ch))) << static_cast<int>(ch);
    }
}

TEST(LookupReplyTest, LinesKeysQuotesAndOrder) {
    const struct {
        const char* name;
        std::u16string reply;
        LookupReply expected;
    } cases[] = {
        {"answer",
         u"result:true\ncode:0\nrsip:10.0.0.5\nrsport:10240",
         {u"true", u"0", u"", u"10.0.0.5", u"10240"}},
        {"crlf", u"result:false\r\ncode:2\r\nmessage:x\r\n", {u"false", u"2", u"<1114>", u"", u""}},
        {"code before message maps",
         u"result:false\ncode:2\nmessage:unknown",
         {u"false", u"2", u"<1114>", u"", u""}},
        {"message before code stays",
         u"result:false\nmessage:unknown\ncode:2",
         {u"false", u"2", u"unknown", u"", u""}},
        {"code 1 without message", u"result:false\ncode:1", {u"false", u"1", u"", u"", u""}},
        {"quotes removed before the keys",
         u"\"result\":\"false\"\nrsip:\"1.2.3.4\"\nrsport:\"80\"",
         {u"false", u"", u"", u"1.2.3.4", u"80"}},
        {"quoted values",
         u"result:\"false\"\nrsip:\"1.2.3.4\"",
         {u"false", u"", u"", u"1.2.3.4", u""}},
        {"blanks around value and line",
         u"  result:   false \t\n rsport: 9000 ",
         {u"false", u"", u"", u"", u"9000"}},
        {"keys are case-sensitive",
         u"Result:false\nRSIP:1.1.1.1\nrsip:2.2.2.2",
         {u"", u"", u"", u"2.2.2.2", u""}},
        {"key only at line start", u"x result:false\nnote rsip:9.9.9.9", {}},
        {"repeated key overwrites",
         u"rsip:1.1.1.1\nrsip:2.2.2.2\nresult:a\nresult:b",
         {u"b", u"", u"", u"2.2.2.2", u""}},
        {"empty lines skipped", u"\n\n\r\nresult:false\n\n\n", {u"false", u"", u"", u"", u""}},
        {"rsport is not rsip", u"rsport:9000", {u"", u"", u"", u"", u"9000"}},
        {"every occurrence of the key goes",
         u"result:result:false",
         {u"false", u"", u"", u"", u""}},
        {"key without value", u"result:\nrsip:", {}},
        {"error page", u"<html><body>Not found</body></html>", {}},
        {"empty", u"", {}},
        {"canned failure",
         kLookupFailedReply,
         {u"false", u"404", u"Failed to access to the URL page.", u"", u""}},
        {"korean server message",
         u"result:false\ncode:7\nmessage:잘못된 접근입니다.",
         {u"false", u"7", u"<1113>", u"", u""}},
    };
    for (const auto& c : cases) {
        const LookupReply reply = ParseLookupReply(c.reply, FakeString);
        EXPECT_EQ(Narrow(c.expected.result), Narrow(reply.result)) << c.name;
        EXPECT_EQ(Narrow(c.expected.code), Narrow(reply.code)) << c.name;
        EXPECT_EQ(c.expected.message, reply.message) << c.name;
        EXPECT_EQ(Narrow(c.expected.rsip), Narrow(reply.rsip)) << c.name;
        EXPECT_EQ(Narrow(c.expected.rsport), Narrow(reply.rsport)) << c.name;
    }
}

TEST(LookupReplyTest, ServerMessagesAndCodesMapToOurTexts) {
    const struct {
        std::u16string message;
        std::u16string code;
        std::u16string shown;
    } cases[] = {
        {u"", u"1", u""},
        {u"", u"2", u""},
        {u"잘못된 접근입니다.", u"", u"<1113>"},
        {u"유효하지않은  선생님 ID 입니다.", u"9", u"<1114>"},
        // With one space it is not the server's text; code 9 leaves it as received.
        {u"유효하지않은 선생님 ID 입니다.", u"9", u"유효하지않은 선생님 ID 입니다."},
        {u"유효하지않은 고유코드 입니다.", u"1", u"<1115>"},
        {u"anything", u"1", u"<1113>"},
        {u"anything", u"2", u"<1114>"},
        {u"anything", u"3", u"anything"},
        {u"anything", u" 1", u"anything"},
        {u"Failed to access to the URL page.", u"404", u"Failed to access to the URL page."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, MapServerMessage(c.message, c.code, FakeString)) << Narrow(c.message);
    }
}

TEST(LookupReplyTest, OutcomeOfAReply) {
    const struct {
        std::u16string result;
        std::u16string code;
        LoginOutcome outcome;
    } cases[] = {
        {u"false", u"404", LoginOutcome::kUseStoredEndpoint},
        {u"false", u"2", LoginOutcome::kRefused},
        {u"false", u"", LoginOutcome::kRefused},
        {u"false", u"4040", LoginOutcome::kRefused},
        {u"true", u"404", LoginOutcome::kStoreEndpoint},
        {u"", u"", LoginOutcome::kStoreEndpoint},
        {u"FALSE", u"1", LoginOutcome::kStoreEndpoint},
    };
    for (const auto& c : cases) {
        LookupReply reply;
        reply.result = c.result;
        reply.code = c.code;
        EXPECT_EQ(c.outcome, DecideLoginOutcome(reply))
            << Narrow(c.result) << "/" << Narrow(c.code);
    }
}

TEST(LookupRequestTest, FormFieldsAndDigest) {
    const struct {
        int32_t tick;
        std::u16string id;
        std::string ansi;
        std::u16string val1;
        std::u16string val2;
    } cases[] = {
        {12345, u"t01", "t01", u"12345", u"fb71ce649ce690572d3245e60e5b2933"},
        // Past 2^31 ms of uptime the tick count reads negative.
        {static_cast<int32_t>(0x80000000u), u"teacher", "teacher", u"-2147483648",
         u"29c5433b9fdeb700b50b0c056e0e24fa"},
        {2147483647, u"abcdefghijklmnopqrst", "abcdefghijklmnopqrst", u"2147483647",
         u"9746378a0046c799404427f0744447db"},
        // Characters the code page lacks are digested as "?", the ID is sent as typed.
        {0, u"선생01", "??01", u"0", u"8858e1f75b0f46c3abbd5ff9a0320ff2"},
    };
    for (const auto& c : cases) {
        const LookupForm form = BuildLookupForm(c.tick, c.id, c.ansi);
        EXPECT_EQ(c.val1, form.val1);
        EXPECT_EQ(c.val2, form.val2) << c.ansi;
        EXPECT_EQ(c.id, form.val3);
        EXPECT_EQ(u"val1=" + c.val1 + u"&val2=" + c.val2 + u"&val3=" + c.id, form.formText);
    }
}

TEST(LookupRequestTest, LoginServerUrlsFromConfiguration) {
    const std::u16string path = kLookupPath;
    const struct {
        std::u16string https;
        std::u16string http;
        std::u16string expectedHttps;
        std::u16string expectedHttp;
    } cases[] = {
        {u"", u"", std::u16string(kDefaultLoginHttpsBase) + path,
         std::u16string(kDefaultLoginHttpBase) + path},
        {u"https://127.0.0.1:8443", u"http://127.0.0.1:8080", u"https://127.0.0.1:8443" + path,
         u"http://127.0.0.1:8080" + path},
        {u" https://login.school.example/ ", u"", u"https://login.school.example" + path,
         u"http://login.school.example" + path},
        {u"", u"HTTP://10.1.1.1:81", u"https://10.1.1.1:81" + path, u"HTTP://10.1.1.1:81" + path},
        {u"https://a.example//", u"http://b.example", u"https://a.example" + path,
         u"http://b.example" + path},
    };
    for (const auto& c : cases) {
        const LoginServerUrls urls = ResolveLoginServerUrls(c.https, c.http);
        EXPECT_EQ(Narrow(c.expectedHttps), Narrow(urls.https));
        EXPECT_EQ(Narrow(c.expectedHttp), Narrow(urls.http));
    }
}

}  // namespace
