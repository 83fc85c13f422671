// Encoding of the INI files next to the executable, and the dated backup that is kept
// whenever one of them is rewritten. Pure logic over bytes: the file access lives in
// SettingsStore_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrel {

// What DetectIniEncoding found. The numbers of the first four are those the settings
// code has always used; the two "without mark" values are ours.
enum IniEncoding : int {
    kIniUnreadable = -1,
    kIniAnsi = 1,
    kIniUtf8 = 2,
    kIniUtf16LeWithMark = 3,
    kIniUtf16LeWithoutMark = 4,
    kIniUtf16BeWithoutMark = 5,
};

// Byte order of the line breaks seen by the UTF-16 line-break test.
enum class Utf16BreakOrder { kNone, kLittleEndian, kBigEndian };

// True when the bytes are UTF-8 holding at least one multi-byte sequence. A zero byte
// ends the scan; running out in the middle of a sequence is not an error.
bool IsUtf8WithMultiByte(const uint8_t* data, size_t size);

// Looks at the byte pairs (0,1), (2,3), ... for CR or LF next to a zero byte. Mixed
// orders mean the bytes are not UTF-16 text at all.
Utf16BreakOrder FindUtf16BreakOrder(const uint8_t* data, size_t size);

// The encoding of a whole file's bytes (never kIniUnreadable, which is for files that
// cannot be read).
IniEncoding DetectIniEncoding(const uint8_t* data, size_t size);

// UTF-16 code units from bytes in the given order. A byte-order mark at the start is
// dropped (the writer puts its own in front); an odd last byte is not a code unit and
// is dropped too (the backup still has it).
std::u16string DecodeUtf16Bytes(const uint8_t* data, size_t size, bool bigEndian);

// Drops one leading U+FEFF, so that a file that began with a byte-order mark still
// reads "[default]" as its first line after conversion.
void DropLeadingByteOrderMark(std::u16string& text);

// The bytes of a UTF-16LE file with byte-order mark holding the given text.
std::string EncodeUtf16LeWithMark(const std::u16string& text);

// "yyyymmdd" of a local date.
std::u16string FormatBackupDate(int year, int month, int day);

// "%s_%s%02d%s": base, date, number, extension, e.g. setting_2025040701.ini.
std::u16string FormatBackupName(const std::u16string& base, const std::u16string& date, int number,
                                const std::u16string& extension);

// The little part of the file system the backup needs, so the search can be driven by
// a fake in tests.
class IBackupFileSystem {
  public:
    virtual ~IBackupFileSystem() = default;
    virtual bool Exists(const std::u16string& path) = 0;
    virtual bool Rename(const std::u16string& from, const std::u16string& to) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
};

constexpr int kFirstBackupNumber = 1;
constexpr int kLastBackupNumber = 99;
constexpr int kBackupRenameTries = 3;
constexpr unsigned kBackupRenameWaitMs = 100;

// Moves `path` (split into base and extension by the caller) to the first free dated
// backup name and returns that name, or an empty text when none could be used (the
// file then stays where it was).
std::u16string MoveToDatedBackup(IBackupFileSystem& fileSystem, const std::u16string& path,
                                 const std::u16string& base, const std::u16string& extension,
                                 const std::u16string& date);

}  // namespace tavrel
