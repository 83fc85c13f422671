#include "shell/IniEncoding.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace tavrel;

using Bytes = std::vector<uint8_t>;

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Utf16Le(const std::u16string& text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

Bytes Utf16Be(const std::u16string& text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// "[default]\r\nrsip=선생님\r\n" in UTF-8 and in code page 949.
const std::string kKoreanUtf8 = "[default]\r\nrsip=\xEC\x84\xA0\xEC\x83\x9D\xEB\x8B\x98\r\n";
const std::string kKoreanCp949 = "[default]\r\nrsip=\xBC\xB1\xBB\xFD\xB4\xD4\r\n";

struct DetectCase {
    const char* name;
    Bytes bytes;
    IniEncoding expected;
};

TEST(IniEncodingTest, DetectsEncodingOfFileBytes) {
    const std::vector<DetectCase> cases = {
        {"empty", {}, kIniAnsi},
        {"ascii only UTF-8", FromText("[default]\r\nrsip=10.0.0.5\r\n"), kIniAnsi},
        {"korean UTF-8", FromText(kKoreanUtf8), kIniUtf8},
        {"korean CP949", FromText(kKoreanCp949), kIniAnsi},
        {"UTF-16LE mark", Concat({0xFF, 0xFE}, Utf16Le(u"[default]\r\n")), kIniUtf16LeWithMark},
        {"UTF-16LE mark only", {0xFF, 0xFE}, kIniUtf16LeWithMark},
        {"UTF-8 mark ascii", FromText("\xEF\xBB\xBF[default]\r\n"), kIniUtf8},
        {"UTF-8 mark only", {0xEF, 0xBB, 0xBF}, kIniUtf8},
        {"UTF-16LE without mark", Utf16Le(u"[default]\r\nrsip=1\r\n"), kIniUtf16LeWithoutMark},
        {"UTF-16BE without mark", Utf16Be(u"[default]\r\nrsip=1\r\n"), kIniUtf16BeWithoutMark},
        {"UTF-16BE with its mark", Concat({0xFE, 0xFF}, Utf16Be(u"[default]\n")),
         kIniUtf16BeWithoutMark},
        {"UTF-16 without any break", Utf16Le(u"[default]"), kIniAnsi},
        {"mixed LE and BE breaks", Concat(Utf16Le(u"a\r\n"), Utf16Be(u"b\n")), kIniAnsi},
        {"break at odd offset only", FromText(std::string("a\r\0b", 4)), kIniAnsi},
        {"single byte", {0x0A}, kIniAnsi},
        // After a zero byte nothing counts: the Korean that follows is not seen.
        {"zero before UTF-8", Concat(FromText(std::string("ab\0", 3)), FromText(kKoreanUtf8)),
         kIniAnsi},
        {"UTF-8 then zero then junk", Concat(FromText(std::string("\xEC\x84\xA0\0", 4)), {0xFF}),
         kIniUtf8},
        {"truncated sequence at end", FromText("rsip=\xEC\x84\xA0\xEC\x83"), kIniUtf8},
        {"lone lead at end", FromText("rsip=\xEC"), kIniAnsi},
        {"overlong lead C0", FromText("a\xC0\x80"), kIniAnsi},
        {"lead F5 is not UTF-8", FromText("a\xF5\x80\x80\x80"), kIniAnsi},
        {"bad continuation", FromText("\xEC\x84\x41"), kIniAnsi},
        {"four byte sequence", FromText("\xF0\x9F\x98\x80"), kIniUtf8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, DetectIniEncoding(c.bytes.data(), c.bytes.size())) << c.name;
    }
}

TEST(IniEncodingTest, LineBreakOrder) {
    const struct {
        const char* name;
        Bytes bytes;
        Utf16BreakOrder expected;
    } cases[] = {
        {"LE CR", {0x0D, 0x00}, Utf16BreakOrder::kLittleEndian},
        {"LE LF", {'a', 0, 0x0A, 0x00}, Utf16BreakOrder::kLittleEndian},
        {"BE LF", {0x00, 0x0A}, Utf16BreakOrder::kBigEndian},
        {"both", {0x0D, 0x00, 0x00, 0x0A}, Utf16BreakOrder::kNone},
        {"odd tail ignored", {'a', 'b', 0x0A}, Utf16BreakOrder::kNone},
        {"none", {'a', 'b'}, Utf16BreakOrder::kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, FindUtf16BreakOrder(c.bytes.data(), c.bytes.size())) << c.name;
    }
}

TEST(IniEncodingTest, DecodesUtf16WithoutLosingText) {
    const std::u16string text = u"[default]\r\nrsip=\uC120\uC0DD\r\n";
    const Bytes le = Utf16Le(text);
    const Bytes be = Utf16Be(text);
    EXPECT_EQ(text, DecodeUtf16Bytes(le.data(), le.size(), false));
    EXPECT_EQ(text, DecodeUtf16Bytes(be.data(), be.size(), true));
    // A big-endian mark decodes to U+FEFF and is dropped; the writer adds FF FE itself.
    const Bytes beMarked = Concat({0xFE, 0xFF}, be);
    EXPECT_EQ(text, DecodeUtf16Bytes(beMarked.data(), beMarked.size(), true));
    // An odd last byte is not a code unit.
    const Bytes odd = Concat(le, {0x41});
    EXPECT_EQ(text, DecodeUtf16Bytes(odd.data(), odd.size(), false));
}

TEST(IniEncodingTest, EncodesWithLittleEndianMark) {
    const std::string bytes = EncodeUtf16LeWithMark(u"[d\uC120");
    EXPECT_EQ(std::string("\xFF\xFE[\0d\0\x20\xC1", 8), bytes);
    std::u16string marked = u"\uFEFF[default]";
    DropLeadingByteOrderMark(marked);
    EXPECT_EQ(u"[default]", marked);
    std::u16string plain = u"[default]";
    DropLeadingByteOrderMark(plain);
    EXPECT_EQ(u"[default]", plain);
}

TEST(IniEncodingTest, FormatsDatedBackupNames) {
    EXPECT_EQ(u"20250407", FormatBackupDate(2025, 4, 7));
    EXPECT_EQ(u"20251231", FormatBackupDate(2025, 12, 31));
    EXPECT_EQ(u"C:\\app\\setting_2025040701.ini",
              FormatBackupName(u"C:\\app\\setting", u"20250407", 1, u".ini"));
    EXPECT_EQ(u"setting_2025040799.ini", FormatBackupName(u"setting", u"20250407", 99, u".ini"));
    EXPECT_EQ(u"noext_2025040710", FormatBackupName(u"noext", u"20250407", 10, u""));
}

// A file system in memory: a set of names, renames that can be made to fail a given
// number of times, and a record of every call.
class FakeFileSystem : public IBackupFileSystem {
  public:
    std::set<std::u16string> files;
    std::map<std::u16string, int> renameFailures;  // target -> failures left
    int renameCalls = 0;
    int sleeps = 0;

    bool Exists(const std::u16string& path) override { return files.count(path) != 0; }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        ++renameCalls;
        auto failing = renameFailures.find(to);
        if (failing != renameFailures.end() && failing->second != 0) {
            if (failing->second > 0) --failing->second;
            return false;
        }
        if (!files.count(from) || files.count(to)) return false;
        files.erase(from);
        files.insert(to);
        return true;
    }
    void Sleep(unsigned milliseconds) override {
        EXPECT_EQ(kBackupRenameWaitMs, milliseconds);
        ++sleeps;
    }
};

const std::u16string kPath = u"dir\\setting.ini";
const std::u16string kBase = u"dir\\setting";
const std::u16string kExt = u".ini";
const std::u16string kDate = u"20250407";

std::u16string Backup(int number) { return FormatBackupName(kBase, kDate, number, kExt); }

TEST(IniEncodingTest, BackupSearch) {
    std::vector<int> allNumbers;
    for (int n = kFirstBackupNumber; n <= kLastBackupNumber; ++n) allNumbers.push_back(n);
    const int kAlways = -1;
    const struct {
        const char* name;
        std::vector<int> taken;       // backup numbers already present
        std::map<int, int> failures;  // backup number -> failing renames (-1: always)
        int expectedNumber;           // 0: no backup possible
        int expectedRenames;
    } cases[] = {
        {"first free", {}, {}, 1, 1},
        {"01 taken", {1}, {}, 2, 1},
        {"gap is used", {1, 2, 4}, {}, 3, 1},
        {"all 99 used", allNumbers, {}, 0, 0},
        {"two failures then success", {}, {{1, 2}}, 1, 3},
        {"three failures move on", {}, {{1, 3}}, 2, 4},
        {"98 taken, last fails",
         {allNumbers.begin(), allNumbers.end() - 1},
         {{99, kAlways}},
         0,
         kBackupRenameTries},
    };
    for (const auto& c : cases) {
        FakeFileSystem fs;
        fs.files.insert(kPath);
        for (int n : c.taken) fs.files.insert(Backup(n));
        for (const auto& [number, count] : c.failures) fs.renameFailures[Backup(number)] = count;
        const std::u16string result = MoveToDatedBackup(fs, kPath, kBase, kExt, kDate);
        EXPECT_EQ(c.expectedRenames, fs.renameCalls) << c.name;
        EXPECT_EQ(c.expectedRenames, fs.sleeps) << c.name;
        if (c.expectedNumber == 0) {
            EXPECT_TRUE(result.empty()) << c.name;
            EXPECT_TRUE(fs.Exists(kPath)) << c.name << ": the file must stay in place";
        } else {
            EXPECT_EQ(Backup(c.expectedNumber), result) << c.name;
            EXPECT_FALSE(fs.Exists(kPath)) << c.name;
            EXPECT_TRUE(fs.Exists(result)) << c.name;
        }
    }
}

TEST(IniEncodingTest, BackupGivesUpWhenEveryRenameFails) {
    FakeFileSystem fs;
    fs.files.insert(kPath);
    for (int n = kFirstBackupNumber; n <= kLastBackupNumber; ++n) {
        fs.renameFailures[Backup(n)] = -1;
    }
    EXPECT_TRUE(MoveToDatedBackup(fs, kPath, kBase, kExt, kDate).empty());
    EXPECT_EQ(kLastBackupNumber * kBackupRenameTries, fs.renameCalls);
    EXPECT_TRUE(fs.Exists(kPath));
}

// A rename the file system reports as done but whose result never shows up is not a
// backup: it is retried like a failed one.
TEST(IniEncodingTest, BackupRequiresNameToExistAfterRename) {
    class VanishingFileSystem : public FakeFileSystem {
      public:
        bool Rename(const std::u16string&, const std::u16string&) override {
            ++renameCalls;
            return true;
        }
    } fs;
    EXPECT_TRUE(MoveToDatedBackup(fs, kPath, kBase, kExt, kDate).empty());
    EXPECT_EQ(99 * kBackupRenameTries, fs.renameCalls);
}

}  // namespace
