// ReadFrame over a connection fed by the fuzz input, frame after frame. Whatever the
// bytes, a read either fails cleanly (connection closed, packet empty) or yields a
// packet that writes back and reads again to the same packet.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

namespace {

bool Same(const CPacket& a, const CPacket& b) {
    return a.m_nType == b.m_nType && a.m_strDigest == b.m_strDigest && a.m_strText == b.m_strText &&
           a.m_vKeys == b.m_vKeys && a.m_vMouse == b.m_vMouse && a.m_nValue == b.m_nValue &&
           a.m_nUncompressedLength == b.m_nUncompressedLength &&
           a.m_nFrameNumber == b.m_nFrameNumber && a.m_vData == b.m_vData &&
           a.m_vNumbers == b.m_vNumbers && a.m_vShorts == b.m_vShorts && a.m_vData2 == b.m_vData2 &&
           a.m_vUnsigned == b.m_vUnsigned && a.m_abBlock == b.m_abBlock;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemoryConnection conn(data, size);
    for (;;) {
        CPacket packet;
        if (!ReadFrame(packet, conn)) {
            Check(conn.IsClosed());
            Check(Same(packet, CPacket()));
            return 0;
        }
        Check(CPacket::HasLayout(packet.m_nType));

        CMemoryConnection echo;
        Check(WriteFrame(packet, echo));
        echo.Loopback();
        CPacket again;
        Check(ReadFrame(again, echo));
        Check(Same(packet, again));
    }
}
