#include "panel/SessionRules.h"

#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

#include <vector>

namespace {

constexpr size_t kIdentifyShortFields = 2;
constexpr size_t kIdentifyLongFields = 6;
constexpr size_t kAddressFields = 7;
constexpr size_t kAddressFieldHost = 4;  // the fifth field
constexpr size_t kAddressFieldPort = 5;  // the sixth field
constexpr size_t kEndNoticeFields = 2;
constexpr uint32_t kLargestPort = 65535;

constexpr char16_t kKoreanLanguage[] = u"Kor";
constexpr char16_t kPlaceholder[] = u"%s";

// What the relay server says, word for word, for the refusals that have a translation.
constexpr char16_t kRelayLookupError[] = u"로그인 정보를 찾는 동안 오류가 발생했습니다.";
constexpr char16_t kRelayNoTeacher[] = u"일치하는 선생님 정보를 찾을 수 없습니다.";
constexpr char16_t kRelayWrongKind[] =
    u"로그인 서버와 Vantor 종류가 다릅니다.\n프로그램을 확인해 주세요.";
// "No <program> running.\nCheck the teacher ID.": the program's name comes first, with
// the word "running" in front of it.
constexpr char16_t kRelayNotRunningTail[] = u"가 없습니다.\n선생님 ID를 확인해주세요.";
constexpr char16_t kRelayRunningWord[] = u"실행중인 ";

void RemoveEvery(std::u16string& text, const std::u16string& part) {
    for (size_t at = text.find(part); at != std::u16string::npos; at = text.find(part, at))
        text.erase(at, part.size());
}

}  // namespace

IdentifyRequest ParseIdentifyRequest(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = TokenizeArguments(arguments);
    IdentifyRequest request;
    if (fields.size() != kIdentifyShortFields && fields.size() != kIdentifyLongFields)
        return request;
    request.wellFormed = true;
    request.accepted = fields[0] == kRelayStatusAccepted;
    request.message = fields[1];
    return request;
}

LecternAddress ParseLecternAddress(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = ListArguments(arguments);
    LecternAddress address;
    if (fields.size() != kAddressFields) return address;
    address.wellFormed = true;
    address.address = fields[kAddressFieldHost];
    address.port = fields[kAddressFieldPort];
    return address;
}

SessionEndNotice ParseSessionEndNotice(const std::u16string& arguments) {
    const std::vector<std::u16string> fields = ListArguments(arguments);
    SessionEndNotice notice;
    if (fields.size() != kEndNoticeFields) return notice;
    notice.wellFormed = true;
    notice.message = fields[1];
    return notice;
}

std::u16string BuildIdentification(const std::u16string& teacherId, const std::u16string& localIp,
                                   const std::u16string& localPort) {
    return MakeCommand(kCmdPadIdentity,
                       {DecimalText(kClientTypePad), teacherId, localIp, localPort, kOwnVersion,
                        DecimalText(kIdentificationFlag), kReservedField, kReservedField});
}

uint16_t PortNumber(const std::u16string& text) {
    const int32_t value = DecimalPrefix(text);
    if (value < 1 || value > static_cast<int32_t>(kLargestPort)) return 0;
    return static_cast<uint16_t>(value);
}

std::u16string InsertText(const std::u16string& format, const std::u16string& value) {
    std::u16string result = format;
    const size_t at = result.find(kPlaceholder);
    if (at != std::u16string::npos)
        result.replace(at, std::char_traits<char16_t>::length(kPlaceholder), value);
    return result;
}

std::u16string MapRelayMessage(const std::u16string& received, const std::u16string& languageCode,
                               const RelayMessageTexts& texts) {
    if (received.empty() || languageCode == kKoreanLanguage) return received;
    if (received == kRelayLookupError) return texts.lookupError;
    if (received == kRelayNoTeacher) return texts.noTeacher;
    if (received == kRelayWrongKind) return texts.wrongKind;
    // The tail must follow at least one character: the program's name.
    const size_t tail = received.find(kRelayNotRunningTail, 1);
    if (tail != std::u16string::npos) {
        std::u16string name = received;
        RemoveEvery(name, kRelayRunningWord);
        RemoveEvery(name, kRelayNotRunningTail);
        return InsertText(texts.notRunningFormat, name);
    }
    return received;
}

bool SilenceExceeded(long long nowSeconds, long long lastRecvSeconds) {
    if (lastRecvSeconds <= 0) return false;  // no sign of life recorded yet
    return nowSeconds - lastRecvSeconds > kSilenceLimitSeconds;
}

bool PeerReportsStates(const std::u16string& peerVersion) {
    return peerVersion > std::u16string(kVersionStateReports);
}

bool PeerHasMonitorSelection(const std::u16string& peerVersion) {
    return peerVersion >= std::u16string(kVersionMonitorSelection);
}
