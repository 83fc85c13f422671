#include "shell/StartupRules.h"

namespace tavrel {

bool IsSupportedOperatingSystem(int major, int minor, int platformId) {
    if (platformId != kPlatformWin32Nt) return false;
    return major > 5 || (major == 5 && minor >= 1);
}

std::u16string LanguageModulePath(const std::u16string& languageCode) {
    return u".\\language\\" + std::u16string(kProgramName) + languageCode + u".dll";
}

bool IsBuiltInLanguage(const std::u16string& languageCode) {
    return languageCode == kDefaultLanguage;
}

std::u16string CrashMessageText(const std::u16string& languageCode) {
    if (IsBuiltInLanguage(languageCode)) {
        return u"Vantor Tavrel이 예기치 않게 종료되었습니다.\n"
               u"Vantor Tavrel 설치 폴더에 덤프파일이 생성되었습니다.\n"
               u"생성된 TavrelDump.dmp파일을 개발사로 보내주시면 빠르게 오류를 수정할 수 "
               u"있습니다.";
    }
    return u"Vantor Tavrel ended unexpectedly.\n"
           u"Dump file has been generated in Vantor Tavrel install folder.\n"
           u"The error may be corrected if you send Vantor TavrelDump.dmp file to the "
           u"development company.";
}

bool IsAutostartSwitch(const std::u16string& token) {
    static constexpr char16_t kSwitch[] = u"autostart";
    if (token.size() != sizeof(kSwitch) / sizeof(kSwitch[0]) - 1) return false;
    for (size_t i = 0; i < token.size(); ++i) {
        char16_t c = token[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kSwitch[i]) return false;
    }
    return true;
}

}  // namespace tavrel
