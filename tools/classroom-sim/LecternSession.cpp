#include "LecternSession.h"

#include <chrono>

#include "FramePacket.h"
#include "LecternServer.h"
#include "PacketLog.h"
#include "media/SoundAnalysis.h"
#include "remote/TileGrid.h"
#include "protocol/Frame.h"
#include "protocol/MemoryConnection.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

namespace {

// The pad sends its sound at 8000 samples a second (the mixer's 48 kHz taken every
// sixth sample); pitches are read at that rate.
constexpr int kNominalSoundRate = 8000;

constexpr char kRole[] = "lectern";
constexpr int kLyingFrameNumber = 1;
constexpr uint8_t kBadCheckDelta = 1;
// What some lectern programs send right after remote control ends: the code the pad
// knows as the broadcast state, always with 1.
constexpr const char16_t* kCmdRemoteEndReply = kCmdBroadcastState;
constexpr int kRemoteEndReplyValue = 1;

std::u16string Num(int64_t v) { return DecimalText(v); }

// The bytes of a frame carrying the packet, as WriteFrame would send them.
std::vector<uint8_t> FrameBytes(const CPacket& packet) {
    CMemoryConnection memory;
    WriteFrame(packet, memory);
    return memory.Sent();
}

// Check bytes that pass, then a length and a type byte.
std::vector<uint8_t> FrameHeader(int32_t length, uint8_t type) {
    std::vector<uint8_t> bytes(kCheckByteCount);
    MakeCheckBytes(0x5B, bytes.data());
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(length) >> (8 * i)));
    bytes.push_back(type);
    return bytes;
}

const char* MisbehaviourName(LecternMisbehaviour m) {
    switch (m) {
        case LecternMisbehaviour::kNoGreeting:
            return "no_greeting";
        case LecternMisbehaviour::kSilentAfterGreeting:
            return "silent_after_greeting";
        case LecternMisbehaviour::kCloseMidFrame:
            return "close_mid_frame";
        case LecternMisbehaviour::kStallMidFrame:
            return "stall_mid_frame";
        case LecternMisbehaviour::kBadCheckByte:
            return "bad_check_byte";
        case LecternMisbehaviour::kType6Frame:
            return "type6_frame";
        case LecternMisbehaviour::kOversizeLength:
            return "oversize_length";
        case LecternMisbehaviour::kLyingFrameBlock:
            return "lying_frame_block";
        case LecternMisbehaviour::kHangUpAfterDescribing:
            return "hang_up_after_describing";
        default:
            return "none";
    }
}

}  // namespace

CLecternSession::CLecternSession(CLecternServer& server, CEventLog& log,
                                 std::shared_ptr<CSocketConnection> connection, int conn)
    : m_server(server),
      m_options(server.Options()),
      m_log(log),
      m_pConnection(std::move(connection)),
      m_nConn(conn),
      m_delayedAcks([this](const std::u16string& text) { return SendText(text); }) {}

CLecternSession::~CLecternSession() {
    StopHeartbeat();
    m_delayedAcks.Stop();
}

bool CLecternSession::SendPacket(const CPacket& packet) {
    bool ok = m_pConnection->SendFrame(packet);
    if (ok) LogPacket(m_log, "send", kRole, m_nConn, packet);
    return ok;
}

bool CLecternSession::SendText(const std::u16string& text) { return SendPacket(CPacket(text)); }

bool CLecternSession::StateReports() const { return m_options.version > kVersionStateReports; }

bool CLecternSession::Silent() const {
    return m_options.misbehaviour == LecternMisbehaviour::kSilentAfterGreeting ||
           m_options.misbehaviour == LecternMisbehaviour::kStallMidFrame;
}

void CLecternSession::Run() {
    Greet();
    for (;;) {
        CPacket p;
        if (!ReadFrame(p, *m_pConnection)) break;
        m_tArrival = std::chrono::steady_clock::now();
        // Logged and handled under the record lock: whoever sees the event and then
        // asks for the record finds the packet's effect in it.
        std::lock_guard<std::mutex> lock(m_server.RecordMutex());
        LogPacket(m_log, "recv", kRole, m_nConn, p);
        Handle(p);
    }
    StopHeartbeat();
    m_delayedAcks.Stop();
    std::lock_guard<std::mutex> lock(m_server.RecordMutex());
    if (m_bRemoteOn) RemoteStop();
}

void CLecternSession::Greet() {
    SendText(kCmdPeerVersion + m_options.version);
    if (m_options.misbehaviour == LecternMisbehaviour::kNoGreeting) {
        Misbehave();
        return;
    }
    SendText(kCmdPeerGreeting);
    m_bGreeted = true;
    if (m_options.heartbeatMs > 0 && !Silent())
        m_heartbeat = std::thread([this] { HeartbeatLoop(); });
    if (m_options.trigger == MisbehaviourTrigger::kAfterGreeting &&
        m_options.misbehaviour != LecternMisbehaviour::kNone &&
        m_options.misbehaviour != LecternMisbehaviour::kHangUpAfterDescribing)
        Misbehave();
}

