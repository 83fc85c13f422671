// The decisions of the session with the relay server and the lectern PC that do not
// need a window or a socket: reading the relay's commands, building the pad's
// identification, the text shown for a refusal, the keep-alive watchdog and the
// version gates. The main dialog's session code calls these.
#pragma once

#include <cstdint>
#include <string>

// The pad identifies itself as this kind of client.
constexpr int kClientTypePad = 3;
// Fixed field of the identification (a flag the relay expects to be 1).
constexpr int kIdentificationFlag = 1;
constexpr char16_t kReservedField[] = u"Reserved";
// A "[UR00001]" whose status is this text accepts the pad.
constexpr char16_t kRelayStatusAccepted[] = u"0";
// The lectern PC may stay silent this many whole seconds before the session ends.
constexpr long long kSilenceLimitSeconds = 40;

// "[UR00001]": status, message and optionally four unused fields; empty fields skipped.
struct IdentifyRequest {
    bool wellFormed = false;  // 2 or 6 fields
    bool accepted = false;    // status "0"
    std::u16string message;   // the refusal's text (field 2)
};
IdentifyRequest ParseIdentifyRequest(const std::u16string& arguments);

// "[UR00002]": seven fields after removing every double quote and skipping empty ones;
// the fifth is the lectern PC's address, the sixth its port.
struct LecternAddress {
    bool wellFormed = false;
    std::u16string address;
    std::u16string port;
};
LecternAddress ParseLecternAddress(const std::u16string& arguments);

// "[MV10000]": exactly two listed fields, the second the message to show.
struct SessionEndNotice {
    bool wellFormed = false;
    std::u16string message;
};
SessionEndNotice ParseSessionEndNotice(const std::u16string& arguments);

// The whole "[US00001]" text: client type 3, teacher ID, private address, local port,
// own version, 1, "Reserved", "Reserved".
std::u16string BuildIdentification(const std::u16string& teacherId, const std::u16string& localIp,
                                   const std::u16string& localPort);

// A port text read as a decimal prefix; 0 (no port) outside 1 to 65535, so that a bad
// setting gives a failed connection rather than one to a wrapped-around port.
uint16_t PortNumber(const std::u16string& text);

// Texts of the string table a refusal may be shown with.
struct RelayMessageTexts {
    std::u16string lookupError;       // 1109
    std::u16string noTeacher;         // 1110
    std::u16string wrongKind;         // 1111
    std::u16string notRunningFormat;  // 1112, with one "%s"
};
// The relay server words its refusals in Korean; other languages show the matching
// text of their own string table. An empty message, or any message on a Korean
// installation ("Kor"), stays as received.
std::u16string MapRelayMessage(const std::u16string& received, const std::u16string& languageCode,
                               const RelayMessageTexts& texts);
// The format with its first "%s" replaced by the value (other "%" stay as they are: a
// translated format is never handed to a printf-style routine).
std::u16string InsertText(const std::u16string& format, const std::u16string& value);

// True when the lectern PC has been silent too long: last sign of life known and more
// than kSilenceLimitSeconds whole seconds ago.
bool SilenceExceeded(long long nowSeconds, long long lastRecvSeconds);

// Version gates, comparing the lectern program's version text code unit by code unit.
// Later than "2.0.1.1027": it reports the touch and broadcast states itself.
bool PeerReportsStates(const std::u16string& peerVersion);
// "2.0.1.1068" or later: it can show one chosen monitor.
bool PeerHasMonitorSelection(const std::u16string& peerVersion);
