#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the simulated classroom saw and did, one event per line of JSON, kept in
// memory as well so that tests can wait for an event and look at its fields.
//
// Every line is one flat JSON object: "seq" (1, 2, ...), "t_ms" (milliseconds since
// the log was made, on the monotonic clock, so differences are latencies), "kind", then the event's
// own fields. Values are strings, integers or booleans only; no nesting. Kinds used by the
// classroom:
//   "listening"      role, port
//   "conn_open"      role, conn (a number per connection), peer
//   "conn_close"     role, conn, reason
//   "recv" / "send"  role, conn, type, size (frame bytes), and per type:
//                    text: code, args;  4/5: records;  11: value, bytes;
//                    12: frame, ulen, bytes
//   "misbehave"      role, conn, what
//   "key"            role, conn, message, key, repeat, flags (one per type-4 record)
//   "mouse"          role, conn, message, flags, x, y, wheel (one per type-5 record)
//   "typed_char"     role, conn, code;  "input_mode_toggle"  role, conn
//   "frame_lie"      role, conn, frame, lie (a lying remote frame was sent)
//   "sound"          role, conn, bytes, peak, hz (one per type-11 chunk while sound is on;
//                    hz at the nominal 8000 samples/s)
//   "screenup_decoded"  role, conn, frame, result, tiles (N), bytes (deflated size),
//                    block (uncompressed length), jpeg (L), strip_w, strip_h (of the
//                    JPEG; 0 when it does not decode), indices ("0,1,2"), decode_us,
//                    geometry ("ok" when the frame fits the announced size by the
//                    tiling rule, else the first fault: not-configured, not-frame,
//                    bad-length, bad-zlib, bad-block, block-length, bad-image,
//                    strip-width, strip-height, index-range, index-order); frames are
//                    decoded after they were acknowledged, in arrival order
//   "screenup_dropped"  role, conn, frame, queued (too many frames waiting to decode)
//   "screenup_stats" role, frames, bytes, ms, seconds ("1.234"), fps_x100, bytes_per_s
//                    (input command "screenup-stats"; rates count the frames after
//                    the first over the time from the first to the last)
//   "sound_stats"    role, packets, bytes, ms, rate, hz, min_bytes, max_bytes,
//                    zero_chunks (input command "sound-stats")
//   "screenup_stats_reset" / "sound_stats_reset"  role (a new window begins)
//   anything else a part of the classroom finds worth reporting.
//
// How other parts of the classroom (media, web servers) report events:
//   - with a CEventLog& : log.Emit("frame_sent", {{"frame", 7}, {"tiles", 12}});
//   - with a std::function<void(const std::string& jsonLine)> made by
//     log.LineSink(): hand it a flat JSON object such as
//       {"kind":"http_request","path":"/vantor/rsinfo/checkRsInfo.jsp","status":200}
//     It is parsed back into an event (kind from "kind", the rest as fields; "seq" and
//     "t_ms" are assigned here). A line that is not such an object is kept as the
//     event "raw" with the field "line".
// All members may be called from any thread.

// One field value: text, integer or boolean.
struct EventValue {
    enum Kind { kText, kInteger, kBool };
    Kind kind = kText;
    std::string text;    // kText
    int64_t number = 0;  // kInteger, kBool (0/1)

    EventValue() = default;
    EventValue(const char* s) : text(s ? s : "") {}
    EventValue(std::string s) : text(std::move(s)) {}
    EventValue(const std::u16string& s);  // stored as UTF-8
    EventValue(bool b) : kind(kBool), number(b ? 1 : 0) {}
    EventValue(int v) : kind(kInteger), number(v) {}
    EventValue(unsigned v) : kind(kInteger), number(v) {}
    EventValue(long v) : kind(kInteger), number(v) {}
    EventValue(unsigned long v) : kind(kInteger), number(int64_t(v)) {}
    EventValue(long long v) : kind(kInteger), number(v) {}
    EventValue(unsigned long long v) : kind(kInteger), number(int64_t(v)) {}

    // The value as text (integers in decimal, booleans as "true"/"false").
    std::string AsText() const;
};

using EventField = std::pair<std::string, EventValue>;

struct SimEvent {
    uint64_t seq = 0;
    int64_t timeMs = 0;
    std::string kind;
    std::vector<EventField> fields;

    // Field lookups; a missing field gives the fallback.
    bool Has(const std::string& key) const;
    std::string Text(const std::string& key, const std::string& fallback = "") const;
    int64_t Int(const std::string& key, int64_t fallback = 0) const;
    // The event as its JSON line (without the line end).
    std::string Json() const;
};

class CEventLog {
  public:
    using Predicate = std::function<bool(const SimEvent&)>;
    using LineCallback = std::function<void(const std::string& jsonLine)>;

    CEventLog();
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    // Where lines go besides memory: a file (appended to; false if it cannot be
    // opened), standard output, or nowhere (the default).
    bool WriteToFile(const std::string& path);
    void WriteToStdout();
    // Keeps at most this many events in memory (oldest dropped); 0 = no limit.
    void SetMemoryLimit(size_t maxEvents);

    // Records one event and returns its sequence number.
    uint64_t Emit(const std::string& kind, std::initializer_list<EventField> fields = {});
    uint64_t Emit(const std::string& kind, std::vector<EventField> fields);
    // Records a flat JSON object line made elsewhere (see above).
    uint64_t EmitJsonLine(const std::string& jsonLine);
    // A callback for parts that report through JSON lines.
    LineCallback LineSink();

    // Copies of the events kept so far.
    std::vector<SimEvent> Events() const;
    // Sequence number of the latest event (0 before the first).
    uint64_t LastSeq() const;
    // Number of kept events matching the predicate.
    size_t Count(const Predicate& predicate) const;
    // The first event with seq > afterSeq matching the predicate, waiting up to the
    // timeout for it to happen; nothing on time-out.
    std::optional<SimEvent> WaitFor(const Predicate& predicate, std::chrono::milliseconds timeout,
                                    uint64_t afterSeq = 0) const;
    // Waits until at least count kept events match.
    bool WaitForCount(const Predicate& predicate, size_t count,
                      std::chrono::milliseconds timeout) const;

    // Predicate helpers: kind alone, or kind with one text field equal to a value.
    static Predicate Kind(const std::string& kind);
    static Predicate KindWith(const std::string& kind, const std::string& key,
                              const std::string& value);

  private:
    uint64_t Record(SimEvent event);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<SimEvent> m_vEvents;
    size_t m_nMemoryLimit = 0;
    uint64_t m_nSeq = 0;
    std::FILE* m_pFile = nullptr;
    bool m_bOwnFile = false;
    std::chrono::steady_clock::time_point m_tStart;
};

// Parses one flat JSON object (string, integer, boolean and null values) into
// fields in their order. False when the text is not such an object.
bool ParseFlatJson(const std::string& line, std::vector<EventField>& fields);
// The text with JSON string escaping applied (without the quotes).
std::string JsonEscape(const std::string& text);
