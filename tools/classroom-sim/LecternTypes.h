#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/Packet.h"

// Ways the simulated lectern PC can break the pad's expectations on purpose.
enum class LecternMisbehaviour {
    kNone,
    kNoGreeting,             // announces its version but never greets
    kSilentAfterGreeting,    // greets, then no heartbeat and no answer
    kCloseMidFrame,          // sends half a frame, then closes the connection
    kStallMidFrame,          // sends half a frame, then stays connected without a word
    kBadCheckByte,           // a frame whose first check byte does not match
    kType6Frame,             // a well-formed frame of type 6, which has no layout
    kOversizeLength,         // a frame length beyond what any frame may have
    kLyingFrameBlock,        // a frame packet whose block counts claim more than it holds
    kHangUpAfterDescribing,  // describes its display, then hangs up before any answer
};

// When the misbehaviour happens: right after the greeting, or when remote control
// starts ("[RC00004]").
enum class MisbehaviourTrigger { kAfterGreeting, kOnRemoteStart };

struct MonitorRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// What the lectern PC has announced about the screen the pad is shown.
struct LecternScreen {
    int monitor = 1;  // 1-based
    MonitorRect rect;
    int tileWidth = 0;
    int tileHeight = 0;
};

// Everything the lectern PC received and the states the pad switched.
struct LecternRecord {
    std::u16string padVersion;        // from "[RC00001]"
    std::u16string greetingAnswer;    // arguments of "[RC00022]"
    int padWidth = 0, padHeight = 0;  // from "[RC00010]"
    int keepAlives = 0;               // "[RC00003]"
    bool touch = false;               // "[RC00013]"
    bool broadcast = false;           // "[RC00012]"
    int monitor = 1;                  // "[RC00023]"
    bool remoteOn = false;            // between "[RC00004]" and "[RC00005]"
    int remoteStarts = 0;
    int lastFrameAck = -1;  // "[RC00006]"
    int frameAcks = 0;
    std::vector<KeyEventRecord> keys;     // type 4
    std::vector<MouseEventRecord> mouse;  // type 5
    std::vector<int> typedChars;          // "[RC00014]"
    int inputModeToggles = 0;             // "[RC00015]"
    bool soundOn = false;                 // "[RC00011]start" .. "stop"
    int soundPackets = 0;                 // type 11 while sound is on
    uint64_t soundBytes = 0;
    int soundOutside = 0;                       // type 11 while it is off
    bool screenUpOn = false;                    // "[RC00009]start" .. "stop"
    int screenUpWidth = 0, screenUpHeight = 0;  // "[RC00008]"
    int screenUpFrames = 0;                     // type 12 while screen up is on
    int lastScreenUpFrame = -1;
};

// Where the media parts of the classroom plug into the lectern PC. Every hook is
// optional; without one the lectern PC only logs what it would have handed over.
// Hooks run on the connection's thread; a frame stream runs on threads of its own and
// sends through the given sender, which is safe from any thread and returns false once
// the connection is gone.
using PacketSender = std::function<bool(const CPacket&)>;
struct LecternMediaHooks {
    // "[RC00004]": start streaming frames of the given screen.
    std::function<void(int conn, PacketSender send, const LecternScreen& screen)> remoteStart;
    // "[RC00005]" or the connection closed during remote control: stop streaming.
    std::function<void(int conn)> remoteStop;
    // "[RC00006]n": the pad took frame n (paces the stream).
    std::function<void(int conn, int32_t frame)> frameAck;
    // "[RC00023]n": another monitor is shown.
    std::function<void(int conn, const LecternScreen& screen)> monitorChanged;
    // "[RC00008]w,h,...": size of the pad's screen-up pictures.
    std::function<void(int conn, int width, int height)> screenUpParams;
    // A screen-up frame packet (type 12) while screen up is on.
    std::function<void(int conn, const CPacket& frame)> screenUpFrame;
};
