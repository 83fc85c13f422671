#include "login/HttpClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t ch : text) out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
}

TEST(HttpClientTest, EncodeFormTextEscapesEveryByteButTheKeptOnes) {
    const struct {
        std::u16string form;
        std::string encoded;
    } cases[] = {
        {u"", ""},
        {u"a b", "a%20b"},
        {u"val1=1&val2=x", "val1%3d1%26val2%3dx"},
        {u"AZaz09!%'()*-./:_~", "AZaz09!%'()*-./:_~"},
        {u"\"#$+,;<>?@", "%22%23%24%2b%2c%3b%3c%3e%3f%40"},
        {u"[\\]^`{|}", "%5b%5c%5d%5e%60%7b%7c%7d"},
        {u"\t\x01\n\x7f", "%09%01%0a%7f"},
        {std::u16string(u"a\0b", 3), "a%00b"},
        {u"\uD55C\uAE00", "%ed%95%9c%ea%b8%80"},
        {u"\u00E9", "%c3%a9"},
        {u"\U0001F600", "%f0%9f%98%80"},
        {u"\xD800x", "%ef%bf%bdx"},
        {u"x\xDC00", "x%ef%bf%bd"},
    };
    for (const auto& c : cases) {
        std::string encoded = "stale";
        EXPECT_TRUE(EncodeFormText(c.form, encoded)) << Narrow(c.form);
        EXPECT_EQ(c.encoded, encoded) << Narrow(c.form);
    }
}

TEST(HttpClientTest, EncodeFormTextLimitCountsEncodedCharacters) {
    const std::u16string korean(113, u'\uD55C');  // 9 characters each once encoded
    const struct {
        std::u16string form;
        bool fits;
    } cases[] = {
        {std::u16string(kMaxEncodedFormLength, u'a'), true},
        {std::u16string(kMaxEncodedFormLength + 1, u'a'), false},
        {std::u16string(340, u' ') + u"ab", true},
        {std::u16string(kMaxEncodedFormLength - 2, u'a') + u" ", false},
        {korean + u"abcde", true},
        {korean + u"\uD55C", false},
    };
    for (const auto& c : cases) {
        std::string encoded = "stale";
        EXPECT_EQ(c.fits, EncodeFormText(c.form, encoded)) << c.form.size();
        if (c.fits) {
            EXPECT_LE(encoded.size(), kMaxEncodedFormLength);
        } else {
            EXPECT_EQ("", encoded);
        }
    }
}

TEST(HttpClientTest, RequestObjectKeepsFormSeparators) {
    const struct {
        std::u16string urlObject;
        std::u16string form;
        bool ok;
        std::u16string object;
    } cases[] = {
        {u"/p.jsp", u"", true, u"/p.jsp"},
        {u"/p.jsp", u"val1=a b&val2=c", true, u"/p.jsp?val1=a%20b&val2=c"},
        // "=" and "&" inside a value come out as separators: the server sees more fields.
        {u"/p", u"a=x=y&b=1&2", true, u"/p?a=x=y&b=1&2"},
        // A percent sign is not escaped, so an escape already in the text survives too.
        {u"/p", u"a=%3d%26%41", true, u"/p?a==&%41"},
        {u"/p", u"id=\uD55C", true, u"/p?id=%ed%95%9c"},
        {u"/p?x=1", u"a=b", true, u"/p?x=1&a=b"},
        {u"/p", std::u16string(kMaxEncodedFormLength + 1, u'a'), false, u"/p"},
    };
    for (const auto& c : cases) {
        std::u16string object;
        EXPECT_EQ(c.ok, BuildRequestObject(c.urlObject, c.form, object)) << Narrow(c.form);
        EXPECT_EQ(c.object, object) << Narrow(c.form);
    }
}

