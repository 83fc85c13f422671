// The updater's plain rules: replies, file records, versions, names and the batch text.
#include "updater/UpdateRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;

std::string A(const std::u16string& text) {
    std::string ascii;
    for (char16_t ch : text) ascii.push_back(ch < 0x80 ? char(ch) : '?');
    return ascii;
}

TEST(UpdateRulesTest, SplitsRepliesIntoTrimmedLines) {
    const struct {
        std::u16string reply;
        std::vector<std::u16string> lines;
    } cases[] = {
        {u"result:true\r\nserver:host\r\nport:80\r\n",
         {u"result:true", u"server:host", u"port:80"}},
        {u"\n\n  a  \n\r\n\t\nb", {u"a", u"b"}},
        {u"\"file:\"x,\"y\"\n\"\"\n", {u"file:x,y"}},
        {u"", {}},
        {u"\r\n \n", {}},
        {u"one", {u"one"}},
        {u"\u3000wide\u00A0\n", {u"wide"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitReplyLines(c.reply), c.lines) << A(c.reply);
}

TEST(UpdateRulesTest, FindsTheFirstLineOfAKeyAndRemovesEveryOccurrence) {
    const std::vector<std::u16string> lines = {u"result:true", u"xserver:no", u"server:a server:b",
                                               u"server:second", u"port: 8080 "};
    const struct {
        std::u16string key;
        bool found;
        std::u16string value;
    } cases[] = {
        {u"server:", true, u"a b"},  // first line wins, both keys removed
        {u"port:", true, u"8080"},        {u"result:", true, u"true"},
        {u"code:", false, u"unchanged"},  {u"", false, u"unchanged"},
        {u"erver:", false, u"unchanged"},  // only at the start of a line
    };
    for (const auto& c : cases) {
        std::u16string value = u"unchanged";
        EXPECT_EQ(FindKeyValue(lines, c.key, value), c.found) << A(c.key);
        EXPECT_EQ(value, c.value) << A(c.key);
    }
}

TEST(UpdateRulesTest, ParsesFileLinesOfExactlyEightPieces) {
    const struct {
        std::u16string line;
        bool accepted;
        std::vector<std::u16string> fields;
    } cases[] = {
        {u"u_tavrel,main_exe,Vantor Tavrel.exe,.\\,2048,3.0.1.2000,0,Vantor Tavrel.exe.new",
         true,
         {u"u_tavrel", u"main_exe", u"Vantor Tavrel.exe", u".\\", u"2048", u"3.0.1.2000", u"0",
          u"Vantor Tavrel.exe.new"}},
        {u"\"u_tavrel\",k,f,.\\,1,2,3,s",
         true,
         {u"u_tavrel", u"k", u"f", u".\\", u"1", u"2", u"3", u"s"}},
        {u"a, k,f,.\\,1,2,3,s", true, {u"a", u" k", u"f", u".\\", u"1", u"2", u"3", u"s"}},
        {u",a,,k,f,.\\,1,2,3,s,", true, {u"a", u"k", u"f", u".\\", u"1", u"2", u"3", u"s"}},
        {u"a,k,f,,1,2,3,s", false, {}},  // an empty field leaves seven pieces
        {u"a,k,f,.\\,1,2,3,s,extra", false, {}},
        {u"", false, {}},
    };
    for (const auto& c : cases) {
        UpdateFileRecord record;
        ASSERT_EQ(ParseFileLine(c.line, record), c.accepted) << A(c.line);
        if (!c.accepted) continue;
        const std::vector<std::u16string> fields = {
            record.productType, record.fileKey,     record.fileName, record.folder,
            record.fileSize,    record.fileVersion, record.spare,    record.stageName};
        EXPECT_EQ(fields, c.fields) << A(c.line);
    }
}

TEST(UpdateRulesTest, ReadsOnlyFileLinesOfAFileList) {
    const std::u16string reply =
        u"result:true\nfile:u_tavrel,a,A.dll,.\\,1,1.0,0,A.dll.new\r\nmessage:file:x\n"
        u"  file: u_tavrel,b,B.dll,sub\\,2,2.0,0,B.dll.new\nfile:too,few\n"
        u"file:u_tavrel,c,..,.\\,3,3.0,0,C.new\n";
    const std::vector<UpdateFileRecord> records = ParseFileListReply(reply);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fileKey, u"a");
    EXPECT_TRUE(records[0].safe);
    EXPECT_EQ(records[1].productType, u"u_tavrel");  // trimmed after "file:" went
    EXPECT_EQ(records[1].folder, u"sub\\");
    EXPECT_TRUE(records[1].safe);
    EXPECT_EQ(records[2].fileName, u"..");
    EXPECT_FALSE(records[2].safe);  // kept in its place, never used
    EXPECT_TRUE(ParseFileListReply(kFailedRequestReply).empty());
}

TEST(UpdateRulesTest, RefusesRecordsThatLeaveTheProgramFolderOrReachTheBatch) {
    const struct {
        std::u16string folder, fileName, stageName;
        bool safe;
    } cases[] = {
        {u".\\", u"Vantor Tavrel.exe", u"Vantor Tavrel.exe.new", true},
        {u"language\\", u"Eng.dll", u"Eng.dll.new", true},
        {u"a\\b\\", u"x.dll", u"x.dll.tmp", true},
        {u"", u"x.dll", u"x.dll.tmp", true},
        {u"..\\", u"x", u"y", false},
        {u"a\\..\\", u"x", u"y", false},
        {u"a\\b", u"x", u"y", false},
        {u"a\\\\", u"x", u"y", false},
        {u".\\a\\", u"x", u"y", false},
        {u"C:\\", u"x", u"y", false},
        {u"C:", u"x", u"y", false},
        {u"\\x\\", u"x", u"y", false},
        {u"a/b\\", u"x", u"y", false},
        {u".\\", u"..", u"y", false},
        {u".\\", u"x..y", u"y", false},
        {u".\\", u"C:x", u"y", false},
        {u".\\", u"\\x", u"y", false},
        {u".\\", u"a\\x", u"y", false},
        {u".\\", u"x", u"sub/y", false},
        {u".\\", u"x", u"y:stream", false},
        {u"%TEMP%\\", u"x", u"y", false},
        {u".\\", u"x&calc", u"y", false},
        {u".\\", u"x", u"y|z", false},
        {u".\\", u"x", u"y<z", false},
        {u".\\", u"x", u"y>z", false},
        {u".\\", u"x", u"y^z", false},
        {u".\\", u"x", u"y!z", false},
        {u".\\", u"x", u"y*", false},
        {u".\\", u"x", u"y?", false},
        {u".\\", u"x\ny", u"y", false},
        {u".\\", u"x", std::u16string(u"y\0z", 3), false},
        {u"a\tb\\", u"x", u"y", false},
        {u".\\", u"CON", u"y", false},
        {u".\\", u"nul.txt", u"y", false},
        {u".\\", u"x", u"com1", false},
        {u"LPT1.log\\", u"x", u"y", false},
        {u"aux\\", u"x", u"y", false},
        {u".\\", u"console.exe", u"com10", true},  // not device names
        {u".\\", u"x.exe.", u"x.new", false},      // Win32 would drop the dot
        {u".\\", u"x.exe", u"x.new ", false},
        {u".\\", u"Vantor.EXE", u"vantor.exe", false},  // the download would overwrite it
        {u".\\", u"x", u"", false},
    };
    for (const auto& c : cases) {
        UpdateFileRecord record;
        record.folder = c.folder;
        record.fileName = c.fileName;
        record.stageName = c.stageName;
        EXPECT_EQ(IsSafeRecord(record), c.safe)
            << A(c.folder) << " | " << A(c.fileName) << " | " << A(c.stageName);
        EXPECT_EQ(UnsafeRecordReason(record).empty(), c.safe) << A(c.fileName);
    }
}

TEST(UpdateRulesTest, ComparesDottedNumbersAsNumbersAndOtherTextsAsText) {
    const struct {
        std::u16string a, b;
        int order;
    } cases[] = {
        {u"3.0.1.1012", u"3.0.1.998", 1},  // text would say older
        {u"3.0.1.998", u"3.0.1.1012", -1},
        {u"3.0.1.1004", u"3.0.1.1004", 0},
        {u"3.0.1.1005", u"3.0.1.1004", 1},  // equal widths agree with text
        {u"3.0.1", u"3.0.1.0", 0},
        {u"3.0.1.1", u"3.0.1", 1},
        {u"3.00.1", u"3.0.1", 0},
        {u"10.0", u"9.9", 1},
        {u"99999999999999999999.1", u"99999999999999999998.9", 1},
        {u"2.0", u"1.0.0.0", 1},
        // DotsForCommas("3, 0, 1, 1012") is not a dotted number: text, space below digit.
        {u"3.0.1.1012", u"3. 0. 1. 1012", 1},
        {u"3.0.1.1012", u"", 1},
        {u"", u"", 0},
        {u"3.0.1.1012", u"Unable to get Version Info", -1},
        {u"9", u"Unable to get Version Info", -1},
        {u"3.0.", u"3.0", 1},  // not dotted: as text the longer one is greater
        {u"3..0", u"3.0", -1},
        {u"\uD574\uB2F9\uC5C6\uC74C", u"3.0", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order) << A(c.a) << " vs " << A(c.b);
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.order) << A(c.b) << " vs " << A(c.a);
    }
    EXPECT_EQ(DotsForCommas(u"3, 0, 1, 1012"), u"3. 0. 1. 1012");
    EXPECT_EQ(DotsForCommas(u"3,0,1,1012"), u"3.0.1.1012");
}

