#pragma once

// Windows executables built byte by byte for the tests of the version reading: a
// 32-bit PE file with one ".rsrc" section that holds a version resource.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pe_builder {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v));
    Put16(b, at + 2, uint16_t(v >> 16));
}
inline void Pad4(std::vector<uint8_t>& b) {
    while (b.size() % 4) b.push_back(0);
}

// One node of a version resource: length, value length, type, key, value, children.
inline std::vector<uint8_t> Node(const std::u16string& key, const std::vector<uint8_t>& value,
                                 bool text,
                                 const std::vector<std::vector<uint8_t>>& children = {}) {
    std::vector<uint8_t> b(6, 0);
    for (char16_t c : key + u'\0') {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const auto& child : children) {
        Pad4(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put16(b, 0, uint16_t(b.size()));
    Put16(b, 2, uint16_t(text ? value.size() / 2 : value.size()));
    Put16(b, 4, text ? 1 : 0);
    return b;
}

inline std::vector<uint8_t> Text(const std::u16string& s) {
    std::vector<uint8_t> b;
    for (char16_t c : s + u'\0') {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    return b;
}

inline std::vector<uint8_t> VersionBlock(const std::u16string& table,
                                         const std::u16string& fileVersion, bool withTranslation) {
    std::vector<std::vector<uint8_t>> strings = {Node(u"CompanyName", Text(u"Vantor"), true)};
    if (!fileVersion.empty()) strings.push_back(Node(u"FileVersion", Text(fileVersion), true));
    std::vector<std::vector<uint8_t>> children = {
        Node(u"StringFileInfo", {}, true, {Node(table, {}, true, strings)})};
    if (withTranslation) {
        children.push_back(Node(u"VarFileInfo", {}, true,
                                {Node(u"Translation", {0x12, 0x04, 0xb0, 0x04}, false)}));
    }
    return Node(u"VS_VERSION_INFO", std::vector<uint8_t>(52, 0), false, children);
}

// A 32-bit PE with one ".rsrc" section holding a version resource.
inline std::vector<uint8_t> PeFile(const std::vector<uint8_t>& version) {
    constexpr uint32_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 224;
    constexpr uint32_t kRaw = 0x200, kRva = 0x1000, kData = 0x58;
    std::vector<uint8_t> f(kRaw + kData, 0);
    f[0] = 'M';
    f[1] = 'Z';
    Put32(f, 0x3C, kPe);
    Put32(f, kPe, 0x00004550);
    Put16(f, kPe + 4, 0x14C);
    Put16(f, kPe + 6, 1);
    Put16(f, kPe + 20, 224);
    Put16(f, kOptional, 0x10B);
    Put32(f, kOptional + 92, 16);
    Put32(f, kOptional + 96 + 2 * 8, kRva);
    Put32(f, kOptional + 96 + 2 * 8 + 4, kData + uint32_t(version.size()));
    std::memcpy(&f[kSections], ".rsrc", 5);
    Put32(f, kSections + 8, kData + uint32_t(version.size()));
    Put32(f, kSections + 12, kRva);
    Put32(f, kSections + 16, kData + uint32_t(version.size()));
    Put32(f, kSections + 20, kRaw);
    // Type 16 -> name 1 -> language 0x412 -> data entry.
    Put16(f, kRaw + 14, 1);
    Put32(f, kRaw + 16, 16);
    Put32(f, kRaw + 20, 0x80000018);
    Put16(f, kRaw + 0x18 + 14, 1);
    Put32(f, kRaw + 0x18 + 16, 1);
    Put32(f, kRaw + 0x18 + 20, 0x80000030);
    Put16(f, kRaw + 0x30 + 14, 1);
    Put32(f, kRaw + 0x30 + 16, 0x412);
    Put32(f, kRaw + 0x30 + 20, 0x48);
    Put32(f, kRaw + 0x48, kRva + kData);
    Put32(f, kRaw + 0x48 + 4, uint32_t(version.size()));
    f.insert(f.end(), version.begin(), version.end());
    return f;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace pe_builder
