#include "shell/StartupRules.h"

#include <gtest/gtest.h>

namespace {

using namespace tavrel;

TEST(StartupRules, OperatingSystemCheck) {
    struct Case {
        int major, minor, platform;
        bool supported;
    } cases[] = {
        {5, 0, kPlatformWin32Nt, false},  // Windows 2000
        {5, 1, kPlatformWin32Nt, true},   // XP
        {5, 2, kPlatformWin32Nt, true},   // Server 2003 / XP x64
        {6, 0, kPlatformWin32Nt, true},
        {10, 0, kPlatformWin32Nt, true},
        {4, 90, 1, false},                // Windows Me: not NT
        {6, 1, 1, false},                 // a later version on another platform
        {4, 0, kPlatformWin32Nt, false},  // NT 4
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSupportedOperatingSystem(c.major, c.minor, c.platform), c.supported)
            << c.major << "." << c.minor << " platform " << c.platform;
    }
}

TEST(StartupRules, LanguageModulePathAndBuiltInCode) {
    EXPECT_EQ(LanguageModulePath(u"Eng"), u".\\language\\Vantor TavrelEng.dll");
    EXPECT_EQ(LanguageModulePath(u"kor"), u".\\language\\Vantor Tavrelkor.dll");
    EXPECT_TRUE(IsBuiltInLanguage(u"Kor"));
    EXPECT_FALSE(IsBuiltInLanguage(u"kor"));
    EXPECT_FALSE(IsBuiltInLanguage(u"KOR"));
    EXPECT_FALSE(IsBuiltInLanguage(u""));
}

TEST(StartupRules, CrashMessageFollowsTheLanguageCode) {
    EXPECT_EQ(CrashMessageText(u"Kor").substr(0, 14), u"Vantor Tavrel이");
    for (const char16_t* code : {u"Eng", u"kor", u"Jpn", u""}) {
        EXPECT_EQ(CrashMessageText(code).substr(0, 33), u"Vantor Tavrel ended unexpectedly.");
    }
    EXPECT_NE(CrashMessageText(u"Kor").find(u"TavrelDump.dmp"), std::u16string::npos);
}

TEST(StartupRules, AutostartSwitchIgnoresLetterCase) {
    struct Case {
        const char16_t* token;
        bool matches;
    } cases[] = {
        {u"autostart", true},   {u"AutoStart", true}, {u"AUTOSTART", true},   {u"autostar", false},
        {u"autostarts", false}, {u"", false},         {u"auto start", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAutostartSwitch(c.token), c.matches);
    }
}

}  // namespace