TEST(HttpClientTest, SplitHttpUrl) {
    const HttpScheme http = HttpScheme::kHttp;
    const HttpScheme https = HttpScheme::kHttps;
    const struct {
        std::u16string url;
        bool ok;
        HttpUrlParts parts;
    } cases[] = {
        {u"http://h/a.jsp", true, {http, u"h", 80, u"", u"", u"/a.jsp"}},
        {u"https://login.example:8443/v/r.jsp?x=1",
         true,
         {https, u"login.example", 8443, u"", u"", u"/v/r.jsp?x=1"}},
        {u"HTTPS://H", true, {https, u"H", 443, u"", u"", u"/"}},
        {u"http://me:pw@10.0.0.1:8080/p", true, {http, u"10.0.0.1", 8080, u"me", u"pw", u"/p"}},
        {u"http://me@h/p", true, {http, u"h", 80, u"me", u"", u"/p"}},
        {u"http://a:b:c@h/p", true, {http, u"h", 80, u"a", u"b:c", u"/p"}},
        {u"http://a@b@h/p", true, {http, u"h", 80, u"a@b", u"", u"/p"}},
        {u"http://h:/p", true, {http, u"h", 80, u"", u"", u"/p"}},
        {u"http://h:65535", true, {http, u"h", 65535, u"", u"", u"/"}},
        {u"http://h?q=1", true, {http, u"h", 80, u"", u"", u"/?q=1"}},
        {u"http://h/p#frag", true, {http, u"h", 80, u"", u"", u"/p"}},
        {u"http://[::1]:81/p", true, {http, u"::1", 81, u"", u"", u"/p"}},
        {u"http://h/%41b", true, {http, u"h", 80, u"", u"", u"/%41b"}},
        {u"ftp://h/p", false, {}},
        {u"file:///c:/x", false, {}},
        {u"h/p", false, {}},
        {u"", false, {}},
        {u"http://", false, {}},
        {u"http:///p", false, {}},
        {u"http://u:p@/p", false, {}},
        {u"http://h:0/p", false, {}},
        {u"http://h:65536/p", false, {}},
        {u"http://h:8x/p", false, {}},
        {u"http://[::1/p", false, {}},
        {u"http://[::1]x/p", false, {}},
        {u"http://a b/p", false, {}},
        {u"http://h/p\r\nX: y", false, {}},
    };
    for (const auto& c : cases) {
        HttpUrlParts parts;
        parts.host = u"stale";
        ASSERT_EQ(c.ok, SplitHttpUrl(c.url, parts)) << Narrow(c.url);
        if (!c.ok) continue;
        EXPECT_EQ(c.parts.scheme, parts.scheme) << Narrow(c.url);
        EXPECT_EQ(c.parts.host, parts.host) << Narrow(c.url);
        EXPECT_EQ(c.parts.port, parts.port) << Narrow(c.url);
        EXPECT_EQ(c.parts.user, parts.user) << Narrow(c.url);
        EXPECT_EQ(c.parts.password, parts.password) << Narrow(c.url);
        EXPECT_EQ(c.parts.object, parts.object) << Narrow(c.url);
    }
}

TEST(HttpClientTest, StatusTextsAndResults) {
    const struct {
        std::u16string text;
        int32_t status;
        int32_t result;
    } cases[] = {
        {u"200", 200, kHttpOk},         {u" 200 ", 200, kHttpOk},
        {u"200 OK", 200, kHttpOk},      {u"301", 301, kHttpRedirected},
        {u"302", 302, kHttpRedirected}, {u"303", 303, kHttpRedirected},
        {u"304", 304, kHttpBadStatus},  {u"307", 307, kHttpBadStatus},
        {u"404", 404, kHttpBadStatus},  {u"500", 500, kHttpBadStatus},
        {u"", 0, kHttpBadStatus},       {u"OK", 0, kHttpBadStatus},
        {u"+200", 200, kHttpOk},        {u"-200", -200, kHttpBadStatus},
        {u"0200", 200, kHttpOk},        {u"99999999999", INT32_MAX, kHttpBadStatus},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, ParseStatusCode(c.text)) << Narrow(c.text);
        EXPECT_EQ(c.result, ResultForStatus(ParseStatusCode(c.text))) << Narrow(c.text);
    }
}

TEST(HttpClientTest, DownloadNameFromDisposition) {
    const std::u16string longPrefix(kMaxHeaderValueLength - 14, u'x');
    const struct {
        std::u16string header;
        std::u16string name;
    } cases[] = {
        {u"attachment; filename=\"a b.txt\" ; size=3", u"\"a b.txt\""},
        {u"attachment; FileName=Update.EXE", u"Update.EXE"},
        {u"ATTACHMENT;FILENAME=  x.dll  ", u"x.dll"},
        {u"attachment; filename=\uD55C\uAE00.txt", u"\uD55C\uAE00.txt"},
        {u"attachment; filename=;x", u""},
        {u"attachment", u""},
        {u"", u""},
        {u"filename=a;filename=b", u"a"},
        {u"attachment; name=\"x\"", u""},
        {longPrefix + u"filename=a.txt", u"a.txt"},
        {longPrefix + u"filename=ab.txt", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.name, DownloadNameFromDisposition(c.header)) << Narrow(c.header);
    }
}

