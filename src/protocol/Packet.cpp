#include "protocol/Packet.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "protocol/ByteReader.h"
#include "protocol/Crypt.h"
#include "protocol/FrameWriter.h"
#include "protocol/Utf16Le.h"

namespace {

// How many signed numbers come first in each type's payload.
constexpr size_t kNumbersType2 = 3;
constexpr size_t kNumbersType3 = 5;
constexpr size_t kShortsType3 = 4;
constexpr size_t kNumbersType7 = 7;  // four, the flag, two more
constexpr size_t kFlagIndexType7 = 4;
constexpr size_t kNumbersType9 = 3;
constexpr size_t kNumbersType10 = 2;
constexpr size_t kNumbersType13 = 2;

constexpr size_t kMaxShortLength = std::numeric_limits<uint16_t>::max();

// Scrambles or unscrambles text bytes in place with a fresh CCrypt under the scrambler
// password. A failing engine must not let a command go out (or be taken) in the clear.
bool ScrambleText(std::vector<uint8_t>& bytes, bool encrypt) {
    static const std::vector<uint8_t> password = Utf16LeBytes(kScramblerPassword);
    CCrypt crypt;
    if (!crypt.SetPassword(password.data(), password.size())) return false;
    uint32_t count = uint32_t(bytes.size());
    const int ok =
        encrypt ? crypt.Encrypt(bytes.data(), count) : crypt.Decrypt(bytes.data(), count);
    crypt.Release();
    return ok == 1 && count == bytes.size();
}

// A UTF-16LE text whose length prefix counts code units.
bool ReadUnitText(CByteReader& in, std::u16string& text) {
    uint32_t units;
    if (!in.ReadU32(units)) return false;
    if (units > in.Remaining() / 2) return false;
    const uint8_t* p = in.Take(2 * size_t(units));
    if (!p) return false;  // the connection ended inside the text
    text = Utf16LeToText(p, 2 * size_t(units));
    return true;
}

void WriteUnitText(CFrameWriter& out, const std::u16string& text) {
    out.PutU32(uint32_t(text.size()));
    const std::vector<uint8_t> bytes = Utf16LeBytes(text);
    out.PutCopy(bytes.data(), bytes.size());  // the bytes are gone when this returns
}

bool ReadNumbers(CByteReader& in, size_t count, std::vector<int32_t>& numbers) {
    for (size_t i = 0; i < count; ++i) {
        int32_t v;
        if (!in.ReadI32(v)) return false;
        numbers.push_back(v);
    }
    return true;
}

bool ReadBlock32(CByteReader& in, std::vector<uint8_t>& data) {
    uint32_t size;
    return in.ReadU32(size) && in.ReadBytes(size, data);
}

bool ReadBlock16(CByteReader& in, std::vector<uint8_t>& data) {
    uint16_t size;
    return in.ReadU16(size) && in.ReadBytes(size, data);
}

void WriteBlock32(CFrameWriter& out, const std::vector<uint8_t>& data) {
    out.PutU32(uint32_t(data.size()));
    out.PutBytes(data.data(), data.size());
}

bool ReadCount(CByteReader& in, size_t recordSize, uint32_t& count) {
    return in.ReadU32(count) && count <= in.Remaining() / recordSize;
}

bool ReadKeyEvent(CByteReader& in, KeyEventRecord& k) {
    return in.ReadU16(k.message) && in.ReadU32(k.key) && in.ReadU32(k.repeat) &&
           in.ReadU32(k.flags);
}

bool ReadMouseEvent(CByteReader& in, MouseEventRecord& m) {
    return in.ReadU16(m.message) && in.ReadU32(m.flags) && in.ReadI32(m.x) && in.ReadI32(m.y) &&
           in.ReadI16(m.wheel);
}

}  // namespace

CPacket::CPacket(const std::u16string& text) : m_nType(kPacketText), m_strText(text) {
    // The digest covers the first n bytes of the text's UTF-16LE form, n being the
    // number of code units: half of the text. The peer expects exactly this.
    const std::vector<uint8_t> bytes = Utf16LeBytes(text);
    Md5Hex(bytes.data(), text.size(), m_strDigest);
}

CPacket::CPacket(std::vector<KeyEventRecord>& keys) : m_nType(kPacketKeys) {
    m_vKeys = std::move(keys);
    keys.clear();
}

