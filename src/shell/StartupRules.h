// Plain rules of the program's start-up, kept apart from the Win32 calls so that they
// can be tested on their own.
#pragma once

#include <string>

namespace tavrel {

// NT platform (VER_PLATFORM_WIN32_NT) and Windows XP (5.1) or later.
constexpr int kPlatformWin32Nt = 2;
bool IsSupportedOperatingSystem(int major, int minor, int platformId);

constexpr char16_t kProgramName[] = u"Vantor Tavrel";
constexpr char16_t kDefaultLanguage[] = u"Kor";
constexpr char16_t kRegistryRoot[] = u"Vantor Login";
constexpr char16_t kConfigSection[] = u"config";
constexpr char16_t kLanguageKey[] = u"language";
constexpr char16_t kDumpFileName[] = u"TavrelDump.dmp";

// ".\language\Vantor Tavrel<code>.dll", relative to the current directory.
std::u16string LanguageModulePath(const std::u16string& languageCode);
// Only the exact code "Kor" means the built-in texts; "kor" names a module.
bool IsBuiltInLanguage(const std::u16string& languageCode);

// The text shown after a crash: Korean for "Kor", English for every other code.
std::u16string CrashMessageText(const std::u16string& languageCode);

// The "autostart" switch, compared without regard to letter case (ASCII only).
bool IsAutostartSwitch(const std::u16string& token);

}  // namespace tavrel
