// An updater host in memory: files with their bytes, web replies scripted per URL, a log
// and a record of everything the engine asked for. A file's version is read from its
// bytes ("ver=3.0.1.2000\n" at the start, see FileBody), as a version resource would be.
#pragma once

#include "updater/UpdateEngine.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace updater_test {

inline std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Bytes of a file whose version information says `version` (none when empty), padded to
// `size` bytes.
inline std::string FileBody(const std::string& version, size_t size) {
    std::string body = version.empty() ? std::string() : "ver=" + version + "\n";
    if (body.size() < size) body.append(size - body.size(), 'x');
    return body;
}

inline HttpReply Ok(const std::string& body) {
    HttpReply reply;
    reply.result = kHttpOk;
    reply.body = body;
    return reply;
}

inline HttpReply Failed(int32_t result = kHttpConnectFailed) {
    HttpReply reply;
    reply.result = result;
    return reply;
}

struct LogEntry {
    int level;
    int id;
    std::u16string argument;
    bool operator==(const LogEntry& o) const {
        return level == o.level && id == o.id && argument == o.argument;
    }
};

struct RequestEntry {
    std::u16string url;
    std::u16string form;
    size_t maxBodyBytes;
};

class CFakeUpdaterHost : public tavrel::IUpdaterHost {
  public:
    static constexpr const char16_t* kDir = u"C:\\vantor-test";

    CFakeUpdaterHost() { folders.insert(Normal(kDir)); }

    // Replies for requests whose "url?form" begins with `prefix` (the longest prefix
    // wins): taken in turn, the last one repeats. Unscripted requests fail.
    void Script(const std::u16string& prefix, std::vector<HttpReply> replies) {
        scripts[prefix] = std::deque<HttpReply>(replies.begin(), replies.end());
    }

    HttpReply Request(const std::u16string& url, const std::u16string& formText,
                      size_t maxBodyBytes) override {
        requests.push_back({url, formText, maxBodyBytes});
        const std::u16string routed = url + u"?" + formText;
        const std::u16string* best = nullptr;
        for (const auto& script : scripts) {
            if (routed.compare(0, script.first.size(), script.first) == 0 &&
                (!best || script.first.size() > best->size()))
                best = &script.first;
        }
        if (!best || scripts[*best].empty()) return Failed();
        std::deque<HttpReply>& queue = scripts[*best];
        HttpReply reply = queue.front();
        if (queue.size() > 1) queue.pop_front();
        if (honourLimit && reply.result == kHttpOk && reply.body.size() > maxBodyBytes)
            return Failed(kHttpReplyTooLarge);
        return reply;
    }
    std::u16string ServerBase(bool https) override {
        return https ? u"https://upd.test" : u"http://upd.test:8080";
    }
    bool AllowPlainHttpFallback() override { return fallback; }
    // The tests' "ANSI code page" is UTF-8, so Korean texts can be served.
    std::u16string DecodeAnsi(const std::string& bytes) override;

    uint32_t TickCount() override { return tick; }
    bool LocalDate(int& y, int& m, int& d) override {
        y = year;
        m = month;
        d = day;
        return dateOk;
    }

