// The one-shot web client used by the login dialog and the updater: one GET request whose
// query string is a percent-encoded form text, then the status, the body bytes and the
// file name a server may announce. This half is plain code; HttpClient_win.h puts it on
// WinINet through the HttpTransport seam below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Results of RequestUrl. Callers only ever test for 0; the codes tell a debugger where a
// request stopped.
constexpr int32_t kHttpOk = 0;
constexpr int32_t kHttpBadUrl = -100;         // not splittable, or neither http nor https
constexpr int32_t kHttpOpenFailed = -101;     // no root Internet handle
constexpr int32_t kHttpConnectFailed = -102;  // no connection handle
constexpr int32_t kHttpRequestFailed = -103;  // form too long, request not opened or sent
constexpr int32_t kHttpReplyTooLarge = -104;  // body beyond kMaxReplyBodyBytes
constexpr int32_t kHttpBadStatus = -105;      // any status but 200 and the redirects
constexpr int32_t kHttpRedirected = -106;     // 301, 302 or 303: we do not follow them

constexpr uint16_t kHttpDefaultPort = 80;
constexpr uint16_t kHttpsDefaultPort = 443;
// The encoded form text has to fit the 1024-character query buffer with its terminator.
constexpr size_t kMaxEncodedFormLength = 1022;
// Replies are read in pieces of this size.
constexpr uint32_t kReplyReadPiece = 4096;
// Header values are queried into a 500-byte buffer: longer values count as absent.
constexpr size_t kHeaderBufferBytes = 500;
constexpr size_t kMaxHeaderValueLength = kHeaderBufferBytes / sizeof(char16_t) - 1;
// A body is held whole in memory; a server sending more than this is refused rather
// than allowed to exhaust the address space of a 32-bit program.
constexpr size_t kMaxReplyBodyBytes = 256u * 1024u * 1024u;
// The WinINet error for a certificate from an unknown authority: the one failure of an
// HTTPS send that is retried, once, with relaxed certificate checks.
constexpr uint32_t kErrorInvalidCertificateAuthority = 12045;

// Fixed request header lines, each ended by CR LF, sent in this order.
extern const char16_t kHttpRequestHeaders[];

enum class HttpScheme { kHttp, kHttps };

// A URL cut into the pieces WinINet wants. Nothing is decoded or re-encoded.
struct HttpUrlParts {
    HttpScheme scheme = HttpScheme::kHttp;
    std::u16string host;
    uint16_t port = kHttpDefaultPort;
    std::u16string user;
    std::u16string password;
    // Path with its query, always starting with "/"; a fragment is never sent.
    std::u16string object;
};

// Splits an absolute http or https URL ("scheme://[user[:password]@]host[:port][/path]").
// False for any other scheme, an empty host, a bad port, or control characters (which
// would end the request line early).
bool SplitHttpUrl(const std::u16string& url, HttpUrlParts& parts);

// Percent-encodes the UTF-8 bytes of `formText`: letters, digits and ! % ' ( ) * - . / : _ ~
// stay, every other byte becomes "%" and two lower-case hexadecimal digits. False (and
// `encoded` empty) when the result would be longer than kMaxEncodedFormLength.
bool EncodeFormText(const std::u16string& formText, std::string& encoded);

// The request object: the URL's object, then the encoded form with its "=" and "&"
// separators restored ("%3d" -> "=", "%26" -> "&"). A form for an object that already
// has a query is joined with "&" rather than a second "?". False when the form does not
// encode.
bool BuildRequestObject(const std::u16string& urlObject, const std::u16string& formText,
                        std::u16string& object);

// The decimal status code of a status text as a C runtime would read it; 0 when there
// are no digits.
int32_t ParseStatusCode(const std::u16string& statusText);

// Result for a status code: kHttpOk for 200, kHttpRedirected or kHttpBadStatus.
int32_t ResultForStatus(int32_t status);

// The file name of a Content-Disposition value: after "filename=" (any letter case), up
// to the first ";", trimmed, quotes kept. Empty when the key is absent or the value
// longer than the header buffer holds.
std::u16string DownloadNameFromDisposition(const std::u16string& disposition);

// What one request produced. `body` holds exactly the bytes received; std::string keeps
// a zero byte after them, so body.c_str() is the zero-terminated form callers decode.
struct HttpReply {
    int32_t result = kHttpBadUrl;
    std::string body;
    std::u16string downloadName;
};

// One request on the wire. RequestUrl drives it in this order and stops at the first
// failure; the implementation closes whatever it opened when it is destroyed.
class HttpTransport {
  public:
    virtual ~HttpTransport() = default;
    // Root handle, with its agent name and time-outs.
    virtual bool Open(HttpScheme scheme) = 0;
    virtual bool Connect(const HttpUrlParts& url) = 0;
    virtual bool OpenRequest(const std::u16string& object, HttpScheme scheme) = 0;
    // Sends the request with the header text; 0 on success, else the platform error.
    virtual uint32_t Send(const std::u16string& headers) = 0;
    // Accepts certificates from unknown authorities (and the related checks) for the
    // next Send.
    virtual void RelaxCertificateChecks() = 0;
    // Header texts of the reply; false when the header is missing or unreadable.
    virtual bool QueryStatus(std::u16string& text) = 0;
    virtual bool QueryContentDisposition(std::u16string& text) = 0;
    // Reads at most `size` bytes into `buffer`; false on failure, `bytesRead` 0 at the end.
    virtual bool Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) = 0;
};

// Reads the reply of a sent request: status, body, file name. A body longer than
// `maxBodyBytes` gives kHttpReplyTooLarge.
HttpReply ReadReply(HttpTransport& transport, size_t maxBodyBytes = kMaxReplyBodyBytes);

// The whole request over `transport`; a body longer than `maxBodyBytes` gives
// kHttpReplyTooLarge.
HttpReply RequestUrl(HttpTransport& transport, const std::u16string& url,
                     const std::u16string& formText, size_t maxBodyBytes = kMaxReplyBodyBytes);