void CLecternSession::HeartbeatLoop() {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    while (!m_stopCv.wait_for(lock, std::chrono::milliseconds(m_options.heartbeatMs),
                              [this] { return m_bStop; })) {
        lock.unlock();
        bool ok = SendText(kCmdHeartbeat);
        lock.lock();
        if (!ok) break;
    }
}

void CLecternSession::StopHeartbeat() {
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_bStop = true;
    }
    m_stopCv.notify_all();
    if (m_heartbeat.joinable()) m_heartbeat.join();
}

// Called with the record locked.
LecternScreen CLecternSession::Screen() const {
    std::vector<MonitorRect> monitors = m_options.Monitors();
    LecternScreen s;
    s.monitor = m_nMonitor;
    s.rect = monitors[size_t(m_nMonitor - 1)];
    // Without monitor selection the pad wants frames at its own screen size.
    const LecternRecord& r = m_server.RecordUnlocked();
    if (m_options.version < kVersionMonitorSelection && r.padWidth > 0 && r.padHeight > 0)
        s.rect = MonitorRect{0, 0, r.padWidth, r.padHeight};
    TileGrid grid = TileGrid::ForScreen(s.rect.Width(), s.rect.Height());
    s.tileWidth = grid.tileWidth;
    s.tileHeight = grid.tileHeight;
    return s;
}

// The screen description. Lectern programs without monitor selection only give the
// screen size; the pad then sets up the geometry from its own screen.
void CLecternSession::Describe(bool withSize) {
    std::vector<MonitorRect> monitors = m_options.Monitors();
    MonitorRect virt = VirtualScreen(monitors);
    if (withSize) SendText(kCmdScreenSize + Num(virt.Width()) + u"," + Num(virt.Height()));
    if (m_options.version < kVersionMonitorSelection) return;
    LecternScreen s = Screen();
    if (!m_options.omitTileSize)
        SendText(kCmdTileSize + Num(s.tileWidth) + u"," + Num(s.tileHeight));
    SendText(kCmdMonitors + Num(int(monitors.size())) + u"," + Num(s.monitor) + u"," +
             Num(s.rect.left) + u"," + Num(s.rect.top) + u"," + Num(s.rect.right) + u"," +
             Num(s.rect.bottom));
    SendText(kCmdScreenOrigin + Num(int(monitors.size())) + u"," + Num(virt.left) + u"," +
             Num(virt.top) + u"," + Num(virt.Width()) + u"," + Num(virt.Height()));
}

// Called with the record locked.
void CLecternSession::Handle(const CPacket& p) {
    LecternRecord& r = m_server.RecordUnlocked();
    switch (p.m_nType) {
        case kPacketText: {
            std::u16string code, args;
            if (SplitCommand(p.m_strText, code, args)) HandleCommand(code, args);
            break;
        }
        case kPacketKeys:
            r.keys.insert(r.keys.end(), p.m_vKeys.begin(), p.m_vKeys.end());
            // One event per record: latency tests wait for the one they caused.
            for (const KeyEventRecord& k : p.m_vKeys) {
                m_log.Emit("key", {{"role", kRole},
                                   {"conn", m_nConn},
                                   {"message", int(k.message)},
                                   {"key", int64_t(k.key)},
                                   {"repeat", int64_t(k.repeat)},
                                   {"flags", int64_t(k.flags)}});
            }
            break;
        case kPacketMouse:
            r.mouse.insert(r.mouse.end(), p.m_vMouse.begin(), p.m_vMouse.end());
            for (const MouseEventRecord& m : p.m_vMouse) {
                m_log.Emit("mouse", {{"role", kRole},
                                     {"conn", m_nConn},
                                     {"message", int(m.message)},
                                     {"flags", int64_t(m.flags)},
                                     {"x", m.x},
                                     {"y", m.y},
                                     {"wheel", int(m.wheel)}});
            }
            break;
        case kPacketSound:
            if (m_bSoundOn) {
                ++r.soundPackets;
                r.soundBytes += p.m_vData.size();
                m_server.Stats().OnSoundChunk(p.m_vData, m_tArrival);
                LogSound(p);
            } else {
                ++r.soundOutside;
            }
            break;
        case kPacketFrame:
            if (m_bScreenUpOn) HandleScreenUpFrame(p);
            break;
        default:
            break;
    }
}

