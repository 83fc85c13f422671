#include "login/TeacherId.h"

#include "resources/resource.h"

namespace tavrel {

namespace {
constexpr char16_t kLoginWhiteSpace[] = u" \t\n\v\f\r\u00A0\u3000";
}  // namespace

std::u16string TrimLoginText(const std::u16string& text) {
    const size_t first = text.find_first_not_of(kLoginWhiteSpace);
    if (first == std::u16string::npos) return std::u16string();
    const size_t last = text.find_last_not_of(kLoginWhiteSpace);
    return text.substr(first, last - first + 1);
}

unsigned ValidateTeacherId(const std::u16string& trimmedId) {
    if (trimmedId.empty()) return IDS_LOGIN_ID_EMPTY;
    if (trimmedId.find_first_of(kTeacherIdForbidden) != std::u16string::npos) {
        return IDS_LOGIN_ID_BAD_CHARS;
    }
    if (trimmedId.size() > kMaxTeacherIdLength) return IDS_LOGIN_ID_TOO_LONG;
    return 0;
}

}  // namespace tavrel
