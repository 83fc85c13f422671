// The system's own message numbers, virtual-key codes and flags that the remote
// viewer's rules depend on, as plain numbers: the portable rules never include the
// Windows headers, and the values are fixed parts of the system's interface (the
// lectern PC replays them unchanged, so they may never drift).
#pragma once

#include <cstdint>

// ---- window messages
inline constexpr unsigned kWmSize = 5;
inline constexpr unsigned kWmKeyDown = 256;
inline constexpr unsigned kWmKeyUp = 257;
inline constexpr unsigned kWmChar = 258;
inline constexpr unsigned kWmSysKeyDown = 260;
inline constexpr unsigned kWmSysKeyUp = 261;
inline constexpr unsigned kWmMouseMove = 512;
inline constexpr unsigned kWmLButtonDown = 513;
inline constexpr unsigned kWmLButtonUp = 514;
inline constexpr unsigned kWmRButtonDown = 516;
inline constexpr unsigned kWmRButtonUp = 517;
inline constexpr unsigned kWmMButtonDown = 519;
inline constexpr unsigned kWmMButtonUp = 520;
inline constexpr unsigned kWmMouseWheel = 522;

// ---- virtual keys
inline constexpr uint32_t kVkMenu = 18;  // Alt
inline constexpr uint32_t kVkHangul = 21;
inline constexpr uint32_t kVkSnapshot = 44;  // Print Screen
inline constexpr uint32_t kVkF4 = 115;
inline constexpr uint32_t kVkF10 = 121;
inline constexpr uint32_t kVkProcessKey = 229;  // a key the input method took
// Key records carry only codes below this.
inline constexpr uint32_t kVirtualKeyLimit = 256;

// ---- key message lParam bits
inline constexpr uint32_t kKeyContextBit = 1u << 29;        // Alt held (bit 13 of the flags)
inline constexpr uint32_t kKeyPreviousStateBit = 1u << 30;  // the key was already down

// ---- ShowWindow commands carried in notices
inline constexpr int kSwHide = 0;
inline constexpr int kSwShow = 5;