// Called with the record locked.
void CLecternSession::HandleCommand(const std::u16string& code, const std::u16string& args) {
    LecternRecord& r = m_server.RecordUnlocked();
    if (code == kCmdGreetingAnswer) {
        r.greetingAnswer = args;
        m_log.Emit("check", {{"role", kRole},
                             {"conn", m_nConn},
                             {"what", "greeting_answer"},
                             {"ok", args == kArgGreetingAnswer}});
    } else if (code == kCmdOwnVersion) {
        r.padVersion = args;
        if (m_bGreeted && !Silent()) Describe(true);
        if (m_options.misbehaviour == LecternMisbehaviour::kHangUpAfterDescribing) Misbehave();
    } else if (code == kCmdKeepAlive) {
        ++r.keepAlives;
    } else if (code == kCmdPadScreenSize) {
        std::vector<std::u16string> f = TokenizeArguments(args);
        if (f.size() >= 2) {
            r.padWidth = DecimalPrefix(f[0]);
            r.padHeight = DecimalPrefix(f[1]);
        }
    } else if (!HandleRemoteCommand(code, args)) {
        HandleSwitchCommand(code, args);
    }
}

bool CLecternSession::HandleRemoteCommand(const std::u16string& code, const std::u16string& args) {
    LecternRecord& r = m_server.RecordUnlocked();
    if (code == kCmdRemoteStart) {
        RemoteStart();
    } else if (code == kCmdRemoteEnd) {
        if (m_bRemoteOn) RemoteStop();
        if (m_options.replyToRemoteEnd && !Silent())
            SendText(kCmdRemoteEndReply + Num(kRemoteEndReplyValue));
    } else if (code == kCmdFrameAck) {
        r.lastFrameAck = DecimalPrefix(args);
        ++r.frameAcks;
        if (m_server.Hooks().frameAck) m_server.Hooks().frameAck(m_nConn, r.lastFrameAck);
    } else if (code == kCmdSelectMonitor) {
        int n = DecimalPrefix(args);
        int count = int(m_options.Monitors().size());
        m_nMonitor = n >= 1 && n <= count ? n : 1;
        r.monitor = m_nMonitor;
        if (Silent()) return true;
        if (m_options.version >= kVersionMonitorSelection) Describe(false);
        if (m_server.Hooks().monitorChanged) m_server.Hooks().monitorChanged(m_nConn, Screen());
    } else if (code == kCmdTypedChar) {
        r.typedChars.push_back(DecimalPrefix(args));
        m_log.Emit("typed_char",
                   {{"role", kRole}, {"conn", m_nConn}, {"code", r.typedChars.back()}});
    } else if (code == kCmdInputModeToggle) {
        ++r.inputModeToggles;
        m_log.Emit("input_mode_toggle", {{"role", kRole}, {"conn", m_nConn}});
    } else {
        return false;
    }
    return true;
}

bool CLecternSession::HandleSwitchCommand(const std::u16string& code, const std::u16string& args) {
    LecternRecord& r = m_server.RecordUnlocked();
    bool on = args == kArgOn;
    bool start = args == kArgStart;
    if (code == kCmdBroadcast || code == kCmdStudentTouch) {
        bool& state = code == kCmdBroadcast ? r.broadcast : r.touch;
        if (on || args == kArgOff) state = on;
        if (StateReports() && !Silent())
            SendText((code == kCmdBroadcast ? kCmdBroadcastState : kCmdTouchState) +
                     Num(state ? 1 : 0));
    } else if (code == kCmdScreenUpParams) {
        std::vector<std::u16string> f = TokenizeArguments(args);
        if (f.size() >= 2) {
            r.screenUpWidth = DecimalPrefix(f[0]);
            r.screenUpHeight = DecimalPrefix(f[1]);
            if (m_server.Hooks().screenUpParams)
                m_server.Hooks().screenUpParams(m_nConn, r.screenUpWidth, r.screenUpHeight);
        }
    } else if (code == kCmdScreenUp) {
        if (start || args == kArgStop) m_bScreenUpOn = r.screenUpOn = start;
    } else if (code == kCmdSoundUp) {
        if (start || args == kArgStop) m_bSoundOn = r.soundOn = start;
    } else {
        return false;
    }
    return true;
}

// One event per sound chunk, with what can be told of it at the pad's nominal rate,
// so that tests can check the tone and the rate the chunks arrive at.
void CLecternSession::LogSound(const CPacket& p) {
    const SoundSummary s = AnalyseSound(p.m_vData, kNominalSoundRate);
    m_log.Emit("sound", {{"role", kRole},
                         {"conn", m_nConn},
                         {"bytes", int64_t(p.m_vData.size())},
                         {"peak", s.peak},
                         {"hz", int64_t(s.dominantHz + 0.5)}});
}

