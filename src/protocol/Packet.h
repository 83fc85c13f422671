#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CByteReader;
class CFrameWriter;

// Type codes of the packet record.
enum PacketType : uint8_t {
    kPacketEmpty = 0,  // constructed for reading; never sent
    kPacketText = 1,   // text command
    kPacketKeys = 4,   // key events
    kPacketMouse = 5,  // mouse events
    kPacketNoLayout = 6,
    kPacketFrameEx = 8,  // a number, then a frame packet's payload
    kPacketSound = 11,
    kPacketFrame = 12,
    kPacketBlock = 13,  // two numbers and a byte block
    kPacketBlockList = 14,
    kPacketMaxType = 16,
};

// One key transition; 14 bytes on the wire.
struct KeyEventRecord {
    uint16_t message = 0;
    uint32_t key = 0;
    uint32_t repeat = 0;
    uint32_t flags = 0;
    bool operator==(const KeyEventRecord& o) const {
        return message == o.message && key == o.key && repeat == o.repeat && flags == o.flags;
    }
};

// One pointer event; 16 bytes on the wire.
struct MouseEventRecord {
    uint16_t message = 0;
    uint32_t flags = 0;
    int32_t x = 0;
    int32_t y = 0;
    int16_t wheel = 0;
    bool operator==(const MouseEventRecord& o) const {
        return message == o.message && flags == o.flags && x == o.x && y == o.y && wheel == o.wheel;
    }
};

constexpr size_t kKeyEventWireSize = 14;
constexpr size_t kMouseEventWireSize = 16;
constexpr size_t kFixedBlockSize = 16;  // the 16-byte block of types 7 and 16
constexpr uint8_t kEmbeddedBlockType = 13;

// One message between the pad and its peers: a variant record whose type code says
// which fields are in use; the others stay empty or zero. Packets that cross threads
// travel as heap objects; whoever takes one out of a queue or message deletes it.
//
// Fields per type (signed numbers in m_vNumbers in wire order):
//   1  m_strDigest, m_strText
//   2  3 numbers                       10  2 numbers
//   3  5 numbers, m_vShorts (4), m_vData (a), m_vData2 (b)
//   4  m_vKeys                          5  m_vMouse
//   7  4 numbers, flag F, 2 numbers, m_abBlock, one more number only when F is 0,
//      m_vData
//   8  1 number, then as 12             9  3 numbers, m_strText, m_vData
//   11, 15  m_nValue, m_vData
//   12 m_nUncompressedLength, m_nFrameNumber, m_vData (zlib stream)
//   13 2 numbers, m_vData
//   14 m_vUnsigned, then as 13         16  m_abBlock, m_vData
class CPacket {
  public:
    // Empty packet (type 0), to be read into.
    CPacket() = default;
    // Text command: the text is kept as it is and its digest made from it.
    explicit CPacket(const std::u16string& text);
    // Key / mouse events: the records are moved out of the list, leaving it empty.
    explicit CPacket(std::vector<KeyEventRecord>& keys);
    explicit CPacket(std::vector<MouseEventRecord>& mouse);
    // Sound packet (type 11): copies length bytes.
    CPacket(uint32_t length, const uint8_t* bytes, int32_t value);
    // Frame packet (type 12): copies length bytes of zlib stream.
    CPacket(uint32_t length, const uint8_t* bytes, int32_t uncompressedLength, int32_t frameNumber);
    // Deep copy: every field, buffers and lists duplicated.
    CPacket(const CPacket&) = default;
    CPacket& operator=(const CPacket&) = default;
    CPacket(CPacket&&) = default;
    CPacket& operator=(CPacket&&) = default;
    virtual ~CPacket() = default;

    // Back to the empty packet.
    void Clear() { *this = CPacket(); }

    // True for the type codes that have a wire layout (1 to 16 except 6).
    static bool HasLayout(uint8_t type) {
        return type >= kPacketText && type <= kPacketMaxType && type != kPacketNoLayout;
    }

    // The payload of this packet's type; false when the type has no layout or a
    // field cannot be represented (a byte block longer than its length field allows,
    // a text that cannot be scrambled). The packet must outlive the writer.
    bool WritePayload(CFrameWriter& out) const;
    // Reads the payload of the given type into this (empty) packet; false when the
    // type has no layout, a length in it does not fit in what remains, or the text
    // cannot be unscrambled. The packet is left empty on failure.
    bool ReadPayload(uint8_t type, CByteReader& in);

    uint8_t m_nType = kPacketEmpty;
    std::u16string m_strDigest;
    std::u16string m_strText;
    std::vector<KeyEventRecord> m_vKeys;
    std::vector<MouseEventRecord> m_vMouse;
    int32_t m_nValue = 0;
    int32_t m_nUncompressedLength = 0;
    int32_t m_nFrameNumber = 0;
    std::vector<uint8_t> m_vData;
    std::vector<int32_t> m_vNumbers;
    std::vector<uint16_t> m_vShorts;
    std::vector<uint8_t> m_vData2;
    std::vector<uint32_t> m_vUnsigned;
    std::array<uint8_t, kFixedBlockSize> m_abBlock{};

  private:
    bool ReadFields(uint8_t type, CByteReader& in);
    bool WriteText(CFrameWriter& out) const;
    bool ReadText(CByteReader& in);
    void WriteFrameFields(CFrameWriter& out) const;
    bool ReadFrameFields(CByteReader& in);
    void WriteBlockFields(CFrameWriter& out, size_t first) const;
    bool ReadBlockFields(CByteReader& in);
    int32_t Number(size_t i) const { return i < m_vNumbers.size() ? m_vNumbers[i] : 0; }
};

// Frame transfer (defined in Frame.cpp).
#include "protocol/Frame.h"