CPacket::CPacket(std::vector<MouseEventRecord>& mouse) : m_nType(kPacketMouse) {
    m_vMouse = std::move(mouse);
    mouse.clear();
}

CPacket::CPacket(uint32_t length, const uint8_t* bytes, int32_t value)
    : m_nType(kPacketSound), m_nValue(value), m_vData(bytes, bytes + length) {}

CPacket::CPacket(uint32_t length, const uint8_t* bytes, int32_t uncompressedLength,
                 int32_t frameNumber)
    : m_nType(kPacketFrame),
      m_nUncompressedLength(uncompressedLength),
      m_nFrameNumber(frameNumber),
      m_vData(bytes, bytes + length) {}

bool CPacket::WriteText(CFrameWriter& out) const {
    WriteUnitText(out, m_strDigest);
    std::vector<uint8_t> bytes = Utf16LeBytes(m_strText);
    if (!ScrambleText(bytes, true)) return false;
    out.PutU32(uint32_t(bytes.size()));
    out.PutCopy(bytes.data(), bytes.size());  // the scrambled bytes live only here
    return true;
}

bool CPacket::ReadText(CByteReader& in) {
    if (!ReadUnitText(in, m_strDigest)) return false;
    uint32_t size;
    std::vector<uint8_t> bytes;
    if (!in.ReadU32(size) || !in.ReadBytes(size, bytes)) return false;
    if (!ScrambleText(bytes, false)) return false;
    m_strText = Utf16LeToText(bytes.data(), bytes.size());
    return true;
}

void CPacket::WriteFrameFields(CFrameWriter& out) const {
    out.PutI32(m_nUncompressedLength);
    out.PutU32(uint32_t(m_vData.size()));
    out.PutI32(m_nFrameNumber);
    out.PutBytes(m_vData.data(), m_vData.size());
}

bool CPacket::ReadFrameFields(CByteReader& in) {
    uint32_t size;
    return in.ReadI32(m_nUncompressedLength) && in.ReadU32(size) && in.ReadI32(m_nFrameNumber) &&
           in.ReadBytes(size, m_vData);
}

void CPacket::WriteBlockFields(CFrameWriter& out, size_t first) const {
    out.PutI32(Number(first));
    out.PutI32(Number(first + 1));
    WriteBlock32(out, m_vData);
}

bool CPacket::ReadBlockFields(CByteReader& in) {
    return ReadNumbers(in, kNumbersType13, m_vNumbers) && ReadBlock32(in, m_vData);
}

bool CPacket::WritePayload(CFrameWriter& out) const {
    switch (m_nType) {
        case 1:
            return WriteText(out);
        case 2:
        case 10:
            for (size_t i = 0; i < (m_nType == 2 ? kNumbersType2 : kNumbersType10); ++i)
                out.PutI32(Number(i));
            return true;
        case 3:
            if (m_vData.size() > kMaxShortLength || m_vData2.size() > kMaxShortLength) return false;
            for (size_t i = 0; i < kNumbersType3; ++i) out.PutI32(Number(i));
            for (size_t i = 0; i < kShortsType3; ++i)
                out.PutU16(i < m_vShorts.size() ? m_vShorts[i] : 0);
            out.PutU16(uint16_t(m_vData.size()));
            out.PutBytes(m_vData.data(), m_vData.size());
            out.PutU16(uint16_t(m_vData2.size()));
            out.PutBytes(m_vData2.data(), m_vData2.size());
            return true;
        case 4:
            out.PutU32(uint32_t(m_vKeys.size()));
            for (const KeyEventRecord& k : m_vKeys) {
                out.PutU16(k.message);
                out.PutU32(k.key);
                out.PutU32(k.repeat);
                out.PutU32(k.flags);
            }
            return true;
        case 5:
            out.PutU32(uint32_t(m_vMouse.size()));
            for (const MouseEventRecord& m : m_vMouse) {
                out.PutU16(m.message);
                out.PutU32(m.flags);
                out.PutI32(m.x);
                out.PutI32(m.y);
                out.PutI16(m.wheel);
            }
            return true;
        case 7:
            for (size_t i = 0; i < kNumbersType7; ++i) out.PutI32(Number(i));
            out.PutBytes(m_abBlock.data(), m_abBlock.size());
            if (Number(kFlagIndexType7) == 0) out.PutI32(Number(kNumbersType7));
            WriteBlock32(out, m_vData);
            return true;
        case 8:
            out.PutI32(Number(0));
            WriteFrameFields(out);
            return true;
        case 9:
            for (size_t i = 0; i < kNumbersType9; ++i) out.PutI32(Number(i));
            WriteUnitText(out, m_strText);
            WriteBlock32(out, m_vData);
            return true;
        case 11:
        case 15:
            out.PutI32(m_nValue);
            WriteBlock32(out, m_vData);
            return true;
        case 12:
            WriteFrameFields(out);
            return true;
        case 13:
            WriteBlockFields(out, 0);
            return true;
        case 14:
            out.PutU32(uint32_t(m_vUnsigned.size()));
            for (uint32_t v : m_vUnsigned) out.PutU32(v);
            out.PutU8(kEmbeddedBlockType);
            WriteBlockFields(out, 0);
            return true;
        case 16:
            out.PutBytes(m_abBlock.data(), m_abBlock.size());
            WriteBlock32(out, m_vData);
            return true;
        default:
            return false;
    }
}