// A scripted request: every step succeeds unless told otherwise; every call is logged.
class FakeTransport : public HttpTransport {
  public:
    bool openOk = true;
    bool connectOk = true;
    bool openRequestOk = true;
    std::vector<uint32_t> sendErrors{0};
    bool hasStatus = true;
    std::u16string status = u"200";
    bool hasDisposition = false;
    std::u16string disposition;
    std::vector<std::string> pieces;
    size_t failReadAt = SIZE_MAX;
    bool endlessBody = false;

    std::vector<std::string> calls;
    HttpUrlParts connected;
    std::u16string object;
    std::u16string headers;

    bool Open(HttpScheme scheme) override {
        calls.push_back(scheme == HttpScheme::kHttps ? "open https" : "open http");
        return openOk;
    }
    bool Connect(const HttpUrlParts& url) override {
        calls.push_back("connect");
        connected = url;
        return connectOk;
    }
    bool OpenRequest(const std::u16string& requestObject, HttpScheme) override {
        calls.push_back("request");
        object = requestObject;
        return openRequestOk;
    }
    uint32_t Send(const std::u16string& headerText) override {
        calls.push_back("send");
        headers = headerText;
        const uint32_t error = sendErrors.empty() ? 1 : sendErrors.front();
        if (!sendErrors.empty()) sendErrors.erase(sendErrors.begin());
        return error;
    }
    void RelaxCertificateChecks() override { calls.push_back("relax"); }
    bool QueryStatus(std::u16string& text) override {
        text = status;
        return hasStatus;
    }
    bool QueryContentDisposition(std::u16string& text) override {
        text = disposition;
        return hasDisposition;
    }
    bool Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        const size_t index = reads++;
        bytesRead = 0;
        if (index == failReadAt) return false;
        if (endlessBody) {
            bytesRead = size;
            return true;
        }
        if (index >= pieces.size()) return true;
        EXPECT_LE(pieces[index].size(), size);
        bytesRead = static_cast<uint32_t>(pieces[index].size());
        std::copy(pieces[index].begin(), pieces[index].end(), buffer);
        return true;
    }
    size_t reads = 0;
};

using Calls = std::vector<std::string>;

TEST(HttpClientTest, RequestStepsAndResults) {
    const Calls full = {"open http", "connect", "request", "send"};
    const Calls fullHttps = {"open https", "connect", "request", "send"};
    const struct {
        const char* name;
        std::u16string url;
        void (*script)(FakeTransport&);
        int32_t result;
        Calls calls;
    } cases[] = {
        {"ok", u"http://h/p", [](FakeTransport&) {}, kHttpOk, full},
        {"bad scheme", u"ftp://h/p", [](FakeTransport&) {}, kHttpBadUrl, {}},
        {"no root",
         u"http://h/p",
         [](FakeTransport& t) { t.openOk = false; },
         kHttpOpenFailed,
         {"open http"}},
        {"no connection",
         u"https://h/p",
         [](FakeTransport& t) { t.connectOk = false; },
         kHttpConnectFailed,
         {"open https", "connect"}},
        {"no request",
         u"http://h/p",
         [](FakeTransport& t) { t.openRequestOk = false; },
         kHttpRequestFailed,
         {"open http", "connect", "request"}},
        {"send fails", u"http://h/p", [](FakeTransport& t) { t.sendErrors = {12029}; },
         kHttpRequestFailed, full},
        {"unknown CA over http", u"http://h/p",
         [](FakeTransport& t) { t.sendErrors = {kErrorInvalidCertificateAuthority}; },
         kHttpRequestFailed, full},
        {"unknown CA retried",
         u"https://h/p",
         [](FakeTransport& t) {
             t.sendErrors = {kErrorInvalidCertificateAuthority, 0};
         },
         kHttpOk,
         {"open https", "connect", "request", "send", "relax", "send"}},
        {"unknown CA twice",
         u"https://h/p",
         [](FakeTransport& t) {
             t.sendErrors = {kErrorInvalidCertificateAuthority, kErrorInvalidCertificateAuthority};
         },
         kHttpRequestFailed,
         {"open https", "connect", "request", "send", "relax", "send"}},
        {"other certificate error", u"https://h/p",
         [](FakeTransport& t) { t.sendErrors = {12037}; }, kHttpRequestFailed, fullHttps},
        {"302", u"http://h/p", [](FakeTransport& t) { t.status = u"302"; }, kHttpRedirected, full},
        {"404", u"http://h/p", [](FakeTransport& t) { t.status = u"404"; }, kHttpBadStatus, full},
        {"no status", u"http://h/p", [](FakeTransport& t) { t.hasStatus = false; }, kHttpBadStatus,
         full},
    };
    for (const auto& c : cases) {
        FakeTransport transport;
        transport.pieces = {"body"};
        transport.hasDisposition = true;
        transport.disposition = u"attachment; filename=f.bin";
        c.script(transport);
        const HttpReply reply = RequestUrl(transport, c.url, u"a=1");
        EXPECT_EQ(c.result, reply.result) << c.name;
        EXPECT_EQ(c.calls, transport.calls) << c.name;
        EXPECT_EQ(c.result == kHttpOk ? "body" : "", reply.body) << c.name;
        EXPECT_EQ(c.result == kHttpOk ? u"f.bin" : u"", reply.downloadName) << c.name;
        if (c.result != kHttpOk) {
            EXPECT_EQ(0u, transport.reads) << c.name;
        }
    }
}

