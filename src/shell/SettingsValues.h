// Names, defaults and value rules of the program's settings: the application profile
// (section "config"), setting.ini and config.ini (section "default") and the per-user
// compatibility-layer list. The Windows store (SettingsStore_win) and the portable
// readers share these so that a name is spelt in one place only.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

// Application profile (root name and language default: StartupRules.h).
inline constexpr char16_t kSectionConfig[] = u"config";
inline constexpr char16_t kKeyLanguage[] = u"language";
inline constexpr char16_t kKeyTeacherId[] = u"teacherid";
inline constexpr char16_t kKeyNoteToolColor[] = u"notetool_color";
inline constexpr char16_t kKeyNoteToolPenSizeType[] = u"notetool_pensizetype";

// INI files next to the executable.
inline constexpr char16_t kSettingIniName[] = u"setting.ini";
inline constexpr char16_t kConfigIniName[] = u"config.ini";
inline constexpr char16_t kSectionDefault[] = u"default";
inline constexpr char16_t kKeyRelayIp[] = u"rsip";
inline constexpr char16_t kKeyRelayPort[] = u"rsport";
inline constexpr char16_t kKeyScaleFactor[] = u"scalefactor";
// First line of a freshly made INI file.
inline constexpr char16_t kIniSectionLine[] = u"[default]";

// Relay endpoint defaults of the start-up.
inline constexpr char16_t kUnsetRelayIp[] = u"0.0.0.0";
inline constexpr char16_t kUnsetRelayPort[] = u"0";
inline constexpr char16_t kDefaultRelayPort[] = u"10240";

// Compatibility layers (below HKEY_CURRENT_USER; value name = the executable's path).
inline constexpr char16_t kCompatLayersKey[] =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
inline constexpr char16_t kHighDpiAwareFlag[] = u"HIGHDPIAWARE";

// Note tool pen colours (0x00BBGGRR) and sizes.
inline constexpr uint32_t kDefaultNoteToolColor = 0x0000E6;
inline constexpr int kDefaultNoteToolPenSizeType = 2;
inline constexpr int kMinNoteToolPenSizeType = 1;
inline constexpr int kMaxNoteToolPenSizeType = 4;
inline constexpr uint32_t kNoteToolColors[] = {0x0000E6, 0x00E600, 0x00E6E6, 0x141414,
                                               0xC7B71B, 0xCC33E6, 0xE60000, 0xE6E6E6};

// The stored colour when it is one of the palette's, else the default.
uint32_t AllowedNoteToolColor(uint32_t stored);
// The stored pen size type when it is 1 to 4, else the default.
int AllowedNoteToolPenSizeType(int stored);

// The "scalefactor" override of config.ini: the text read as a decimal number as far
// as it goes ("1.4abc" is 1.4). Returns 0 when there is no override: empty text, no
// number, 0, or a value no window can be sized with (negative or not finite).
float ParseScaleFactorOverride(const std::u16string& text);

// The relay endpoint the start-up uses, from the values read out of setting.ini with
// the defaults "0.0.0.0" and "0", and which of them it writes back.
struct RelayEndpointSetting {
    std::u16string ip;
    std::u16string port;
    bool writeIp = false;
    bool writePort = false;
};
RelayEndpointSetting ResolveStartupRelayEndpoint(const std::u16string& ipRead,
                                                 const std::u16string& portRead);
// The endpoint when setting.ini cannot be found: nothing is read or written.
RelayEndpointSetting RelayEndpointWithoutFile();

// The compatibility-layer data after adding `flag` to `current` (space-separated).
// Returns false when `current` already contains the flag and nothing is to be written.
bool AddCompatLayerFlag(const std::u16string& current, const std::u16string& flag,
                        std::u16string& updated);

}  // namespace tavrel