bool CPacket::ReadPayload(uint8_t type, CByteReader& in) {
    Clear();
    if (!HasLayout(type) || !ReadFields(type, in)) {
        Clear();
        return false;
    }
    m_nType = type;
    return true;
}

bool CPacket::ReadFields(uint8_t type, CByteReader& in) {
    switch (type) {
        case 1:
            return ReadText(in);
        case 2:
            return ReadNumbers(in, kNumbersType2, m_vNumbers);
        case 10:
            return ReadNumbers(in, kNumbersType10, m_vNumbers);
        case 3: {
            if (!ReadNumbers(in, kNumbersType3, m_vNumbers)) return false;
            for (size_t i = 0; i < kShortsType3; ++i) {
                uint16_t v;
                if (!in.ReadU16(v)) return false;
                m_vShorts.push_back(v);
            }
            return ReadBlock16(in, m_vData) && ReadBlock16(in, m_vData2);
        }
        case 4: {
            uint32_t count;
            if (!ReadCount(in, kKeyEventWireSize, count)) return false;
            m_vKeys.resize(count);
            for (KeyEventRecord& k : m_vKeys)
                if (!ReadKeyEvent(in, k)) return false;
            return true;
        }
        case 5: {
            uint32_t count;
            if (!ReadCount(in, kMouseEventWireSize, count)) return false;
            m_vMouse.resize(count);
            for (MouseEventRecord& m : m_vMouse)
                if (!ReadMouseEvent(in, m)) return false;
            return true;
        }
        case 7: {
            if (!ReadNumbers(in, kNumbersType7, m_vNumbers)) return false;
            const uint8_t* block = in.Take(kFixedBlockSize);
            if (!block) return false;
            std::copy(block, block + kFixedBlockSize, m_abBlock.begin());
            if (m_vNumbers[kFlagIndexType7] == 0 && !ReadNumbers(in, 1, m_vNumbers)) return false;
            return ReadBlock32(in, m_vData);
        }
        case 8:
            return ReadNumbers(in, 1, m_vNumbers) && ReadFrameFields(in);
        case 9:
            return ReadNumbers(in, kNumbersType9, m_vNumbers) && ReadUnitText(in, m_strText) &&
                   ReadBlock32(in, m_vData);
        case 11:
        case 15:
            return in.ReadI32(m_nValue) && ReadBlock32(in, m_vData);
        case 12:
            return ReadFrameFields(in);
        case 13:
            return ReadBlockFields(in);
        case 14: {
            uint32_t count;
            if (!ReadCount(in, sizeof(uint32_t), count)) return false;
            m_vUnsigned.resize(count);
            for (uint32_t& v : m_vUnsigned)
                if (!in.ReadU32(v)) return false;
            uint8_t embedded;  // always 13; read and not checked
            return in.ReadU8(embedded) && ReadBlockFields(in);
        }
        case 16: {
            const uint8_t* block = in.Take(kFixedBlockSize);
            if (!block) return false;
            std::copy(block, block + kFixedBlockSize, m_abBlock.begin());
            return ReadBlock32(in, m_vData);
        }
        default:
            return false;
    }
}
