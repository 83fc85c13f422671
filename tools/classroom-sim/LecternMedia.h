#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventLog.h"
#include "LecternTypes.h"
#include "media/FrameEncoder.h"
#include "ScreenUpWorker.h"
#include "media/ScreenUpDecoder.h"

struct LecternMediaOptions {
    // Shortest time between two remote frames; 0 sends as fast as the pad acknowledges.
    int frameIntervalMs = 33;
    // Frames sent before the pad's acknowledgement.
    int maxInFlight = 3;
    int jpegQuality = 70;
    FrameBlockLie lie = FrameBlockLie::kNone;
    // 0: the lie is told in every frame; K > 0: only in frames whose number is a multiple
    // of K. The tiles of a lying frame are sent again in the next honest one, so the pad
    // catches up with the desktop as soon as an honest frame is placed.
    int lieEvery = 0;
    // The desktop stands still: the first frame carries every tile, and later ones go out
    // only when something changed (a monitor switch, tiles a lying frame held back).
    bool staticScreen = false;
};

// Connects the lectern PC to the media parts: an animated synthetic desktop streamed
// as remote-control frames, paced by the pad's acknowledgements, and the screen-up
// decoder that rebuilds the pad's screen. One stream per connection; the screen-up
// frames of every connection are decoded in arrival order on one worker thread.
class CLecternMedia {
  public:
    CLecternMedia(LecternMediaOptions options, CEventLog& log);
    ~CLecternMedia();
    CLecternMedia(const CLecternMedia&) = delete;
    CLecternMedia& operator=(const CLecternMedia&) = delete;

    // The hooks to give the lectern PC; they refer to this object.
    LecternMediaHooks Hooks();
    // Stops every stream, and decodes the screen-up frames still queued.
    void StopAll();

    // The pad's screen as rebuilt from screen up.
    CScreenUpDecoder& ScreenUp() { return m_screenUp; }
    bool WriteScreenUpPng(const std::string& path) const { return m_screenUp.WritePng(path); }

    // The picture the pad must be showing: the tiles of every honest frame of the most
    // recent stream placed on black, as of the last one sent (lying frames place
    // nothing). False before the stream's first honest frame; kept after it stops.
    bool StreamedPicture(std::vector<uint8_t>& rgb, int& width, int& height) const;
    bool WriteStreamedPng(const std::string& path) const;

  private:
    struct Stream;

    void Start(int conn, PacketSender send, const LecternScreen& screen);
    void Stop(int conn);
    void Acknowledge(int conn, int32_t frame);
    void SwitchMonitor(int conn, const LecternScreen& screen);
    void Run(Stream& stream);
    bool SendFrame(Stream& stream, const std::vector<int32_t>& tiles,
                   std::unique_lock<std::mutex>& lock);
    void ResetReference(const Stream& stream);
    void PlaceOnReference(const Stream& stream, const std::vector<int32_t>& tiles);

    LecternMediaOptions m_options;
    CEventLog& m_log;
    std::mutex m_mutex;
    std::map<int, std::unique_ptr<Stream>> m_streams;
    CScreenUpDecoder m_screenUp;
    // Decodes off the connection's thread; after m_screenUp, which it uses.
    CScreenUpWorker m_screenUpWorker{m_screenUp, m_log};
    uint64_t m_nStreamsStarted = 0;

    // The reference picture (see StreamedPicture), written by the newest stream only.
    mutable std::mutex m_referenceMutex;
    uint64_t m_nReferenceStream = 0;
    bool m_bReferenceValid = false;
    int m_nReferenceWidth = 0, m_nReferenceHeight = 0;
    std::vector<uint8_t> m_vReference;
};
