// Everything the updater reads from the update server's replies: the line splitter, the
// key lookup, the file-list parser with its record checks, and the version comparison.
//
// Input: the reply text, read twice: as UTF-16LE (byte pairs), and byte by byte as code
// units below 256 so that plain-text seeds reach the "file:" parser directly.
#include "updater/UpdateRules.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tavrel;

void Check(bool condition) {
    if (!condition) std::abort();
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

bool IsWhiteSpace(char16_t ch) {
    return ch == u' ' || (ch >= u'\t' && ch <= u'\r') || ch == u'\u00A0' || ch == u'\u3000';
}

char16_t Upper(char16_t ch) { return (ch >= u'a' && ch <= u'z') ? char16_t(ch - 32) : ch; }

void CheckVersions(const std::u16string& a, const std::u16string& b) {
    Check(CompareVersions(a, a) == 0);
    Check(Sign(CompareVersions(a, b)) == -Sign(CompareVersions(b, a)));
    Check(DotsForCommas(a).size() == a.size());
}

// A name the record check let through can be put into a path and into the batch.
void CheckSafeName(const std::u16string& name) {
    Check(!name.empty());
    Check(name.find(u"..") == std::u16string::npos);
    for (char16_t ch : name) {
        Check(ch >= 0x20);
        Check(std::u16string(u":/\"%^&|<>!*?").find(ch) == std::u16string::npos);
    }
}

void FuzzReply(const std::u16string& reply) {
    const std::vector<std::u16string> lines = SplitReplyLines(reply);
    size_t total = 0;
    for (const std::u16string& line : lines) {
        Check(!line.empty());
        Check(line.find(u'\n') == std::u16string::npos && line.find(u'"') == std::u16string::npos);
        Check(!IsWhiteSpace(line.front()) && !IsWhiteSpace(line.back()));
        total += line.size();
    }
    Check(total <= reply.size());

    for (const std::u16string key : {u"result:", u"server:", u"port:", u"file:"}) {
        std::u16string value;
        const bool found = FindKeyValue(lines, key, value);
        bool starts = false;
        for (const std::u16string& line : lines)
            starts = starts || line.compare(0, key.size(), key) == 0;
        Check(found == starts);
        if (found) Check(value.size() <= reply.size());
    }

    const std::vector<UpdateFileRecord> records = ParseFileListReply(reply);
    Check(records.size() <= lines.size());
    std::u16string previousVersion;
    for (const UpdateFileRecord& record : records) {
        for (const std::u16string* field :
             {&record.productType, &record.fileKey, &record.fileName, &record.folder,
              &record.fileSize, &record.fileVersion, &record.spare, &record.stageName}) {
            Check(!field->empty() && field->find(u',') == std::u16string::npos);
        }
        Check(record.safe == IsSafeRecord(record));
        Check(record.safe == UnsafeRecordReason(record).empty());
        if (record.safe) {
            CheckSafeName(record.fileName);
            CheckSafeName(record.stageName);
            if (record.folder != u".\\") {
                Check(record.folder.back() == u'\\');
                Check(record.folder.find(u"\\\\") == std::u16string::npos);
                CheckSafeName(record.folder.substr(0, record.folder.size() - 1));
            }
            bool sameName = record.fileName.size() == record.stageName.size();
            for (size_t i = 0; sameName && i < record.fileName.size(); ++i)
                sameName = Upper(record.fileName[i]) == Upper(record.stageName[i]);
            Check(!sameName);
            // A safe staged path cannot add a line to the batch.
            const std::u16string batch =
                ReplaceBatchText(u"C:\\p", u"C:\\p\\" + record.folder + record.stageName);
            size_t breaks = 0;
            for (char16_t ch : batch) breaks += ch == u'\n';
            Check(breaks == 30);
        }
        ReadLeadingNumber(record.fileSize);
        CheckVersions(record.fileVersion, previousVersion);
        CheckVersions(record.fileVersion, kNoOwnVersion);
        previousVersion = record.fileVersion;
    }
    if (lines.size() >= 2) CheckVersions(lines[0], lines[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2) wide.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    FuzzReply(wide);
    FuzzReply(std::u16string(data, data + size));
    return 0;
}
