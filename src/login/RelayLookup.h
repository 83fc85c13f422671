// The relay lookup with the login web server: the request's form text and URLs, the
// reading of its line-oriented reply, the texts shown for its refusals, and what the
// login dialog does with an answer. All of it plain code; the dialog (LoginDlg_win)
// adds the web requests, the settings and the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tavrel {

// Page of the login web server that answers with the classroom's relay endpoint.
inline constexpr char16_t kLookupPath[] = u"/vantor/rsinfo/checkRsInfo.jsp";
// The reply used when neither HTTPS nor HTTP brought one: it reads as "server not
// reachable", which makes the dialog fall back to the endpoint stored last time.
inline constexpr char16_t kLookupFailedReply[] =
    u"result:false\ncode:404\nmessage:Failed to access to the URL page.";

// A lookup reply is a few short lines; a longer one is not a reply of the login web
// server (and decoding a huge one could exhaust a 32-bit program's memory).
inline constexpr size_t kMaxLookupReplyBytes = 64 * 1024;

// Keys of the reply lines, tested in this order, each only at the start of a line.
inline constexpr char16_t kReplyResultKey[] = u"result:";
inline constexpr char16_t kReplyMessageKey[] = u"message:";
inline constexpr char16_t kReplyCodeKey[] = u"code:";
inline constexpr char16_t kReplyRelayIpKey[] = u"rsip:";
inline constexpr char16_t kReplyRelayPortKey[] = u"rsport:";

inline constexpr char16_t kResultFalse[] = u"false";
inline constexpr char16_t kCodeNotReachable[] = u"404";
inline constexpr char16_t kCodeBadAccess[] = u"1";
inline constexpr char16_t kCodeBadTeacherId[] = u"2";

// Messages of the login web server (Korean whatever the pad's language) that are shown
// as our own, localized texts.
inline constexpr char16_t kServerBadAccess[] = u"잘못된 접근입니다.";
inline constexpr char16_t kServerBadTeacherId[] = u"유효하지않은  선생님 ID 입니다.";
inline constexpr char16_t kServerBadUniqueCode[] = u"유효하지않은 고유코드 입니다.";

// Where the login web server is when config.ini names none. The keys "loginhttps" and
// "loginhttp" of config.ini are ours (docs/login.md), not part of any server's contract.
inline constexpr char16_t kLoginHttpsKey[] = u"loginhttps";
inline constexpr char16_t kLoginHttpKey[] = u"loginhttp";
inline constexpr char16_t kDefaultLoginHttpsBase[] = u"https://login.vantor-classroom.example";
inline constexpr char16_t kDefaultLoginHttpBase[] = u"http://login.vantor-classroom.example";

// A string-table text by id, from the language resources.
using StringLoader = std::function<std::u16string(unsigned id)>;

// What one reply said. Every field is empty unless its line was present.
struct LookupReply {
    std::u16string result;
    std::u16string code;
    std::u16string message;  // after MapServerMessage
    std::u16string rsip;
    std::u16string rsport;
};

// The text shown for a server message, given the code known when the message was read:
// the known Korean server messages and the codes 1 and 2 become string-table texts,
// any other message is shown as received; an empty message stays empty.
std::u16string MapServerMessage(const std::u16string& message, const std::u16string& code,
                                const StringLoader& loadString);

// Reads a reply: double quotes removed, lines cut at LF and trimmed (so CR LF works),
// keys case-sensitive and only at the start of a line, a repeated key overwrites.
LookupReply ParseLookupReply(const std::u16string& text, const StringLoader& loadString);

enum class LoginOutcome {
    kRefused,            // show the message and stay open
    kUseStoredEndpoint,  // the server was not reachable: setting.ini's endpoint
    kStoreEndpoint,      // anything else counts as an answer: store and use it
};
LoginOutcome DecideLoginOutcome(const LookupReply& reply);

// The three form fields: val1 the tick count as signed decimal, val2 the MD5 of the
// ANSI bytes of val1 + "." + ID in lower-case hexadecimal, val3 the ID itself.
struct LookupForm {
    std::u16string val1;
    std::u16string val2;
    std::u16string val3;
    std::u16string formText;  // "val1=%s&val2=%s&val3=%s"
};
// `teacherIdAnsi` is the ID in the system's ANSI code page ("?" for what it lacks).
LookupForm BuildLookupForm(int32_t tickCount, const std::u16string& teacherId,
                           const std::string& teacherIdAnsi);

// The two lookup URLs, HTTPS first. `httpsBase` and `httpBase` are the configured base
// URLs ("https://host[:port]"), possibly empty: a missing one is the other with its
// scheme changed, and with neither the default host is used.
struct LoginServerUrls {
    std::u16string https;
    std::u16string http;
};
LoginServerUrls ResolveLoginServerUrls(const std::u16string& httpsBase,
                                       const std::u16string& httpBase);

}  // namespace tavrel
