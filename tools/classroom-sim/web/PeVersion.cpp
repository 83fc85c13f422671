#include "web/PeVersion.h"

#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kPeHeaderPointer = 0x3C;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kSignatureSize = 4;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kDirectoriesPe32 = 96;
constexpr uint32_t kDirectoriesPe32Plus = 112;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceVersion = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr int kMaxDepth = 8;

// Bounds-checked little-endian reads over the file image.
struct Span {
    const uint8_t* data;
    size_t size;
    bool Has(uint64_t at, uint64_t n) const { return at <= size && n <= size - at; }
    uint16_t U16(uint64_t at) const {
        return Has(at, 2) ? uint16_t(data[at] | data[at + 1] << 8) : 0;
    }
    uint32_t U32(uint64_t at) const {
        return Has(at, 4) ? uint32_t(U16(at) | U16(at + 2) << 16) : 0;
    }
};

// File offset of a relative virtual address, or 0 when no section holds it.
uint32_t RvaToOffset(const Span& file, uint32_t sections, uint16_t count, uint32_t rva) {
    for (uint16_t i = 0; i < count; ++i) {
        const uint32_t at = sections + i * kSectionHeaderSize;
        const uint32_t virtualSize = file.U32(at + 8);
        const uint32_t address = file.U32(at + 12);
        const uint32_t rawSize = file.U32(at + 16);
        const uint32_t rawOffset = file.U32(at + 20);
        const uint32_t extent = virtualSize > rawSize ? virtualSize : rawSize;
        if (rva >= address && rva - address < extent) return rawOffset + (rva - address);
    }
    return 0;
}

// The first entry of a resource directory with the given id (or any, for id 0).
bool FindEntry(const Span& file, uint32_t base, uint32_t directory, uint32_t id, uint32_t& target) {
    const uint32_t named = file.U16(base + directory + 12);
    const uint32_t ids = file.U16(base + directory + 14);
    for (uint32_t i = 0; i < named + ids; ++i) {
        const uint32_t at = base + directory + kDirectoryHeaderSize + i * kDirectoryEntrySize;
        if (!file.Has(at, kDirectoryEntrySize)) return false;
        if (id == 0 || file.U32(at) == id) {
            target = file.U32(at + 4);
            return true;
        }
    }
    return false;
}

// One node of the version-information tree.
struct Node {
    uint32_t start = 0, end = 0;  // offsets in the block
    std::u16string key;
    uint32_t value = 0, valueBytes = 0;
    uint32_t children = 0;
};

uint32_t Align4(uint32_t v) { return (v + 3) & ~3u; }

bool ReadNode(const Span& block, uint32_t at, Node& node) {
    const uint16_t length = block.U16(at);
    const uint16_t valueLength = block.U16(at + 2);
    const uint16_t type = block.U16(at + 4);
    if (length < 6 || !block.Has(at, length)) return false;
    node.start = at;
    node.end = at + length;
    node.key.clear();
    uint32_t p = at + 6;
    for (; p + 2 <= node.end && block.U16(p) != 0; p += 2) node.key += char16_t(block.U16(p));
    p = Align4(p + 2);
    node.value = p;
    node.valueBytes = type == 1 ? valueLength * 2u : valueLength;
    if (node.valueBytes > node.end - (p < node.end ? p : node.end)) {
        node.valueBytes = p < node.end ? node.end - p : 0;
    }
    node.children = Align4(p + node.valueBytes);
    return true;
}

bool FindChild(const Span& block, const Node& parent, const std::u16string& key, Node& child,
               bool ignoreCase) {
    for (uint32_t at = parent.children; at < parent.end;) {
        if (!ReadNode(block, at, child)) return false;
        std::u16string a = child.key, b = key;
        if (ignoreCase) {
            for (auto* s : {&a, &b}) {
                for (auto& c : *s) c = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
            }
        }
        if (a == b) return true;
        at = Align4(child.end);
    }
    return false;
}

PeVersion ParseVersionBlock(const Span& block) {
    PeVersion result;
    Node root, varInfo, translation, stringInfo, table, entry;
    if (!ReadNode(block, 0, root)) return result;
    if (!FindChild(block, root, u"VarFileInfo", varInfo, false) ||
        !FindChild(block, varInfo, u"Translation", translation, false) ||
        translation.valueBytes < 4) {
        return result;
    }
    char name[16];
    std::snprintf(name, sizeof(name), "%04x%04x", block.U16(translation.value),
                  block.U16(translation.value + 2));
    const std::u16string tableName(name, name + 8);
    result.status = PeVersionStatus::kNoFileVersion;
    if (!FindChild(block, root, u"StringFileInfo", stringInfo, false) ||
        !FindChild(block, stringInfo, tableName, table, true) ||
        !FindChild(block, table, u"FileVersion", entry, true)) {
        return result;
    }
    result.status = PeVersionStatus::kFound;
    for (uint32_t p = entry.value; p + 2 <= entry.value + entry.valueBytes; p += 2) {
        const char16_t c = char16_t(block.U16(p));
        if (c == 0) break;
        result.fileVersion += c;
    }
    return result;
}

}  // namespace

PeVersion ReadPeVersion(const uint8_t* data, size_t size) {
    const Span file{data, size};
    PeVersion none;
    if (!file.Has(0, 2) || data[0] != 'M' || data[1] != 'Z') return none;
    const uint32_t pe = file.U32(kPeHeaderPointer);
    if (!file.Has(pe, kSignatureSize + kCoffHeaderSize) || file.U32(pe) != 0x00004550) return none;
    const uint16_t sectionCount = file.U16(pe + 6);
    const uint16_t optionalSize = file.U16(pe + 20);
    const uint32_t optional = pe + kSignatureSize + kCoffHeaderSize;
    const uint16_t magic = file.U16(optional);
    const uint32_t directories = magic == kPe32Magic       ? kDirectoriesPe32
                                 : magic == kPe32PlusMagic ? kDirectoriesPe32Plus
                                                           : 0;
    if (directories == 0 || file.U32(optional + directories - 4) <= kResourceDirectory) return none;
    const uint32_t resourceRva = file.U32(optional + directories + kResourceDirectory * 8);
    const uint32_t sections = optional + optionalSize;
    const uint32_t base = RvaToOffset(file, sections, sectionCount, resourceRva);
    if (resourceRva == 0 || base == 0) return none;

    // Type (RT_VERSION), then the first name, then the first language.
    uint32_t entry = 0, directory = 0;
    for (int level = 0; level < 3 && level < kMaxDepth; ++level) {
        if (!FindEntry(file, base, directory, level == 0 ? kResourceVersion : 0, entry)) {
            return none;
        }
        const bool isDirectory = (entry & kSubdirectoryFlag) != 0;
        if ((level < 2) != isDirectory) return none;
        directory = entry & ~kSubdirectoryFlag;
    }
    const uint32_t dataRva = file.U32(base + entry);
    const uint32_t dataSize = file.U32(base + entry + 4);
    const uint32_t dataOffset = RvaToOffset(file, sections, sectionCount, dataRva);
    if (dataOffset == 0 || !file.Has(dataOffset, dataSize)) return none;
    return ParseVersionBlock(Span{data + dataOffset, dataSize});
}
