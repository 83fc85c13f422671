#pragma once

#include <cstdint>

class CPacket;
class IConnection;

// Frame on the wire (integers little-endian):
//   0  4      check bytes c0 c1 c2 c3, from the low byte t of the sender's tick count
//   4  4      L, signed: bytes from offset 4 to the end, this field included
//   8  1      type code
//   9  L - 5  payload of that type
constexpr int kCheckByteCount = 4;
constexpr int kLengthFieldSize = 4;
constexpr int32_t kMinFrameLength = 5;  // the length field and the type code

// Upper bound for L. The largest frames are compressed screen images: a full-screen
// frame block of JPEG tiles, deflated. Even a 3840 x 2160 screen of pure noise, whose
// JPEG tiles can approach the raw 24-bit size (about 24.9 MB) and which deflate cannot
// shrink, stays below 32 MiB; real frames are a small fraction of that. A larger L can
// only come from a broken or hostile peer, and refusing it caps what one frame can make
// the reader allocate.
constexpr int32_t kMaxFrameLength = 32 * 1024 * 1024;

// Frames are offered to the connection in pieces of at most this many bytes.
constexpr int kSendPieceSize = 512;
// A piece the connection refuses (-1 or 0) is offered again this many times in a row
// before the connection counts as broken.
constexpr int kMaxSendRetries = 10;

// Check bytes for the tick byte t: 0xA0 + (t >> 5), 0xA0 + (t >> 6), 0xA0 + (t >> 4), t.
void MakeCheckBytes(uint8_t t, uint8_t out[kCheckByteCount]);
// True when c0..c2 are those recomputed from c3.
bool CheckBytesValid(const uint8_t in[kCheckByteCount]);

// Millisecond tick count whose low byte seeds the check bytes. Replaceable for tests;
// null restores the default (a monotonic millisecond clock).
using TickSource = uint32_t (*)();
void SetFrameTickSource(TickSource source);

// Builds the packet's frame and sends it. A packet without a layout (type 0, 6, above
// 16), one whose fields cannot be represented, or one whose frame would exceed
// kMaxFrameLength is not sent and the connection is closed. False then, or when the
// connection broke while sending.
bool WriteFrame(const CPacket& packet, IConnection& connection);

// Reads one frame into the packet. On any failure (connection, check bytes, a length
// out of bounds, a type without layout, a payload that does not fit the frame) the
// connection is closed, the packet is left empty (type 0) and false returned.
bool ReadFrame(CPacket& packet, IConnection& connection);
