#include "EventLog.h"

#include <cctype>
#include <cstdlib>

#include "TextConvert.h"

namespace {

constexpr char kKeySeq[] = "seq";
constexpr char kKeyTime[] = "t_ms";
constexpr char kKeyKind[] = "kind";
constexpr char kRawKind[] = "raw";
constexpr char kRawField[] = "line";

// Minimal reader of one flat JSON object.
class CFlatJsonReader {
  public:
    explicit CFlatJsonReader(const std::string& s) : m_s(s) {}

    bool Read(std::vector<EventField>& fields) {
        Skip();
        if (!Eat('{')) return false;
        Skip();
        if (Eat('}')) return AtEnd();
        for (;;) {
            std::string key;
            EventValue value;
            Skip();
            if (!String(key)) return false;
            Skip();
            if (!Eat(':')) return false;
            Skip();
            if (!Value(value)) return false;
            fields.emplace_back(std::move(key), std::move(value));
            Skip();
            if (Eat(',')) continue;
            if (Eat('}')) return AtEnd();
            return false;
        }
    }

  private:
    bool AtEnd() {
        Skip();
        return m_pos == m_s.size();
    }
    void Skip() {
        while (m_pos < m_s.size() && std::isspace(static_cast<unsigned char>(m_s[m_pos]))) ++m_pos;
    }
    bool Eat(char c) {
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool Word(const char* w) {
        size_t n = std::char_traits<char>::length(w);
        if (m_s.compare(m_pos, n, w) != 0) return false;
        m_pos += n;
        return true;
    }
    bool Hex4(char32_t& out) {
        if (m_pos + 4 > m_s.size()) return false;
        out = 0;
        for (int k = 0; k < 4; ++k) {
            char c = m_s[m_pos++];
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            out = out * 16 + char32_t(std::isdigit(static_cast<unsigned char>(c))
                                          ? c - '0'
                                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        }
        return true;
    }
    bool String(std::string& out) {
        if (!Eat('"')) return false;
        std::u16string escaped;  // \u escapes are UTF-16 code units
        auto flush = [&] {
            out += ToUtf8(escaped);
            escaped.clear();
        };
        while (m_pos < m_s.size()) {
            char c = m_s[m_pos++];
            if (c == '"') {
                flush();
                return true;
            }
            if (c != '\\') {
                flush();
                out.push_back(c);
                continue;
            }
            if (m_pos >= m_s.size()) return false;
            char e = m_s[m_pos++];
            char32_t unit = 0;
            switch (e) {
                case 'n':
                    flush();
                    out.push_back('\n');
                    break;
                case 'r':
                    flush();
                    out.push_back('\r');
                    break;
                case 't':
                    flush();
                    out.push_back('\t');
                    break;
                case 'b':
                    flush();
                    out.push_back('\b');
                    break;
                case 'f':
                    flush();
                    out.push_back('\f');
                    break;
                case 'u':
                    if (!Hex4(unit)) return false;
                    escaped.push_back(char16_t(unit));
                    break;
                default:
                    flush();
                    out.push_back(e);
                    break;
            }
        }
        return false;
    }
    bool Value(EventValue& v) {
        if (m_pos >= m_s.size()) return false;
        char c = m_s[m_pos];
        if (c == '"') {
            std::string s;
            if (!String(s)) return false;
            v = EventValue(std::move(s));
            return true;
        }
        if (Word("true")) return v = EventValue(true), true;
        if (Word("false")) return v = EventValue(false), true;
        if (Word("null")) return v = EventValue(""), true;
        size_t start = m_pos;
        if (c == '-') ++m_pos;
        while (m_pos < m_s.size() &&
               (std::isdigit(static_cast<unsigned char>(m_s[m_pos])) || m_s[m_pos] == '.' ||
                m_s[m_pos] == 'e' || m_s[m_pos] == 'E' || m_s[m_pos] == '+' || m_s[m_pos] == '-'))
            ++m_pos;
        if (m_pos == start) return false;
        std::string number = m_s.substr(start, m_pos - start);
        if (number.find_first_of(".eE") != std::string::npos)
            v = EventValue(number);  // fractions are kept as their text
        else
            v = EventValue(static_cast<long long>(std::strtoll(number.c_str(), nullptr, 10)));
        return true;
    }

    const std::string& m_s;
    size_t m_pos = 0;
};

}  // namespace

EventValue::EventValue(const std::u16string& s) : text(ToUtf8(s)) {}

std::string EventValue::AsText() const {
    switch (kind) {
        case kInteger:
            return std::to_string(number);
        case kBool:
            return number ? "true" : "false";
        default:
            return text;
    }
}

bool SimEvent::Has(const std::string& key) const {
    for (const auto& f : fields)
        if (f.first == key) return true;
    return false;
}

std::string SimEvent::Text(const std::string& key, const std::string& fallback) const {
    for (const auto& f : fields)
        if (f.first == key) return f.second.AsText();
    return fallback;
}

int64_t SimEvent::Int(const std::string& key, int64_t fallback) const {
    for (const auto& f : fields) {
        if (f.first != key) continue;
        if (f.second.kind != EventValue::kText) return f.second.number;
        char* end = nullptr;
        long long v = std::strtoll(f.second.text.c_str(), &end, 10);
        return end && end != f.second.text.c_str() ? v : fallback;
    }
    return fallback;
}

std::string SimEvent::Json() const {
    std::string line = "{\"seq\":" + std::to_string(seq) + ",\"t_ms\":" + std::to_string(timeMs) +
                       ",\"kind\":\"" + JsonEscape(kind) + "\"";
    for (const auto& f : fields) {
        line += ",\"" + JsonEscape(f.first) + "\":";
        if (f.second.kind == EventValue::kText)
            line += "\"" + JsonEscape(f.second.text) + "\"";
        else
            line += f.second.AsText();
    }
    line += "}";
    return line;
}

std::string JsonEscape(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[u >> 4]);
                    out.push_back(kHex[u & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    return out;
}

bool ParseFlatJson(const std::string& line, std::vector<EventField>& fields) {
    fields.clear();
    CFlatJsonReader reader(line);
    if (reader.Read(fields)) return true;
    fields.clear();
    return false;
}

CEventLog::CEventLog() : m_tStart(std::chrono::steady_clock::now()) {}

CEventLog::~CEventLog() {
    if (m_pFile && m_bOwnFile) std::fclose(m_pFile);
}

bool CEventLog::WriteToFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pFile && m_bOwnFile) std::fclose(m_pFile);
    m_pFile = f;
    m_bOwnFile = true;
    return true;
}

void CEventLog::WriteToStdout() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pFile && m_bOwnFile) std::fclose(m_pFile);
    m_pFile = stdout;
    m_bOwnFile = false;
}