// Called with the record locked. The acknowledgement goes out (or is scheduled) before
// the frame is handed over for decoding, so decoding never delays it.
void CLecternSession::HandleScreenUpFrame(const CPacket& p) {
    LecternRecord& r = m_server.RecordUnlocked();
    ++r.screenUpFrames;
    r.lastScreenUpFrame = p.m_nFrameNumber;
    m_server.Stats().OnScreenUpFrame(p.m_vData.size(), m_tArrival);
    const int every = m_options.screenUpAckEvery;
    if (!Silent() && every > 0 && r.screenUpFrames % every == 0)
        AcknowledgeScreenUp(p.m_nFrameNumber);
    if (m_server.Hooks().screenUpFrame)
        m_server.Hooks().screenUpFrame(m_nConn, p);
    else
        m_log.Emit("media_missing", {{"role", kRole}, {"conn", m_nConn}, {"what", "screenup"}});
}

void CLecternSession::AcknowledgeScreenUp(int32_t frame) {
    const std::u16string ack = kCmdScreenUpAck + Num(frame);
    if (m_options.screenUpAckDelayMs <= 0) {
        SendText(ack);
        return;
    }
    m_delayedAcks.Post(m_tArrival + std::chrono::milliseconds(m_options.screenUpAckDelayMs), ack);
}

// Called with the record locked.
void CLecternSession::RemoteStart() {
    LecternRecord& r = m_server.RecordUnlocked();
    m_bRemoteOn = r.remoteOn = true;
    ++r.remoteStarts;
    if (m_options.trigger == MisbehaviourTrigger::kOnRemoteStart &&
        m_options.misbehaviour != LecternMisbehaviour::kNone) {
        Misbehave();
        return;
    }
    if (Silent()) return;
    if (m_server.Hooks().remoteStart) {
        std::shared_ptr<CSocketConnection> connection = m_pConnection;
        CEventLog* log = &m_log;
        int conn = m_nConn;
        // The stream may outlive this session object: it holds the connection only.
        PacketSender send = [connection, log, conn](const CPacket& packet) {
            bool ok = connection->SendFrame(packet);
            if (ok) LogPacket(*log, "send", kRole, conn, packet);
            return ok;
        };
        m_server.Hooks().remoteStart(m_nConn, send, Screen());
    } else {
        m_log.Emit("media_missing", {{"role", kRole}, {"conn", m_nConn}, {"what", "remote"}});
    }
}

// Called with the record locked.
void CLecternSession::RemoteStop() {
    m_bRemoteOn = false;
    m_server.RecordUnlocked().remoteOn = false;
    if (m_server.Hooks().remoteStop) m_server.Hooks().remoteStop(m_nConn);
}

void CLecternSession::Misbehave() {
    LecternMisbehaviour m = m_options.misbehaviour;
    m_log.Emit("misbehave", {{"role", kRole}, {"conn", m_nConn}, {"what", MisbehaviourName(m)}});
    switch (m) {
        case LecternMisbehaviour::kCloseMidFrame: {
            std::vector<uint8_t> bytes = FrameBytes(CPacket(std::u16string(kCmdHeartbeat)));
            m_pConnection->SendRaw(bytes.data(), bytes.size() / 2);
            m_pConnection->CloseConnection();
            break;
        }
        case LecternMisbehaviour::kStallMidFrame: {
            std::vector<uint8_t> bytes = FrameBytes(CPacket(std::u16string(kCmdHeartbeat)));
            m_pConnection->SendRaw(bytes.data(), bytes.size() / 2);
            break;
        }
        case LecternMisbehaviour::kHangUpAfterDescribing:
            // The pad's answers to the description then meet a closed connection.
            m_pConnection->CloseConnection();
            break;
        case LecternMisbehaviour::kBadCheckByte: {
            std::vector<uint8_t> bytes = FrameBytes(CPacket(std::u16string(kCmdHeartbeat)));
            bytes[0] = uint8_t(bytes[0] + kBadCheckDelta);
            m_pConnection->SendRaw(bytes);
            break;
        }
        case LecternMisbehaviour::kType6Frame:
            m_pConnection->SendRaw(FrameHeader(kMinFrameLength, kPacketNoLayout));
            break;
        case LecternMisbehaviour::kOversizeLength: {
            std::vector<uint8_t> bytes = FrameHeader(kMaxFrameLength + 1, kPacketText);
            bytes.resize(bytes.size() + kMinFrameLength, 0);
            m_pConnection->SendRaw(bytes);
            break;
        }
        case LecternMisbehaviour::kLyingFrameBlock:
            SendPacket(MakeFramePacket(LyingFrameBlock(), kLyingFrameNumber));
            break;
        default:
            break;  // the others are absences, handled where they apply
    }
}