TEST(UpdateRulesTest, ReadsLeadingNumbersLikeTheRuntime) {
    const struct {
        std::u16string text;
        int64_t value;
    } cases[] = {
        {u"2048", 2048},
        {u"  2048", 2048},
        {u"\t-12x", -12},
        {u"+7", 7},
        {u"12 34", 12},
        {u"", 0},
        {u"abc", 0},
        {u" 2048", 2048},
        {u"- 5", 0},
        {u"00042", 42},
        {u"4294967296", 4294967296LL},
        {u"99999999999999999999", INT64_MAX},
        {u"-99999999999999999999", INT64_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadLeadingNumber(c.text), c.value) << A(c.text);
}

TEST(UpdateRulesTest, SkipsLanguageModulesByLanguage) {
    const std::u16string keys[] = {u"t_lang_dll_eng", u"s_lang_dll_eng", u"r_lang_dll_eng",
                                   u"t_lang_dll_jpn", u"s_lang_dll_jpn", u"r_lang_dll_jpn",
                                   u"main_exe",       u"R_LANG_DLL_ENG"};
    const struct {
        std::u16string language;
        std::string skipped;  // one flag per key above
    } cases[] = {
        {u"Kor", "11111100"},     {u"Eng", "00011100"}, {u"Japan", "11100000"},
        {u"Chinese", "00000000"}, {u"kor", "00000000"}, {u"", "00000000"},
    };
    for (const auto& c : cases) {
        std::string skipped;
        for (const std::u16string& key : keys)
            skipped.push_back(IsSkippedLanguageFile(c.language, key) ? '1' : '0');
        EXPECT_EQ(skipped, c.skipped) << A(c.language);
    }
}

TEST(UpdateRulesTest, BuildsFormsWithSignedTicks) {
    EXPECT_EQ(TickText(0), u"0");
    EXPECT_EQ(TickText(2147483647u), u"2147483647");
    EXPECT_EQ(TickText(0x80000000u), u"-2147483648");
    EXPECT_EQ(TickText(0xFFFFFFFFu), u"-1");
    EXPECT_EQ(ServerInfoForm(77), u"dummy=77");
    EXPECT_EQ(FileListForm(0x80000000u), u"releaseversion=2.0Login&dummy=-2147483648");
    EXPECT_EQ(DownloadForm(u"main_exe"), u"type=main_exe&releaseversion=2.0Login");
    EXPECT_EQ(WithCacheBreaker(u"", 5), u"dummy=5");
    EXPECT_EQ(WithCacheBreaker(DownloadForm(u"k"), 5), u"type=k&releaseversion=2.0Login&dummy=5");
}

TEST(UpdateRulesTest, SuccessfulRepliesAreCutTrimmedAndPrefixed) {
    EXPECT_EQ(SuccessfulReplyText(u"  server:a\r\nport:1 \r\n"),
              u"result:true\nserver:a\r\nport:1");
    EXPECT_EQ(SuccessfulReplyText(std::u16string(u"keep\0drop", 9)), u"result:true\nkeep");
    EXPECT_EQ(SuccessfulReplyText(u""), u"result:true\n");
}

TEST(UpdateRulesTest, NamesBackupsAndLogLines) {
    EXPECT_EQ(BackupSuffix(2026, 12, 10), u"_20261210_");
    EXPECT_EQ(BackupSuffix(2027, 1, 5), u"_20270105_");
    EXPECT_EQ(LogLine(9, 5, 3, u"text\n"), u"[09:05:03] text\n");
    EXPECT_EQ(LogLine(23, 59, 59, u""), u"[23:59:59] ");
    EXPECT_EQ(LogLine(-1, -1, -1, u"x"), u"[-1:-1:-1] x");
    EXPECT_EQ(LogLine(12, -7, 0, u"x"), u"[12:-1:00] x");
}

TEST(UpdateRulesTest, KnowsTheTargetPrograms) {
    const struct {
        std::u16string type;
        bool known;
        std::u16string exe;
    } cases[] = {
        {u"u_tavrel", true, u"Vantor Tavrel.exe"},
        {u"u_teacher", true, u"Vantor Teacher.exe"},
        {u"u_student", true, u"Vantor Student.exe"},
        {u"U_TAVREL", false, u""},
        {u"", false, u""},
    };
    for (const auto& c : cases) {
        std::u16string exe, relative;
        EXPECT_EQ(TargetProgramFor(c.type, exe, relative), c.known) << A(c.type);
        if (!c.known) continue;
        EXPECT_EQ(exe, c.exe);
        EXPECT_EQ(relative, u"\\" + c.exe);
    }
}

}  // namespace
