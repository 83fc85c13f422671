#include "login/HttpClient.h"

#include <climits>
#include <new>

const char16_t kHttpRequestHeaders[] =
    u"Accept: */*\r\n"
    u"Accept-Language: ko\r\n"
    u"User-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)\r\n"
    u"Connection: Close\r\n";

namespace {

constexpr char16_t kSchemeEnd[] = u"://";
constexpr char16_t kHttpName[] = u"http";
constexpr char16_t kHttpsName[] = u"https";
constexpr char16_t kAuthorityEnd[] = u"/?#";
constexpr char16_t kFileNameKey[] = u"filename=";
constexpr char16_t kWhiteSpace[] = u" \t\r\n\v\f";
constexpr char kUnreservedPunctuation[] = "!%'()*-./:_~";
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char16_t kReplacementCharacter = 0xFFFD;
constexpr char16_t kFirstControl = 0x20;
constexpr char16_t kDelete = 0x7F;
constexpr uint32_t kMaxPort = 65535;
constexpr int32_t kStatusOk = 200;
constexpr int32_t kStatusMovedPermanently = 301;
constexpr int32_t kStatusFound = 302;
constexpr int32_t kStatusSeeOther = 303;
constexpr int kDecimalBase = 10;

char16_t AsciiLower(char16_t ch) { return (ch >= u'A' && ch <= u'Z') ? ch - u'A' + u'a' : ch; }

std::u16string AsciiLower(std::u16string text) {
    for (char16_t& ch : text) ch = AsciiLower(ch);
    return text;
}

std::u16string Trim(const std::u16string& text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::u16string::npos) return std::u16string();
    const size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

bool HasControlCharacter(const std::u16string& text) {
    for (char16_t ch : text) {
        if (ch < kFirstControl || ch == kDelete) return true;
    }
    return false;
}

bool ParsePort(const std::u16string& digits, HttpUrlParts& parts) {
    if (digits.empty()) return true;  // "host:" keeps the scheme's default
    uint32_t port = 0;
    for (char16_t ch : digits) {
        if (ch < u'0' || ch > u'9') return false;
        port = port * kDecimalBase + (ch - u'0');
        if (port > kMaxPort) return false;
    }
    if (port == 0) return false;
    parts.port = static_cast<uint16_t>(port);
    return true;
}

// "host", "host:port", "[v6]" or "[v6]:port".
bool SplitHostAndPort(const std::u16string& hostPort, HttpUrlParts& parts) {
    std::u16string portText;
    if (!hostPort.empty() && hostPort[0] == u'[') {
        const size_t close = hostPort.find(u']');
        if (close == std::u16string::npos) return false;
        parts.host = hostPort.substr(1, close - 1);
        const std::u16string rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest[0] != u':') return false;
        if (!rest.empty()) portText = rest.substr(1);
    } else {
        const size_t colon = hostPort.rfind(u':');
        parts.host = hostPort.substr(0, colon);
        if (colon != std::u16string::npos) portText = hostPort.substr(colon + 1);
    }
    if (parts.host.empty() || parts.host.find(u' ') != std::u16string::npos) return false;
    return ParsePort(portText, parts);
}

void SplitUserInfo(const std::u16string& userInfo, HttpUrlParts& parts) {
    const size_t colon = userInfo.find(u':');
    parts.user = userInfo.substr(0, colon);
    if (colon != std::u16string::npos) parts.password = userInfo.substr(colon + 1);
}

bool IsKeptByte(unsigned char byte) {
    if (byte >= '0' && byte <= '9') return true;
    if (byte >= 'a' && byte <= 'z') return true;
    if (byte >= 'A' && byte <= 'Z') return true;
    return byte != 0 &&
           std::string(kUnreservedPunctuation).find(static_cast<char>(byte)) != std::string::npos;
}

