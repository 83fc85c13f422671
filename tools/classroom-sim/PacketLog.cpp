#include "PacketLog.h"

#include "protocol/Frame.h"
#include "protocol/Packet.h"
#include "protocol/TextCommand.h"

namespace {

constexpr size_t kHeaderSize = kCheckByteCount + kLengthFieldSize + 1;
constexpr size_t kU32 = 4;

}  // namespace

size_t FrameSizeOf(const CPacket& p) {
    switch (p.m_nType) {
        case kPacketText:
            return kHeaderSize + kU32 + 2 * p.m_strDigest.size() + kU32 + 2 * p.m_strText.size();
        case kPacketKeys:
            return kHeaderSize + kU32 + kKeyEventWireSize * p.m_vKeys.size();
        case kPacketMouse:
            return kHeaderSize + kU32 + kMouseEventWireSize * p.m_vMouse.size();
        case kPacketSound:
            return kHeaderSize + 2 * kU32 + p.m_vData.size();
        case kPacketFrame:
            return kHeaderSize + 3 * kU32 + p.m_vData.size();
        default:
            return 0;  // not built by the classroom; its size is not tracked
    }
}

std::vector<EventField> PacketFields(const CPacket& p) {
    std::vector<EventField> f;
    f.emplace_back("type", int(p.m_nType));
    f.emplace_back("size", FrameSizeOf(p));
    switch (p.m_nType) {
        case kPacketText: {
            std::u16string code, args;
            if (SplitCommand(p.m_strText, code, args)) {
                f.emplace_back("code", code);
                f.emplace_back("args", args);
            } else {
                f.emplace_back("text", p.m_strText);
            }
            break;
        }
        case kPacketKeys:
            f.emplace_back("records", p.m_vKeys.size());
            break;
        case kPacketMouse:
            f.emplace_back("records", p.m_vMouse.size());
            break;
        case kPacketSound:
            f.emplace_back("value", p.m_nValue);
            f.emplace_back("bytes", p.m_vData.size());
            break;
        case kPacketFrame:
            f.emplace_back("frame", p.m_nFrameNumber);
            f.emplace_back("ulen", p.m_nUncompressedLength);
            f.emplace_back("bytes", p.m_vData.size());
            break;
        default:
            break;
    }
    return f;
}

void LogPacket(CEventLog& log, const std::string& direction, const std::string& role, int conn,
               const CPacket& packet) {
    std::vector<EventField> fields{{"role", role}, {"conn", conn}};
    for (auto& f : PacketFields(packet)) fields.push_back(std::move(f));
    log.Emit(direction, std::move(fields));
}
