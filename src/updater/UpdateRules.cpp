#include "updater/UpdateRules.h"

#include "shell/TextUtil.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace tavrel {

const char16_t kUpdateServerInfoPage[] = u"/vantor/update/GetUpdateServerInfo.jsp";
const char16_t kUpdateFileListPage[] = u"/vantor/update/GetUpdateFileInfo.jsp";
const char16_t kUpdateDownloadPage[] = u"/vantor/update/DownloadFile.jsp";
const char16_t kUpdateReleaseVersion[] = u"2.0Login";
const char16_t kNoVersionMarker[] = u"\uD574\uB2F9\uC5C6\uC74C";  // "해당없음"
const char16_t kUpdaterFileKey[] = u"updater_tavrel_exe";
const char16_t kUpdaterExeName[] = u"VTUpdaterT.exe";
const char16_t kUpdateBatchName[] = u"aUpdate.bat";
const char16_t kTavrelTargetType[] = u"u_tavrel";
// "result:false\ncode:404\nmessage:URL 페이지 접근 실패"
const char16_t kFailedRequestReply[] =
    u"result:false\ncode:404\nmessage:URL \uD398\uC774\uC9C0 \uC811\uADFC \uC2E4\uD328";
const char16_t kNoOwnVersion[] = u"1.0.0.0";
const char16_t kUnreadableVersion[] = u"Unable to get Version Info";