void CEventLog::SetMemoryLimit(size_t maxEvents) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nMemoryLimit = maxEvents;
}

uint64_t CEventLog::Emit(const std::string& kind, std::initializer_list<EventField> fields) {
    return Emit(kind, std::vector<EventField>(fields));
}

uint64_t CEventLog::Emit(const std::string& kind, std::vector<EventField> fields) {
    SimEvent e;
    e.kind = kind;
    e.fields = std::move(fields);
    return Record(std::move(e));
}

uint64_t CEventLog::EmitJsonLine(const std::string& jsonLine) {
    std::vector<EventField> parsed;
    if (!ParseFlatJson(jsonLine, parsed)) return Emit(kRawKind, {{kRawField, jsonLine}});
    SimEvent e;
    e.kind = kRawKind;
    for (auto& f : parsed) {
        if (f.first == kKeyKind)
            e.kind = f.second.AsText();
        else if (f.first != kKeySeq && f.first != kKeyTime)
            e.fields.push_back(std::move(f));
    }
    return Record(std::move(e));
}

CEventLog::LineCallback CEventLog::LineSink() {
    return [this](const std::string& line) { EmitJsonLine(line); };
}

uint64_t CEventLog::Record(SimEvent event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    event.seq = ++m_nSeq;
    event.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - m_tStart)
                       .count();
    if (m_pFile) {
        std::string line = event.Json();
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), m_pFile);
        std::fflush(m_pFile);
    }
    m_vEvents.push_back(std::move(event));
    if (m_nMemoryLimit && m_vEvents.size() > m_nMemoryLimit)
        m_vEvents.erase(m_vEvents.begin(),
                        m_vEvents.begin() + std::ptrdiff_t(m_vEvents.size() - m_nMemoryLimit));
    m_changed.notify_all();
    return m_nSeq;
}

std::vector<SimEvent> CEventLog::Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vEvents;
}

uint64_t CEventLog::LastSeq() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nSeq;
}

size_t CEventLog::Count(const Predicate& predicate) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const auto& e : m_vEvents)
        if (predicate(e)) ++n;
    return n;
}

std::optional<SimEvent> CEventLog::WaitFor(const Predicate& predicate,
                                           std::chrono::milliseconds timeout,
                                           uint64_t afterSeq) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(m_mutex);
    size_t scanned = 0;  // index into m_vEvents already looked at
    uint64_t lastSeen = afterSeq;
    for (;;) {
        // The memory limit may have dropped events from the front: rescan by seq.
        scanned = 0;
        while (scanned < m_vEvents.size() && m_vEvents[scanned].seq <= lastSeen) ++scanned;
        for (; scanned < m_vEvents.size(); ++scanned) {
            const SimEvent& e = m_vEvents[scanned];
            lastSeen = e.seq;
            if (predicate(e)) return e;
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            for (size_t i = 0; i < m_vEvents.size(); ++i)
                if (m_vEvents[i].seq > lastSeen && predicate(m_vEvents[i])) return m_vEvents[i];
            return std::nullopt;
        }
    }
}

bool CEventLog::WaitForCount(const Predicate& predicate, size_t count,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto enough = [&] {
        size_t n = 0;
        for (const auto& e : m_vEvents)
            if (predicate(e) && ++n >= count) return true;
        return count == 0;
    };
    return m_changed.wait_for(lock, timeout, enough);
}

CEventLog::Predicate CEventLog::Kind(const std::string& kind) {
    return [kind](const SimEvent& e) { return e.kind == kind; };
}

CEventLog::Predicate CEventLog::KindWith(const std::string& kind, const std::string& key,
                                         const std::string& value) {
    return [kind, key, value](const SimEvent& e) { return e.kind == kind && e.Text(key) == value; };
}