    std::u16string ProgramDirectory() override { return programDir; }
    std::u16string OwnFileVersion() override { return ownVersion; }
    std::u16string FileVersionText(const std::u16string& path) override {
        const auto file = files.find(Normal(path));
        if (file == files.end() || file->second.compare(0, 4, "ver=") != 0) return u"";
        return U16(file->second.substr(4, file->second.find('\n') - 4));
    }
    uint32_t FileSizeOf(const std::u16string& path) override {
        const auto file = files.find(Normal(path));
        if (file == files.end() || locked.count(Normal(path))) return 0;
        return uint32_t(file->second.size());
    }
    bool FileExists(const std::u16string& path) override { return files.count(Normal(path)) > 0; }
    bool MoveFile(const std::u16string& from, const std::u16string& to) override {
        moves.push_back(Normal(from) + u" -> " + Normal(to));
        if (!FileExists(from) || FileExists(to) || Refuses(from)) return false;
        files[Normal(to)] = files[Normal(from)];
        files.erase(Normal(from));
        return true;
    }
    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        moves.push_back(Normal(from) + u" => " + Normal(to));
        if (!FileExists(from) || Refuses(from) || Refuses(to)) return false;
        files[Normal(to)] = files[Normal(from)];
        files.erase(Normal(from));
        return true;
    }
    bool DeleteFile(const std::u16string& path) override {
        deleted.push_back(Normal(path));
        return files.erase(Normal(path)) > 0;
    }
    void CreateFolderChain(const std::u16string& folder) override {
        const std::u16string normal = Normal(folder);
        for (size_t end = normal.find(u'\\'); end != std::u16string::npos;
             end = normal.find(u'\\', end + 1))
            folders.insert(normal.substr(0, end));
        folders.insert(normal.substr(0, normal.find_last_not_of(u'\\') + 1));
    }
    WriteResult WriteNewFile(const std::u16string& path, const std::string& bytes) override {
        const std::u16string normal = Normal(path);
        if (createFails.count(normal) || !folders.count(normal.substr(0, normal.rfind(u'\\'))))
            return WriteResult::kCreateFailed;
        if (writeFails.count(normal)) {
            files[normal].clear();
            return WriteResult::kWriteFailed;
        }
        files[normal] = bytes;
        return WriteResult::kWritten;
    }

    // Only ASCII fits the tests' ANSI code page; anything else becomes "?".
    bool ToAnsi(const std::u16string& text, std::string& bytes) override {
        bytes.clear();
        bool lossless = true;
        for (char16_t ch : text) {
            lossless = lossless && ch < 0x80;
            bytes.push_back(ch < 0x80 ? char(ch) : '?');
        }
        return lossless;
    }
    std::u16string ShortPath(const std::u16string& path) override {
        const auto found = shortPaths.find(path);
        return found == shortPaths.end() ? u"" : found->second;
    }

    bool IsProcessRunning(const std::u16string& exeName) override {
        processQueries.push_back(exeName);
        for (const std::u16string& running : processes) {
            if (Lower(running) == Lower(exeName)) return true;
        }
        return false;
    }
    void OpenProgram(const std::u16string& path) override { opened.push_back(path); }
    void OpenBatchHidden(const std::u16string& path) override { openedBatches.push_back(path); }

    void Log(int level, int id, const std::u16string& argument) override {
        log.push_back({level, id, argument});
    }
    void HideWindow() override { ++hides; }
    void Quit() override { ++quits; }

    std::vector<int> LogIds() const {
        std::vector<int> ids;
        for (const LogEntry& entry : log) ids.push_back(entry.id);
        return ids;
    }
    std::u16string Path(const std::u16string& relative) const { return programDir + relative; }
    std::string& File(const std::u16string& relative) { return files[Normal(Path(relative))]; }
    bool Has(const std::u16string& relative) { return FileExists(Path(relative)); }
    // Win32 reads "\.\" as "\".
    static std::u16string Normal(std::u16string path) {
        for (size_t at = path.find(u"\\.\\"); at != std::u16string::npos; at = path.find(u"\\.\\"))
            path.erase(at, 2);
        return path;
    }
    static std::u16string Lower(std::u16string text) {
        for (char16_t& ch : text)
            if (ch >= u'A' && ch <= u'Z') ch = char16_t(ch + 32);
        return text;
    }

    std::u16string programDir = kDir;
    std::map<std::u16string, std::deque<HttpReply>> scripts;
    bool honourLimit = true;
    bool fallback = true;
    uint32_t tick = 1234;
    int year = 2026, month = 12, day = 10;
    bool dateOk = true;
    std::u16string ownVersion = u"3.0.1.1004";
    std::map<std::u16string, std::string> files;
    std::set<std::u16string> folders;
    std::set<std::u16string> locked;  // not movable, size 0
    std::set<std::u16string> createFails, writeFails;
    std::map<std::u16string, std::u16string> shortPaths;
    std::vector<std::u16string> processes;

    std::vector<RequestEntry> requests;
    std::vector<LogEntry> log;
    std::vector<std::u16string> moves, deleted, opened, openedBatches, processQueries;
    int hides = 0;
    int quits = 0;

  private:
    bool Refuses(const std::u16string& path) const { return locked.count(Normal(path)) > 0; }
};

inline std::u16string CFakeUpdaterHost::DecodeAnsi(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < bytes.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        if (code > 0xFFFF) code = 0xFFFD;
        text.push_back(char16_t(code));
        i += length;
    }
    return text;
}

}  // namespace updater_test