namespace {

// What the C runtime's trimming treats as white space in wide text.
constexpr char16_t kWhiteSpace[] = u" \t\n\v\f\r\u00A0\u3000";
constexpr char16_t kFileKeyPrefix[] = u"file:";
constexpr size_t kFileRecordFields = 8;

std::u16string Trim(const std::u16string& text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::u16string::npos) return std::u16string();
    const size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

// Every occurrence of `part` removed in one pass from the left, as a text class's
// Replace(part, "") does: pieces that meet after a removal are not looked at again.
std::u16string RemoveAll(const std::u16string& text, const std::u16string& part) {
    if (part.empty()) return text;
    std::u16string result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t found = text.find(part); found != std::u16string::npos;
         found = text.find(part, start)) {
        result.append(text, start, found - start);
        start = found + part.size();
    }
    result.append(text, start, std::u16string::npos);
    return result;
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

char16_t UpperAscii(char16_t ch) { return (ch >= u'a' && ch <= u'z') ? char16_t(ch - 32) : ch; }

// Windows compares names ignoring case; the names here that matter are ASCII.
bool EqualIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

// Names the Win32 layer maps to devices whatever folder or extension they carry.
bool IsReservedDeviceName(const std::u16string& component) {
    std::u16string base = component.substr(0, component.find(u'.'));
    base = base.substr(0, base.find_last_not_of(u' ') + 1);
    static const char16_t* const kDevices[] = {u"CON",    u"PRN",     u"AUX",   u"NUL",
                                               u"CONIN$", u"CONOUT$", u"CLOCK$"};
    for (const char16_t* device : kDevices) {
        if (EqualIgnoringCase(base, device)) return true;
    }
    if (base.size() == 4 && IsDigit(base[3])) {
        const std::u16string stem = base.substr(0, 3);
        if (EqualIgnoringCase(stem, u"COM") || EqualIgnoringCase(stem, u"LPT")) return true;
    }
    // COM and LPT with a superscript digit are devices too.
    if (base.size() == 4 &&
        (base[3] == u'\u00B9' || base[3] == u'\u00B2' || base[3] == u'\u00B3')) {
        const std::u16string stem = base.substr(0, 3);
        if (EqualIgnoringCase(stem, u"COM") || EqualIgnoringCase(stem, u"LPT")) return true;
    }
    return false;
}

// Why one file or folder name may not be used; empty when it may. Besides the
// characters Win32 refuses, those that mean something to the command interpreter are
// refused, because the staged updater's path is written into the batch file. A name
// ending in a dot or a space is refused as well: Win32 drops them, so "a.exe." would
// name the same file as "a.exe".
std::u16string ComponentProblem(const std::u16string& component) {
    if (component.empty()) return u"empty name";
    if (component.find(u"..") != std::u16string::npos) return u"\"..\" in a name";
    if (component == u".") return u"\".\" as a name";
    for (char16_t ch : component) {
        if (ch < 0x20 || ch == 0x7F) return u"control character";
        if (std::u16string(u"\\/:*?\"<>|%^&!").find(ch) != std::u16string::npos)
            return std::u16string(u"character '") + ch + u"'";
    }
    const char16_t last = component.back();
    if (last == u'.' || last == u' ') return u"name ends in a dot or a space";
    if (IsReservedDeviceName(component)) return u"device name";
    return std::u16string();
}

std::u16string FolderProblem(const std::u16string& folder) {
    // The program folder itself: written ".\" by the server, since it never sends an
    // empty field; an empty folder (possible only when built by hand) means the same.
    if (folder.empty() || folder == u".\\") return std::u16string();
    if (folder.back() != u'\\') return u"folder does not end in '\\'";
    size_t start = 0;
    while (start < folder.size()) {
        const size_t end = folder.find(u'\\', start);
        const std::u16string problem = ComponentProblem(folder.substr(start, end - start));
        if (!problem.empty()) return u"folder: " + problem;
        start = end + 1;
    }
    return std::u16string();
}

// A dotted number: digit groups separated by single dots, nothing else.
bool IsDottedNumber(const std::u16string& text) {
    if (text.empty()) return false;
    bool digitBefore = false;
    for (char16_t ch : text) {
        if (IsDigit(ch)) {
            digitBefore = true;
        } else if (ch == u'.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

std::vector<std::u16string> DottedParts(const std::u16string& text) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(u'.', start);
        std::u16string part = text.substr(start, end - start);
        const size_t firstNonZero = part.find_first_not_of(u'0');
        parts.push_back(firstNonZero == std::u16string::npos ? std::u16string()
                                                             : part.substr(firstNonZero));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return parts;
}

// Two digit runs without leading zeros, as numbers of any length.
int CompareNumberTexts(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// The batch file, one line per entry. Place holders: <old> the running updater, <new>
// the staged one, <dir> the program folder, <bat> the batch itself. Each loop pauses
// about a second per turn (ping waits a second between its two echoes; Wine's cmd has
// no "timeout") and gives up after 60 turns; the old updater is copied aside first and
// copied back when the new one never arrived, so the start line always finds an
// updater to start. The last loop stops after 5 turns: Wine's cmd keeps the running
// batch open, so its deletion only completes when cmd ends and the file seems to stay.
// The start line names an empty window title first: Wine's start takes a quoted
// folder after /D for the title otherwise and fails, while Windows accepts both.
const char* const kBatchLines[] = {
    "SET /A vtu_turns=0",
    "COPY /Y \"<old>\" \"<old>.bak\" >NUL",
    ":try_exe",
    "IF EXIST \"<new>\" ( DEL \"<old>\" ) ELSE ( GOTO next1)  ",
    "IF NOT EXIST \"<old>\" GOTO next1",
    "SET /A vtu_turns+=1",
    "IF %vtu_turns% GEQ 60 GOTO next1",
    "ping -n 2 127.0.0.1 >NUL",
    "GOTO try_exe",
    ":next1",
    "SET /A vtu_turns=0",
    ":copy_exe",
    "IF EXIST \"<new>\" ( MOVE \"<new>\" \"<old>\" ) ELSE ( GOTO next2 )",
    "IF EXIST \"<old>\" GOTO next2",
    "SET /A vtu_turns+=1",
    "IF %vtu_turns% GEQ 60 GOTO next2",
    "ping -n 2 127.0.0.1 >NUL",
    "GOTO copy_exe",
    ":next2",
    "IF NOT EXIST \"<old>\" COPY /Y \"<old>.bak\" \"<old>\" >NUL",
    "IF EXIST \"<old>\" DEL \"<old>.bak\"",
    "start \"\" /D \"<dir>\" /B <exe> ",
    "SET /A vtu_turns=0",
    ":try_bat",
    "DEL \"<bat>\"",
    "IF NOT EXIST \"<bat>\" GOTO :EOF",
    "SET /A vtu_turns+=1",
    "IF %vtu_turns% GEQ 5 GOTO :EOF",
    "ping -n 2 127.0.0.1 >NUL",
    "GOTO try_bat",
};

// The command interpreter expands "%...%" even inside quotes; "%%" stands for "%".
std::u16string ForBatch(const std::u16string& path) {
    std::u16string result;
    for (char16_t ch : path) {
        result.push_back(ch);
        if (ch == u'%') result.push_back(u'%');
    }
    return result;
}

std::u16string FillPlaceHolders(
    const std::u16string& line,
    const std::vector<std::pair<std::u16string, std::u16string>>& values) {
    std::u16string result;
    size_t i = 0;
    while (i < line.size()) {
        bool replaced = false;
        if (line[i] == u'<') {
            for (const auto& value : values) {
                if (line.compare(i, value.first.size(), value.first) == 0) {
                    result += value.second;
                    i += value.first.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) result.push_back(line[i++]);
    }
    return result;
}

}  // namespace

std::vector<std::u16string> SplitReplyLines(const std::u16string& reply) {
    const std::u16string unquoted = RemoveAll(reply, u"\"");
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start <= unquoted.size()) {
        size_t end = unquoted.find(u'\n', start);
        if (end == std::u16string::npos) end = unquoted.size();
        std::u16string line = Trim(unquoted.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool FindKeyValue(const std::vector<std::u16string>& lines, const std::u16string& key,
                  std::u16string& value) {
    if (key.empty()) return false;
    for (const std::u16string& line : lines) {
        if (Trim(line).compare(0, key.size(), key) == 0) {
            value = Trim(RemoveAll(line, key));
            return true;
        }
    }
    return false;
}

bool ParseFileLine(const std::u16string& line, UpdateFileRecord& record) {
    std::vector<std::u16string> pieces;
    SplitText(line, u",", pieces);
    if (pieces.size() != kFileRecordFields) return false;
    record.productType = pieces[0];
    record.fileKey = pieces[1];
    record.fileName = pieces[2];
    record.folder = pieces[3];
    record.fileSize = pieces[4];
    record.fileVersion = pieces[5];
    record.spare = pieces[6];
    record.stageName = pieces[7];
    record.safe = IsSafeRecord(record);
    return true;
}

std::vector<UpdateFileRecord> ParseFileListReply(const std::u16string& reply) {
    std::vector<UpdateFileRecord> records;
    for (const std::u16string& line : SplitReplyLines(reply)) {
        if (line.compare(0, std::char_traits<char16_t>::length(kFileKeyPrefix), kFileKeyPrefix) !=
            0)
            continue;
        UpdateFileRecord record;
        if (ParseFileLine(Trim(RemoveAll(line, kFileKeyPrefix)), record))
            records.push_back(std::move(record));
    }
    return records;
}

std::u16string UnsafeRecordReason(const UpdateFileRecord& record) {
    std::u16string problem = FolderProblem(record.folder);
    if (!problem.empty()) return problem;
    problem = ComponentProblem(record.fileName);
    if (!problem.empty()) return u"fileName: " + problem;
    problem = ComponentProblem(record.stageName);
    if (!problem.empty()) return u"stageName: " + problem;
    if (EqualIgnoringCase(record.fileName, record.stageName)) return u"stageName is fileName";
    return std::u16string();
}

bool IsSafeRecord(const UpdateFileRecord& record) { return UnsafeRecordReason(record).empty(); }

int CompareVersions(const std::u16string& a, const std::u16string& b) {
    if (IsDottedNumber(a) && IsDottedNumber(b)) {
        const std::vector<std::u16string> partsA = DottedParts(a);
        const std::vector<std::u16string> partsB = DottedParts(b);
        const size_t count = partsA.size() > partsB.size() ? partsA.size() : partsB.size();
        for (size_t i = 0; i < count; ++i) {
            const std::u16string& partA = i < partsA.size() ? partsA[i] : std::u16string();
            const std::u16string& partB = i < partsB.size() ? partsB[i] : std::u16string();
            const int order = CompareNumberTexts(partA, partB);
            if (order != 0) return order;
        }
        return 0;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::u16string DotsForCommas(const std::u16string& text) {
    std::u16string result = text;
    for (char16_t& ch : result) {
        if (ch == u',') ch = u'.';
    }
    return result;
}

int64_t ReadLeadingNumber(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && std::u16string(u" \t\n\v\f\r").find(text[i]) != std::u16string::npos)
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - u'0';
        // Saturates, as _wtol does.
        if (value > (INT64_MAX - digit) / 10) return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool IsSkippedLanguageFile(const std::u16string& language, const std::u16string& fileKey) {
    static const char16_t* const kEnglish[] = {u"t_lang_dll_eng", u"s_lang_dll_eng",
                                               u"r_lang_dll_eng"};
    static const char16_t* const kJapanese[] = {u"t_lang_dll_jpn", u"s_lang_dll_jpn",
                                                u"r_lang_dll_jpn"};
    const bool skipsEnglish = language == u"Kor" || language == u"Japan";
    const bool skipsJapanese = language == u"Kor" || language == u"Eng";
    for (const char16_t* key : kEnglish) {
        if (skipsEnglish && fileKey == key) return true;
    }
    for (const char16_t* key : kJapanese) {
        if (skipsJapanese && fileKey == key) return true;
    }
    return false;
}

std::u16string TickText(uint32_t tick) { return Ascii(std::to_string(static_cast<int32_t>(tick))); }

std::u16string ServerInfoForm(uint32_t tick) { return u"dummy=" + TickText(tick); }

std::u16string FileListForm(uint32_t tick) {
    return std::u16string(u"releaseversion=") + kUpdateReleaseVersion + u"&dummy=" + TickText(tick);
}

std::u16string DownloadForm(const std::u16string& fileKey) {
    return u"type=" + fileKey + u"&releaseversion=" + kUpdateReleaseVersion;
}

std::u16string WithCacheBreaker(const std::u16string& form, uint32_t tick) {
    if (form.empty()) return u"dummy=" + TickText(tick);
    return form + u"&dummy=" + TickText(tick);
}

std::u16string SuccessfulReplyText(const std::u16string& decodedBody) {
    return u"result:true\n" + Trim(TextBeforeZero(decodedBody));
}

std::u16string BackupSuffix(int year, int month, int day) {
    char text[48];
    std::snprintf(text, sizeof text, "_%04d%02d%02d_", year, month, day);
    return Ascii(text);
}

std::u16string LogLine(int hour, int minute, int second, const std::u16string& text) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d] ", hour < 0 ? -1 : hour,
                  minute < 0 ? -1 : minute, second < 0 ? -1 : second);
    return Ascii(stamp) + text;
}

std::u16string ReplaceBatchText(const std::u16string& programDir, const std::u16string& newPath) {
    const std::u16string dir = ForBatch(programDir);
    const std::vector<std::pair<std::u16string, std::u16string>> values = {
        {u"<old>", dir + u"\\" + kUpdaterExeName},  {u"<new>", ForBatch(newPath)}, {u"<dir>", dir},
        {u"<bat>", dir + u"\\" + kUpdateBatchName}, {u"<exe>", kUpdaterExeName},
    };
    std::u16string text;
    for (const char* line : kBatchLines) {
        text += FillPlaceHolders(Ascii(line), values);
        text += u"\r\n";
    }
    return text;
}

bool TargetProgramFor(const std::u16string& targetType, std::u16string& exeName,
                      std::u16string& relativePath) {
    static const struct {
        const char16_t* type;
        const char16_t* exe;
    } kTargets[] = {
        {u"u_teacher", u"Vantor Teacher.exe"},
        {u"u_student", u"Vantor Student.exe"},
        {kTavrelTargetType, u"Vantor Tavrel.exe"},
    };
    for (const auto& target : kTargets) {
        if (targetType == target.type) {
            exeName = target.exe;
            relativePath = u"\\" + exeName;
            return true;
        }
    }
    return false;
}

}  // namespace tavrel
