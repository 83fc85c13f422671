#include "login/RelayLookup.h"

#include "login/TeacherId.h"
#include "protocol/Crypt.h"
#include "resources/resource.h"

namespace tavrel {

namespace {

constexpr char16_t kLineBreak = u'\n';
constexpr char16_t kQuote = u'"';
constexpr char16_t kHttpsScheme[] = u"https://";
constexpr char16_t kHttpScheme[] = u"http://";

struct ReplyKey {
    const char16_t* prefix;
    std::u16string LookupReply::*field;
};
// The order in which a line is tested.
const ReplyKey kReplyKeys[] = {
    {kReplyResultKey, &LookupReply::result},    {kReplyMessageKey, &LookupReply::message},
    {kReplyCodeKey, &LookupReply::code},        {kReplyRelayIpKey, &LookupReply::rsip},
    {kReplyRelayPortKey, &LookupReply::rsport},
};

std::u16string RemoveAll(std::u16string text, const std::u16string& piece) {
    if (piece.empty()) return text;
    size_t at = 0;
    while ((at = text.find(piece, at)) != std::u16string::npos) text.erase(at, piece.size());
    return text;
}

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t ch = text[i];
        if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
        if (ch != prefix[i]) return false;
    }
    return true;
}

void ReadReplyLine(const std::u16string& rawLine, LookupReply& reply,
                   const StringLoader& loadString) {
    const std::u16string line = TrimLoginText(rawLine);
    for (const ReplyKey& key : kReplyKeys) {
        if (!StartsWith(line, key.prefix)) continue;
        std::u16string value = TrimLoginText(RemoveAll(line, key.prefix));
        if (key.field == &LookupReply::message) {
            value = MapServerMessage(value, reply.code, loadString);
        }
        reply.*key.field = std::move(value);
        return;
    }
}

std::u16string Decimal(int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string WithoutTrailingSlashes(std::u16string url) {
    url = TrimLoginText(url);
    while (!url.empty() && url.back() == u'/') url.pop_back();
    return url;
}

// The same address under the other scheme; a text with neither scheme stays as it is.
std::u16string SwapScheme(const std::u16string& base) {
    if (StartsWithNoCase(base, kHttpsScheme)) {
        return kHttpScheme + base.substr(std::char_traits<char16_t>::length(kHttpsScheme));
    }
    if (StartsWithNoCase(base, kHttpScheme)) {
        return kHttpsScheme + base.substr(std::char_traits<char16_t>::length(kHttpScheme));
    }
    return base;
}

}  // namespace

std::u16string MapServerMessage(const std::u16string& message, const std::u16string& code,
                                const StringLoader& loadString) {
    if (message.empty()) return message;
    if (message == kServerBadAccess) return loadString(IDS_LOGIN_BAD_ACCESS);
    if (message == kServerBadTeacherId) return loadString(IDS_LOGIN_BAD_TEACHER_ID);
    if (message == kServerBadUniqueCode) return loadString(IDS_LOGIN_BAD_UNIQUE_CODE);
    if (code == kCodeBadAccess) return loadString(IDS_LOGIN_BAD_ACCESS);
    if (code == kCodeBadTeacherId) return loadString(IDS_LOGIN_BAD_TEACHER_ID);
    return message;
}

LookupReply ParseLookupReply(const std::u16string& text, const StringLoader& loadString) {
    LookupReply reply;
    const std::u16string unquoted = RemoveAll(text, std::u16string(1, kQuote));
    size_t start = 0;
    while (start <= unquoted.size()) {
        size_t end = unquoted.find(kLineBreak, start);
        if (end == std::u16string::npos) end = unquoted.size();
        if (end > start) ReadReplyLine(unquoted.substr(start, end - start), reply, loadString);
        start = end + 1;
    }
    return reply;
}

LoginOutcome DecideLoginOutcome(const LookupReply& reply) {
    if (reply.result != kResultFalse) return LoginOutcome::kStoreEndpoint;
    return reply.code == kCodeNotReachable ? LoginOutcome::kUseStoredEndpoint
                                           : LoginOutcome::kRefused;
}

LookupForm BuildLookupForm(int32_t tickCount, const std::u16string& teacherId,
                           const std::string& teacherIdAnsi) {
    LookupForm form;
    form.val1 = Decimal(tickCount);
    const std::string digested =
        std::string(form.val1.begin(), form.val1.end()) + "." + teacherIdAnsi;
    Md5Hex(reinterpret_cast<const uint8_t*>(digested.data()), digested.size(), form.val2);
    form.val3 = teacherId;
    form.formText = u"val1=" + form.val1 + u"&val2=" + form.val2 + u"&val3=" + form.val3;
    return form;
}

LoginServerUrls ResolveLoginServerUrls(const std::u16string& httpsBase,
                                       const std::u16string& httpBase) {
    std::u16string secure = WithoutTrailingSlashes(httpsBase);
    std::u16string plain = WithoutTrailingSlashes(httpBase);
    if (secure.empty() && plain.empty()) {
        secure = kDefaultLoginHttpsBase;
        plain = kDefaultLoginHttpBase;
    } else if (secure.empty()) {
        secure = SwapScheme(plain);
    } else if (plain.empty()) {
        plain = SwapScheme(secure);
    }
    return LoginServerUrls{secure + kLookupPath, plain + kLookupPath};
}

}  // namespace tavrel
