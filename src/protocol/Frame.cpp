#include "protocol/Frame.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "protocol/ByteReader.h"
#include "protocol/Connection.h"
#include "protocol/FrameWriter.h"
#include "protocol/Packet.h"

namespace {

constexpr uint8_t kCheckBase = 0xA0;
constexpr int kLengthOffset = kCheckByteCount;

uint32_t SteadyMilliseconds() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<TickSource> g_tickSource{&SteadyMilliseconds};

int32_t LoadLe32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

// Offers the frame in pieces; a refused piece is offered again a bounded number of
// times so that a dead connection cannot hold the sending thread forever.
bool SendPieces(CFrameWriter& frame, IConnection& connection) {
    uint8_t scratch[kSendPieceSize];
    const size_t total = frame.Size();
    size_t sent = 0;
    int refusals = 0;
    while (sent < total) {
        const int want = int(std::min<size_t>(kSendPieceSize, total - sent));
        const int result = connection.SendPiece(frame.Piece(sent, size_t(want), scratch), want);
        if (result > want) return false;
        if (result <= 0) {
            if (++refusals >= kMaxSendRetries) return false;
            continue;
        }
        refusals = 0;
        sent += size_t(result);
    }
    return true;
}

bool Fail(CPacket& packet, IConnection& connection) {
    packet.Clear();
    connection.CloseConnection();
    return false;
}

}  // namespace

void MakeCheckBytes(uint8_t t, uint8_t out[kCheckByteCount]) {
    out[0] = uint8_t(kCheckBase + (t >> 5));
    out[1] = uint8_t(kCheckBase + (t >> 6));
    out[2] = uint8_t(kCheckBase + (t >> 4));
    out[3] = t;
}

bool CheckBytesValid(const uint8_t in[kCheckByteCount]) {
    uint8_t expected[kCheckByteCount];
    MakeCheckBytes(in[3], expected);
    return in[0] == expected[0] && in[1] == expected[1] && in[2] == expected[2];
}

void SetFrameTickSource(TickSource source) {
    g_tickSource.store(source ? source : &SteadyMilliseconds);
}

bool WriteFrame(const CPacket& packet, IConnection& connection) {
    CFrameWriter frame;
    uint8_t check[kCheckByteCount];
    MakeCheckBytes(uint8_t(g_tickSource.load()()), check);
    for (uint8_t b : check) frame.PutU8(b);
    frame.PutU32(0);  // L, filled in below
    frame.PutU8(packet.m_nType);
    if (!packet.WritePayload(frame) || frame.Size() - kCheckByteCount > size_t(kMaxFrameLength)) {
        connection.CloseConnection();
        return false;
    }
    frame.PatchU32(kLengthOffset, uint32_t(frame.Size() - kCheckByteCount));
    if (!SendPieces(frame, connection)) {
        connection.CloseConnection();
        return false;
    }
    return true;
}

bool ReadFrame(CPacket& packet, IConnection& connection) {
    packet.Clear();
    uint8_t head[kCheckByteCount + kLengthFieldSize];
    if (connection.ReceiveExactly(head, kCheckByteCount) != kCheckByteCount ||
        !CheckBytesValid(head))
        return Fail(packet, connection);
    if (connection.ReceiveExactly(head + kCheckByteCount, kLengthFieldSize) != kLengthFieldSize)
        return Fail(packet, connection);
    const int32_t length = LoadLe32(head + kCheckByteCount);
    if (length < kMinFrameLength || length > kMaxFrameLength) return Fail(packet, connection);

    // The payload is parsed as it arrives: small fields through a small window, large
    // blocks received straight into the packet. Nothing beyond the frame is received.
    CByteReader in(connection, size_t(length - kLengthFieldSize));
    uint8_t type;
    if (!in.ReadU8(type) || !packet.ReadPayload(type, in) || !in.SkipRest())
        return Fail(packet, connection);
    return true;
}
