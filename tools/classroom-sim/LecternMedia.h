#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "EventLog.h"
#include "LecternTypes.h"
#include "media/FrameEncoder.h"
#include "media/ScreenUpDecoder.h"

struct LecternMediaOptions {
    // Shortest time between two remote frames; 0 sends as fast as the pad acknowledges.
    int frameIntervalMs = 33;
    // Frames sent before the pad's acknowledgement.
    int maxInFlight = 3;
    int jpegQuality = 70;
    FrameBlockLie lie = FrameBlockLie::kNone;
};

// Connects the lectern PC to the media parts: an animated synthetic desktop streamed
// as remote-control frames, paced by the pad's acknowledgements, and the screen-up
// decoder that rebuilds the pad's screen. One stream per connection.
class CLecternMedia {
  public:
    CLecternMedia(LecternMediaOptions options, CEventLog& log);
    ~CLecternMedia();
    CLecternMedia(const CLecternMedia&) = delete;
    CLecternMedia& operator=(const CLecternMedia&) = delete;

    // The hooks to give the lectern PC; they refer to this object.
    LecternMediaHooks Hooks();
    // Stops every stream.
    void StopAll();

    // The pad's screen as rebuilt from screen up.
    CScreenUpDecoder& ScreenUp() { return m_screenUp; }
    bool WriteScreenUpPng(const std::string& path) const { return m_screenUp.WritePng(path); }

  private:
    struct Stream;

    void Start(int conn, PacketSender send, const LecternScreen& screen);
    void Stop(int conn);
    void Acknowledge(int conn, int32_t frame);
    void SwitchMonitor(int conn, const LecternScreen& screen);
    void Decode(const CPacket& frame);
    void Run(Stream& stream);

    LecternMediaOptions m_options;
    CEventLog& m_log;
    std::mutex m_mutex;
    std::map<int, std::unique_ptr<Stream>> m_streams;
    CScreenUpDecoder m_screenUp;
};