// One code point as UTF-8; unpaired surrogates become U+FFFD as the Windows converter
// makes them.
void AppendUtf8(uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool IsHighSurrogate(char16_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool IsLowSurrogate(char16_t ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (IsHighSurrogate(ch) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const uint32_t high = ch - 0xD800u;
            const uint32_t low = text[++i] - 0xDC00u;
            AppendUtf8(0x10000u + (high << 10) + low, out);
        } else if (IsHighSurrogate(ch) || IsLowSurrogate(ch)) {
            AppendUtf8(kReplacementCharacter, out);
        } else {
            AppendUtf8(ch, out);
        }
    }
    return out;
}

void ReplaceAll(std::u16string& text, const std::u16string& from, const std::u16string& to) {
    for (size_t at = text.find(from); at != std::u16string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

HttpReply Failed(int32_t result) {
    HttpReply reply;
    reply.result = result;
    return reply;
}

// Appends the body in pieces until the server ends it or a read fails; a failed read
// only shortens the body. False when the body outgrows `maxBodyBytes`.
bool ReadBody(HttpTransport& transport, size_t maxBodyBytes, std::string& body) {
    uint8_t piece[kReplyReadPiece];
    for (;;) {
        uint32_t bytesRead = 0;
        if (!transport.Read(piece, kReplyReadPiece, bytesRead) || bytesRead == 0) return true;
        if (bytesRead > kReplyReadPiece) bytesRead = kReplyReadPiece;
        if (body.size() + bytesRead > maxBodyBytes) return false;
        try {
            body.append(reinterpret_cast<const char*>(piece), bytesRead);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
}

}  // namespace

bool SplitHttpUrl(const std::u16string& url, HttpUrlParts& parts) {
    parts = HttpUrlParts();
    if (HasControlCharacter(url)) return false;
    const size_t schemeEnd = url.find(kSchemeEnd);
    if (schemeEnd == std::u16string::npos) return false;
    const std::u16string scheme = AsciiLower(url.substr(0, schemeEnd));
    if (scheme == kHttpName) {
        parts.scheme = HttpScheme::kHttp;
        parts.port = kHttpDefaultPort;
    } else if (scheme == kHttpsName) {
        parts.scheme = HttpScheme::kHttps;
        parts.port = kHttpsDefaultPort;
    } else {
        return false;
    }
    const size_t authorityStart = schemeEnd + std::char_traits<char16_t>::length(kSchemeEnd);
    size_t authorityEnd = url.find_first_of(kAuthorityEnd, authorityStart);
    if (authorityEnd == std::u16string::npos) authorityEnd = url.size();
    const std::u16string authority = url.substr(authorityStart, authorityEnd - authorityStart);
    const size_t at = authority.rfind(u'@');
    if (at != std::u16string::npos) SplitUserInfo(authority.substr(0, at), parts);
    const std::u16string hostPort =
        at == std::u16string::npos ? authority : authority.substr(at + 1);
    if (!SplitHostAndPort(hostPort, parts)) return false;
    std::u16string object = url.substr(authorityEnd);
    object = object.substr(0, object.find(u'#'));
    if (object.empty() || object[0] != u'/') object.insert(0, 1, u'/');
    parts.object = object;
    return true;
}

bool EncodeFormText(const std::u16string& formText, std::string& encoded) {
    encoded.clear();
    for (unsigned char byte : ToUtf8(formText)) {
        if (IsKeptByte(byte)) {
            encoded.push_back(static_cast<char>(byte));
        } else {
            encoded.push_back('%');
            encoded.push_back(kHexDigits[byte >> 4]);
            encoded.push_back(kHexDigits[byte & 0x0F]);
        }
        if (encoded.size() > kMaxEncodedFormLength) {
            encoded.clear();
            return false;
        }
    }
    return true;
}

bool BuildRequestObject(const std::u16string& urlObject, const std::u16string& formText,
                        std::u16string& object) {
    object = urlObject;
    std::string encoded;
    if (!EncodeFormText(formText, encoded)) return false;
    std::u16string query(encoded.begin(), encoded.end());
    // Brings back the form's separators; the price is that "=" and "&" inside a value
    // reach the server as separators too.
    ReplaceAll(query, u"%3d", u"=");
    ReplaceAll(query, u"%26", u"&");
    if (query.empty()) return true;
    object += object.find(u'?') == std::u16string::npos ? u'?' : u'&';
    object += query;
    return true;
}

int32_t ParseStatusCode(const std::u16string& statusText) {
    size_t i = statusText.find_first_not_of(kWhiteSpace);
    if (i == std::u16string::npos) return 0;
    bool negative = false;
    if (statusText[i] == u'+' || statusText[i] == u'-') negative = statusText[i++] == u'-';
    int64_t value = 0;
    for (; i < statusText.size() && statusText[i] >= u'0' && statusText[i] <= u'9'; ++i) {
        value = value * kDecimalBase + (statusText[i] - u'0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t ResultForStatus(int32_t status) {
    if (status == kStatusOk) return kHttpOk;
    if (status == kStatusMovedPermanently || status == kStatusFound || status == kStatusSeeOther)
        return kHttpRedirected;
    return kHttpBadStatus;
}

std::u16string DownloadNameFromDisposition(const std::u16string& disposition) {
    if (disposition.size() > kMaxHeaderValueLength) return std::u16string();
    const size_t key = AsciiLower(disposition).find(kFileNameKey);
    if (key == std::u16string::npos) return std::u16string();
    std::u16string name =
        disposition.substr(key + std::char_traits<char16_t>::length(kFileNameKey));
    return Trim(name.substr(0, name.find(u';')));
}

HttpReply ReadReply(HttpTransport& transport, size_t maxBodyBytes) {
    std::u16string statusText;
    int32_t status = 0;
    if (transport.QueryStatus(statusText) && statusText.size() <= kMaxHeaderValueLength) {
        status = ParseStatusCode(statusText);
    }
    HttpReply reply = Failed(ResultForStatus(status));
    if (reply.result != kHttpOk) return reply;
    if (!ReadBody(transport, maxBodyBytes, reply.body)) return Failed(kHttpReplyTooLarge);
    std::u16string disposition;
    if (transport.QueryContentDisposition(disposition)) {
        reply.downloadName = DownloadNameFromDisposition(disposition);
    }
    return reply;
}

HttpReply RequestUrl(HttpTransport& transport, const std::u16string& url,
                     const std::u16string& formText, size_t maxBodyBytes) {
    HttpUrlParts parts;
    if (!SplitHttpUrl(url, parts)) return Failed(kHttpBadUrl);
    if (!transport.Open(parts.scheme)) return Failed(kHttpOpenFailed);
    // Credentials from the URL go only with plain HTTP.
    if (parts.scheme == HttpScheme::kHttps) {
        parts.user.clear();
        parts.password.clear();
    }
    if (!transport.Connect(parts)) return Failed(kHttpConnectFailed);
    std::u16string object;
    if (!BuildRequestObject(parts.object, formText, object)) return Failed(kHttpRequestFailed);
    if (!transport.OpenRequest(object, parts.scheme)) return Failed(kHttpRequestFailed);
    uint32_t error = transport.Send(kHttpRequestHeaders);
    if (error == kErrorInvalidCertificateAuthority && parts.scheme == HttpScheme::kHttps) {
        transport.RelaxCertificateChecks();
        error = transport.Send(kHttpRequestHeaders);
    }
    if (error != 0) return Failed(kHttpRequestFailed);
    return ReadReply(transport, maxBodyBytes);
}