TEST(HttpClientTest, RequestCarriesObjectHeadersAndCredentials) {
    const struct {
        std::u16string url;
        std::u16string form;
        std::u16string object;
        std::u16string user;
        std::u16string password;
    } cases[] = {
        {u"http://u:p@h:81/r.jsp", u"", u"/r.jsp", u"u", u"p"},
        {u"https://u:p@h/r.jsp", u"val1=-5&val3=\uD55C", u"/r.jsp?val1=-5&val3=%ed%95%9c", u"",
         u""},
    };
    for (const auto& c : cases) {
        FakeTransport transport;
        EXPECT_EQ(kHttpOk, RequestUrl(transport, c.url, c.form).result);
        EXPECT_EQ(c.object, transport.object);
        EXPECT_EQ(c.user, transport.connected.user);
        EXPECT_EQ(c.password, transport.connected.password);
        EXPECT_EQ(
            u"Accept: */*\r\nAccept-Language: ko\r\nUser-Agent: Mozilla/4.0 (compatible; "
            u"MSIE 5.01; Windows NT 5.0)\r\nConnection: Close\r\n",
            transport.headers);
    }
}

TEST(HttpClientTest, FormTooLongSendsNoRequest) {
    FakeTransport transport;
    const HttpReply reply =
        RequestUrl(transport, u"http://h/p", std::u16string(kMaxEncodedFormLength + 1, u'a'));
    EXPECT_EQ(kHttpRequestFailed, reply.result);
    EXPECT_EQ((Calls{"open http", "connect"}), transport.calls);
}

TEST(HttpClientTest, BodyAccumulation) {
    const std::string full(kReplyReadPiece, 'x');
    const struct {
        const char* name;
        std::vector<std::string> pieces;
        size_t failReadAt;
        std::string body;
        size_t reads;
    } cases[] = {
        {"empty", {}, SIZE_MAX, "", 1},
        {"exactly one piece", {full}, SIZE_MAX, full, 2},
        {"short pieces", {"ab", "c", "def"}, SIZE_MAX, "abcdef", 4},
        {"zero bytes inside", {std::string("a\0b", 3)}, SIZE_MAX, std::string("a\0b", 3), 2},
        {"failing read keeps data", {"ab", "cd", "ef"}, 2, "abcd", 3},
        {"first read fails", {"ab"}, 0, "", 1},
    };
    for (const auto& c : cases) {
        FakeTransport transport;
        transport.pieces = c.pieces;
        transport.failReadAt = c.failReadAt;
        const HttpReply reply = ReadReply(transport);
        EXPECT_EQ(kHttpOk, reply.result) << c.name;
        EXPECT_EQ(c.body, reply.body) << c.name;
        EXPECT_EQ(c.reads, transport.reads) << c.name;
        EXPECT_EQ(u"", reply.downloadName) << c.name;
    }
}

TEST(HttpClientTest, BodyBeyondLimitIsRefused) {
    const size_t limit = 3 * kReplyReadPiece;
    FakeTransport endless;
    endless.endlessBody = true;
    const HttpReply refused = ReadReply(endless, limit);
    EXPECT_EQ(kHttpReplyTooLarge, refused.result);
    EXPECT_EQ("", refused.body);
    EXPECT_EQ(4u, endless.reads);

    FakeTransport exact;
    exact.pieces.assign(3, std::string(kReplyReadPiece, 'y'));
    const HttpReply fits = ReadReply(exact, limit);
    EXPECT_EQ(kHttpOk, fits.result);
    EXPECT_EQ(limit, fits.body.size());
}

}  // namespace
