#include "shell/IniEncoding.h"

namespace tavrel {

namespace {

constexpr uint8_t kAsciiLimit = 0x80;
constexpr uint8_t kTwoByteLeadFirst = 0xC2;
constexpr uint8_t kTwoByteLeadLast = 0xDF;
constexpr uint8_t kThreeByteLeadFirst = 0xE0;
constexpr uint8_t kThreeByteLeadLast = 0xEF;
constexpr uint8_t kFourByteLeadFirst = 0xF0;
constexpr uint8_t kFourByteLeadLast = 0xF4;
constexpr uint8_t kContinuationFirst = 0x80;
constexpr uint8_t kContinuationLast = 0xBF;

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kLineFeed = 0x0A;

constexpr uint8_t kUtf16LeMark[] = {0xFF, 0xFE};
constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr size_t kMinUtf16Bytes = 2;
constexpr unsigned kBitsPerByte = 8;
constexpr unsigned kByteMask = 0xFF;

// Continuation bytes expected after a lead byte; -1 when the byte cannot start one.
int ContinuationCount(uint8_t lead) {
    if (lead >= kTwoByteLeadFirst && lead <= kTwoByteLeadLast) return 1;
    if (lead >= kThreeByteLeadFirst && lead <= kThreeByteLeadLast) return 2;
    if (lead >= kFourByteLeadFirst && lead <= kFourByteLeadLast) return 3;
    return -1;
}

bool IsLineBreakByte(uint8_t byte) { return byte == kCarriageReturn || byte == kLineFeed; }

template <size_t N>
bool StartsWith(const uint8_t* data, size_t size, const uint8_t (&prefix)[N]) {
    if (size < N) return false;
    for (size_t i = 0; i < N; ++i) {
        if (data[i] != prefix[i]) return false;
    }
    return true;
}

}  // namespace

bool IsUtf8WithMultiByte(const uint8_t* data, size_t size) {
    bool sawContinuation = false;
    size_t i = 0;
    while (i < size && data[i] != 0) {
        const uint8_t lead = data[i++];
        if (lead < kAsciiLimit) continue;
        const int expected = ContinuationCount(lead);
        if (expected < 0) return false;
        for (int k = 0; k < expected; ++k) {
            if (i >= size || data[i] == 0) return sawContinuation;
            const uint8_t byte = data[i++];
            if (byte < kContinuationFirst || byte > kContinuationLast) return false;
            sawContinuation = true;
        }
    }
    return sawContinuation;
}

Utf16BreakOrder FindUtf16BreakOrder(const uint8_t* data, size_t size) {
    bool little = false;
    bool big = false;
    for (size_t i = 0; i + 1 < size; i += 2) {
        if (IsLineBreakByte(data[i]) && data[i + 1] == 0) little = true;
        if (data[i] == 0 && IsLineBreakByte(data[i + 1])) big = true;
        if (little && big) return Utf16BreakOrder::kNone;
    }
    if (little) return Utf16BreakOrder::kLittleEndian;
    if (big) return Utf16BreakOrder::kBigEndian;
    return Utf16BreakOrder::kNone;
}

IniEncoding DetectIniEncoding(const uint8_t* data, size_t size) {
    if (StartsWith(data, size, kUtf16LeMark)) return kIniUtf16LeWithMark;
    if (StartsWith(data, size, kUtf8Mark)) return kIniUtf8;
    if (IsUtf8WithMultiByte(data, size)) return kIniUtf8;
    if (size >= kMinUtf16Bytes) {
        switch (FindUtf16BreakOrder(data, size)) {
            case Utf16BreakOrder::kLittleEndian:
                return kIniUtf16LeWithoutMark;
            case Utf16BreakOrder::kBigEndian:
                return kIniUtf16BeWithoutMark;
            case Utf16BreakOrder::kNone:
                break;
        }
    }
    return kIniAnsi;
}

std::u16string DecodeUtf16Bytes(const uint8_t* data, size_t size, bool bigEndian) {
    std::u16string text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const unsigned first = data[i];
        const unsigned second = data[i + 1];
        const unsigned unit =
            bigEndian ? (first << kBitsPerByte) | second : (second << kBitsPerByte) | first;
        text.push_back(static_cast<char16_t>(unit));
    }
    DropLeadingByteOrderMark(text);
    return text;
}

void DropLeadingByteOrderMark(std::u16string& text) {
    if (!text.empty() && text.front() == kByteOrderMark) text.erase(0, 1);
}

std::string EncodeUtf16LeWithMark(const std::u16string& text) {
    std::string bytes;
    bytes.reserve(sizeof(kUtf16LeMark) + 2 * text.size());
    bytes.push_back(static_cast<char>(kUtf16LeMark[0]));
    bytes.push_back(static_cast<char>(kUtf16LeMark[1]));
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & kByteMask));
        bytes.push_back(static_cast<char>((unit >> kBitsPerByte) & kByteMask));
    }
    return bytes;
}

namespace {

// Appends value as decimal digits, zero-padded to at least `width` digits.
void AppendPadded(std::u16string& out, int value, size_t width) {
    std::u16string digits;
    unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    constexpr unsigned kDecimal = 10;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % kDecimal));
        rest /= kDecimal;
    } while (rest != 0);
    if (digits.size() < width) out.append(width - digits.size(), u'0');
    out += digits;
}

constexpr size_t kYearDigits = 4;
constexpr size_t kTwoDigits = 2;

}  // namespace

std::u16string FormatBackupDate(int year, int month, int day) {
    std::u16string date;
    AppendPadded(date, year, kYearDigits);
    AppendPadded(date, month, kTwoDigits);
    AppendPadded(date, day, kTwoDigits);
    return date;
}

std::u16string FormatBackupName(const std::u16string& base, const std::u16string& date, int number,
                                const std::u16string& extension) {
    std::u16string name = base;
    name += u'_';
    name += date;
    AppendPadded(name, number, kTwoDigits);
    name += extension;
    return name;
}

std::u16string MoveToDatedBackup(IBackupFileSystem& fileSystem, const std::u16string& path,
                                 const std::u16string& base, const std::u16string& extension,
                                 const std::u16string& date) {
    for (int number = kFirstBackupNumber; number <= kLastBackupNumber; ++number) {
        const std::u16string name = FormatBackupName(base, date, number, extension);
        if (fileSystem.Exists(name)) continue;
        for (int attempt = 0; attempt < kBackupRenameTries; ++attempt) {
            const bool renamed = fileSystem.Rename(path, name);
            fileSystem.Sleep(kBackupRenameWaitMs);
            if (renamed && fileSystem.Exists(name)) return name;
        }
    }
    return std::u16string();
}

}  // namespace tavrel
